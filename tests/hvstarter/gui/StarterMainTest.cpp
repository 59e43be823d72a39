// The starter's main window driven command by command as a user would: groups, job files,
// password and run options, mail settings, desktop shortcut, scheduled task, logs and the start of
// another application.
#include "hvstarter/StarterMain.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <map>

#include "base/app/InitProg.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinShell.h"
#include "base/security/Crypt.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/EditHistListDlg.h"
#include "dialogs/InpText.h"
#include "dialogs/InpText.h"
#include "dialogs/NewPwdDlg.h"
#include "dialogs/PwdDlg.h"
#include "dialogs/ShellDirDlg.h"
#include "dialogs/ShowMemo.h"
#include "seams/LogonRecorder.h"
#include "standin/TaskServiceStandin.h"
#include "support/TestSupport.h"
#include "winui/CommonDialogs.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"
#include "support/GuiTest.h"
#include "base/app/LangUtils.h"
#include "winui/Unicode.h"

namespace hv::hvstarter {
namespace {

class TStandinPlatform : public ITaskPlatform {
 public:
  explicit TStandinPlatform(test::TTaskServiceStandin& s) : S(s) {}
  unsigned MajorVersion() override { return 10; }
  bool ServiceRunning() override { return true; }
  HRESULT InitSecurity() override { return S_OK; }
  HRESULT CreateService(ITaskService** service) override {
    *service = S.NewService().Detach();
    return S_OK;
  }
  test::TTaskServiceStandin& S;
};

std::wstring QualifiedUser() {
  wchar_t user[256], domain[256];
  DWORD n = 256, m = 256;
  GetUserNameW(user, &n);
  GetComputerNameW(domain, &m);
  return std::wstring(domain) + L"\\" + user;
}

void Click(TControl& c) { SendMessageW(c.Handle(), BM_CLICK, 0, 0); }

bool SameText(const std::wstring& a, const std::wstring& b) { return AnsiLowerCase(a) == AnsiLowerCase(b); }

class StarterMainTest : public testing::Test {
 protected:
  void SetUp() override {
    Application().Initialize();
    Application().OnException = [](const std::wstring& text) { ADD_FAILURE() << testing::PrintToString(text); };
    SetTaskPlatform(&Platform);
    Standin.SetCurrentUser(QualifiedUser());
    IniName = Conf.Path() + L"\\" + ProgramName() + L".ini";
    TTestHooks::AnswerModal = [this](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Messages.push_back(box->Message());
        return box->DlgType() == TMsgDialogType::mdtConfirm ? ConfirmAnswer : mrOk;
      }
      return std::nullopt;
    };
  }
  void TearDown() override {
    TTestHooks::Clear();
    TCommonDialog::TestAnswer = nullptr;
    Application().DestroyForms();
    TStyleManager::TrySetStyle(TStyleManager::kSystemStyle);
    Application().Reset();
    SetTaskPlatform(nullptr);
  }
  std::wstring Job(const std::wstring& name, const std::string& content = "[Global]\r\n") {
    const std::wstring file = Jobs / name;
    hvtest::WriteBytes(file, content);
    return file;
  }
  // Groups as the program writes them: name, user, password, job files.
  void WriteIni(const std::vector<std::tuple<std::wstring, std::wstring, std::wstring, std::vector<std::wstring>>>& g) {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(IniName, true);
    ini.WriteInteger(L"Config", L"TaskCount", static_cast<int>(g.size()));
    for (size_t i = 0; i < g.size(); ++i) {
      const std::wstring sn = L"Task0" + std::to_wstring(i);
      ini.WriteString(sn, L"Description", std::get<0>(g[i]));
      ini.WriteString(sn, L"Username", std::get<1>(g[i]));
      ini.WriteString(sn, L"Password", std::get<2>(g[i]).empty() ? L"" : EncryptPassword(std::get<2>(g[i])));
      ini.WriteBool(sn, L"PasswordPrompt", false);
      const auto& files = std::get<3>(g[i]);
      ini.WriteInteger(sn, L"Count", static_cast<int>(files.size()));
      for (size_t j = 0; j < files.size(); ++j) ini.WriteString(sn, L"TaskFile0" + std::to_wstring(j), files[j]);
    }
    ini.UpdateFile();
  }
  // Shows the main form and drives it; the window is closed (and the settings saved) afterwards.
  TMainForm& Run(const std::function<void(TMainForm&)>& drive, const std::wstring& option = L"") {
    std::vector<std::wstring> args{L"/ini:" + Conf.Path() + L"\\"};
    if (!option.empty()) args.push_back(option);
    auto& form = Application().CreateForm<TMainForm>(args);
    TTestHooks::OnFormShown = [&form, drive, this](TForm& f) {
      if (&f == &form) {
        drive(form);
        Click(form.bbQuit);
        return;
      }
      for (auto& [type, handler] : Dialogs)
        if (handler(f)) return;
    };
    Application().Run();
    return form;
  }
  // Handlers of the dialogs the commands open; each answers true for its own form.
  template <class T>
  void On(std::function<void(T&)> handler) {
    Dialogs[typeid(T).name()] = [handler](TForm& f) {
      auto* d = dynamic_cast<T*>(&f);
      if (d) handler(*d);
      return d != nullptr;
    };
  }
  TUnicodeIniFile Saved() const { return TUnicodeIniFile::CreateForRead(IniName); }

