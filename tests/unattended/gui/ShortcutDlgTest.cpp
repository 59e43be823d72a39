// The starter's shortcut dialog and the desktop shortcut dialog, driven as a user would; the
// command lines they build go into real shell links on the desktop, are read back and started.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinExecute.h"
#include "base/os/WinShell.h"
#include "base/settings/BuConsts.h"
#include "base/text/StringUtils.h"
#include "dialogs/ErrorActionDlg.h"
#include "support/TestSupport.h"
#include "unattended/DesktopIconDlg.h"
#include "unattended/ShortcutDlg.h"
#include "winui/Handles.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

class ShortcutDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    Application().Initialize();
    TTestHooks::AnswerModal = [this](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Messages.push_back(box->Message());
        return box->DlgType() == TMsgDialogType::mdtConfirm ? mrYes : mrOk;
      }
      return std::nullopt;
    };
  }
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
  std::vector<std::wstring> Messages;
};

std::wstring DesktopFolder() { return GetSpecialFolder(CSIDL_DESKTOPDIRECTORY); }

// Starts what a link names (its target with its arguments, in its working folder) and waits.
DWORD RunLink(const std::wstring& link) {
  std::wstring target, args, workDir, desc;
  bool runAs = false;
  if (FAILED(ReadShellLinkEx(link, target, args, workDir, desc, runAs))) return 0xFFFFFFFF;
  TKernelHandle process = StartProcess(QuoteIfNeeded(target, L" ") + L" " + args, workDir);
  return WaitForProcess(process, 60000, true) & ~kExitCodeFlag;
}

std::wstring RecordedCommandLine(const std::wstring& recordFile) {
  const std::string text = hvtest::ReadBytes(recordFile);
  const size_t p = text.find("CommandLine=");
  if (p == std::string::npos) return {};
  const size_t e = text.find("\r\n", p);
  return Utf8ToWide(text.substr(p + 12, e - p - 12));
}

TEST_F(ShortcutDlgTest, StarterGroupsAndOptionsReadAndRebuilt) {
  TShortcutDialog d;
  d.Create();
  bool shown = false;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &d) return;
    shown = true;
    EXPECT_EQ(d.Caption(), L"Create Desktop shortcut");
    EXPECT_TRUE(d.lbConfigs.Selected(0));
    EXPECT_TRUE(d.lbConfigs.Selected(1));
    EXPECT_FALSE(d.lbConfigs.Selected(2));
    EXPECT_EQ(d.rgAction.ItemIndex(), saStandby);
    EXPECT_TRUE(d.cbTerm.Enabled());
    EXPECT_TRUE(d.cbTerm.Checked());
    EXPECT_TRUE(d.cbWritelog.Checked());
    EXPECT_TRUE(d.cbLockScreen.Visible());
    EXPECT_TRUE(d.cbLockScreen.Checked());
    EXPECT_EQ(d.lbIniPath.Text(), L"C:\\Settings\\");
    EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"ShortcutDialog"));
    d.OKBtn.Click();
  };
  std::wstring name = L"Nightly", options =
      L"Daily \"Week end\" Gone /force /ini:C:\\Settings\\ /logmode:1 /lockscreen /suspend:standby /term /erractions:4";
  ASSERT_TRUE(d.Execute(L"Create Desktop shortcut", L"Name of shortcut:", true, L"Daily,\"Week end\",Monthly", name,
                        options));
  EXPECT_TRUE(shown);
  EXPECT_EQ(name, L"Nightly");
  // The group that no longer exists is dropped; the term tick stays with standby.
  EXPECT_EQ(options, L"Daily \"Week end\" /force /ini:C:\\Settings\\ /logmode:1 /lockscreen /suspend:standby /term "
                     L"/erractions:4");
}

