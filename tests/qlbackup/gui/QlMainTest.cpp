// The main form of QlBackup and its profile picker, driven as a user would.
#include "qlbackup/QlMain.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "QlGuiTest.h"
#include "base/app/InitProg.h"
#include "base/app/ShowMessageDlg.h"
#include "base/settings/IniFileUtils.h"
#include "e2e/QlFixture.h"
#include "qlbackup/SelectProfileDlg.h"
#include "support/TestSupport.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"
#include "support/GuiTest.h"
#include "base/app/LangUtils.h"

namespace hv {
namespace {

namespace fs = std::filesystem;

using QlMainTest = hvtest::QlGuiTest;

using hvtest::Click;

TEST_F(QlMainTest, EditsAndChecksGoIntoTheJobAndTheRunBlocksTheForm) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  fs::create_directories(fs::path(JobDir));
  {
    TUnicodeIniFile job = TUnicodeIniFile::CreateForWrite(JobDir + L"\\ql-default-release.buj", false);
    job.WriteInteger(L"Standin", L"Delay", 1500);
    job.UpdateFile();
  }
  const std::wstring dest = tb.Dir + L".e2e-backup\\mine";
  auto& form = Application().CreateForm<qlbackup::TMainForm>();
  bool busySeen = false, closedWhileBusy = true, recycleFollowsSync = false;
  TTimer probe;
  probe.SetInterval(300);
  probe.OnTimer = [&] {
    probe.SetEnabled(false);
    busySeen = !form.bbBackup.Enabled() && !form.bbRestore.Enabled() && !form.bbQuit.Enabled();
    form.Close();  // refused while the main program runs
    closedWhileBusy = !form.Visible();
  };
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &form) return;
    EXPECT_EQ(form.leProfile.Text(), L"Default user");
    EXPECT_EQ(form.leMailDir.Text(), L"<Thunderbird>/Profiles/s1mpl3.default-release");
    EXPECT_TRUE(form.cbCalendar.Checked());
    EXPECT_FALSE(form.cbSyncRecycle.Enabled());
    EXPECT_EQ(form.lbExcludedTypes.Items(),
              (std::vector<std::wstring>{L"SQLITE-SHM", L"SQLITE-WAL", L"LZ4", L"BAK", L"LOCK"}));
    form.leBackupDir.SetText(dest);
    Click(form.cbCalendar);
    // "Settings": encryption switches the fixed password on; the long log.
    EXPECT_FALSE(form.cbFixPwd.Enabled());
    Click(form.gbEncrypt.CheckBox);
    EXPECT_TRUE(form.cbFixPwd.Enabled());
    form.rgLog.Button(1).Click();
    hvtest::SaveScreenshot(form.Handle(), L"qlbackup-main-settings");
    // "Options"
    form.pcOptions.SetActivePageIndex(1);
    Click(form.cbNoComp);
    Click(form.cbSync);
    recycleFollowsSync = form.cbSyncRecycle.Enabled();
    Click(form.cbSyncRecycle);
    hvtest::SaveScreenshot(form.Handle(), L"qlbackup-main-options");
    // "Status window": the display time shows for the modes that use it.
    form.pcOptions.SetActivePageIndex(2);
    EXPECT_EQ(form.cbxStatus.ItemIndex(), 1);
    EXPECT_TRUE(form.paStat.Visible());
    form.cbxStatus.SetItemIndex(2);
    form.cbxStatus.OnChange();
    EXPECT_FALSE(form.paStat.Visible());
    form.cbxStatus.SetItemIndex(3);
    form.cbxStatus.OnChange();
    EXPECT_TRUE(form.paStat.Visible());
    form.reWait.SetValue(12);
    form.udWait.ClickUp();
    EXPECT_EQ(form.reWait.Value(), 13);
    Click(form.cbStatusOnTop);
    hvtest::SaveScreenshot(form.Handle(), L"qlbackup-main-status");
    form.pcOptions.SetActivePageIndex(3);
    hvtest::SaveScreenshot(form.Handle(), L"qlbackup-main-selections");
    probe.SetEnabled(true);
    Click(form.bbBackup);
    Click(form.bbQuit);
  };
  // No message box belongs to this run: one that shows is a failure with its text.
  TTestHooks::AnswerModal = [](TForm& f) -> std::optional<int> {
    if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) ADD_FAILURE() << testing::PrintToString(box->Message());
    return mrCancel;
  };
  Application().Run();
  EXPECT_TRUE(busySeen);
  EXPECT_FALSE(closedWhileBusy);
  EXPECT_TRUE(recycleFollowsSync);

  const TUnicodeIniFile job = TUnicodeIniFile::CreateForRead(JobDir + L"\\ql-default-release.buj");
  EXPECT_EQ(job.ReadString(L"Global", L"Destination", L""), dest);
  EXPECT_EQ(job.ReadString(L"Global", L"Compress", L""), L"0");
  EXPECT_EQ(job.ReadString(L"Global", L"SyncMode", L""), L"1");
  EXPECT_EQ(job.ReadString(L"Global", L"UseRecycler", L""), L"1");
  EXPECT_EQ(job.ReadString(L"Dir001", L"Enabled", L""), L"0");
  EXPECT_EQ(job.ReadString(L"Global", L"Encrypt", L""), L"1");
  EXPECT_EQ(job.ReadString(L"Global", L"LogFile", L""), L"2");
  EXPECT_TRUE(fs::exists(fs::path(dest + L"\\bu-profiles.ini")));
  // The settings were saved on quitting.
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(tb.Ini);
  EXPECT_EQ(ini.ReadString(L"Config", L"BackupDirectory", L""), dest);
  EXPECT_EQ(ini.ReadString(L"Config", L"BackupCalendar", L""), L"0");
  EXPECT_EQ(ini.ReadString(L"Config", L"MailProfile", L""), L"default-release");
  EXPECT_EQ(ini.ReadString(L"Config", L"WaitTime", L""), L"13");
  EXPECT_EQ(ini.ReadString(L"Config", L"StatusWindow", L""), L"3");
  EXPECT_EQ(ini.ReadString(L"Config", L"ExcludedTypes", L""), L"SQLITE-SHM,SQLITE-WAL,LZ4,BAK,LOCK");
}

