// The scheduled-task wizard walked page by page against the stand-in service.
#include "unattended/TaskSchedDlg.h"

#include <gtest/gtest.h>

#include "base/app/ShowMessageDlg.h"
#include "base/text/PathUtils.h"
#include "dialogs/ErrorActionDlg.h"
#include "dialogs/InpText.h"
#include "dialogs/MemoDlg.h"
#include "dialogs/PwdDlg.h"
#include "dialogs/ShellDirDlg.h"
#include "standin/TaskServiceStandin.h"
#include "support/TestSupport.h"
#include "unattended/SelSchedTaskDlg.h"
#include "unattended/ShortcutDlg.h"
#include "winui/CommonDialogs.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"
#include "support/GuiTest.h"
#include "base/app/LangUtils.h"

namespace hv {
namespace {

class TStandinPlatform : public ITaskPlatform {
 public:
  explicit TStandinPlatform(test::TTaskServiceStandin& s) : S(s) {}
  HRESULT InitSecurity() override { return S_OK; }
  HRESULT CreateService(ITaskService** service) override {
    *service = S.NewService().Detach();
    return S_OK;
  }
  test::TTaskServiceStandin& S;
};

class TaskSchedDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Application().Initialize();
    SetTaskPlatform(&Platform);
    Standin.SetCurrentUser(GetQualifiedUserNameForTest());
    Standin.AddAccount({L"TESTPC\\backup", L"secret"});
    Scheduler = std::make_unique<TWinTaskScheduler>();
    ASSERT_EQ(Scheduler->Init(), S_OK);
    Dialog.Create();
    Dialog.InitTaskScheduler(Scheduler.get());
    TaskNamePrompt() = [](std::wstring_view, std::wstring_view, std::wstring&) { return true; };
    TTestHooks::AnswerModal = [this](TForm& f) -> std::optional<int> {
      if (Answer)
        if (auto r = Answer(f)) return r;
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Messages.push_back(box->Message());
        return mrYes;
      }
      return std::nullopt;
    };
  }
  void TearDown() override {
    TaskNamePrompt() = nullptr;
    TaskPasswordPrompt() = nullptr;
    TCommonDialog::TestAnswer = nullptr;
    Application().OnShowHint = nullptr;
    TTestHooks::Clear();
    Scheduler.reset();
    SetTaskPlatform(nullptr);
    Application().Reset();
    CoUninitialize();
  }
  static std::wstring GetQualifiedUserNameForTest();
  // Runs the wizard; walk drives it once it shows.
  int Run(int index, THvAction action, const std::wstring& task, const std::wstring& options,
          std::function<void(TTaskScheduleDialog&)> walk) {
    TTestHooks::OnFormShown = [walk](TForm& f) {
      if (auto* d = dynamic_cast<TTaskScheduleDialog*>(&f)) walk(*d);
    };
    return Dialog.Execute(index, action, Dir.Path(), task, options, false);
  }
  TWinTask& Task(const wchar_t* name) {
    int i = Scheduler->TaskFolder()->IndexOfTask(name);
    EXPECT_GE(i, 0) << name;
    return Scheduler->TaskFolder()->Tasks(i).Definition();
  }
  void Shot(TForm& f, const wchar_t* name) { hvtest::SaveScreenshot(f.Handle(), name); }
  // The help text that F11 shows for a control of the wizard.
  std::wstring F11(TControl& c) {
    std::wstring shown;
    Application().OnShowHint = [&shown](const std::wstring& h) { shown = h; };
    c.SetFocus();
    PostMessageW(c.Handle(), WM_KEYDOWN, VK_F11, 0);
    PostMessageW(c.Handle(), WM_KEYUP, VK_F11, 0xC0000000);
    Application().ProcessMessages();
    Application().OnShowHint = nullptr;
    return shown;
  }
  // A task that starts this test program.
  void AddOwnTask(const wchar_t* name, const wchar_t* args, TLogonType logon = TLogonType::ltToken,
                  const wchar_t* data = L"") {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto t = Scheduler->NewTask();
    t->SetLogonType(logon);
    t->SetUserData(data);
    TWinTaskAction& a = t->NewAction(TWinTaskActionType::taExec);
    a.SetApplicationPath(self);
    a.SetArguments(args);
    t->NewTrigger(TWinTaskTriggerType::ttDaily);
    t->NewTrigger(TWinTaskTriggerType::ttWeekly).SetDaysOfWeek(2);
    bool password = logon == TLogonType::ltPassword;
    ASSERT_GE(Scheduler->TaskFolder()->RegisterTask(name, *t, password ? L"TESTPC\\backup" : L"",
                                                    password ? L"secret" : L""),
              0);
  }

  hvtest::TempDir Dir;
  test::TTaskServiceStandin Standin;
  TStandinPlatform Platform{Standin};
  std::unique_ptr<TWinTaskScheduler> Scheduler;
  TTaskScheduleDialog Dialog;
  std::vector<std::wstring> Messages;
  // Answers nested dialogs before the message boxes are answered.
  std::function<std::optional<int>(TForm&)> Answer;
};

