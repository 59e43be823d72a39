// The main form of the watchdog on real windows: start, a requested run, the status pop-up, the clock.
#include "hvwatchdog/DirectMain.h"

#include <gtest/gtest.h>

#include "../WdTestJobs.h"
#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinShell.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "hvwatchdog/BackupThread.h"
#include "hvwatchdog/InfoDlg.h"
#include "hvwatchdog/ShowFilter.h"
#include "hvwatchdog/ShowHint.h"
#include "hvwatchdog/TrayIcon.h"
#include "hvwatchdog/WdSettings.h"
#include "dialogs/ShowMemo.h"
#include "support/TestSupport.h"
#include "winui/CommonDialogs.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"
#include "support/GuiTest.h"
#include "base/app/LangUtils.h"

namespace hv {
namespace {

using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::TSettingsKey;
using hvtest::WriteBytes;
using wdtest::PumpUntil;

TEST(IntervalView, Table) {
  struct {
    int seconds, unit, value;
  } cases[] = {{7250, 2, 2}, {5430, 1, 90}, {45, 0, 45}, {3, 0, 5}, {86400, 2, 12}, {0, 1, 10}, {-1, 1, 10}, {1800, 1, 30}};
  for (const auto& c : cases) {
    TIntervalView v = IntervalView(c.seconds);
    EXPECT_EQ(v.Unit, c.unit) << c.seconds;
    EXPECT_EQ(v.Value, c.value) << c.seconds;
  }
}

TEST(ClkProgress, GeometryAndColours) {
  EXPECT_EQ(ClockDiameter(31), 29);
  EXPECT_EQ(ClockDiameter(26), 25);
  POINT p = ClockHandPoint(180, 29);
  EXPECT_EQ(p.x, 14);
  EXPECT_EQ(p.y, 28);
  p = ClockHandPoint(0, 29);
  EXPECT_EQ(p.x, 14);
  EXPECT_EQ(p.y, 1);

  // Position 900 of 1800: the right half in the fore colour, the left half in the back colour.
  TForm form;
  form.ClientWidth96 = 80;
  form.ClientHeight96 = 80;
  form.Create();
  TClkProgress clock;
  clock.Create(form, {10, 10, 62, 62});
  clock.ForeColor = RGB(0, 128, 0);
  clock.SetInterval(1800);
  clock.SetPosition(900);
  EXPECT_EQ(clock.Angle(), 180);
  EXPECT_EQ(clock.Position(), 900);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 62, 62);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  clock.Paint(dc, 62);
  EXPECT_EQ(GetPixel(dc, 45, 31), RGB(0, 128, 0));
  EXPECT_EQ(GetPixel(dc, 15, 31), RGB(255, 255, 255));
  // A full turn starts again with the colours swapped.
  clock.SetPosition(1800);
  clock.Paint(dc, 62);
  EXPECT_EQ(clock.Angle(), 0);
  EXPECT_FALSE(clock.Toggle());
  EXPECT_EQ(GetPixel(dc, 15, 31), RGB(0, 128, 0));
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  form.Show();
  clock.SetPosition(1200);
  UpdateWindow(form.Handle());
  hvtest::SaveScreenshot(form.Handle(), L"hvwatchdog-clock");
}

class MainFormTest : public testing::Test {
 protected:
  void SetUp() override {
    Settings = Tmp / L"settings";
    Src = Tmp / L"src";
    Dest = Tmp / L"dest";
    for (const auto& d : {Settings, Src, Dest}) CreateDirectoryW(d.c_str(), nullptr);
    Job = Tmp / L"job.buj";
    wdtest::WriteJob(Job, Src, Dest, {{L"DestMode", L"1"}, {L"Compress", L"1"}}, {{L"BackupMode", L"1"}});
    TMonTaskList tasks;
    tasks.Add(std::make_unique<TMonTask>(Job, Src));
    TWdSettings s;
    s.Interval = 600;
    s.WriteLog = true;
    // The own settings file carries the program's name: the test program's here.
    WriteWdSettings(Settings + L"\\" + ProgramName() + L".ini", s, tasks, L"HvWatchdog", L"1");
  }
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
  TempDir Tmp;
  std::wstring Settings, Src, Dest, Job;
};

TEST_F(MainFormTest, TabWalksTheWindowInReadingOrder) {
  TSettingsKey key(Settings);
  const std::wstring domain = DefaultTextDomain();
  SetDefaultTextDomain(L"HvWatchdog");
  ASSERT_TRUE(LoadLanguageCatalogs(hvtest::BinaryDir() + L"\\bin\\locale", L"de"));
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  EXPECT_FALSE(form.CheckForce());
  ASSERT_TRUE(form.Visible());
  form.lbDirs.SetItemIndex(0);
  hvtest::ExpectReadingTabOrder(form.Handle(), L"HvWatchdog");
  hvtest::Shot(form, L"hvwatchdog-main-de");
  hvtest::Shot(form, L"hvwatchdog-main-de-dark", true);
  ClearCatalogs();
  SetDefaultTextDomain(domain);
}

TEST_F(MainFormTest, StartRequestedRunPopupAndClose) {
  TSettingsKey key(Settings);
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  EXPECT_FALSE(form.CheckForce());
  ASSERT_TRUE(form.Visible());
  ASSERT_EQ(form.lbDirs.Count(), 1);
  EXPECT_EQ(form.lbDirs.Item(0), L"01: " + Src);
  EXPECT_TRUE(form.lbDirs.Checked(0));
  EXPECT_EQ(form.edBuDest.Text(), Dest + L"\\");
  EXPECT_EQ(form.cbIntUnit.ItemIndex(), 1);
  EXPECT_EQ(form.reInterval.Text(), L"10");
  EXPECT_EQ(form.GetIntervalSeconds(), 600);

  form.bbStart.Click();
  ASSERT_TRUE(form.Monitor.Monitoring());
  EXPECT_TRUE(form.bbStop.Enabled());
  WriteBytes(Src + L"\\report.txt", "monthly figures");
  ASSERT_TRUE(PumpUntil([&] { return form.Monitor.FileCount() == 1; }));
  form.tmBackupTimer();
  EXPECT_EQ(form.laFiles.Text(), L"1 file");
  EXPECT_EQ(form.laCount.Text(), L"9 m 59 s");
  EXPECT_TRUE(form.cpWait.Visible());
  UpdateWindow(form.Handle());
  hvtest::SaveScreenshot(form.Handle(), L"hvwatchdog-main");
  // The pending files in the pop-up list.
  ASSERT_TRUE(form.sbViewFiles.Visible());
  form.sbViewFiles.Click();
  EXPECT_TRUE(form.ChangedFiles.Visible());
  ASSERT_EQ(form.ChangedFiles.Count(), 1);
  EXPECT_EQ(form.ChangedFiles.GetItem(0), L"01: report.txt");
  form.ChangedFiles.Hide();

  // The registered message asks for a run at the next tick.
  PostMessageW(form.Handle(), form.msgId, 1, 0);
  ASSERT_TRUE(PumpUntil([&] { return form.Monitor.InstantBackup; }));
  form.tmBackupTimer();
  ASSERT_TRUE(PumpUntil([&] { return !form.Monitor.ReleaseDoneThreads(); }));
  SYSTEMTIME st;
  GetLocalTime(&st);
  const std::wstring copy = BackupTargetName(Dest + L"\\", L"", Src + L"\\report.txt", st.wHour) + L".gz";
  EXPECT_NE(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(form.meLog.Text().find(L"  ==> 1 file need to be backed up"), std::wstring::npos);
  EXPECT_FALSE(form.sbViewFiles.Visible());

  // The status pop-up from the tray icon while the window is hidden.
  form.Hide();
  bool shown = false;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f == &form || dynamic_cast<TListSelectDialog*>(&f)) return;
    shown = true;
    // "Show files" opens the pending files as a pop-up list beside the button.
    for (TControl* c : f.Controls())
      if (c->Text() == L"Show files") static_cast<TButton*>(c)->Click();
    TListSelectDialog* list = nullptr;
    for (HWND w = GetWindow(f.Handle(), GW_HWNDFIRST); w && !list; w = GetWindow(w, GW_HWNDNEXT))
      if (GetWindow(w, GW_OWNER) == f.Handle()) list = dynamic_cast<TListSelectDialog*>(TForm::FromHandle(w));
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->Visible());
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->GetItem(0), L"No files");
    list->Hide();
    UpdateInfoStatus(L"Next backup: 9 m 58 s", L"No files");
    UpdateWindow(f.Handle());
    hvtest::SaveScreenshot(f.Handle(), L"hvwatchdog-status");
    EXPECT_EQ(f.Caption(), form.ProgVersName);
    f.ModalResult = mrYes;
  };
  form.TrayIconMessage(WM_LBUTTONDOWN);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(form.Visible());

  form.bbStop.Click();
  EXPECT_FALSE(form.Monitor.Monitoring());
}

