// The scheduled-task wizard walked page by page against the stand-in service.
#include "unattended/TaskSchedDlg.h"

#include <gtest/gtest.h>

#include "base/app/ShowMessageDlg.h"
#include "standin/TaskServiceStandin.h"
#include "support/TestSupport.h"
#include "winui/TestHooks.h"

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
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Messages.push_back(box->Message());
        return mrYes;
      }
      return std::nullopt;
    };
  }
  void TearDown() override {
    TaskNamePrompt() = nullptr;
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
  void Shot(TTaskScheduleDialog& d, const wchar_t* name) { SaveScreenshot(d.Handle(), name); }

  hvtest::TempDir Dir;
  test::TTaskServiceStandin Standin;
  TStandinPlatform Platform{Standin};
  std::unique_ptr<TWinTaskScheduler> Scheduler;
  TTaskScheduleDialog Dialog;
  std::vector<std::wstring> Messages;
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
  std::wstring task = Dir / L"a.buj" + L",\"" + (Dir / L"my job.buj") + L"\"";
  int r = Run(-1, THvAction::paBackup, task, L"", [&](TTaskScheduleDialog& d) {
    EXPECT_EQ(d.edJobName.Text(), L"Backup-a");
    EXPECT_EQ(d.edTasks.Text(), L"a.buj,\"my job.buj\"");
    EXPECT_EQ(d.edOptions.Text(), L"/force /startapp:scheduler /hide /prompt:delay /wait:3");
    Shot(d, L"wizard_job_settings");
    d.btnNext.Click();
    Shot(d, L"wizard_job_daily");
    d.rgCycle.SetItemIndex(1);
    d.rgCycle.OnClick();
    d.cbDay[6].SetChecked(true);  // Sunday beside Monday
    Shot(d, L"wizard_job_weekly");
    d.btnNext.Click();
    Shot(d, L"wizard_job_account");
    d.btnNext.Click();
  });
  ASSERT_EQ(r, mrOk);
  TWinTask& t = Task(L"Backup-a");
  EXPECT_EQ(t.UserData(), L"Backup");
  EXPECT_EQ(t.Action(0).Arguments(), Dir / L"a.buj" + L" \"" + (Dir / L"my job.buj") +
                                         L"\" /force /startapp:scheduler /hide /prompt:delay /wait:3");
  EXPECT_EQ(t.Action(0).WorkingDirectory(), L"");
  ASSERT_EQ(t.TriggerCount(), 1);
  EXPECT_EQ(t.Trigger(0).TriggerType(), TWinTaskTriggerType::ttWeekly);
  EXPECT_EQ(t.Trigger(0).DaysOfWeek(), 3);  // Sunday and Monday
  EXPECT_EQ(t.LogonType(), TLogonType::ltToken);
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
  EXPECT_EQ(t.Trigger(0).RandomDelay(), 30u);
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
  ASSERT_EQ(Run(-1, THvAction::paQlBackup, L"Default", L"Default /force",
                [&](TTaskScheduleDialog& d) {
                  d.rgCycle.SetItemIndex(5);
                  d.rgCycle.OnClick();
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
