// The list of the program's scheduled tasks, driven against the stand-in service.
#include "unattended/SelSchedTaskDlg.h"

#include <commctrl.h>
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

class SelSchedTaskDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Application().Initialize();
    SetTaskPlatform(&Platform);
    Scheduler = std::make_unique<TWinTaskScheduler>();
    ASSERT_EQ(Scheduler->Init(), S_OK);
  }
  void TearDown() override {
    TTestHooks::Clear();
    Scheduler.reset();
    SetTaskPlatform(nullptr);
    Application().Reset();
    CoUninitialize();
  }
  void AddTask(const wchar_t* name, const wchar_t* program, TWinTaskTriggerType trigger = TWinTaskTriggerType::ttDaily) {
    auto t = Scheduler->NewTask();
    t->SetLogonType(TLogonType::ltToken);
    t->SetDescription(L"This task was created by Harvane");
    t->SetAuthor(L"tester");
    TWinTaskAction& a = t->NewAction(TWinTaskActionType::taExec);
    a.SetApplicationPath(program);
    a.SetArguments(L"Default /force /startapp:scheduler /hide");
    a.SetWorkingDirectory(L"C:\\Users\\tester\\AppData\\Roaming\\Harvane6\\Mail backup jobs\\Thunderbird");
    t->NewTrigger(trigger);
    if (trigger == TWinTaskTriggerType::ttDaily) t->NewTrigger(TWinTaskTriggerType::ttWeekly).SetDaysOfWeek(2 | 32);
    ASSERT_GE(Scheduler->TaskFolder()->RegisterTask(name, *t, L"", L""), 0);
  }
  // Pumps messages until done() holds (at most half a minute).
  template <class F>
  bool WaitFor(F done) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
      if (done()) return true;
      Application().ProcessMessages();
      Sleep(10);
    }
    return done();
  }

  test::TTaskServiceStandin Standin;
  TStandinPlatform Platform{Standin};
  std::unique_ptr<TWinTaskScheduler> Scheduler;
};