TEST_F(ShortcutDlgTest, StarterTaskChecksAndActionRules) {
  TShortcutDialog d;
  d.Create();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &d) return;
    EXPECT_FALSE(d.cbLockScreen.Visible());
    EXPECT_EQ(d.OKBtn.Text(), L"Next");
    EXPECT_EQ(d.laName.Text(), L"Name of task:");
    EXPECT_EQ(d.lbIniPath.Text(), SettingsDir);
    // The terminate box is kept only with an action above "Prompt".
    EXPECT_EQ(d.rgAction.ItemIndex(), saShutdown);
    EXPECT_TRUE(d.cbTerm.Checked());
    d.rgAction.Button(saPrompt).Click();
    EXPECT_FALSE(d.cbTerm.Enabled());
    EXPECT_FALSE(d.cbTerm.Checked());
    d.rgAction.Button(saHibernate).Click();
    EXPECT_TRUE(d.cbTerm.Enabled());
    d.cbTerm.SetChecked(true);
    EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"ShortcutDialog-task"));

    d.ModalResult = mrOk;
    EXPECT_FALSE(d.CloseQuery());  // no group
    d.lbConfigs.SetSelected(1, true);
    d.edName.SetText(L"");
    EXPECT_FALSE(d.CloseQuery());
    d.edName.SetText(L"a:b");
    EXPECT_FALSE(d.CloseQuery());
    EXPECT_TRUE(d.edName.Focused());
    d.edName.SetText(L"Weekly run");
    d.ModalResult = mrNone;
    d.OKBtn.Click();
  };
  std::wstring name = L"", options = L"/force /lockscreen /end:power /term";
  ASSERT_TRUE(d.Execute(L"Create Windows Scheduled Task", L"Name of task:", false, L"Daily,Weekly", name, options,
                        L"Next"));
  EXPECT_EQ(Messages, (std::vector<std::wstring>{L"Please select at least one backup group!",
                                                 L"Please specify a name for this task!",
                                                 L"\"a:b\" contains invalid characters (* ? < > : \" / \\ |)!"}));
  EXPECT_EQ(name, L"Weekly run");
  EXPECT_EQ(options, L"Weekly /force /suspend:hibernate /term");
}

TEST_F(ShortcutDlgTest, StarterShortcutOnTheDesktopRunsItsCommandLine) {
  std::wstring name = L"Starter test shortcut", options = L"/force /logmode:1";
  TShortcutDialog d;
  d.Create();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &d) return;
    d.lbConfigs.SetSelected(0, true);
    d.lbConfigs.SetSelected(1, true);
    d.rgAction.Button(saRestart).Click();
    d.OKBtn.Click();
  };
  ASSERT_TRUE(d.Execute(L"Create Desktop shortcut", L"Name of shortcut:", true, L"Daily,Week end", name, options));
  ASSERT_EQ(options, L"Daily \"Week end\" /force /logmode:1 /end:restart");

  // The starter does not run groups yet: the stand-in main program records the line it is given.
  const std::wstring desktop = DesktopFolder();
  ASSERT_FALSE(desktop.empty());
  CreateDirectoryW(desktop.c_str(), nullptr);
  const std::wstring link = desktop + L"\\" + name + L".lnk";
  const std::wstring target = hvtest::BinaryDir() + L"\\bin\\Harvane.exe";
  ASSERT_EQ(CreateShellLink(link, target, options, hvtest::BinaryDir(), name, false), S_OK);
  std::wstring t, a, w, desc;
  bool runAs = true;
  ASSERT_EQ(ReadShellLinkEx(link, t, a, w, desc, runAs), S_OK);
  EXPECT_EQ(AnsiLowerCase(t), AnsiLowerCase(target));
  EXPECT_EQ(a, options);
  EXPECT_EQ(desc, name);
  EXPECT_FALSE(runAs);

  hvtest::TempDir dir;
  const std::wstring record = dir / L"record.ini";
  SetEnvironmentVariableW(L"HV_STANDIN_RECORD", record.c_str());
  EXPECT_EQ(RunLink(link), 1u);  // the stand-in finds no job file named like a group
  SetEnvironmentVariableW(L"HV_STANDIN_RECORD", nullptr);
  const std::wstring line = RecordedCommandLine(record);
  ASSERT_NE(line.find(L"/force"), std::wstring::npos) << line;
  const std::wstring args = line.substr(line.find(L"Daily"));
  const TStarterOptions got = ParseStarterOptions(args);
  EXPECT_EQ(got.Groups, (std::vector<std::wstring>{L"Daily", L"Week end"}));
  EXPECT_EQ(got.Action, saRestart);
  EXPECT_TRUE(got.WriteLog);
  DeleteFileW(link.c_str());
}