  hvtest::TempDir Conf, Jobs;
  std::wstring IniName;
  test::TTaskServiceStandin Standin;
  TStandinPlatform Platform{Standin};
  std::map<std::string, std::function<bool(TForm&)>> Dialogs;
  std::vector<std::wstring> Messages;
  int ConfirmAnswer = mrYes;
};

// Adding and editing groups keeps what was typed into the group shown before.
TEST_F(StarterMainTest, GroupsAddedRenamedRemovedWithoutLosingTypedValues) {
  const std::wstring a = Job(L"a.buj"), b = Job(L"b.buj");
  WriteIni({{L"Daily", L"DOM\\backup", L"", {a, L"#" + b}}, {L"Weekly", L"", L"", {}}, {L"Gone", L"", L"", {}}});
  std::vector<std::wstring> prompts;
  std::wstring newName = L"Monthly";
  On<TInputTextDialog>([&](TInputTextDialog& d) {
    if (d.Caption() == L"Add new group") prompts.push_back(d.Descriptor.Text());
    if (prompts.size() == 1) hvtest::SaveScreenshot(d.Handle(), L"hvstarter-new-group");
    d.TextFeld.SetText(newName);
    Click(d.OKBtn);
  });
  On<TEditHistListDialog>([&](TEditHistListDialog& d) {
    EXPECT_EQ(d.Caption(), L"Edit group list");
    EXPECT_EQ(d.lbxStringList.Items(), (std::vector<std::wstring>{L"Daily", L"Weekly", L"Gone", L"Monthly"}));
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-edit-groups");
    for (int i = 0; i < d.lbxStringList.Count(); ++i) d.lbxStringList.SetSelected(i, i == 2);
    Click(d.btnDelete);
    for (int i = 0; i < d.lbxStringList.Count(); ++i) d.lbxStringList.SetSelected(i, i == 1);
    d.lbxStringList.SetItemIndex(1);
    newName = L"Weekend";
    Click(d.btnEdit);
    Click(d.OKBtn);
  });
  Run([&](TMainForm& f) {
    EXPECT_EQ(f.cbTasks.Items(), (std::vector<std::wstring>{L"Daily", L"Weekly", L"Gone"}));
    EXPECT_EQ(f.lbTasks.Items(), (std::vector<std::wstring>{a, b}));
    EXPECT_FALSE(f.lbTasks.Checked(1));
    hvtest::SaveScreenshot(f.Handle(), L"hvstarter-main-groups");
    // Typed, not stored yet; then a new group.
    f.edAccount.SetText(L"DOM\\typed");
    const bool sound = f.cbSound.Checked();
    Click(f.cbSound);
    Click(f.bbNewGroup);
    EXPECT_EQ(f.cbTasks.ItemIndex(), 3);
    EXPECT_EQ(f.edAccount.Text(), L"");
    EXPECT_EQ(f.lbTasks.Count(), 0);
    EXPECT_EQ(f.Groups[0]->User, L"DOM\\typed");
    EXPECT_EQ(f.Groups[0]->PlaySound, !sound);
    // An existing name (any case) offers that group.
    newName = L"daily";
    Click(f.bbNewGroup);
    EXPECT_EQ(f.cbTasks.ItemIndex(), 0);
    EXPECT_EQ(f.edAccount.Text(), L"DOM\\typed");
    EXPECT_EQ(f.Groups.size(), 4u);
    // Typed again, then the list editor: "Gone" removed, "Weekly" renamed.
    f.edLogDir.SetText(L"D:\\Logs");
    Click(f.bbEditGroups);
    EXPECT_EQ(f.cbTasks.Items(), (std::vector<std::wstring>{L"Daily", L"Weekend", L"Monthly"}));
    EXPECT_EQ(f.Groups[0]->AltLogDir, L"D:\\Logs");
    EXPECT_EQ(f.cbTasks.ItemIndex(), 1);
    EXPECT_EQ(f.Groups[1]->Desc, L"Weekend");
  });
  EXPECT_EQ(prompts, (std::vector<std::wstring>{L"Name:", L"Name:"}));
  EXPECT_EQ(Messages, (std::vector<std::wstring>{L"Group \"Daily\" already exists - Edit?"}));
  const TUnicodeIniFile ini = Saved();
  EXPECT_EQ(ini.ReadInteger(L"Config", L"TaskCount", 0), 3);
  EXPECT_EQ(ini.ReadString(L"Config", L"LastTask", L""), L"Weekend");
  EXPECT_EQ(ini.ReadString(L"Task00", L"Username", L""), L"DOM\\typed");
  EXPECT_EQ(ini.ReadString(L"Task00", L"LogDirectory", L""), L"D:\\Logs");
  EXPECT_EQ(ini.ReadString(L"Task00", L"TaskFile01", L""), L"#" + b);
  EXPECT_EQ(ini.ReadString(L"Task01", L"Description", L""), L"Weekend");
  EXPECT_EQ(ini.ReadString(L"Task02", L"Description", L""), L"Monthly");
  EXPECT_FALSE(ini.SectionExists(L"Task03"));
}

// The first start offers a group and every way to fill it.
TEST_F(StarterMainTest, FirstStartGroupGetsJobFilesThatCanBeOrdered) {
  const std::wstring a = Job(L"a.buj"), b = Job(L"b b.buj");
  TCommonDialog::TestAnswer = [&](TCommonDialog& c) -> std::optional<bool> {
    auto& d = dynamic_cast<TOpenDialog&>(c);
    EXPECT_EQ(d.Title, L"Select backup task");
    EXPECT_EQ(d.Filter, L"Backup tasks|*.buj|all|*.*");
    EXPECT_TRUE(d.Options & ofAllowMultiSelect);
    d.Files = {a, b, a};  // the same file twice gives two entries
    d.FileName = a;
    return true;
  };
  Run([&](TMainForm& f) {
    EXPECT_EQ(f.cbTasks.Items(), (std::vector<std::wstring>{L"New group"}));
    EXPECT_TRUE(f.bbAddTask.Enabled());
    EXPECT_TRUE(f.rbPwdPrompt.Checked());
    hvtest::SaveScreenshot(f.Handle(), L"hvstarter-main-first-start");
    Click(f.bbAddTask);
    EXPECT_EQ(f.lbTasks.Items(), (std::vector<std::wstring>{a, b, a}));
    f.lbTasks.SetItemIndex(0);
    Click(f.UpBtn);  // at the top: nothing
    Click(f.DownBtn);
    EXPECT_EQ(f.lbTasks.Items(), (std::vector<std::wstring>{b, a, a}));
    EXPECT_EQ(f.lbTasks.ItemIndex(), 1);
    f.lbTasks.SetChecked(0, false);
    f.lbTasks.SetItemIndex(2);
    Click(f.bbRemTask);  // the last one: the new last is selected
    EXPECT_EQ(f.lbTasks.Items(), (std::vector<std::wstring>{b, a}));
    EXPECT_EQ(f.lbTasks.ItemIndex(), 1);
    hvtest::SaveScreenshot(f.Handle(), L"hvstarter-main-job-files");
  });
  const TUnicodeIniFile ini = Saved();
  EXPECT_EQ(ini.ReadString(L"Task00", L"Description", L""), L"New group");
  EXPECT_EQ(ini.ReadInteger(L"Task00", L"Count", 0), 2);
  EXPECT_EQ(ini.ReadString(L"Task00", L"TaskFile00", L""), L"#" + b);
  EXPECT_EQ(ini.ReadString(L"Task00", L"TaskFile01", L""), a);
  EXPECT_EQ(ini.ReadString(L"Config", L"LastDir", L""), Jobs.Path() + L"\\");
}

TEST_F(StarterMainTest, PasswordModeStatusAndDelayControls) {
  // No stored password: "Prompt for password" although the INI says otherwise.
  WriteIni({{L"G", L"DOM\\backup", L"", {}}, {L"H", L"other", L"stored pw", {}}});
  std::vector<std::wstring> titles;
  std::wstring typed;
  On<TNewPwdDialog>([&](TNewPwdDialog& d) {
    titles.push_back(d.Caption());
    EXPECT_TRUE(d.edtRepPwd.Visible());
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-fixed-password");
    if (typed.empty()) {
      Click(d.CancelBtn);
      return;
    }
    d.edtPwd.SetText(typed);
    d.edtRepPwd.SetText(typed);
    Click(d.OKBtn);
  });
  Run([&](TMainForm& f) {
    EXPECT_TRUE(f.rbPwdPrompt.Checked());
    Click(f.rbPwdFixed);  // cancelled: back to the prompt
    EXPECT_TRUE(f.rbPwdPrompt.Checked());
    EXPECT_FALSE(f.rbPwdFixed.Checked());
    typed = L"n3w pw";
    Click(f.btnUserPwd);
    EXPECT_TRUE(f.rbPwdFixed.Checked());
    // Status modes with and without the display time.
    const std::pair<int, bool> modes[] = {{0, false}, {1, true}, {2, false}, {3, true}, {4, false}};
    for (const auto& [mode, shown] : modes) {
      f.rgStatus.Button(mode).Click();
      EXPECT_EQ(f.paStat.Visible(), shown) << mode;
    }
    f.rgStatus.Button(2).Click();
    // The delay: only with parallel runs; checked with 0 it becomes 20.
    EXPECT_FALSE(f.cbDelay.Enabled());
    Click(f.cbParallel);
    EXPECT_TRUE(f.cbDelay.Enabled());
    EXPECT_FALSE(f.cbDelay.Checked());
    Click(f.cbDelay);
    EXPECT_EQ(f.reDelay.Value(), 20);
    f.udDelay.ClickUp();
    EXPECT_EQ(f.reDelay.Value(), 25);
    hvtest::SaveScreenshot(f.Handle(), L"hvstarter-main-options");
    // To group H and back: the values were stored.
    f.cbTasks.SetItemIndex(1);
    f.cbTasks.OnCloseUp();
    EXPECT_TRUE(f.rbPwdFixed.Checked());
    f.cbTasks.SetItemIndex(0);
    f.cbTasks.OnCloseUp();
    EXPECT_TRUE(f.cbDelay.Checked());
    EXPECT_EQ(f.reDelay.Value(), 25);
    Click(f.cbDelay);  // unchecked: no delay stored
    Click(f.bbStart);  // nothing to run; the delay stays off afterwards
    EXPECT_FALSE(f.cbDelay.Checked());
    EXPECT_TRUE(f.cbDelay.Enabled());
    Click(f.rbPwdPrompt);  // clears the password
  });
  EXPECT_EQ(Messages, (std::vector<std::wstring>{L"No backup tasks specified!"}));
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"User name: DOM\\backup", L"User name: DOM\\backup"}));
  const TUnicodeIniFile ini = Saved();
  EXPECT_EQ(ini.ReadInteger(L"Task00", L"StartDelay", -1), 0);
  EXPECT_TRUE(ini.ReadBool(L"Task00", L"Parallel", false));
  EXPECT_EQ(ini.ReadInteger(L"Task00", L"StatusWindow", -1), 2);
  EXPECT_EQ(ini.ReadString(L"Task00", L"Password", L"x"), L"");
  EXPECT_TRUE(ini.ReadBool(L"Task00", L"PasswordPrompt", false));
  EXPECT_EQ(DecryptPassword(ini.ReadString(L"Task01", L"Password", L"")), L"stored pw");
}

