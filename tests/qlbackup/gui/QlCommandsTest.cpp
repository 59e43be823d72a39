// The commands of QlBackup's main window, each driven from the window and answered in its dialogs.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <functional>

#include "QlGuiTest.h"
#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinShell.h"
#include "base/security/Crypt.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "dialogs/NewPwdDlg.h"
#include "dialogs/PhDlg.h"
#include "dialogs/SelectDlg.h"
#include "dialogs/ShellDirDlg.h"
#include "dialogs/ShowMemo.h"
#include "e2e/QlFixture.h"
#include "qlbackup/QlMain.h"
#include "qlbackup/SelectFromListDlg.h"
#include "qlbackup/SelectProfileDlg.h"
#include "standin/TaskServiceStandin.h"
#include "support/TestSupport.h"
#include "unattended/DesktopIconDlg.h"
#include "unattended/MailTestDlg.h"
#include "unattended/ShortcutDlg.h"
#include "unattended/StatWind.h"
#include "unattended/TaskSchedDlg.h"
#include "winui/Dpi.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

namespace fs = std::filesystem;
using qlbackup::TMainForm;

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

using hvtest::Click;

std::wstring ExePath() {
  wchar_t buf[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return std::wstring(buf, n);
}

class QlCommandsTest : public hvtest::QlGuiTest {
 protected:
  void SetUp() override {
    QlGuiTest::SetUp();
    Standin.SetCurrentUser(QualifiedUser());
    SetTaskPlatform(&Platform);
    TaskNamePrompt() = [](std::wstring_view, std::wstring_view, std::wstring&) { return true; };
    // Every dialog the window opens goes to Answer; message boxes are kept and answered with Answers.
    TTestHooks::OnFormShown = [this](TForm& f) {
      if (Form && &f == Form) {
        if (!Started) {
          Started = true;
          Script(*Form);
          if (CloseByTitleBar) SendMessageW(Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
          else Click(Form->bbQuit);
        }
        return;
      }
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Boxes.push_back(box->Message());
        if (!BoxShot.empty()) hvtest::SaveScreenshot(f.Handle(), std::exchange(BoxShot, L""));
        box->ModalResult = BoxAnswer;
        return;
      }
      Shown.push_back(&f);
      if (Answer) Answer(f);
      if (f.ModalResult == mrNone) f.ModalResult = mrCancel;
    };
  }
  void TearDown() override {
    TTestHooks::Clear();
    QlGuiTest::TearDown();
    TaskNamePrompt() = nullptr;
    SetTaskPlatform(nullptr);
    VolumeSource() = SystemVolumeSource();
  }
  // Runs the window; script drives it once it shows, then "Quit" is pressed.
  void Run(std::function<void(TMainForm&)> script) {
    if (Form) {  // a new start of the program
      Application().DestroyForms();
      Application().Reset();
      StartApplication();
      Shown.clear();
    }
    Started = false;
    Script = std::move(script);
    Form = &Application().CreateForm<TMainForm>();
    Application().Run();
  }
  std::string JobBytes() const { return hvtest::ReadBytes(JobDir + L"\\ql-default-release.buj"); }
  std::wstring JobValue(const wchar_t* key, const wchar_t* profile = L"default-release") const {
    return TUnicodeIniFile::CreateForRead(JobDir + L"\\ql-" + profile + L".buj").ReadString(L"Global", key, L"");
  }

  test::TTaskServiceStandin Standin;
  TStandinPlatform Platform{Standin};
  TMainForm* Form = nullptr;
  bool Started = false, CloseByTitleBar = false;
  std::function<void(TMainForm&)> Script;
  std::function<void(TForm&)> Answer;
  std::vector<std::wstring> Boxes;
  std::vector<TForm*> Shown;
  int BoxAnswer = mrOk;
  std::wstring BoxShot;
};

TEST_F(QlCommandsTest, ShortcutOnTheDesktopStartsTheProfile) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  const std::wstring desktop = GetSpecialFolder(CSIDL_DESKTOPDIRECTORY);
  CreateDirectoryW(desktop.c_str(), nullptr);
  const std::wstring link = desktop + L"\\Backup ql-default-release.lnk";
  DeleteFileW(link.c_str());
  int dialogs = 0;
  Answer = [&](TForm& f) {
    auto* d = dynamic_cast<TDesktopIconDialog*>(&f);
    ASSERT_NE(d, nullptr);
    ++dialogs;
    EXPECT_EQ(d->Caption(), L"Backup mail data");
    EXPECT_EQ(d->edShortcut.Text(), L"Backup ql-default-release");
    EXPECT_EQ(d->edDescription.Text(), L"Thunderbird mail backup: Default user");
    if (dialogs == 1) hvtest::SaveScreenshot(d->Handle(), L"qlbackup-shortcut");
    d->OKBtn.Click();
  };
  BoxAnswer = mrNo;
  std::wstring args;
  Run([&](TMainForm& form) {
    form.cbxStatus.SetItemIndex(3);
    form.reWait.SetValue(10);
    Click(form.bbBackupShortcut);
    std::wstring t, w, desc;
    ASSERT_TRUE(ReadShellLink(link, t, args, w, desc));
    EXPECT_TRUE(SameFileName(t, ExePath())) << t;
    EXPECT_TRUE(SameFileName(w, form.Core.JobDir)) << w;
    EXPECT_EQ(desc, L"Thunderbird mail backup: Default user");
    // A second shortcut of the same name asks first; "No" keeps the old one.
    DeleteFileW(form.Core.BuTaskName.c_str());
    Click(form.bbBackupShortcut);
    EXPECT_FALSE(fs::exists(fs::path(form.Core.BuTaskName)));
  });
  EXPECT_EQ(dialogs, 2);
  EXPECT_EQ(Boxes, std::vector<std::wstring>{L"Replace existing desktop shortcut \"Backup ql-default-release\"?"});
  EXPECT_EQ(args.substr(0, args.find(L" /")), L"default-release");
  for (const wchar_t* option : {L" /prompt:error", L" /wait:10", L" /hide", L" /force"})
    EXPECT_NE(args.find(option), std::wstring::npos) << testing::PrintToString(args);
  DeleteFileW(link.c_str());
}