// The message boxes of a test: answered at once, their texts kept.
struct TBoxes {
  std::vector<std::wstring> Texts;
  TBoxes() {
    TTestHooks::AnswerModal = [this](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Texts.push_back(box->Message());
        return box->DlgType() == TMsgDialogType::mdtConfirm ? mrYes : mrCancel;
      }
      return mrCancel;
    };
  }
  std::wstring Last() const { return Texts.empty() ? L"" : Texts.back(); }
};

TEST_F(MainFormTest, DirectoryCommandsAreEnabledOnlyWhereTheyAct) {
  TSettingsKey key(Settings);
  TBoxes boxes;
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  form.CheckForce();
  ASSERT_EQ(form.lbDirs.ItemIndex(), 0);
  EXPECT_TRUE(form.btnRemove.Enabled());
  EXPECT_TRUE(form.bbEdit.Enabled());
  EXPECT_TRUE(form.bbFilter.Enabled());
  // While the directory is watched it can be neither removed nor edited; its filter can be shown.
  form.bbStart.Click();
  ASSERT_TRUE(form.Monitor.Monitoring());
  EXPECT_FALSE(form.btnRemove.Enabled());
  EXPECT_FALSE(form.bbEdit.Enabled());
  EXPECT_TRUE(form.bbFilter.Enabled());
  bool filterShown = false;
  TTestHooks::OnFormShown = [&](TForm& f) { filterShown = filterShown || dynamic_cast<TShowFilterDialog*>(&f); };
  form.bbFilter.Click();
  EXPECT_TRUE(filterShown);
  form.bbStop.Click();
  EXPECT_TRUE(form.btnRemove.Enabled());
  EXPECT_TRUE(form.bbEdit.Enabled());
  // With no directory left nothing of them is enabled.
  form.btnRemove.Click();
  EXPECT_EQ(boxes.Last(), L"Remove selected directory from list?");
  ASSERT_EQ(form.lbDirs.Count(), 0);
  for (TButton* b : {&form.btnRemove, &form.bbEdit, &form.bbFilter}) EXPECT_FALSE(b->Enabled());
}