TEST_F(StarterMainTest, MailSettingsFromTheWindowStoredInTheIni) {
  WriteIni({{L"G", L"", L"", {}}});
  int round = 0;
  On<TInputTextDialog>([&](TInputTextDialog& d) {
    d.TextFeld.SetText(L"admin@example.org");
    Click(d.OKBtn);
  });
  On<TMailDialog>([&](TMailDialog& d) {
    ++round;
    EXPECT_TRUE(d.cbMail.Visible());
    EXPECT_EQ(d.cbMail.Text(), L"Send mail on errors");
    EXPECT_FALSE(d.cbShowPwd.Visible());
    if (round == 1) {  // cancelled: the box is unchecked again
      Click(d.CancelBtn);
      return;
    }
    if (round == 3) {  // switched off and on again: the settings were kept
      EXPECT_EQ(d.cbServer.Text(), L"smtp.example.org");
      Click(d.OKBtn);
      return;
    }
    d.cbServer.SetText(L"smtp.example.org");
    d.cbSecure.SetItemIndex(2);
    d.cbSecure.OnCloseUp();
    d.edPort.SetValue(587);
    d.edSubject.SetText(L"Starter errors");
    Click(d.btnAdd);
    EXPECT_TRUE(d.cbMail.Checked());
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-mail-from-main");
    Click(d.OKBtn);
  });
  Run([&](TMainForm& f) {
    EXPECT_FALSE(f.cbMail.Checked());
    Click(f.cbMail);
    EXPECT_FALSE(f.cbMail.Checked());
    EXPECT_FALSE(f.MailData.Enabled);
    Click(f.cbMail);
    EXPECT_TRUE(f.cbMail.Checked());
    EXPECT_TRUE(f.MailData.Enabled);
    Click(f.cbMail);  // unchecked: off, settings kept
    EXPECT_FALSE(f.MailData.Enabled);
    Click(f.cbMail);
    EXPECT_EQ(round, 3);
    EXPECT_TRUE(f.MailData.Enabled);
    EXPECT_TRUE(f.cbMail.Checked());
  });
  const std::string bytes = hvtest::ReadBytes(IniName);
  ASSERT_GE(bytes.size(), 2u);
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  const size_t p = text.find(L"[Mail]\r\n");
  ASSERT_NE(p, std::wstring::npos);
  const size_t end = text.find(L"\r\n[", p);
  const std::wstring section = end == std::wstring::npos ? text.substr(p) : text.substr(p, end + 2 - p);
  EXPECT_EQ(section, L"[Mail]\r\nSMTP=smtp.example.org\r\nPort=587\r\nUsername=\r\nPassword=\r\nSender=HvStarter\r\n"
                     L"ReplyTo=\r\nRecipients=admin@example.org\r\nSubject=Starter errors\r\nUseTLS=2\r\n"
                     L"Enabled=1\r\n");
}