// The task of the profile: made by the wizard, then offered to run, edit or remove.
TEST_F(QlCommandsTest, ScheduledTaskCreatedThenRunEditOrRemove) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  std::vector<std::wstring> wizardNames;
  std::vector<std::vector<std::wstring>> offered;
  int pick = -1;
  Answer = [&](TForm& f) {
    if (auto* w = dynamic_cast<TTaskScheduleDialog*>(&f)) {
      wizardNames.push_back(w->edJobName.Text());
      if (wizardNames.size() == 1) hvtest::SaveScreenshot(w->Handle(), L"qlbackup-task-wizard");
      w->btnNext.Click();
      w->btnNext.Click();
    } else if (auto* s = dynamic_cast<TSelectDialog*>(&f)) {
      std::vector<std::wstring> captions;
      for (auto& b : s->Buttons) captions.push_back(b->Text());
      offered.push_back(captions);
      EXPECT_TRUE(s->Buttons.back()->Focused());
      if (offered.size() == 1) hvtest::SaveScreenshot(s->Handle(), L"qlbackup-task-options");
      if (pick >= 0) s->Buttons[static_cast<size_t>(pick)]->Click();
    } else {
      ADD_FAILURE() << "unexpected dialog";
    }
  };
  Run([&](TMainForm& form) {
    ASSERT_NE(form.TaskScheduler, nullptr);
    form.cbxStatus.SetItemIndex(3);
    form.reWait.SetValue(10);
    Click(form.bbWinTask);
    ASSERT_EQ(Standin.TaskCount(), 1);
    TWinTaskFolder& folder = *form.TaskScheduler->TaskFolder();
    folder.Refresh();
    TWinTask& t = folder.Tasks(0).Definition();
    EXPECT_EQ(folder.Tasks(0).TaskName(), L"Quillback-default-release");
    EXPECT_EQ(t.UserData(), L"Ql-Backup-default-release");
    EXPECT_EQ(t.Action(0).Arguments(), L"default-release /prompt:error /wait:10 /status:normal /hide /force");
    EXPECT_TRUE(fs::exists(fs::path(form.Core.BuTaskName)));
    pick = -1;  // "Cancel"
    Click(form.bbWinTask);
    pick = 1;  // "Edit": the wizard on the same task
    Click(form.bbWinTask);
    EXPECT_EQ(Standin.TaskCount(), 1);
    pick = 2;  // "Remove"
    Click(form.bbWinTask);
    EXPECT_EQ(Standin.TaskCount(), 0);
  });
  EXPECT_EQ(wizardNames, (std::vector<std::wstring>{L"Quillback-default-release", L"Quillback-default-release"}));
  ASSERT_EQ(offered.size(), 3u);
  EXPECT_EQ(offered[0], (std::vector<std::wstring>{L"Run", L"Edit", L"Remove", L"Cancel"}));
  EXPECT_TRUE(Boxes.empty()) << testing::PrintToString(Boxes);
}