TEST_F(MainFormTest, EditRunsTheMainProgramAndChecksTheJobAgain) {
  TSettingsKey key(Settings);
  const std::wstring record = Tmp / L"record.txt";
  SetEnvironmentVariableW(L"HV_STANDIN_RECORD", record.c_str());
  TBoxes boxes;
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  form.HvPath = hvtest::BinaryDir() + L"\\bin\\Harvane.exe";
  form.CheckForce();
  TMonTask& task = form.Monitor.Tasks[0];

  // The job no longer names the directory after the edit: the directory is invalid.
  const std::wstring other = Tmp / L"other";
  CreateDirectoryW(other.c_str(), nullptr);
  wdtest::WriteJob(Job, other, Dest, {{L"DestMode", L"1"}});
  form.bbEdit.Click();
  EXPECT_EQ(boxes.Last(), L"Directory \"" + Src + L"\" not specified in " + Job + L"!");
  EXPECT_EQ(task.MonStatus, TMonTaskStatus::mtInvalid);
  EXPECT_FALSE(form.lbDirs.Checked(0));
  EXPECT_TRUE(form.bbEdit.Enabled());
  const std::string run = ReadBytes(record);
  EXPECT_NE(run.find("Switches=edit"), std::string::npos) << run;
  EXPECT_NE(run.find("JobCodes=0"), std::string::npos) << run;

  // Edited back: read again and enabled, with the job's new compression.
  boxes.Texts.clear();
  wdtest::WriteJob(Job, Src, Dest, {{L"DestMode", L"1"}, {L"Compress", L"1"}, {L"CompressAsZip", L"1"}});
  form.bbEdit.Click();
  EXPECT_TRUE(boxes.Texts.empty()) << boxes.Last();
  EXPECT_EQ(task.MonStatus, TMonTaskStatus::mtEnabled);
  EXPECT_EQ(task.Compress, 2);
  EXPECT_TRUE(form.lbDirs.Checked(0));

  // A failing main program is reported with its result; a vanished job before it starts.
  {
    auto ini = TUnicodeIniFile::CreateForWrite(Job, false);
    ini.WriteString(L"Standin", L"ExitCode", L"2");
    ini.UpdateFile();
  }
  form.bbEdit.Click();
  EXPECT_EQ(boxes.Last(), L"Error on executing Harvane: " + GetTaskResultText(2));
  EXPECT_EQ(task.MonStatus, TMonTaskStatus::mtEnabled);
  DeleteFileW(Job.c_str());
  form.bbEdit.Click();
  EXPECT_EQ(boxes.Last(), L"Task not found: " + Job);
  form.HvPath.clear();
  wdtest::WriteJob(Job, Src, Dest, {{L"DestMode", L"1"}});
  form.bbEdit.Click();
  EXPECT_EQ(boxes.Last().rfind(L"Error on executing Harvane: ", 0), 0u) << boxes.Last();
  EXPECT_TRUE(form.bbEdit.Enabled());
  SetEnvironmentVariableW(L"HV_STANDIN_RECORD", nullptr);
}