TEST_F(StarterMainTest, DesktopShortcutCarriesTheStarterCommandLine) {
  WriteIni({{L"Daily", L"", L"", {}}, {L"Week end", L"", L"", {}}});
  const std::wstring name = L"Starter main window test";
  const std::wstring desktop = GetSpecialFolder(CSIDL_DESKTOPDIRECTORY);
  CreateDirectoryW(desktop.c_str(), nullptr);
  const std::wstring link = desktop + L"\\" + name + L".lnk";
  DeleteFileW(link.c_str());
  On<TShortcutDialog>([&](TShortcutDialog& d) {
    EXPECT_EQ(d.Caption(), L"Create Desktop shortcut");
    EXPECT_EQ(d.laName.Text(), L"Name of shortcut:");
    EXPECT_TRUE(d.cbLockScreen.Visible());
    EXPECT_EQ(d.lbConfigs.Items(), (std::vector<std::wstring>{L"Daily", L"Week end"}));
    EXPECT_TRUE(d.cbWritelog.Checked());
    d.lbConfigs.SetSelected(1, true);
    d.edName.SetText(name);
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-desktop-shortcut");
    Click(d.OKBtn);
  });
  Run([&](TMainForm& f) {
    Click(f.bbDesktop);
    ConfirmAnswer = mrNo;
    Click(f.bbDesktop);  // exists: not replaced
  });
  EXPECT_EQ(Messages, (std::vector<std::wstring>{L"Replace existing desktop shortcut \"" + name + L"\"?"}));
  std::wstring target, args, workDir, desc;
  bool runAs = true;
  ASSERT_EQ(ReadShellLinkEx(link, target, args, workDir, desc, runAs), S_OK);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_EQ(AnsiLowerCase(target), AnsiLowerCase(self));
  EXPECT_EQ(args, L"\"Week end\" /force /ini:" + Conf.Path() + L"\\ /logmode:1");
  EXPECT_EQ(AnsiLowerCase(AddPathDelimiter(workDir)), AnsiLowerCase(ProgramDir()));
  EXPECT_EQ(desc, name);
  EXPECT_FALSE(runAs);
  DeleteFileW(link.c_str());
}