TEST_F(QlMainTest, ThePickerChoosesAmongSeveralProfiles) {
  qle2e::TThunderbirdInstall tb(L"duplicates", ProgramName());
  auto& form = Application().CreateForm<qlbackup::TMainForm>();
  std::vector<std::wstring> items;
  TTestHooks::OnFormShown = [&](TForm& f) {
      if (auto* d = dynamic_cast<TSelectProfileDialog*>(&f)) {
      for (int i = 0; i < d->lbProfiles.Count(); ++i) items.push_back(d->lbProfiles.Item(i));
      EXPECT_EQ(d->lbProfiles.ItemIndex(), 0);
      d->lbProfiles.SetItemIndex(1);
      hvtest::SaveScreenshot(d->Handle(), L"qlbackup-select-profile");
      d->ModalResult = mrOk;
      return;
    }
    if (&f != &form) return;
    EXPECT_EQ(form.leProfile.Text(), L"Default user");
    Click(form.bbProfile);
    EXPECT_EQ(form.leProfile.Text(), L"beta");
    EXPECT_EQ(form.leMailDir.Text(), L"<Thunderbird>/Profiles/j3.beta");
    EXPECT_EQ(form.Core.BuTaskName, form.Core.JobDir + L"ql-beta.buj");
    Click(form.bbQuit);
  };
  Application().Run();
  EXPECT_EQ(items, (std::vector<std::wstring>{L"Default user", L"beta"}));
}