TEST_F(QlCommandsTest, TaskWithoutTheServiceOrDestinationIsRefused) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  Standin.SetConnectResult(E_ACCESSDENIED);
  Run([&](TMainForm& form) {
    EXPECT_EQ(form.TaskScheduler, nullptr);
    Click(form.bbWinTask);
    form.leBackupDir.SetText(L"");
    Click(form.bbBackupShortcut);
    Click(form.bbWinTask);
  });
  ASSERT_EQ(Boxes.size(), 3u);
  EXPECT_EQ(Boxes[0], TaskSchedulerErrorText(E_ACCESSDENIED));
  EXPECT_EQ(Boxes[1], L"Destination: No directory specified!");
  EXPECT_EQ(Boxes[2], L"Destination: No directory specified!");
  EXPECT_TRUE(Shown.empty());
}

// "Quit" and the title bar write the job only after a change; loading a job opens no dialog.
TEST_F(QlCommandsTest, JobWrittenWhenChangedOnQuitOrTitleBarClose) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  fs::create_directories(fs::path(JobDir));
  {
    TUnicodeIniFile job = TUnicodeIniFile::CreateForWrite(JobDir + L"\\ql-default-release.buj", false);
    job.WriteString(L"Global", L"Compress", L"1");
    job.WriteString(L"Global", L"Encrypt", L"1");
    job.WriteString(L"Global", L"FixPassword", L"1");
    job.UpdateFile();
  }
  const std::string before = JobBytes();
  Run([](TMainForm& form) {
    EXPECT_TRUE(form.cbFixPwd.Checked());
    EXPECT_TRUE(form.btnCryptPassword.Enabled());
    EXPECT_FALSE(form.Core.Changed);
  });
  EXPECT_TRUE(Shown.empty());
  EXPECT_EQ(JobBytes(), before);

  Run([](TMainForm& form) {
    form.pcOptions.SetActivePageIndex(1);
    Click(form.cbNoComp);
  });
  EXPECT_EQ(JobValue(L"Compress"), L"0");

  CloseByTitleBar = true;
  Run([](TMainForm& form) {
    form.pcOptions.SetActivePageIndex(1);
    EXPECT_TRUE(form.cbNoComp.Checked());
    Click(form.cbNoComp);
  });
  EXPECT_EQ(JobValue(L"Compress"), L"1");
  EXPECT_TRUE(Shown.empty());
}

TEST_F(QlCommandsTest, EditsKeptWhenAnotherProfileIsShown) {
  qle2e::TThunderbirdInstall tb(L"duplicates", ProgramName());
  fs::create_directories(fs::path(JobDir));
  for (const wchar_t* profile : {L"alpha", L"beta"}) {
    TUnicodeIniFile job = TUnicodeIniFile::CreateForWrite(JobDir + L"\\ql-" + profile + L".buj", false);
    job.WriteString(L"Global", L"Compress", L"1");
    job.UpdateFile();
  }
  Answer = [](TForm& f) {
    if (auto* d = dynamic_cast<TSelectProfileDialog*>(&f)) {
      d->lbProfiles.SetItemIndex(1);
      d->ModalResult = mrOk;
    }
  };
  Run([](TMainForm& form) {
    form.pcOptions.SetActivePageIndex(1);
    Click(form.cbNoComp);
    Click(form.bbProfile);
    EXPECT_EQ(form.leProfile.Text(), L"beta");
    EXPECT_FALSE(form.cbNoComp.Checked());
  });
  EXPECT_EQ(JobValue(L"Compress", L"alpha"), L"0");
  EXPECT_EQ(JobValue(L"Compress", L"beta"), L"1");
}