std::wstring TaskSchedDlgTest::GetQualifiedUserNameForTest() {
  wchar_t user[256], domain[256];
  DWORD n = 256, m = 256;
  GetUserNameW(user, &n);
  GetComputerNameW(domain, &m);
  return std::wstring(domain) + L"\\" + user;
}

TEST_F(TaskSchedDlgTest, JobCreatedPageByPage) {
  hvtest::WriteBytes(Dir / L"a.buj", "x");
  hvtest::WriteBytes(Dir / L"my job.buj", "x");
  hvtest::WriteBytes(Dir / L"b,c.buj", "x");
  const std::wstring workDir = Dir / L"work dir";
  ASSERT_TRUE(CreateDirectoryW(workDir.c_str(), nullptr));
  std::wstring task = Dir / L"a.buj" + L",\"" + (Dir / L"my job.buj") + L"\"";
  TCommonDialog::TestAnswer = [&](TCommonDialog& c) -> std::optional<bool> {
    auto& open = dynamic_cast<TOpenDialog&>(c);
    EXPECT_EQ(open.Filter, L"Backup tasks|*.buj");
    EXPECT_EQ(AddPathDelimiter(open.InitialDir), AddPathDelimiter(Dir.Path()));
    EXPECT_NE(open.Options & ofAllowMultiSelect, 0u);
    open.Files = {Dir / L"b,c.buj"};
    return true;
  };
  Answer = [&](TForm& f) -> std::optional<int> {
    if (auto* dir = dynamic_cast<TShellDirDialog*>(&f)) {
      dir->cbxSelectedDir.SetText(workDir);
      return mrOk;
    }
    if (auto* err = dynamic_cast<TErrorActionDialog*>(&f)) {
      Shot(f, L"wizard_job_error_actions");
      err->cbErr2.SetChecked(true);
      return mrOk;
    }
    return std::nullopt;
  };
  int r = Run(-1, THvAction::paBackup, task, L"", [&](TTaskScheduleDialog& d) {
    EXPECT_EQ(d.edJobName.Text(), L"Backup-a");
    EXPECT_EQ(d.edTasks.Text(), L"a.buj,\"my job.buj\"");
    EXPECT_EQ(d.edOptions.Text(), L"/force /startapp:scheduler /hide /prompt:delay /wait:3");
    EXPECT_TRUE(d.btnTask.Visible());
    EXPECT_FALSE(d.bbErrorAction.Enabled());
    d.btnTask.Click();
    EXPECT_EQ(d.edTasks.Text(), L"a.buj,\"my job.buj\",\"b,c.buj\"");
    d.btWorkDir.Click();
    EXPECT_EQ(d.edWorkDir.Text(), AddPathDelimiter(workDir));
    d.rgEnd.SetItemIndex(4);
    d.rgEnd.OnClick();
    EXPECT_TRUE(d.bbErrorAction.Enabled());
    EXPECT_EQ(d.bbErrorAction.Hint, L"Disable Shutdown on errors");
    d.bbErrorAction.Click();
    EXPECT_EQ(d.edOptions.Text(),
              L"/force /startapp:scheduler /hide /prompt:delay /wait:3 /erractions:2 /end:shutdown");
    EXPECT_EQ(F11(d.edOptions), L"Fixed parameters");
    EXPECT_EQ(F11(d.edIniFile), L"Ini file:");
    EXPECT_EQ(F11(d.rgEnd.Button(2)), L"Subsequent action");
    Shot(d, L"wizard_job_settings");
    d.btnNext.Click();
    Shot(d, L"wizard_job_daily");
    d.rgCycle.SetItemIndex(1);
    d.rgCycle.OnClick();
    EXPECT_EQ(F11(d.rgCycle.Button(1)), L"Perform this task:");
    d.cbDay[6].SetChecked(true);  // Sunday beside Monday
    d.udWeeks.ClickUp();
    Shot(d, L"wizard_job_weekly");
    d.btnNext.Click();
    Shot(d, L"wizard_job_account");
    d.btnNext.Click();
  });
  ASSERT_EQ(r, mrOk);
  TWinTask& t = Task(L"Backup-a");
  EXPECT_EQ(t.UserData(), L"Backup");
  EXPECT_EQ(t.Action(0).Arguments(), Dir / L"a.buj" + L" \"" + (Dir / L"my job.buj") + L"\" \"" + (Dir / L"b,c.buj") +
                                         L"\" /force /startapp:scheduler /hide /prompt:delay /wait:3 /erractions:2"
                                         L" /end:shutdown");
  EXPECT_EQ(t.Action(0).WorkingDirectory(), AddPathDelimiter(workDir));  // no quotes: refused at run time
  ASSERT_EQ(t.TriggerCount(), 1);
  EXPECT_EQ(t.Trigger(0).TriggerType(), TWinTaskTriggerType::ttWeekly);
  EXPECT_EQ(t.Trigger(0).DaysOfWeek(), 3);  // Sunday and Monday
  EXPECT_EQ(t.Trigger(0).WeeksInterval(), 2);
  EXPECT_EQ(t.LogonType(), TLogonType::ltToken);
  const std::wstring args = t.Action(0).Arguments();

  // edited: the page reads the stored command line back, and writes it again unchanged
  int index = Scheduler->TaskFolder()->IndexOfTask(L"Backup-a") + 1;
  r = Run(index, THvAction::paBackup, L"", L"", [&](TTaskScheduleDialog& d) {
    EXPECT_EQ(d.edTasks.Text(), L"a.buj,\"my job.buj\",\"b,c.buj\"");
    EXPECT_EQ(d.rgEnd.ItemIndex(), 4);
    EXPECT_EQ(d.ActErr, 2);
    EXPECT_TRUE(d.bbErrorAction.Enabled());
    EXPECT_EQ(d.edWorkDir.Text(), AddPathDelimiter(workDir));
    d.btnNext.Click();
    EXPECT_EQ(d.rgCycle.ItemIndex(), 1);
    EXPECT_EQ(d.reWeeks.Value(), 2);
    EXPECT_TRUE(d.cbDay[6].Checked());
    d.rgCycle.SetItemIndex(0);
    d.rgCycle.OnClick();
    d.rbSkipDays.SetChecked(true);
    d.rbEveryDay.SetChecked(false);
    d.rbSkipDays.OnClick();
    d.reDays.SetValue(3);
    Shot(d, L"wizard_job_edit_daily");
    d.btnNext.Click();
    d.btnNext.Click();
  });
  ASSERT_EQ(r, mrOk);
  TWinTask& e = Task(L"Backup-a");
  EXPECT_EQ(e.Action(0).Arguments(), args);
  ASSERT_EQ(e.TriggerCount(), 1);
  EXPECT_EQ(e.Trigger(0).TriggerType(), TWinTaskTriggerType::ttDaily);
  EXPECT_EQ(e.Trigger(0).DaysInterval(), 3);
}