TEST_F(SelSchedTaskDlgTest, ListsTheProgramsTasksAndPicksOne) {
  AddTask(L"Quillback-Work", L"\"C:\\Program Files\\Harvane\\QlBackup.exe\"");
  AddTask(L"Quillback-Default", L"C:\\Program Files\\Harvane\\QlBackup.exe", TWinTaskTriggerType::ttLogon);
  AddTask(L"Foreign", L"C:\\Tools\\Other.exe");
  AddTask(L"Quillback-Failed", L"C:\\Harvane\\QLBACKUP.EXE");
  Scheduler->TaskFolder()->Tasks(3).Run();
  Standin.FinishRun(L"\\Quillback-Failed", 1);
  int task = -1, trigger = -1;
  std::vector<std::wstring> names, next;
  TTestHooks::OnFormShown = [&](TForm& f) {
    auto& d = dynamic_cast<TSelectSchedTaskDialog&>(f);
    for (int i = 0; i < d.lvTasks.Count(); ++i) {
      names.push_back(d.lvTasks.ItemText(i));
      next.push_back(d.lvTasks.ItemText(i, 3));
    }
    EXPECT_EQ(d.lvTasks.ItemText(0, 2), L"Not yet run");
    EXPECT_EQ(d.lbTriggers.Count(), 1);  // the logon task is first by name
    EXPECT_EQ(d.edParameters.Text(), L"Default /force /startapp:scheduler /hide");
    EXPECT_FALSE(d.edWorkDir.Hint.empty());  // shortened: the hint holds it whole
    // F11: the whole text of a shortened field, else the field's label
    std::wstring shown;
    Application().OnShowHint = [&shown](const std::wstring& h) { shown = h; };
    struct TF11 {
      TControl* Control;
      std::wstring Text;
    };
    for (const TF11& c : {TF11{&d.edWorkDir, d.edWorkDir.Hint}, TF11{&d.edCreator, L"Creator:"}}) {
      c.Control->SetFocus();
      PostMessageW(c.Control->Handle(), WM_KEYDOWN, VK_F11, 0);
      Application().ProcessMessages();
      EXPECT_EQ(shown, c.Text);
    }
    Application().OnShowHint = nullptr;
    EXPECT_EQ(d.edWorkDir.Hint, L"C:\\Users\\tester\\AppData\\Roaming\\Harvane6\\Mail backup jobs\\Thunderbird");
    hvtest::SaveScreenshot(f.Handle(), L"unattended_tasklist");
    // the result hint shows over the icon of the failed run only
    auto hover = [&](int row) {
      RECT icon{};
      ListView_GetItemRect(d.lvTasks.Handle(), row, &icon, LVIR_ICON);
      SendMessageW(d.lvTasks.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2));
      return d.ShownResultHint();
    };
    EXPECT_EQ(hover(1), ResultHintText(1));
    EXPECT_TRUE(IsWindowVisible(d.ResultHintWindow()));
    hvtest::SaveScreenshot(d.ResultHintWindow(), L"unattended_tasklist_result_hint");
    EXPECT_EQ(hover(0), L"");  // never run: no error
    EXPECT_FALSE(IsWindowVisible(d.ResultHintWindow()));
    d.lvTasks.SetItemIndex(2);
    d.lbTriggers.SetItemIndex(1);
    EXPECT_EQ(d.btbRun.Text(), L"Stop task");  // it runs
    EXPECT_TRUE(d.tsStatus.Checked());
    EXPECT_FALSE(d.tsStatus.Enabled());
    hvtest::SaveScreenshot(f.Handle(), L"unattended_tasklist_selected");
    d.btbEdit.Click();
  };
  EXPECT_EQ(SelectScheduledTask(L"Backup", *Scheduler, L"QlBackup.exe", task, trigger), mrOk);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Quillback-Default", L"Quillback-Failed", L"Quillback-Work"}));
  EXPECT_EQ(next[0], L"on logon");
  EXPECT_EQ(task, Scheduler->TaskFolder()->IndexOfTask(L"Quillback-Work"));
  EXPECT_EQ(trigger, 1);
}

TEST_F(SelSchedTaskDlgTest, NoTaskOfTheProgram) {
  AddTask(L"Foreign", L"C:\\Tools\\Other.exe");
  bool shown = false;
  TTestHooks::OnFormShown = [&](TForm&) { shown = true; };
  int task = 0, trigger = 0;
  EXPECT_EQ(SelectScheduledTask(L"Backup", *Scheduler, L"QlBackup.exe", task, trigger), 7);
  EXPECT_FALSE(shown);
}