// The profile button reads "profiles.ini" again: a profile added meanwhile is offered; without any
// profile left the window closes.
TEST_F(QlCommandsTest, ProfileButtonOffersAProfileAddedMeanwhile) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  const std::wstring profilesIni = tb.Dir + L"\\profiles.ini";
  std::vector<std::wstring> offered;
  Answer = [&](TForm& f) {
    if (auto* d = dynamic_cast<TSelectProfileDialog*>(&f)) {
      for (int i = 0; i < d->lbProfiles.Count(); ++i) offered.push_back(d->lbProfiles.Item(i));
      d->lbProfiles.SetItemIndex(1);
      d->ModalResult = mrOk;
    }
  };
  bool closed = false;
  Run([&](TMainForm& form) {
    EXPECT_EQ(form.leProfile.Text(), L"Default user");
    fs::create_directories(fs::path(tb.Dir + L"\\Profiles\\n3w.added"));
    hvtest::WriteBytes(profilesIni, hvtest::ReadBytes(profilesIni) +
                                        "\r\n[Profile1]\r\nName=added\r\nIsRelative=1\r\nPath=Profiles/n3w.added\r\n");
    Click(form.bbProfile);
    EXPECT_EQ(form.leProfile.Text(), L"added");
    EXPECT_EQ(form.Core.BuTaskName, form.Core.JobDir + L"ql-added.buj");
    DeleteFileW(profilesIni.c_str());
    Click(form.bbProfile);
    closed = !IsWindowVisible(form.Handle());
  });
  EXPECT_EQ(offered, (std::vector<std::wstring>{L"Default user", L"added"}));
  EXPECT_EQ(Boxes, std::vector<std::wstring>{L"No Thunderbird profiles found!"});
  EXPECT_TRUE(closed);
}

TEST_F(QlCommandsTest, FixedPasswordAskedOnlyWhenTheUserTicksIt) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  std::vector<std::wstring> titles;
  std::wstring next = L"";  // empty: cancel
  Answer = [&](TForm& f) {
    auto* d = dynamic_cast<TNewPwdDialog*>(&f);
    ASSERT_NE(d, nullptr);
    titles.push_back(d->Caption());
    if (titles.size() == 1) hvtest::SaveScreenshot(d->Handle(), L"qlbackup-fixed-password");
    if (next.empty()) {
      d->CancelBtn.Click();
      return;
    }
    d->edtPwd.SetText(next);
    d->edtRepPwd.SetText(next);
    d->OKBtn.Click();
  };
  Run([&](TMainForm& form) {
    Click(form.gbEncrypt.CheckBox);
    EXPECT_TRUE(form.cbFixPwd.Enabled());
    EXPECT_FALSE(form.btnCryptPassword.Enabled());
    Click(form.cbFixPwd);  // cancelled: unticked again
    EXPECT_FALSE(form.cbFixPwd.Checked());
    next = L"first pw";
    Click(form.cbFixPwd);
    EXPECT_TRUE(form.cbFixPwd.Checked());
    EXPECT_TRUE(form.btnCryptPassword.Enabled());
    next = L"second pw";
    Click(form.btnCryptPassword);
  });
  EXPECT_EQ(titles, (std::vector<std::wstring>(3, L"File encryption")));
  EXPECT_EQ(JobValue(L"FixPassword"), L"1");
  EXPECT_EQ(DecryptPassword(JobValue(L"Password")), L"second pw");
}

TEST_F(QlCommandsTest, ExclusionListsEditedInTheListEditor) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  std::vector<std::wstring> captions;
  Answer = [&](TForm& f) {
    auto* d = dynamic_cast<qlbackup::TSelectFromListDialog*>(&f);
    ASSERT_NE(d, nullptr);
    captions.push_back(d->Caption());
    EXPECT_EQ(d->lbDesc.Text(), L"Filter expressions:");
    if (captions.size() == 1) {
      hvtest::SaveScreenshot(d->Handle(), L"qlbackup-edit-filter-list");
      d->lbxStringList.SetItemIndex(0);
      d->btnDeleteClick();  // no question asked
      d->OKBtn.Click();
    } else {
      d->lbxStringList.SetItemIndex(0);
      d->btnDeleteClick();
      d->CancelBtn.Click();
    }
  };
  Run([&](TMainForm& form) {
    form.pcOptions.SetActivePageIndex(3);
    Click(form.bbEditFiles);
    EXPECT_EQ(form.lbExcludedFiles.Items(), std::vector<std::wstring>{L"global-messages-db.sqlite"});
    Click(form.bbEditTypes);
    EXPECT_EQ(form.lbExcludedTypes.Items().size(), 5u);
  });
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"Excluded files", L"Excluded file types"}));
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(tb.Ini);
  EXPECT_EQ(ini.ReadString(L"Config", L"ExcludedFiles", L""), L"global-messages-db.sqlite");
  EXPECT_EQ(ini.ReadString(L"Config", L"ExcludedTypes", L""), L"SQLITE-SHM,SQLITE-WAL,LZ4,BAK,LOCK");
}