TEST_F(TaskSchedDlgTest, TabWalksEveryPageInReadingOrder) {
  hvtest::WriteBytes(Dir / L"a.buj", "x");
  ASSERT_TRUE(LoadLanguageCatalogs(hvtest::BinaryDir() + L"\\bin\\locale", L"de"));
  Dialog.Translate();  // made in English by the fixture
  int r = Run(-1, THvAction::paBackup, Dir / L"a.buj", L"", [&](TTaskScheduleDialog& d) {
    const wchar_t* pages[] = {L"wizard-settings-de", L"wizard-schedule-de", L"wizard-account-de"};
    for (const wchar_t* page : pages) {
      hvtest::ExpectReadingTabOrder(d.Handle(), page);
      hvtest::Shot(d, page);
      hvtest::Shot(d, (std::wstring(page) + L"-dark").c_str(), true);
      d.btnNext.Click();
    }
  });
  EXPECT_EQ(r, mrOk);
  ClearCatalogs();
}

TEST_F(TaskSchedDlgTest, ProfileCreatedAndEdited) {
  int r = Run(-1, THvAction::paQlBackup, L"Default", L"Default /force", [&](TTaskScheduleDialog& d) {
    EXPECT_EQ(d.pcMain.ActivePageIndex(), 1);  // no settings page
    d.rgCycle.SetItemIndex(2);
    d.rgCycle.OnClick();
    d.ccMonthDays.SetSelected(0x80000001u);  // day 1 and the last day
    d.cbMonth[1].SetChecked(false);
    Shot(d, L"wizard_profile_monthly");
    d.btnNext.Click();
    d.btnNext.Click();
  });
  ASSERT_EQ(r, mrOk);
  {
    TWinTask& t = Task(L"Quillback-Default");
    EXPECT_EQ(t.UserData(), L"Ql-Backup-Default");
    EXPECT_EQ(t.Action(0).Arguments(), L"Default /force");
    EXPECT_EQ(t.Trigger(0).TriggerType(), TWinTaskTriggerType::ttMonthly);
    EXPECT_EQ(static_cast<uint32_t>(t.Trigger(0).DaysOfMonth()), 0x80000001u);
    EXPECT_TRUE(t.Trigger(0).RunOnLastDayOfMonth());
    EXPECT_EQ(t.Trigger(0).MonthsOfYear(), 0xFFF & ~2);
  }
  // edited: the stored arguments stay; the trigger becomes a one-time trigger with an end
  int index = Scheduler->TaskFolder()->IndexOfTask(L"Quillback-Default") + 1;
  r = Run(index, THvAction::paQlBackup, L"Default", L"Other /force", [&](TTaskScheduleDialog& d) {
    EXPECT_EQ(d.rgCycle.ItemIndex(), 2);
    EXPECT_EQ(d.ccMonthDays.Selected(), 0x80000001u);
    d.rgCycle.SetItemIndex(3);
    d.rgCycle.OnClick();
    d.cbRandom.SetChecked(true);
    d.cbRandom.OnClick();
    d.cbRndUnit.SetItemIndex(1);  // minutes: one, in steps of ten
    d.cbRndUnit.OnChange();
    EXPECT_EQ(d.reRandom.Value(), 1);
    EXPECT_EQ(d.reRandom.MaxValue(), 719);
    EXPECT_EQ(d.udRandom.Increment, 10);
    EXPECT_EQ(d.reRandom.Hint, L"Number of minute(s)");
    d.AdvSet.UseEndDate = true;
    d.AdvSet.EndDate = 60000.75;
    Shot(d, L"wizard_profile_onetime");
    d.btnNext.Click();
    d.btnNext.Click();
  });
  ASSERT_EQ(r, mrOk);
  TWinTask& t = Task(L"Quillback-Default");
  EXPECT_EQ(t.Action(0).Arguments(), L"Default /force");
  ASSERT_EQ(t.TriggerCount(), 1);
  EXPECT_EQ(t.Trigger(0).TriggerType(), TWinTaskTriggerType::ttTime);
  EXPECT_EQ(t.Trigger(0).RandomDelay(), 60u);
  EXPECT_NEAR(t.Trigger(0).EndTime(), 60000.75, 1e-6);
  // saved again: the end keeps its time of day
  r = Run(index, THvAction::paQlBackup, L"Default", L"", [&](TTaskScheduleDialog& d) {
    EXPECT_TRUE(d.AdvSet.UseEndDate);
    d.btnNext.Click();
    d.btnNext.Click();
  });
  ASSERT_EQ(r, mrOk);
  EXPECT_NEAR(Task(L"Quillback-Default").Trigger(0).EndTime(), 60000.75, 1e-6);
}

