// The common start-up order, with recording forms in place of a program's.
#include <gtest/gtest.h>

#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "support/TestSupport.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

class StartupTest : public testing::Test {
 protected:
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
};

TEST_F(StartupTest, CommonOrderAndUnattendedEnd) {
  for (bool force : {false, true}) {
    std::vector<std::string> steps;
    TForm* main = nullptr;
    TProgramEntry entry;
    entry.ExtraDomains = {L"winui", L"Units"};
    entry.CreateForms = [&] {
      steps.push_back("forms");
      EXPECT_FALSE(LanguageCode().empty());  // the language is set up before any form exists
      EXPECT_TRUE(CfgFileName().ends_with(L"\\Harvane.cfg"));
      main = &Application().CreateForm<TForm>();
      Application().CreateForm<TForm>();
      EXPECT_EQ(Application().MainForm(), main);  // the first form is the main form
    };
    entry.CheckForce = [&] {
      steps.push_back("force");
      return force;
    };
    TTestHooks::OnFormShown = [&](TForm& f) {
      steps.push_back("shown");
      PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(RunProgram(entry), 0);
    std::vector<std::string> expected{"forms", "force"};
    if (!force) expected.push_back("shown");
    EXPECT_EQ(steps, expected) << force;
    EXPECT_EQ(Application().MainForm(), nullptr);  // forms are freed at the end
    Application().Reset();
  }
}

TEST_F(StartupTest, MainFormThatShowsItself) {
  std::vector<std::string> steps;
  TForm* main = nullptr;
  TProgramEntry entry;
  entry.ShowMainForm = false;
  entry.CreateForms = [&] { main = &Application().CreateForm<TForm>(); };
  entry.CheckForce = [&] {
    EXPECT_FALSE(Application().ShowMainForm);
    EXPECT_FALSE(main->Visible());
    main->Show();
    return false;
  };
  TTestHooks::OnFormShown = [&](TForm& f) {
    steps.push_back("shown");
    PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(RunProgram(entry), 0);
  EXPECT_EQ(steps, std::vector<std::string>{"shown"});
}

// Start-up errors and errors of a running form's handlers reach the suite's message box.
TEST_F(StartupTest, ErrorsShowTheSuitesMessageBox) {
  std::vector<std::wstring> boxes;
  TTestHooks::AnswerModal = [&](TForm& f) {
    auto* box = dynamic_cast<TShowMsgDialog*>(&f);
    if (!box) return std::optional<int>();
    EXPECT_EQ(box->DlgType(), TMsgDialogType::mdtError);
    if (boxes.empty())
      hvtest::SaveScreenshot(box->Handle(), box->Message().starts_with(L"Reg") ? L"error-startup" : L"error-handler");
    boxes.push_back(box->Message());
    return std::optional<int>(mrCancel);
  };
  TProgramEntry entry;
  entry.CreateForms = [] { throw EOSError(L"RegOpenKeyExW", ERROR_FILE_NOT_FOUND, L"Software"); };
  EXPECT_EQ(RunProgram(entry), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].starts_with(L"RegOpenKeyExW (Software): ")) << boxes[0];
  Application().Reset();

  boxes.clear();
  struct TMain : TForm {
    TButton btFail;
    void FormCreate() override {
      btFail.Create(*this, L"Fail", {10, 10, 80, 26});
      btFail.OnClick = [] { throw Exception(L"The handler failed"); };
    }
  };
  entry.CreateForms = [] { Application().CreateForm<TMain>(); };
  TTestHooks::OnFormShown = [](TForm& f) {
    if (auto* main = dynamic_cast<TMain*>(&f)) {
      main->btFail.Click();
      PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
    }
  };
  EXPECT_EQ(RunProgram(entry), 0);
  EXPECT_EQ(boxes, std::vector<std::wstring>{L"The handler failed"});
}

TEST_F(StartupTest, PlaceFormFollowsThePositionRule) {
  TForm f;
  f.BorderStyle = TBorderStyle::bsDialog;
  f.ClientWidth96 = 300;
  f.ClientHeight96 = 200;
  f.Create();
  f.SetPos(50, 60);
  PlaceForm(f, {100, -1});
  EXPECT_EQ(f.Left(), 100);
  EXPECT_EQ(f.Top(), 60);
  EXPECT_EQ(f.Position, TPosition::poDesigned);
  PlaceForm(f, {-1, 0});
  EXPECT_EQ(f.Position, TPosition::poScreenCenter);
  EXPECT_EQ(f.Left(), 100);  // centred when shown, not moved now
  PlaceForm(f, {-1, -1});
  EXPECT_EQ(f.Position, TPosition::poMainFormCenter);

  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  PlaceForm(f, {work.right - 10, work.bottom - 10});
  EXPECT_EQ(f.Left(), work.right - f.Width() - 20);
  EXPECT_EQ(f.Top(), work.bottom - f.Height() - 30);
  PlaceForm(f, {200, 400}, true);
  EXPECT_EQ(f.Top(), 400 - f.Height());
}

struct TShutdownRecorder : IShutdownApi {
  bool Privilege = true;
  std::vector<std::string> Calls;
  bool EnablePrivilege() override {
    Calls.push_back("privilege");
    return Privilege;
  }
  bool ExitSession(UINT flags, DWORD reason) override {
    Calls.push_back("exit " + std::to_string(flags));
    return true;
  }
  bool ShutdownSystem(bool reboot, DWORD reason) override {
    Calls.push_back(reboot ? "restart" : "shutdown");
    return true;
  }
};

TEST_F(StartupTest, ShutdownAsksAndGoesThroughTheSeam) {
  Application().Initialize();
  TShutdownRecorder rec;
  SetShutdownApi(&rec);
  int asked = 0, answer = mrNo;
  TTestHooks::AnswerModal = [&](TForm&) {
    ++asked;
    return std::optional<int>(answer);
  };
  EXPECT_FALSE(ExitWindowsConfirm(L"Log off now?", EWX_LOGOFF, 0));
  EXPECT_TRUE(rec.Calls.empty());
  answer = mrYes;
  EXPECT_TRUE(ExitWindowsConfirm(L"Log off now?", EWX_LOGOFF, 0));
  EXPECT_TRUE(InitiateShutdownConfirm(L"", true, 0));  // no message: no question
  EXPECT_EQ(asked, 2);
  rec.Privilege = false;
  EXPECT_FALSE(InitiateShutdownConfirm(L"Shut down?", false, 0));
  EXPECT_EQ(rec.Calls, (std::vector<std::string>{"privilege", "exit 0", "privilege", "restart", "privilege"}));
  SetShutdownApi(nullptr);
}

}  // namespace
}  // namespace hv