TEST_F(SelSchedTaskDlgTest, SwitchRunSortAndDelete) {
  AddTask(L"A-Task", L"C:\\QlBackup.exe");
  AddTask(L"B-Task", L"C:\\QlBackup.exe");
  TTestHooks::AnswerModal = [](TForm& f) -> std::optional<int> {
    if (dynamic_cast<TShowMsgDialog*>(&f)) return mrYes;
    return std::nullopt;
  };
  int task = 0, trigger = 0;
  TTestHooks::OnFormShown = [&](TForm& f) {
    auto* d = dynamic_cast<TSelectSchedTaskDialog*>(&f);
    if (!d) return;
    // switched off: the run button goes grey
    d->tsStatus.SetChecked(false);
    d->tsStatus.OnClick();
    EXPECT_EQ(Scheduler->TaskFolder()->Tasks(0).Status(), TWinTaskStatus::tsDisabled);
    EXPECT_FALSE(d->btbRun.Enabled());
    EXPECT_EQ(d->lvTasks.ItemText(0, 1), L"Disabled");
    EXPECT_TRUE(d->tsStatus.Enabled());
    EXPECT_EQ(d->tsStatus.Text(), L"No");
    hvtest::SaveScreenshot(f.Handle(), L"unattended_tasklist_switched_off");
    // Enter on the switch is the default button's, not a second click
    d->tsStatus.SetFocus();
    PostMessageW(d->tsStatus.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    d->btbEdit.ModalResult = mrNone;  // the default button, here without closing the list
    int edits = 0;
    d->btbEdit.OnClick = [&edits] { ++edits; };
    Application().ProcessMessages();
    EXPECT_EQ(edits, 1);
    EXPECT_FALSE(d->tsStatus.Checked());
    d->btbEdit.OnClick = nullptr;
    d->btbEdit.ModalResult = mrOk;
    d->tsStatus.SetChecked(true);
    d->tsStatus.OnClick();
    // run it: the stop caption
    d->btbRun.Click();
    EXPECT_EQ(d->btbRun.Text(), L"Stop task");
    EXPECT_EQ(d->lvTasks.ItemText(0, 1), L"Running");
    hvtest::SaveScreenshot(f.Handle(), L"unattended_tasklist_running");
    // a click on the name column sorts descending
    d->lvTasks.OnColumnClick(0);
    EXPECT_EQ(d->lvTasks.ItemText(0), L"B-Task");
    d->lvTasks.OnColumnClick(0);
    EXPECT_EQ(d->lvTasks.ItemText(0), L"A-Task");
    // deleting one of two keeps the list open
    d->btnDelete.Click();
    EXPECT_EQ(d->lvTasks.Count(), 1);
    EXPECT_EQ(d->lvTasks.ItemIndex(), 0);
    d->btbCancel.Click();
  };
  EXPECT_EQ(SelectScheduledTask(L"Backup", *Scheduler, L"QlBackup.exe", task, trigger), 6);
  EXPECT_EQ(Scheduler->TaskFolder()->TaskCount(), 1);
}

TEST_F(SelSchedTaskDlgTest, PollingFollowsChangesOutside) {
  AddTask(L"A-Task", L"C:\\QlBackup.exe");
  AddTask(L"B-Task", L"C:\\QlBackup.exe");
  int task = 0, trigger = 0;
  TTestHooks::OnFormShown = [&](TForm& f) {
    auto& d = dynamic_cast<TSelectSchedTaskDialog&>(f);
    Standin.RunOutside(L"\\B-Task");
    EXPECT_TRUE(WaitFor([&] { return d.lvTasks.ItemText(1, 1) == L"Running"; }));
    // deleted outside while the list polls: dropped, no error
    Standin.DeleteOutside(L"\\A-Task");
    EXPECT_TRUE(WaitFor([&] { return d.lvTasks.Count() == 1; }));
    EXPECT_EQ(d.lvTasks.ItemText(0), L"B-Task");
    Standin.DeleteOutside(L"\\B-Task");
    // the last one gone: the list closes with 6
  };
  EXPECT_EQ(SelectScheduledTask(L"Backup", *Scheduler, L"QlBackup.exe", task, trigger), 6);
}

TEST(TaskResultTest, HintLinesAreAtMostFiftyCharactersAndLoseNoWord) {
  auto words = [](const std::wstring& s) {
    std::wstring r;
    for (wchar_t c : s)
      if (c != L' ' && c != L'\r' && c != L'\n') r += c;
    return r;
  };
  for (uint32_t code : {1u, 5u, 0x80070005u, 0x8004131Fu}) {
    std::wstring hint = ResultHintText(static_cast<int>(code));
    for (size_t start = 0, end = 0; start < hint.size(); start = end + 2) {
      end = hint.find(L"\r\n", start);
      if (end == std::wstring::npos) end = hint.size();
      EXPECT_LE(end - start, 50u) << hint;
    }
    EXPECT_EQ(words(hint), words(SystemErrorText(code)));
  }
}

TEST(TaskResultTest, SuccessCodes) {
  EXPECT_TRUE(IsTaskResultOk(0));
  EXPECT_TRUE(IsTaskResultOk(0x41303));
  EXPECT_TRUE(IsTaskResultOk(0x41301));
  EXPECT_FALSE(IsTaskResultOk(1));
  EXPECT_FALSE(IsTaskResultOk(static_cast<int>(0x80070005)));
}

}  // namespace
}  // namespace hv