TEST_F(TaskSchedDlgTest, GroupWithAccount) {
  auto walk = [&](const wchar_t* password) {
    return [this, password](TTaskScheduleDialog& d) {
      d.rgCycle.SetItemIndex(4);
      d.rgCycle.OnClick();
      Shot(d, L"wizard_group_logon");
      d.btnNext.Click();
      d.rbAnyUser.SetChecked(true);
      d.rbLoggedUser.SetChecked(false);
      d.rbAnyUser.OnClick();
      d.edUser.SetText(L"TESTPC\\backup");
      d.edPwd.SetText(password);
      Shot(d, L"wizard_group_account");
      d.btnNext.Click();
    };
  };
  EXPECT_EQ(Run(-1, THvAction::paStarter, L"Nightly", L"Nightly /force", walk(L"wrong")), mrRetry);
  EXPECT_EQ(Scheduler->TaskFolder()->IndexOfTask(L"Starter-Nightly"), -1);
  ASSERT_FALSE(Messages.empty());
  EXPECT_NE(Messages.back().find(L"Could not create or modify scheduled task!"), std::wstring::npos);
  EXPECT_EQ(Run(-1, THvAction::paStarter, L"Nightly", L"Nightly /force", walk(L"secret")), mrOk);
  TWinTask& t = Task(L"Starter-Nightly");
  EXPECT_EQ(t.UserData(), L"Starter-Nightly");
  EXPECT_EQ(t.LogonType(), TLogonType::ltPassword);
  EXPECT_EQ(t.Trigger(0).TriggerType(), TWinTaskTriggerType::ttLogon);
  EXPECT_EQ(Standin.LastUser(), L"TESTPC\\backup");
}