TEST_F(MainFormTest, ValuesEnteredInTheFormAreAppliedAtOnce) {
  TSettingsKey key(Settings);
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  form.CheckForce();
  ASSERT_EQ(form.lbDirs.ItemIndex(), 0);
  // Versions to keep typed into the edit, not stepped with the arrows.
  form.edBakCount.SetText(L"3");
  EXPECT_EQ(form.Monitor.Tasks[0].RetainBak, 3);
  form.SaveSettings();
  EXPECT_EQ(TUnicodeIniFile::CreateForRead(form.IniName).ReadInteger(L"Monitor00", L"RetainBak", -1), 3);

  // While monitoring counts down the interval it started with, the interval cannot be changed.
  form.bbStart.Click();
  ASSERT_TRUE(form.Monitor.Monitoring());
  const std::initializer_list<TControl*> interval{&form.cbPeriodic, &form.reInterval, &form.udInterval, &form.cbIntUnit};
  for (TControl* c : interval) EXPECT_FALSE(c->Enabled());
  form.bbStop.Click();
  for (TControl* c : interval) EXPECT_TRUE(c->Enabled());
  // Quit hides the window when the program keeps running in the background, and says so.
  EXPECT_EQ(form.bbQuit.Hint, L"Quit program and save settings");
  form.cbSysTray.SetChecked(true);
  ASSERT_TRUE(form.cbSysTray.OnClick);
  form.cbSysTray.OnClick();
  EXPECT_EQ(form.bbQuit.Hint, L"Move program to background");

  // Unchecked "Automatic backup every" keeps its interval disabled after a stop.
  form.cbPeriodic.SetChecked(false);
  form.cbPeriodic.OnClick();
  EXPECT_FALSE(form.reInterval.Enabled());
  form.bbStart.Click();
  form.bbStop.Click();
  EXPECT_FALSE(form.reInterval.Enabled());
  EXPECT_TRUE(form.cbPeriodic.Enabled());
}

TEST_F(MainFormTest, SettingsThatCouldNotBeReadAreNotWrittenOver) {
  TSettingsKey key(Settings);
  const std::wstring ini = Settings + L"\\" + ProgramName() + L".ini";
  const std::string stored = ReadBytes(ini);
  ASSERT_EQ(TUnicodeIniFile::CreateForRead(ini).ReadString(L"Monitor00", L"BackupTask", L""), Job);
  // Another program holds the file while the watchdog starts.
  HANDLE lock = CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  CloseHandle(lock);
  EXPECT_EQ(form.lbDirs.Count(), 0);
  EXPECT_NE(form.meLog.Text().find(L"they are not saved until the program starts again"), std::wstring::npos)
      << form.meLog.Text();
  form.SaveSettings();
  EXPECT_EQ(ReadBytes(ini), stored);
}

