// Options of wizard tasks and the task queries, against the stand-in service.
#include "unattended/TaskSchedule.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/app/ShowMessageDlg.h"
#include "standin/TaskServiceStandin.h"
#include "winui/ComScope.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

TEST(TaskOptionsTest, Build) {
  TTaskOptions o;
  EXPECT_EQ(BuildTaskOptions(o, true), L" /force /startapp:scheduler /hide /prompt:delay /wait:3");
  o.Action = THvAction::paRestore;
  o.Hide = false;
  o.Parallel = true;
  o.Prompt = 3;
  o.Wait = 7;
  o.ErrActions = 5;
  o.Priority = 2;
  o.IniFile = L"C:\\My Settings\\h.ini";
  o.LogMode = 2;
  o.EndAction = 4;
  EXPECT_EQ(BuildTaskOptions(o, true),
            L" /restore /parallel /prompt:error /wait:7 /erractions:5 /speed:fast \"/ini:C:\\My Settings\\h.ini\""
            L" /logmode:2 /end:shutdown");
  EXPECT_EQ(BuildTaskOptions(o, false).find(L"ini"), std::wstring::npos);
  o.Action = THvAction::paStarter;
  o.Prompt = 4;
  EXPECT_EQ(BuildTaskOptions(o, false).substr(0, 12), L"  /parallel ");
}

TEST(TaskOptionsTest, ParseTable) {
  struct Case {
    const wchar_t* Args;
    int End, Prompt;
    bool Parallel;
    const wchar_t *Tasks, *User;
    THvAction Action;
  };
  const Case cases[] = {
      {L"a.buj /e:s", 4, 1, false, L"a.buj", L"", THvAction::paBackup},
      {L"a.buj -end:poweroff /p", 4, 1, true, L"a.buj", L"", THvAction::paBackup},
      {L"\"C:\\Jobs\\my job.buj\",x /su:h", 2, 1, false, L"\"my job.buj\"", L"", THvAction::paBackup},
      {L"C:\\Jobs\\a.buj C:\\Other\\b.buj /quiet", 0, 2, false, L"a.buj,C:\\Other\\b.buj", L"", THvAction::paBackup},
      {L"-unknown /x:y", 0, 1, false, L"", L"/unknown /x:y", THvAction::paBackup},
      {L"\"/label:two words\" /restore", 0, 1, false, L"", L"\"/label:two words\"", THvAction::paRestore},
      {L"/prompt:s /end:lockdown /clean", 0, 4, false, L"", L"", THvAction::paCleanup},
  };
  for (const Case& c : cases) {
    TTaskOptions o;
    std::wstring tasks, user;
    ParseTaskOptions(c.Args, L"C:\\Jobs\\", o, tasks, user);
    EXPECT_EQ(o.EndAction, c.End) << c.Args;
    EXPECT_EQ(o.Prompt, c.Prompt) << c.Args;
    EXPECT_EQ(o.Parallel, c.Parallel) << c.Args;
    EXPECT_EQ(tasks, c.Tasks) << c.Args;
    EXPECT_EQ(user, c.User) << c.Args;
    EXPECT_EQ(o.Action, c.Action) << c.Args;
  }
  // values that are not numbers
  TTaskOptions o;
  std::wstring tasks, user;
  ParseTaskOptions(L"/wait:x /erractions:y /logmode:3 /speed:slow /ini:h.ini", L"C:\\", o, tasks, user);
  EXPECT_EQ(o.Wait, 5);
  EXPECT_EQ(o.ErrActions, 0);
  EXPECT_EQ(o.LogMode, 3);
  EXPECT_EQ(o.Priority, 1);
  EXPECT_EQ(o.IniFile, L"h.ini");
  // a mail-profile task keeps "force" as a user option
  o.Action = THvAction::paQlBackup;
  ParseTaskOptions(L"/force", L"C:\\", o, tasks, user);
  EXPECT_EQ(o.Action, THvAction::paQlBackup);
  EXPECT_EQ(user, L"/force");
}

TEST(TaskOptionsTest, UserOptionsSurviveARoundTrip) {
  TTaskOptions o;
  std::wstring tasks, user;
  ParseTaskOptions(L"a.buj \"/title:x y\" /hide", L"C:\\", o, tasks, user);
  std::wstring args = tasks + BuildTaskOptions(o, true) + L" " + user;
  TTaskOptions again;
  std::wstring tasks2, user2;
  ParseTaskOptions(args, L"C:\\", again, tasks2, user2);
  EXPECT_EQ(user2, L"\"/title:x y\"");
  EXPECT_EQ(tasks2, L"a.buj");
}

TEST(TaskOptionsTest, Texts) {
  EXPECT_EQ(TaskSchedulerErrorText(kTaskErrNoScheduler2), L"Windows Task Scheduler 2.0 is not available on Windows XP");
  EXPECT_EQ(TaskSchedulerErrorText(E_ACCESSDENIED).rfind(L"Error on connecting to Windows Task Scheduler:\r\n", 0), 0u);
  EXPECT_EQ(ActionUserData(THvAction::paQlBackup, L"Default"), L"Ql-Backup-Default");
  EXPECT_EQ(ActionUserData(THvAction::paBackup, L"x.buj"), L"Backup");
  EXPECT_EQ(ActionTaskLabel(THvAction::paRestore), L"Tasks (Restore):");
}

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