TEST_F(TaskSchedDlgTest, XmlOfAWizardTaskRegistersTheSame) {
  // the wake-up query is edited one element a line and stored as one line
  Answer = [&](TForm& f) -> std::optional<int> {
    auto* memo = dynamic_cast<TMemoDialog*>(&f);
    if (!memo) return std::nullopt;
    std::wstring text = memo->Memo.Text();
    EXPECT_NE(text.find(L"<QueryList>\r\n<Query Id=\"0\" Path=\"System\">\r\n<Select"), std::wstring::npos);
    text.replace(text.find(L"EventID=507"), 11, L"EventID=42");
    memo->Memo.SetText(text);
    Shot(f, L"wizard_event_query");
    return mrOk;
  };
  ASSERT_EQ(Run(-1, THvAction::paQlBackup, L"Default", L"Default /force",
                [&](TTaskScheduleDialog& d) {
                  d.rgCycle.SetItemIndex(5);
                  d.rgCycle.OnClick();
                  d.btEventEdit.Click();
                  Shot(d, L"wizard_profile_wakeup");
                  d.btnNext.Click();
                  d.btnBack.Click();
                  EXPECT_EQ(d.pcSteps.ActivePageIndex(), 4);  // back on the event page
                  d.btnNext.Click();
                  d.btnNext.Click();
                }),
            mrOk);
  std::wstring xml = Scheduler->TaskFolder()->Tasks(Scheduler->TaskFolder()->IndexOfTask(L"Quillback-Default")).Xml();
  std::string bytes("\xFF\xFE");
  bytes.append(reinterpret_cast<const char*>(xml.data()), xml.size() * 2);
  hvtest::WriteBytes(Dir / L"task.xml", bytes);
  TaskNamePrompt() = [](std::wstring_view, std::wstring_view, std::wstring& name) {
    name = L"Imported";
    return true;
  };
  ASSERT_EQ(Run(-2, THvAction::paQlBackup, Dir / L"task.xml", L"", [&](TTaskScheduleDialog& d) {
              EXPECT_EQ(d.rgCycle.ItemIndex(), 5);
              d.btnNext.Click();
              d.btnNext.Click();
            }),
            mrOk);
  std::wstring again = Scheduler->TaskFolder()->Tasks(Scheduler->TaskFolder()->IndexOfTask(L"Imported")).Xml();
  TWinTask& a = Task(L"Quillback-Default");
  TWinTask& b = Task(L"Imported");
  EXPECT_EQ(a.Trigger(0).Subscription(), b.Trigger(0).Subscription());
  std::wstring query = kDefaultWakeQuery;
  EXPECT_EQ(a.Trigger(0).Subscription(), query.replace(query.find(L"EventID=507"), 11, L"EventID=42"));
  EXPECT_EQ(a.Action(0).Arguments(), b.Action(0).Arguments());
  EXPECT_EQ(a.Trigger(0).StartTimeBoundary(), b.Trigger(0).StartTimeBoundary());

  hvtest::WriteBytes(Dir / L"bad.xml", "<Task><Actions>");
  TaskNamePrompt() = [](std::wstring_view, std::wstring_view, std::wstring& name) {
    name = L"Broken";
    return true;
  };
  Messages.clear();
  EXPECT_EQ(Run(-2, THvAction::paQlBackup, Dir / L"bad.xml", L"", [](TTaskScheduleDialog& d) { d.btnCancel.Click(); }),
            mrCancel);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].rfind(L"Error creating new scheduled task!", 0), 0u);
}