TEST_F(MainFormTest, SavingWhileTheSettingsFileIsHeldOpenShowsTheError) {
  TSettingsKey key(Settings);
  TBoxes boxes;
  const std::wstring ini = Settings + L"\\" + ProgramName() + L".ini";
  const std::string stored = ReadBytes(ini);
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  form.CheckForce();
  form.bbStart.Click();
  ASSERT_TRUE(form.Monitor.Monitoring());
  HANDLE lock = CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  // The file cannot be read back to be rewritten: no exception ends the close half-way, a box says why.
  EXPECT_NO_THROW(form.SaveSettings());
  CloseHandle(lock);
  EXPECT_NE(boxes.Last().find(ini), std::wstring::npos) << boxes.Last();
  EXPECT_EQ(ReadBytes(ini), stored);
  form.StopMonitoring();
}

TEST_F(MainFormTest, SettingsMenuStartOnLogonSizeAndVersion) {
  TSettingsKey key(Settings);
  TBoxes boxes;
  const std::wstring link = StartupLinkName();
  ASSERT_FALSE(link.empty());
  DeleteFileW(link.c_str());
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  form.CheckForce();
  ASSERT_FALSE(form.pmiStartup->Checked());

  form.pmiStartup->Click();
  EXPECT_TRUE(form.pmiStartup->Checked());
  std::wstring target, args, dir, description;
  ASSERT_TRUE(ReadShellLink(link, target, args, dir, description));
  EXPECT_TRUE(SameFileName(target, ProgramFile()));
  EXPECT_EQ(args, L"/hide /force");
  EXPECT_EQ(description, form.ProgVersName);
  // A shortcut that cannot be deleted keeps the item checked and says so.
  HANDLE held = CreateFileW(link.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  form.pmiStartup->Click();
  CloseHandle(held);
  EXPECT_TRUE(form.pmiStartup->Checked());
  EXPECT_EQ(boxes.Last().rfind(L"Error deleting the shortcut!", 0), 0u) << boxes.Last();
  form.pmiStartup->Click();
  EXPECT_FALSE(form.pmiStartup->Checked());
  EXPECT_EQ(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);

  form.SetClientSize(500, 400);
  form.pmSettings.Items(1).Click();
  EXPECT_EQ(form.ClientSize().cx, form.Scale(736));
  EXPECT_EQ(form.ClientSize().cy, form.Scale(590));

  form.pmSettings.Items(4).Click();
  EXPECT_EQ(boxes.Last().rfind(ProgramVersionInfo().InternalName, 0), 0u) << boxes.Last();
  EXPECT_NE(boxes.Last().find(form.ProgVersDate), std::wstring::npos);
}

// "Show log" asks for a log in the log folder and shows it in the viewer; cancelling shows nothing.
TEST_F(MainFormTest, ShowLogAsksForTheLogAndShowsItInTheViewer) {
  TSettingsKey key(Settings);
  const std::wstring logs = Tmp / L"logs";
  CreateDirectoryW(logs.c_str(), nullptr);
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(Settings + L"\\Harvane.ini", false);
    ini.WriteString(L"Config", L"ProtDir", logs);
    ini.WriteString(L"Printer", L"Printer", L"Office");
    ini.UpdateFile();
  }
  const std::wstring log = logs + L"\\HvWatchdog 2026-12-01.log";
  ASSERT_TRUE(WriteBytes(log, "Harvane - run\r\n  *** copy failed\r\n"));
  std::vector<std::wstring> asked;
  bool choose = false;
  TCommonDialog::TestAnswer = [&](TCommonDialog& d) -> std::optional<bool> {
    auto* open = dynamic_cast<TOpenDialog*>(&d);
    if (!open) return false;
    asked = {open->Title, open->InitialDir, open->FileName, open->DefaultExt, open->Filter};
    EXPECT_TRUE(open->Options & ofFileMustExist);
    if (choose) open->FileName = log;
    return choose;
  };
  std::wstring viewed, title, printer;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (auto* v = dynamic_cast<TShowTextDialog*>(&f)) {
      viewed = v->TextName();
      title = v->Title();
      printer = v->PrinterSettings.PrtName;
      EXPECT_TRUE(v->Modal());
      EXPECT_TRUE(v->NextErrBtn.Visible());
      EXPECT_FALSE(v->DeleteBtn.Visible());
      hvtest::SaveScreenshot(v->Handle(), L"hvwatchdog-show-log");
      v->ModalResult = mrCancel;
    }
  };
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  form.CheckForce();
  EXPECT_EQ(form.LogDir, logs);
  form.bbShowLog.Click();  // cancelled
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"Select log file", logs, L"HvWatchdog*.log", L"log",
                                               L"Watchdog logs|*.log|all|*.*"}));
  EXPECT_TRUE(viewed.empty());
  choose = true;
  TPrintDialog::TestPrinters = [] { return std::vector<std::wstring>{L"Default Laser", L"Office"}; };
  form.bbShowLog.Click();
  TPrintDialog::TestPrinters = nullptr;
  TCommonDialog::TestAnswer = nullptr;
  EXPECT_EQ(viewed, log);
  EXPECT_EQ(title, form.ProgVersName);
  EXPECT_EQ(printer, L"Office");  // the main program's printer settings
  form.Close();
}