// The destination's buttons: placeholders (the volume name only where a label can be read) and the
// volume-name form of the path, toggled.
TEST_F(QlCommandsTest, PlaceholderAndVolumeButtonsOfTheDestination) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  bool labelReadable = false;
  VolumeSource().ReadVolumeLabel = [&](std::wstring_view, std::wstring& label) {
    label = L"BACKUP";
    return labelReadable;
  };
  VolumeSource().IsLocalOrRemovablePath = [](std::wstring_view) { return true; };
  VolumeSource().FindDriveByLabel = [](std::wstring_view label) {
    return label == L"BACKUP" ? std::wstring(L"C:\\") : std::wstring();
  };
  int item = 10;  // "Volume name of source"
  Answer = [&](TForm& f) {
    auto* d = dynamic_cast<TPlaceHolderDialog*>(&f);
    ASSERT_NE(d, nullptr);
    d->Groups[phDateTime].Button(12).Click();  // "Other": the time page
    d->Groups[phTime].Button(item).Click();
    hvtest::SaveScreenshot(d->Handle(), L"qlbackup-placeholder");
    d->OKBtn.Click();
  };
  Run([&](TMainForm& form) {
    form.leBackupDir.SetText(L"C:\\Backups");
    Click(form.btnPlaceholder);
    EXPECT_EQ(form.leBackupDir.Text(), L"C:\\Backups");
    EXPECT_FALSE(form.Core.Changed);
    labelReadable = true;
    Click(form.btnPlaceholder);
    EXPECT_EQ(form.leBackupDir.Text(), L"C:\\Backups%volume%");
    EXPECT_TRUE(form.leBackupDir.Focused());
    item = 0;  // "Time"
    Click(form.btnPlaceholder);
    EXPECT_EQ(form.leBackupDir.Text(), L"C:\\Backups%volume%%time%");

    form.leBackupDir.SetText(L"C:\\Backups\\Mail");
    Click(form.btnVolume);
    EXPECT_EQ(form.leBackupDir.Text(), L":BACKUP:\\Backups\\Mail");
    EXPECT_EQ(form.Core.DestDir, L":BACKUP:\\Backups\\Mail");
    EXPECT_EQ(form.Core.RealDir, L"C:\\Backups\\Mail");
    Click(form.btnVolume);
    EXPECT_EQ(form.leBackupDir.Text(), L"C:\\Backups\\Mail");
    form.leBackupDir.SetText(tb.Dir + L".e2e-backup");
  });
  EXPECT_EQ(Boxes, std::vector<std::wstring>{
                       L"Placeholder for volume name is only available for source directories on same drive!"});
}

TEST_F(QlCommandsTest, LogViewerAndInfo) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  std::wstring viewed, caption;
  Answer = [&](TForm& f) {
    auto* v = dynamic_cast<TShowTextDialog*>(&f);
    ASSERT_NE(v, nullptr);
    viewed = v->TextName();
    caption = v->Title();
    hvtest::SaveScreenshot(v->Handle(), L"qlbackup-show-log");
    v->ModalResult = mrOk;
  };
  std::wstring log, about, before;
  Run([&](TMainForm& form) {
    before = form.Core.LogFileName();
    DeleteFileW(before.c_str());
    Click(form.bbShowLog);  // no job yet
    ASSERT_TRUE(form.Core.WriteJob(form.Core.BuTaskName, false));
    log = GetTaskLogName(form.Core.BuTaskName);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(before, log);
    DeleteFileW(log.c_str());
    Click(form.bbShowLog);  // named, not there
    fs::create_directories(fs::path(log).parent_path());
    hvtest::WriteBytes(log, "Harvane - backup\r\n  *** an error\r\nend\r\n");
    Click(form.bbShowLog);
    about = GetAboutText(form.Core.HvPath, form.ProgVersDate, 3);
    BoxShot = L"qlbackup-info";
    Click(form.bbInfo);
  });
  ASSERT_EQ(Boxes.size(), 3u) << testing::PrintToString(Boxes);
  EXPECT_EQ(Boxes[0], L"Log file not found: " + log);  // before the job exists: the log it will name
  EXPECT_EQ(Boxes[1], L"Log file not found: " + log);
  EXPECT_EQ(Boxes[2], about);
  EXPECT_TRUE(SameFileName(viewed, log));
  EXPECT_EQ(caption, ProgramVersionInfo().InternalName + L" - Show log file");
  DeleteFileW(log.c_str());
}