// A failed start check ends the start: no folder dialog and no profile picker follow, and the
// close that ends it keeps the stored settings.
TEST_F(QlMainTest, AFailedStartCheckStopsTheStart) {
  qle2e::TThunderbirdInstall tb(L"none", ProgramName());
  {
    std::error_code ec;
    fs::remove(fs::path(tb.Ini), ec);  // no backup folder either
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(tb.Ini, false);
    ini.WriteString(L"Config", L"ExcludedFiles", L"parent.lock,huge.mbox");
    ini.WriteString(L"Config", L"ExcludedTypes", L"TMP");
    ini.WriteInteger(L"Config", L"WaitTime", 12);
    ini.WriteInteger(L"Config", L"StatusWindow", 3);
    ini.WriteString(L"Config", L"MailProfile", L"work");
    ini.UpdateFile();
  }
  Application().CreateForm<qlbackup::TMainForm>();
  std::vector<std::wstring> shown;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != Application().MainForm()) shown.push_back(f.Caption());
  };
  TTestHooks::AnswerModal = [&](TForm& f) -> std::optional<int> {
    if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
      shown.push_back(box->Message());
      hvtest::SaveScreenshot(f.Handle(), L"qlbackup-no-profiles");
    }
    return mrCancel;
  };
  Application().Run();
  ASSERT_GE(shown.size(), 1u);
  EXPECT_EQ(shown.back(), L"No Thunderbird profiles found!");
  for (const auto& s : shown) EXPECT_EQ(s.find(L"Select"), std::wstring::npos);
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(tb.Ini);
  EXPECT_EQ(ini.ReadString(L"Config", L"ExcludedFiles", L""), L"parent.lock,huge.mbox");
  EXPECT_EQ(ini.ReadString(L"Config", L"ExcludedTypes", L""), L"TMP");
  EXPECT_EQ(ini.ReadInteger(L"Config", L"WaitTime", 0), 12);
  EXPECT_EQ(ini.ReadInteger(L"Config", L"StatusWindow", 0), 3);
  EXPECT_EQ(ini.ReadString(L"Config", L"MailProfile", L""), L"work");
}

// The status list draws its items itself: the selected one in the highlight colours, the others in the
// window colours, each text one blank in from the left.
TEST_F(QlMainTest, TabWalksTheWindowInReadingOrderOnEveryPage) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  const std::wstring domain = DefaultTextDomain();
  SetDefaultTextDomain(L"QlBackup");
  ASSERT_TRUE(LoadLanguageCatalogs(hvtest::BinaryDir() + L"\\bin\\locale", L"de"));
  auto& form = Application().CreateForm<qlbackup::TMainForm>();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &form) return;
    for (int page = 0; page < form.pcOptions.PageCount(); ++page) {
      form.pcOptions.SetActivePageIndex(page);
      hvtest::ExpectReadingTabOrder(form.Handle(), L"QlBackup");
    }
    form.pcOptions.SetActivePageIndex(0);
    SetFocus(form.pcOptions.TabHandle());
    hvtest::Shot(form, L"qlbackup-main-de");
    hvtest::Shot(form, L"qlbackup-main-de-dark", true);
    Click(form.bbQuit);
  };
  Application().Run();
  ClearCatalogs();
  SetDefaultTextDomain(domain);
}

TEST_F(QlMainTest, TheStatusListDrawsItsItemsInTheStylesColours) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  auto& form = Application().CreateForm<qlbackup::TMainForm>();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &form) return;
    form.pcOptions.SetActivePageIndex(2);
    const HWND combo = form.cbxStatus.Handle();
    const int w = 200, h = 24;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0)));
    SIZE blank{};
    GetTextExtentPoint32W(dc, L" ", 1, &blank);
    for (const bool selected : {true, false}) {
      SCOPED_TRACE(selected ? "selected" : "not selected");
      DRAWITEMSTRUCT di{ODT_COMBOBOX, 0, 1, ODA_DRAWENTIRE, selected ? UINT(ODS_SELECTED) : 0u, combo, dc,
                        {0, 0, w, h}, 0};
      ASSERT_TRUE(form.cbxStatus.HandleDrawItem(di));
      const TItemColors c = TStyleManager::ItemColors(selected);
      EXPECT_EQ(GetPixel(dc, 1, 1), c.Back);
      int firstInk = -1;
      for (int x = 0; x < w && firstInk < 0; ++x)
        for (int y = 0; y < h; ++y)
          if (GetPixel(dc, x, y) != c.Back) {
            firstInk = x;
            break;
          }
      EXPECT_GE(firstInk, blank.cx);
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(combo, &info) && info.hwndList) hvtest::SaveScreenshot(info.hwndList, L"qlbackup-status-list");
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    Click(form.bbQuit);
  };
  Application().Run();
}

}  // namespace
}  // namespace hv