// A drive letter that names no drive here.
std::wstring MissingDrive() {
  for (wchar_t d = L'Q'; d <= L'Y'; ++d) {
    const std::wstring root = std::wstring(1, d) + L":\\";
    if (GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR) return root;
  }
  return L"";
}

TEST_F(MainFormTest, UnavailableDestinationIsNoticed) {
  const std::wstring drive = MissingDrive();
  ASSERT_FALSE(drive.empty());
  wdtest::WriteJob(Job, Src, drive + L"Backup", {{L"DestMode", L"1"}}, {{L"BackupMode", L"1"}});
  TSettingsKey key(Settings);
  TBoxes boxes;
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  form.CheckForce();
  form.bbStart.Click();
  ASSERT_TRUE(form.Monitor.Monitoring());
  WriteBytes(Src + L"\\notes.txt", "kept pending");
  ASSERT_TRUE(PumpUntil([&] { return form.Monitor.FileCount() == 1; }));

  // A requested run notices the first failure.
  form.Monitor.InstantBackup = true;
  form.tmBackupTimer();
  TfrmShowHint* hint = HintWindow();
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->Visible());
  EXPECT_EQ(hint->stInfo.Text(), DestinationNoticeText(form.Monitor.Tasks, 0));
  EXPECT_NE(hint->stInfo.Text().find(drive + L"Backup\\"), std::wstring::npos);
  EXPECT_EQ(hint->Caption(), form.Caption());
  hint->btClose.Click();

  // Scheduled runs only after more than three failures in a row; the file stays pending.
  for (int run = 2; run <= 4; ++run) {
    form.Monitor.TimeCount = 1;
    form.tmBackupTimer();
    EXPECT_EQ(form.Monitor.Tasks[0].ErrCount, run);
    EXPECT_EQ(hint->Visible(), run == 4) << run;
  }
  EXPECT_NE(hint->stInfo.Text().find(L"This was the case with the last 4 backups."), std::wstring::npos);
  EXPECT_EQ(form.Monitor.FileCount(), 1u);
  form.StopMonitoring();
}

TEST_F(MainFormTest, ForcedStartIntoTheTrayShowsTheStartScreenForAWhile) {
  TSettingsKey key(Settings);
  auto& form = Application().CreateForm<TfrmHvWatchdog>();
  form.Force = true;
  form.cbSysTray.SetChecked(true);
  EXPECT_FALSE(form.CheckForce());
  ASSERT_NE(form.StartScreen, nullptr);
  EXPECT_TRUE(form.StartScreen->Visible());
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(form.TrayIconShown());
  EXPECT_TRUE(form.Monitor.Monitoring());
  EXPECT_TRUE(PumpUntil([&] { return form.StartScreen == nullptr; }));

  // A restarted shell has lost the icon: "TaskbarCreated" adds it again.
  ASSERT_TRUE(RemoveTrayIcon(form.Handle(), 2));
  SendMessageW(form.Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(ModifyTrayIcon(form.Handle(), 2, nullptr, L"still there"));
  // A notice comes from the icon that is there: adding the icon again would fail.
  EXPECT_FALSE(AddTrayIconEx(form.Handle(), 2, 0, nullptr, nullptr, form.ProgVersName, L"notice", L"", false));
  EXPECT_TRUE(ShowTrayBalloon(form.Handle(), 2, form.ProgVersName, L"notice", false));
  EXPECT_EQ(TrayTipText(std::wstring(300, L'x')).size(), 127u);
  form.StopMonitoring();
}

}  // namespace
}  // namespace hv