TEST_F(ShortcutDlgTest, DesktopIconOptionsAndLink) {
  TDesktopIconDialog d;
  d.Create();
  std::wstring errorAction;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (auto* e = dynamic_cast<TErrorActionDialog*>(&f)) {
      errorAction = e->gbSettings.Text();
      e->cbErr1.SetChecked(true);
      e->cbErr4.SetChecked(true);
      EXPECT_TRUE(hvtest::SaveScreenshot(e->Handle(), L"DesktopIconDialog-erroractions"));
      e->OKBtn.Click();
      return;
    }
    if (&f != &d) return;
    EXPECT_EQ(d.edTasks.Text(), L"default-release");
    EXPECT_EQ(d.rgStatus.ItemIndex(), ssError);
    EXPECT_TRUE(d.cbSplash.Checked());
    EXPECT_TRUE(d.cbAction.Checked());
    EXPECT_TRUE(d.rbNone.Checked());
    EXPECT_FALSE(d.bbErrorAction.Enabled());
    EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"DesktopIconDialog"));
    d.rbHibernate.Click();
    EXPECT_TRUE(d.bbErrorAction.Enabled());
    EXPECT_EQ(d.bbErrorAction.Hint, L"Disable Hibernate on errors");
    d.bbErrorAction.Click();
    d.cbSplash.SetChecked(false);
    d.OKBtn.Click();
  };
  std::wstring shortcut = L"Backup ql-default-release", desc = L"Thunderbird mail backup: default-release";
  std::wstring options = L"default-release /prompt:error /wait:5 \"/logdir:C:\\Log Files\" /end:poweroff /force";
  ASSERT_TRUE(d.Execute(L"Backup mail data", L"default-release", shortcut, desc, options));
  EXPECT_EQ(errorAction, L"No Hibernate on these errors");
  EXPECT_EQ(options, L" /prompt:error /suspend:hibernate /erractions:5 /wait:5 \"/logdir:C:\\Log Files\" /force");

  // Into a real link, read back; the run-as flag goes through the data list (Wine keeps none).
  const std::wstring link = DesktopFolder() + L"\\" + shortcut + L".lnk";
  CreateDirectoryW(DesktopFolder().c_str(), nullptr);
  const std::wstring target = hvtest::BinaryDir() + L"\\bin\\Harvane.exe";
  ASSERT_EQ(CreateShellLink(link, target, L"default-release" + options, hvtest::BinaryDir(), desc, true), S_OK);
  std::wstring t, a, w, readDesc;
  bool runAs = false;
  ASSERT_EQ(ReadShellLinkEx(link, t, a, w, readDesc, runAs), S_OK);
  EXPECT_EQ(a, L"default-release" + options);
  EXPECT_EQ(readDesc, desc);
  DeleteFileW(link.c_str());
}

TEST_F(ShortcutDlgTest, DesktopIconPowerOffKeptAndCancelChangesNothing) {
  TDesktopIconDialog d;
  d.Create();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f == &d) d.OKBtn.Click();
  };
  std::wstring shortcut = L"s", desc = L"d", options = L"/prompt:silent /end:poweroff";
  ASSERT_TRUE(d.Execute(L"c", L"t", shortcut, desc, options));
  EXPECT_EQ(options, L" /prompt:silent /hide /end:poweroff");

  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &d) return;
    d.edShortcut.SetText(L"changed");
    d.CancelBtn.Click();
  };
  EXPECT_FALSE(d.Execute(L"c", L"t", shortcut, desc, options));
  EXPECT_EQ(shortcut, L"s");
  EXPECT_EQ(options, L" /prompt:silent /hide /end:poweroff");
}

}  // namespace
}  // namespace hv