TEST_F(StarterMainTest, ScheduledTaskThroughTheStarterDialogAndTheWizard) {
  WriteIni({{L"Daily", L"", L"", {}}, {L"Weekly", L"", L"", {}}});
  On<TShortcutDialog>([&](TShortcutDialog& d) {
    EXPECT_EQ(d.Caption(), L"Create Windows Scheduled Task");
    EXPECT_EQ(d.laName.Text(), L"Name of task:");
    EXPECT_EQ(d.OKBtn.Text(), L"Next");
    EXPECT_FALSE(d.cbLockScreen.Visible());
    d.lbConfigs.SetSelected(0, true);
    d.edName.SetText(L"Nightly");
    Click(d.OKBtn);
  });
  std::wstring wizardName;
  On<TTaskScheduleDialog>([&](TTaskScheduleDialog& d) {
    wizardName = d.edJobName.Text();
    EXPECT_EQ(d.Caption(), L"Windows Scheduled Task Wizard (Start backups)");
    EXPECT_EQ(d.pcMain.ActivePageIndex(), 1);  // no settings page for the starter
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-task-wizard");
    Click(d.btnNext);
    Click(d.btnNext);
  });
  Run([&](TMainForm& f) {
    ConfirmAnswer = mrNo;
    Click(f.bbEditWinTask);  // none yet: offered to create one
    Click(f.bbNewWinTask);
  });
  EXPECT_EQ(Messages, (std::vector<std::wstring>{L"No scheduled tasks using HvStarter found!",
                                                 L"No scheduled tasks using HvStarter found!\r\nCreate new task?"}));
  EXPECT_EQ(wizardName, L"Starter-Nightly");
  ASSERT_EQ(Standin.TaskCount(), 1);
  const std::wstring xml = Standin.StoredXml(L"\\Starter-Nightly");
  EXPECT_NE(xml.find(L"Daily /force /ini:" + Conf.Path() + L"\\ /logmode:1"), std::wstring::npos) << xml;
}