TEST_F(TaskSchedDlgTest, EditChangesTheProgramsOwnAction) {
  auto t = Scheduler->NewTask();
  t->SetLogonType(TLogonType::ltToken);
  t->NewAction(TWinTaskActionType::taExec).SetApplicationPath(L"C:\\Tools\\Other.exe");
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  t->NewAction(TWinTaskActionType::taExec).SetApplicationPath(self);
  t->Action(1).SetArguments(L"Default /force");
  t->NewTrigger(TWinTaskTriggerType::ttDaily);
  ASSERT_EQ(Scheduler->TaskFolder()->RegisterTask(L"Two", *t, L"", L""), 0);
  ASSERT_EQ(Run(1, THvAction::paBackup, L"", L"", [&](TTaskScheduleDialog& d) {
              d.edUserOptions.SetText(L"/extra");
              d.edTasks.SetText(L"");
              d.btnNext.Click();  // refused: no tasks
              d.btnCancel.Click();
            }),
            mrCancel);
  ASSERT_EQ(Run(1, THvAction::paQlBackup, L"Default", L"", [&](TTaskScheduleDialog& d) {
              d.btnNext.Click();
              d.btnNext.Click();
            }),
            mrOk);
  TWinTask& back = Task(L"Two");
  EXPECT_EQ(back.Action(0).Arguments(), L"");
  EXPECT_EQ(back.Action(1).Arguments(), L"Default /force");
  EXPECT_EQ(back.Action(0).ApplicationPath(), L"C:\\Tools\\Other.exe");
}