// The dialogs QlBackup keeps, opened from its window: they stand until the program ends, and the
// application's end frees them (nothing is left for the process's exit to free).
TEST_F(QlCommandsTest, KeptDialogsStandUntilTheProgramsEnd) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  std::vector<HWND> kept;
  Run([&](TMainForm& form) {
    Click(form.btDest);
    ASSERT_NE(DirDialog(), nullptr);
    TStatusWindow& status = StatusWindow();
    status.ShowStatus(kDefaultDialogPos, L"Checking mail settings", L"Sending mail", false, 5);
    status.Hide();
    ShowMailStatus(L"Mail sent", L"", TMsgDlgType::mtInformation);
    ASSERT_NE(MailStatusDialog(), nullptr);
    kept = {DirDialog()->Handle(), status.Handle(), MailStatusDialog()->Handle(), ShortcutDialog().Handle()};
  });
  ASSERT_EQ(kept.size(), 4u);
  for (HWND w : kept) EXPECT_TRUE(IsWindow(w));
  Application().DestroyForms();
  EXPECT_EQ(DirDialog(), nullptr);
  EXPECT_EQ(MailStatusDialog(), nullptr);
  for (HWND w : kept) EXPECT_FALSE(IsWindow(w));
}

// The window opens where it was closed last time, and always on a screen.
TEST_F(QlCommandsTest, WindowOpensAtTheStoredPosition) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(tb.Ini, false);
    ini.WriteInteger(L"Config", L"Left", 37);
    ini.WriteInteger(L"Config", L"Top", 29);
    ini.UpdateFile();
  }
  Run([](TMainForm& form) {
    EXPECT_EQ(form.Left(), 37);
    EXPECT_EQ(form.Top(), 29);
    form.SetPos(51, 43);
  });
  Run([](TMainForm& form) {
    EXPECT_EQ(form.Left(), 51);
    EXPECT_EQ(form.Top(), 43);
  });
  // A position off every screen (a monitor since removed) is moved back into view.
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(tb.Ini, false);
    ini.WriteInteger(L"Config", L"Left", 30000);
    ini.WriteInteger(L"Config", L"Top", 20000);
    ini.UpdateFile();
  }
  Run([](TMainForm& form) {
    const RECT r = form.BoundsRect(), work = WorkAreaAt(POINT{0, 0});
    EXPECT_GE(r.left, work.left);
    EXPECT_GE(r.top, work.top);
    EXPECT_LE(r.right, work.right);
    EXPECT_LE(r.bottom, work.bottom);
  });
}

// "Move mail data" from the window: the folder chosen in the directory dialog takes the profile.
TEST_F(QlCommandsTest, MailDataMovedToTheChosenFolder) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  const std::wstring target = tb.Dir + L".e2e-backup\\moved", mail = GetDocumentsPath() + L"\\Mail";
  const bool hadMail = fs::exists(fs::path(mail));
  fs::create_directories(fs::path(target));
  std::wstring title;
  Answer = [&](TForm& f) {
    auto* d = dynamic_cast<TShellDirDialog*>(&f);
    ASSERT_NE(d, nullptr);
    title = d->Caption();
    d->GoToDirectory(target);
    hvtest::SaveScreenshot(d->Handle(), L"qlbackup-move-folder");
    d->btbOK.Click();
  };
  BoxAnswer = mrYes;
  std::wstring shown;
  Run([&](TMainForm& form) {
    form.Core.ThunderbirdRunning = [] { return false; };
    Click(form.bbMove);
    shown = form.leMailDir.Text();
  });
  EXPECT_EQ(title, L"Select new mail folder");
  EXPECT_TRUE(SameFileName(shown, target)) << shown;
  EXPECT_TRUE(fs::exists(fs::path(target + L"\\prefs.js")));
  ASSERT_EQ(Boxes.size(), 2u) << testing::PrintToString(Boxes);
  EXPECT_EQ(Boxes[0], L"Move mail data of the selected profile to a different location?");
  EXPECT_EQ(Boxes[1], L"Mail data successfully moved to:\r\n\"" + shown + L"\"");
  const TMemIniFile ini(tb.Dir + L"\\profiles.ini");
  EXPECT_TRUE(SameFileName(ini.ReadString(L"Profile0", L"Path", L""), target));
  EXPECT_EQ(ini.ReadString(L"Profile0", L"IsRelative", L""), L"0");
  if (!hadMail) RemoveDirectoryW(mail.c_str());
}

}  // namespace
}  // namespace hv