TEST_F(StarterMainTest, SchedulerUnavailableIsReported) {
  Standin.SetConnectResult(E_ACCESSDENIED);
  WriteIni({{L"G", L"", L"", {}}});
  Run([&](TMainForm& f) {
    Click(f.bbNewWinTask);
    Click(f.bbEditWinTask);
  });
  ASSERT_EQ(Messages.size(), 2u);
  EXPECT_EQ(Messages[0].find(L"Error on connecting to Windows Task Scheduler:"), 0u) << Messages[0];
  EXPECT_EQ(Messages[1], Messages[0]);
}

TEST_F(StarterMainTest, JobEditedAndLogsShown) {
  hvtest::TempDir logs;
  const std::wstring a = Job(L"night job.buj", "[Global]\r\nLogName=%taskname%.log\r\n");
  hvtest::WriteBytes(logs / L"night job.log", "Harvane - first\r\n  *** broken\r\n");
  WriteIni({{L"G", L"DOM\\backup", L"", {}}, {L"H", L"DOM\\backup", L"secret", {a}}});
  const std::wstring record = Conf / L"logon.txt";
  SetLogonStarter(&RecordingLogonStarter(record));
  std::vector<std::wstring> prompts;
  On<TPasswordDialog>([&](TPasswordDialog& d) {
    prompts.push_back(d.Caption());
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-edit-password");
    Click(d.CancelBtn);
  });
  std::wstring viewerText;
  On<TShowTextDialog>([&](TShowTextDialog& d) {
    viewerText = d.Memo.Text();
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-job-log");
    d.Close();
  });
  Run([&](TMainForm& f) {
    Click(f.bbEdit);  // group G has no job
    Click(f.bbShowLog);  // no starter log yet
    f.cbTasks.SetItemIndex(1);
    f.cbTasks.OnCloseUp();
    EXPECT_FALSE(f.bbShowHvLog.Enabled());
    f.edLogDir.SetText(logs.Path());
    EXPECT_TRUE(f.bbShowHvLog.Enabled());
    Click(f.bbShowHvLog);
    Click(f.bbEdit);  // stored password: no prompt
    f.UserPwd.clear();
    Click(f.rbPwdPrompt);
    Click(f.bbEdit);  // prompt cancelled: nothing started
  });
  SetLogonStarter(nullptr);
  ASSERT_EQ(Messages.size(), 2u);
  EXPECT_EQ(Messages[0], L"No backup tasks specified!");
  EXPECT_EQ(Messages[1].find(L"Log file not found: "), 0u);
  EXPECT_NE(viewerText.find(L"  *** broken"), std::wstring::npos);
  EXPECT_EQ(prompts.size(), 1u);
  const std::string rec = hvtest::ReadBytes(record);
  EXPECT_NE(rec.find("/startapp:hvstarter /logdir:"), std::string::npos) << rec;
  EXPECT_NE(rec.find(WideToUtf8(L"\"" + a + L"\" /edit")), std::string::npos) << rec;
  EXPECT_EQ(rec.find("[Logon]"), rec.rfind("[Logon]"));  // started once
}