class TaskQueriesTest : public testing::Test {
 protected:
  std::optional<TComScope> Com;  // COM for the test, given back only when it was taken
  void SetUp() override {
    Com.emplace(COINIT_APARTMENTTHREADED);
    Application().Initialize();
    SetTaskPlatform(&Platform);
    Standin.AddAccount({L"TESTPC\\backup", L"secret"});
    Scheduler = std::make_unique<TWinTaskScheduler>();
    ASSERT_EQ(Scheduler->Init(), S_OK);
    TTestHooks::AnswerModal = [this](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) Messages.push_back(box->Message());
      return mrOk;
    };
  }
  void TearDown() override {
    TaskPasswordPrompt() = nullptr;
    TTestHooks::Clear();
    Scheduler.reset();
    SetTaskPlatform(nullptr);
    Application().Reset();
    Com.reset();
  }
  // A task of the program with two daily triggers, registered with a password.
  void AddTask(const wchar_t* name, const wchar_t* data, const wchar_t* program = L"C:\\P\\QlBackup.exe") {
    auto t = Scheduler->NewTask();
    t->SetLogonType(TLogonType::ltPassword);
    t->SetUserData(data);
    t->NewAction(TWinTaskActionType::taExec).SetApplicationPath(program);
    t->NewTrigger(TWinTaskTriggerType::ttDaily);
    t->NewTrigger(TWinTaskTriggerType::ttWeekly).SetDaysOfWeek(2);
    ASSERT_GE(Scheduler->TaskFolder()->RegisterTask(name, *t, L"TESTPC\\backup", L"secret"), 0);
  }

  test::TTaskServiceStandin Standin;
  TStandinPlatform Platform{Standin};
  std::unique_ptr<TWinTaskScheduler> Scheduler;
  std::vector<std::wstring> Messages;
};

TEST_F(TaskQueriesTest, FindAndReport) {
  AddTask(L"Quillback-Default", L"Ql-Backup-default");
  AddTask(L"Other", L"", L"C:\\P\\Other.exe");
  std::vector<std::pair<std::wstring, int>> list;
  GetActiveTasks(*Scheduler, L"qlbackup.exe", list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].first, L"Quillback-Default");
  EXPECT_EQ(GetUserTask(*Scheduler, THvAction::paQlBackup, L"Default"), 2);  // "Other" sorts first
  EXPECT_EQ(GetUserTask(*Scheduler, THvAction::paQlBackup, L"Work"), 0);
  EXPECT_EQ(GetTaskStatus(*Scheduler, 0), L"");
  EXPECT_EQ(GetTaskStatus(*Scheduler, 3), L"");
  EXPECT_EQ(GetTaskStatus(*Scheduler, 2).rfind(L"Status: Ready\r\nLast run time: \r\nNext run time: ", 0), 0u);
  RunScheduledTask(*Scheduler, 2);
  RunScheduledTask(*Scheduler, 9);
  EXPECT_EQ(Scheduler->TaskFolder()->Tasks(1).Status(), TWinTaskStatus::tsRunning);
  DeleteScheduledTask(*Scheduler, 1);
  EXPECT_EQ(Scheduler->TaskFolder()->TaskCount(), 1);
}

TEST_F(TaskQueriesTest, DeleteTriggerAsksFirst) {
  AddTask(L"T", L"");
  // cancelled: nothing changes, not even the cached definition
  TaskPasswordPrompt() = [](std::wstring_view, std::wstring_view, std::wstring&) { return false; };
  EXPECT_EQ(DeleteScheduledTrigger(*Scheduler, 1, 0), mrCancel);
  EXPECT_EQ(Scheduler->TaskFolder()->Tasks(0).Definition().TriggerCount(), 2);
  // a wrong password: 4, and the folder shows the stored task again
  TaskPasswordPrompt() = [](std::wstring_view title, std::wstring_view, std::wstring& pwd) {
    pwd = title == L"T" ? L"wrong" : L"";
    return true;
  };
  EXPECT_EQ(DeleteScheduledTrigger(*Scheduler, 1, 0), mrRetry);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_NE(Messages[0].find(L"Could not create or modify scheduled task!"), std::wstring::npos);
  EXPECT_EQ(Scheduler->TaskFolder()->Tasks(0).Definition().TriggerCount(), 2);
  TaskPasswordPrompt() = [](std::wstring_view, std::wstring_view, std::wstring& pwd) {
    pwd = L"secret";
    return true;
  };
  EXPECT_EQ(DeleteScheduledTrigger(*Scheduler, 1, 0), mrOk);
  ASSERT_EQ(Scheduler->TaskFolder()->Tasks(0).Definition().TriggerCount(), 1);
  EXPECT_EQ(Scheduler->TaskFolder()->Tasks(0).Definition().Trigger(0).TriggerType(), TWinTaskTriggerType::ttWeekly);
  EXPECT_EQ(DeleteScheduledTrigger(*Scheduler, 1, 5), mrOk);  // out of range: registered unchanged
  EXPECT_EQ(DeleteScheduledTrigger(*Scheduler, 7, 0), mrCancel);
}

}  // namespace
}  // namespace hv
