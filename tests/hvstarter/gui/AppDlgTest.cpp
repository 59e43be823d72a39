// Starting a program under another account: the dialog's checks and password question, program
// paths with blanks quoted, its settings kept, and the started process's handle closed.
#include <gtest/gtest.h>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinExecute.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/NewPwdDlg.h"
#include "hvstarter/AppDlg.h"
#include "hvstarter/StarterRun.h"
#include "support/TestSupport.h"
#include "winui/CommonDialogs.h"
#include "winui/TestHooks.h"

namespace hv::hvstarter {
namespace {

class AppDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    Application().Initialize();
    TTestHooks::AnswerModal = [this](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Messages.push_back(box->Message());
        return mrOk;
      }
      return std::nullopt;
    };
  }
  void TearDown() override {
    TTestHooks::Clear();
    TCommonDialog::TestAnswer = nullptr;
    Application().Reset();
  }
  std::vector<std::wstring> Messages;
};

TEST(AppCommand, AccountAndProgramParts) {
  std::wstring user, domain;
  SplitAccount(L"office\\backup\\two", user, domain);
  EXPECT_EQ(domain, L"office");
  EXPECT_EQ(user, L"backup\\two");
  SplitAccount(L"backup", user, domain);
  EXPECT_EQ(domain, L"");
  EXPECT_EQ(user, L"backup");
  EXPECT_EQ(ProgramOfCommand(L"\"C:\\Program Files\\t.exe\" /a b"), L"C:\\Program Files\\t.exe");
  EXPECT_EQ(ProgramOfCommand(L"C:\\t.exe /a"), L"C:\\t.exe");
}

TEST_F(AppDlgTest, ApplicationAndFileManager) {
  hvtest::TempDir dir;
  const std::wstring tool = dir / L"my tool.exe";
  ASSERT_TRUE(hvtest::WriteBytes(tool, "MZ"));
  const std::wstring ini = dir / L"HvStarter.ini";
  ASSERT_TRUE(hvtest::WriteBytes(
      ini, "[Applications]\r\nTop=70\r\nLeft=80\r\nFileManager=C:\\missing\\fm.exe\r\nApp0=old.exe\r\n"));
  {
    TAppDialog d;
    d.Create();
    d.LoadFromIni(ini, L"Applications");
    TCommonDialog::TestAnswer = [&](TCommonDialog& c) -> std::optional<bool> {
      auto& open = dynamic_cast<TOpenDialog&>(c);
      EXPECT_EQ(open.Title, L"Select application");
      open.FileName = tool;
      return true;
    };
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (&f != &d) return;
      EXPECT_EQ(d.BoundsRect().left, 80);  // where it was left last time
      EXPECT_EQ(d.BoundsRect().top, 70);
      EXPECT_EQ(d.edFileMgr.Text(), L"C:\\missing\\fm.exe");
      d.bbSelApp.Click();
      EXPECT_EQ(d.cbApp.Items().front(), L"\"" + tool + L"\"");
      d.cbApp.SetText(L"\"" + tool + L"\" /open C:\\");
      d.edAccount.SetText(L"OFFICE\\Backup");
      EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"StarterAppDialog"));
      d.bbStartApp.Click();
    };
    std::wstring account = L"office\\backup", password = L"stored", program;
    ASSERT_TRUE(d.Execute(account, password, program));
    // Only the case changed: the stored password stays and nobody is asked.
    EXPECT_EQ(account, L"OFFICE\\Backup");
    EXPECT_EQ(password, L"stored");
    EXPECT_EQ(program, L"\"" + tool + L"\" /open C:\\");
    EXPECT_EQ(d.Mode, TAppMode::amApp);

    // The file manager must exist; another account asks for its password.
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (auto* pw = dynamic_cast<TNewPwdDialog*>(&f)) {
        EXPECT_EQ(pw->Caption(), L"Password for user: other");
        pw->edtPwd.SetText(L"new password");
        pw->OKBtn.Click();
        return;
      }
      if (&f != &d) return;
      d.SetPos(90, 100);  // moved by the user
      d.Mode = TAppMode::amFileMgr;
      d.ModalResult = mrOk;
      EXPECT_FALSE(d.CloseQuery());
      d.edFileMgr.SetText(tool);
      d.edAccount.SetText(L"other");
      d.ModalResult = mrNone;
      d.bbStartFileMgr.Click();
    };
    ASSERT_TRUE(d.Execute(account, password, program));
    EXPECT_EQ(Messages, std::vector<std::wstring>{L"Please specify a file manager!"});
    EXPECT_EQ(account, L"other");
    EXPECT_EQ(password, L"new password");
    EXPECT_EQ(program, L"\"" + tool + L"\"");
  }
  const auto saved = TUnicodeIniFile::CreateForRead(ini);
  EXPECT_EQ(saved.ReadString(L"Applications", L"FileManager", L""), tool);
  EXPECT_EQ(saved.ReadString(L"Applications", L"App0", L""), L"\"" + tool + L"\"");
  EXPECT_EQ(saved.ReadString(L"Applications", L"App1", L""), L"old.exe");
  EXPECT_EQ(saved.ReadInteger(L"Applications", L"Left", 0), 90);
  EXPECT_EQ(saved.ReadInteger(L"Applications", L"Top", 0), 100);
}

TEST_F(AppDlgTest, StartedWithoutWaitingAndHandleClosed) {
  std::wstring seenUser, seenDomain, seenCommand;
  HANDLE started = nullptr;
  const TProcessStarter start = [&](std::wstring_view user, std::wstring_view domain, std::wstring_view,
                                    std::wstring_view command, std::wstring_view) -> HANDLE {
    seenUser = user;
    seenDomain = domain;
    seenCommand = command;
    TKernelHandle p = StartProcess(QuoteIfNeeded(hvtest::TestChildExe(), L" ") + L" 0", L"");
    started = p.Get();
    return p.Release();
  };
  EXPECT_TRUE(StartAppAsUser(start, {-1, -1}, L"office\\backup", L"pw", L"\"C:\\a b\\fm.exe\" /x"));
  EXPECT_EQ(seenDomain, L"office");
  EXPECT_EQ(seenUser, L"backup");
  EXPECT_EQ(seenCommand, L"\"C:\\a b\\fm.exe\" /x");
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(started, &flags));

  const TProcessStarter refused = [](auto, auto, auto, auto, auto) -> HANDLE { throw EProcessError(1326); };
  EXPECT_FALSE(StartAppAsUser(refused, {-1, -1}, L"x", L"y", L"fm.exe"));
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].rfind(L"Error starting application: ", 0), 0u);
}

}  // namespace
}  // namespace hv::hvstarter