TEST_F(TaskSchedDlgTest, GroupTaskRenamedInTheStartersStepReplacesTheOldOne) {
  AddOwnTask(L"Starter-Nightly", L"Nightly /force", TLogonType::ltToken, L"Starter-Nightly");
  AddOwnTask(L"Starter-Weekly", L"Weekly /force", TLogonType::ltToken, L"Starter-Weekly");
  std::vector<std::wstring> names;  // what the starter's step proposes, in order
  std::vector<std::wstring> typed;  // what the user types there, in order
  bool cancel = false;
  Answer = [&](TForm& f) -> std::optional<int> {
    if (dynamic_cast<TSelectSchedTaskDialog*>(&f)) return mrOk;  // first row: Starter-Nightly
    auto* s = dynamic_cast<TShortcutDialog*>(&f);
    if (!s) return std::nullopt;
    names.push_back(s->edName.Text());
    if (cancel) return mrCancel;
    EXPECT_EQ(s->OKBtn.Text(), L"Next");
    EXPECT_TRUE(s->lbConfigs.Selected(0));  // "Nightly" read from the task's command line
    EXPECT_FALSE(s->cbLockScreen.Visible());
    s->edName.SetText(typed[names.size() - 1]);
    s->lbConfigs.SetSelected(1, true);
    if (names.size() == 1) Shot(f, L"wizard_group_starter_step");
    return mrOk;
  };
  auto walk = [](TTaskScheduleDialog& d) {
    EXPECT_EQ(d.pcMain.ActivePageIndex(), 1);
    d.btnNext.Click();
    d.btnNext.Click();
  };
  // cancelled: nothing changes
  cancel = true;
  EXPECT_EQ(Run(0, THvAction::paStarter, L"", L"Nightly,Weekly", walk), mrCancel);
  EXPECT_EQ(Scheduler->TaskFolder()->TaskCount(), 2);
  EXPECT_EQ(Task(L"Starter-Nightly").Action(0).Arguments(), L"Nightly /force");
  // the name of another task is refused; the renamed task takes the place of the old one
  cancel = false;
  names.clear();
  typed = {L"Starter-Weekly", L"Starter-Night"};
  ASSERT_EQ(Run(0, THvAction::paStarter, L"", L"Nightly,Weekly", walk), mrOk);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Starter-Nightly", L"Starter-Weekly"}));
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0], L"A scheduled task named \"Starter-Weekly\" already exists!");
  EXPECT_EQ(Scheduler->TaskFolder()->IndexOfTask(L"Starter-Nightly"), -1);
  EXPECT_EQ(Scheduler->TaskFolder()->TaskCount(), 2);
  EXPECT_EQ(Task(L"Starter-Night").Action(0).Arguments(), L"Nightly Weekly /force");
  EXPECT_EQ(Task(L"Starter-Night").TriggerCount(), 2);
  EXPECT_EQ(Task(L"Starter-Night").UserData(), L"Starter-Nightly");  // still found by the starter
  EXPECT_EQ(Task(L"Starter-Weekly").Action(0).Arguments(), L"Weekly /force");
  // a change of case only is the same task
  names.clear();
  typed = {L"STARTER-NIGHT"};
  ASSERT_EQ(Run(0, THvAction::paStarter, L"", L"Nightly,Weekly", walk), mrOk);
  EXPECT_EQ(Scheduler->TaskFolder()->TaskCount(), 2);
  EXPECT_GE(Scheduler->TaskFolder()->IndexOfTask(L"Starter-Night"), 0);
}