TEST_F(StarterMainTest, ApplicationStartedUnderTheGroupsAccount) {
  WriteIni({{L"G", L"DOM\\backup", L"secret", {}}});
  std::vector<std::wstring> started;
  On<TAppDialog>([&](TAppDialog& d) {
    EXPECT_EQ(d.edAccount.Text(), L"DOM\\backup");
    d.edFileMgr.SetText(hvtest::TestChildExe());
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-start-application");
    Click(d.bbStartFileMgr);
  });
  Run([&](TMainForm& f) {
    f.AppStarter = [&](std::wstring_view user, std::wstring_view domain, std::wstring_view pwd,
                       std::wstring_view cmd, std::wstring_view) -> HANDLE {
      started.push_back(std::wstring(domain) + L"|" + std::wstring(user) + L"|" + std::wstring(pwd) + L"|" +
                        std::wstring(cmd));
      return nullptr;
    };
    Click(f.bbStartApp);
  });
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0], L"DOM|backup|secret|" + QuoteIfNeeded(hvtest::TestChildExe(), L" "));
}

TEST_F(StarterMainTest, LogFolderChosenOwnLogAndInfoShown) {
  const std::wstring logs = Conf / L"logs", pick = logs + L"\\picked";
  CreateDirectoryW(logs.c_str(), nullptr);
  CreateDirectoryW(pick.c_str(), nullptr);
  WriteIni({{L"G", L"", L"", {}}});
  std::wstring startDir;
  On<TShellDirDialog>([&](TShellDirDialog& d) {
    startDir = d.cbxSelectedDir.Text();
    EXPECT_EQ(d.Caption(), L"Select log directory");
    EXPECT_TRUE(d.ShellTreeView.GoTo(pick));
    Click(d.btbOK);
  });
  std::wstring viewerCaption;
  On<TShowTextDialog>([&](TShowTextDialog& d) {
    viewerCaption = d.Caption();
    hvtest::SaveScreenshot(d.Handle(), L"hvstarter-own-log");
    d.Close();
  });
  On<TShowMsgDialog>([&](TShowMsgDialog& d) {
    if (d.DlgType() == TMsgDialogType::mdtInformation) hvtest::SaveScreenshot(d.Handle(), L"hvstarter-info");
  });
  Run([&](TMainForm& f) {
    hvtest::WriteBytes(f.LogName, "HvStarter - 64-bit\r\n  *** Unknown group: X\r\n");
    f.edLogDir.SetText(logs + L"\\not yet");  // the nearest existing folder is offered
    Click(f.bbLogDir);
    EXPECT_TRUE(SameText(AddPathDelimiter(f.edLogDir.Text()), pick + L"\\")) << f.edLogDir.Text();
    EXPECT_TRUE(f.bbShowHvLog.Enabled());
    Click(f.bbShowLog);
    Click(f.bbInfo);
  });
  EXPECT_TRUE(SameText(AddPathDelimiter(startDir), logs + L"\\")) << startDir;
  EXPECT_NE(viewerCaption.find(L".log"), std::wstring::npos) << viewerCaption;
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_FALSE(Messages[0].empty());
  EXPECT_TRUE(SameText(AddPathDelimiter(Saved().ReadString(L"Task00", L"LogDirectory", L"")), pick + L"\\"));
}

