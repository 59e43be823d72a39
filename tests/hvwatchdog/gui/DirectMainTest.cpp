// The main form of the watchdog on real windows: start, a requested run, the status pop-up, the clock.
#include "hvwatchdog/DirectMain.h"

#include <gtest/gtest.h>

#include "../WdTestJobs.h"
#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/text/PathUtils.h"
#include "hvwatchdog/BackupThread.h"
#include "hvwatchdog/InfoDlg.h"
#include "hvwatchdog/WdSettings.h"
#include "support/TestSupport.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;
using wdtest::PumpUntil;

// IniPath of the suite's registry key pointed at a test folder while the object lives.
class TSettingsKey {
 public:
  explicit TSettingsKey(const std::wstring& dir) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\HarvaneSix", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, nullptr);
    DWORD size = sizeof(FOld);
    FHadOld = RegQueryValueExW(FKey, L"IniPath", nullptr, nullptr, reinterpret_cast<BYTE*>(FOld), &size) == 0;
    RegSetValueExW(FKey, L"IniPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                   static_cast<DWORD>((dir.size() + 1) * 2));
  }
  ~TSettingsKey() {
    if (FHadOld)
      RegSetValueExW(FKey, L"IniPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(FOld),
                     static_cast<DWORD>((wcslen(FOld) + 1) * 2));
    else
      RegDeleteValueW(FKey, L"IniPath");
    RegCloseKey(FKey);
  }

 private:
  HKEY FKey = nullptr;
  wchar_t FOld[MAX_PATH] = L"";
  bool FHadOld = false;
};

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
  SaveScreenshot(form.Handle(), L"hvwatchdog-clock");
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
  SaveScreenshot(form.Handle(), L"hvwatchdog-main");

  // The registered message asks for a run at the next tick.
  PostMessageW(form.Handle(), form.msgId, 1, 0);
  PumpUntil([&] { return form.Monitor.InstantBackup; }, 2000);
  form.tmBackupTimer();
  ASSERT_TRUE(PumpUntil([&] { return !form.Monitor.ReleaseDoneThreads(); }));
  SYSTEMTIME st;
  GetLocalTime(&st);
  const std::wstring copy = BackupTargetName(Dest + L"\\", L"", Src + L"\\report.txt", st.wHour) + L".gz";
  EXPECT_NE(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(form.meLog.Text().find(L"  ==> 1 file need to be backed up"), std::wstring::npos);

  // The status pop-up from the tray icon while the window is hidden.
  form.Hide();
  bool shown = false;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f == &form) return;
    shown = true;
    UpdateInfoStatus(L"Next backup: 9 m 58 s", L"No files");
    UpdateWindow(f.Handle());
    SaveScreenshot(f.Handle(), L"hvwatchdog-status");
    EXPECT_EQ(f.Caption(), form.ProgVersName);
    f.ModalResult = mrYes;
  };
  form.TrayIconMessage(WM_LBUTTONDOWN);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(form.Visible());

  form.bbStop.Click();
  EXPECT_FALSE(form.Monitor.Monitoring());
}

}  // namespace
}  // namespace hv