TEST_F(TaskSchedDlgTest, TaskNameIsAskedInTheSuitesInputDialog) {
  TaskNamePrompt() = nullptr;
  hvtest::WriteBytes(Dir / L"a.buj", "x");
  std::vector<std::wstring> proposed;
  std::vector<std::wstring> typed{L"a:b", L"Nightly a"};
  Answer = [&](TForm& f) -> std::optional<int> {
    auto* in = dynamic_cast<TInputTextDialog*>(&f);
    if (!in) return std::nullopt;
    proposed.push_back(in->TextFeld.Text());
    if (proposed.size() > typed.size()) return mrCancel;
    if (proposed.size() == 1) Shot(f, L"wizard_name_prompt");
    in->TextFeld.SetText(typed[proposed.size() - 1]);
    return mrOk;
  };
  auto walk = [](TTaskScheduleDialog& d) {
    for (int i = 0; i < 3; ++i) d.btnNext.Click();
  };
  ASSERT_EQ(Run(-1, THvAction::paBackup, Dir / L"a.buj", L"", walk), mrOk);
  EXPECT_EQ(proposed, (std::vector<std::wstring>{L"Backup-a", L"a:b"}));
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0], L"\"a:b\" contains invalid characters (* ? < > : \" / \\ |)!");
  EXPECT_GE(Scheduler->TaskFolder()->IndexOfTask(L"Nightly a"), 0);
  // the confirmed name is looked up again: another task of that name is not replaced unasked
  proposed.clear();
  typed = {L"NIGHTLY A"};
  Messages.clear();
  int edited = -1;
  EXPECT_EQ(Dialog.Execute(-1, 0, THvAction::paBackup, Dir.Path(), Dir / L"a.buj", L"", edited, edited, false),
            mrOk);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0], L"Task \"NIGHTLY A\" already exists - edit?");
  EXPECT_EQ(Scheduler->TaskFolder()->TaskCount(), 1);
  // cancelled: no task
  proposed.clear();
  typed.clear();
  EXPECT_EQ(Run(-1, THvAction::paBackup, Dir / L"a.buj", L"", walk), mrCancel);
  EXPECT_EQ(Scheduler->TaskFolder()->TaskCount(), 1);
}

TEST_F(TaskSchedDlgTest, DeletingATriggerWaitsForThePasswordDialog) {
  AddOwnTask(L"Guarded", L"", TLogonType::ltPassword);
  std::optional<std::wstring> answer;  // none: cancel
  std::wstring title, prompt;
  Answer = [&](TForm& f) -> std::optional<int> {
    auto* pwd = dynamic_cast<TPasswordDialog*>(&f);
    if (!pwd) return std::nullopt;
    title = pwd->Caption();
    prompt = pwd->lblPrompt.Text();
    Shot(f, L"task_trigger_password");
    if (!answer) return mrCancel;
    pwd->edtPwd.SetText(*answer);
    return mrOk;
  };
  EXPECT_EQ(DeleteScheduledTrigger(*Scheduler, 1, 0), mrCancel);
  EXPECT_EQ(title, L"Guarded");
  EXPECT_EQ(prompt, L"To change this scheduled task requires a password!");
  EXPECT_EQ(Scheduler->TaskFolder()->Tasks(0).Definition().TriggerCount(), 2);
  answer = L"secret";
  EXPECT_EQ(DeleteScheduledTrigger(*Scheduler, 1, 0), mrOk);
  ASSERT_EQ(Scheduler->TaskFolder()->Tasks(0).Definition().TriggerCount(), 1);
  EXPECT_EQ(Scheduler->TaskFolder()->Tasks(0).Definition().Trigger(0).TriggerType(), TWinTaskTriggerType::ttWeekly);
}

TEST(WizardDelayTest, Units) {
  struct Case {
    uint32_t Seconds;
    int Value, Unit;
  };
  for (Case c : {Case{3600, 1, 0}, Case{90, 90, 2}, Case{1800, 30, 1}, Case{50000, 13, 0}, Case{0, 0, 0}}) {
    int v = -1, u = -1;
    SecondsToUnit(c.Seconds, v, u);
    EXPECT_EQ(v, c.Value) << c.Seconds;
    EXPECT_EQ(u, c.Unit) << c.Seconds;
  }
  EXPECT_EQ(UnitToSeconds(2, 0), 7200u);
  EXPECT_EQ(UnitToSeconds(5, 1), 300u);
}

}  // namespace
}  // namespace hv