// The window opens where it was closed last time, and a move is stored.
TEST_F(StarterMainTest, WindowOpensWhereItWasLeft) {
  WriteIni({{L"G", L"", L"", {}}});
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(IniName, false);
    ini.WriteInteger(L"Config", L"Left", 60);
    ini.WriteInteger(L"Config", L"Top", 50);
    ini.UpdateFile();
  }
  Run([&](TMainForm& f) {
    EXPECT_EQ(f.BoundsRect().left, 60);
    EXPECT_EQ(f.BoundsRect().top, 50);
    f.SetPos(110, 90);
  });
  const TUnicodeIniFile ini = Saved();
  EXPECT_EQ(ini.ReadInteger(L"Config", L"Left", 0), 110);
  EXPECT_EQ(ini.ReadInteger(L"Config", L"Top", 0), 90);
}

// In the dark scheme the lists take the scheme's colours.
TEST_F(StarterMainTest, TabWalksTheWindowInReadingOrder) {
  WriteIni({{L"Dark", L"DOM\\backup", L"pw", {Job(L"a.buj"), L"#" + Job(L"b.buj")}}});
  const std::wstring domain = DefaultTextDomain();
  SetDefaultTextDomain(L"HvStarter");
  ASSERT_TRUE(LoadLanguageCatalogs(hvtest::BinaryDir() + L"\\bin\\locale", L"de"));
  Run([&](TMainForm& f) {
    hvtest::ExpectReadingTabOrder(f.Handle(), L"HvStarter");
    hvtest::Shot(f, L"hvstarter-main-de");
    hvtest::Shot(f, L"hvstarter-main-de-dark", true);
  });
  ClearCatalogs();
  SetDefaultTextDomain(domain);
}

TEST_F(StarterMainTest, DarkSchemeWindow) {
  WriteIni({{L"Dark", L"DOM\\backup", L"pw", {Job(L"a.buj"), L"#" + Job(L"b.buj")}}, {L"Other", L"", L"", {}}});
  Run([&](TMainForm& f) {
    EXPECT_FALSE(TStyleManager::IsSystemStyle());
    f.lbTasks.SetItemIndex(1);
    hvtest::SaveScreenshot(f.Handle(), L"hvstarter-main-dark");
  }, L"/dark");
}

}  // namespace
}  // namespace hv::hvstarter
