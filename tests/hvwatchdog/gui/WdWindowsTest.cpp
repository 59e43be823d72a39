// The watchdog's small windows on real windows: the hint window with the destination notice, the
// start screen and the filter view.
#include <gtest/gtest.h>

#include "../WdTestJobs.h"
#include "base/app/ShowMessageDlg.h"
#include "hvwatchdog/SelectListItemDlg.h"
#include "hvwatchdog/ShowFilter.h"
#include "hvwatchdog/ShowHint.h"
#include "hvwatchdog/WdStart.h"
#include "support/TestSupport.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

using wdtest::PumpUntil;

class WdWindows : public testing::Test {
 protected:
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
};

// Whether b lies inside the client area of its form and does not overlap a.
bool Apart(const TControl& a, const TControl& b) {
  RECT ra = a.BoundsRect(), rb = b.BoundsRect(), both;
  return !IntersectRect(&both, &ra, &rb);
}
bool Inside(const TForm& form, const TControl& c) {
  const SIZE client = form.ClientSize();
  const RECT r = c.BoundsRect();
  return r.left >= 0 && r.top >= 0 && r.right <= client.cx && r.bottom <= client.cy;
}

TEST_F(WdWindows, HintWindowShowsTheNoticeAndClosesItself) {
  TMonTaskList tasks;
  auto t = std::make_unique<TMonTask>(L"C:\\jobs\\photos.buj", L"C:\\Users\\me\\Pictures");
  t->DestDir = L"E:\\Backup\\Pictures\\";
  t->ErrCount = 1;
  tasks.Add(std::move(t));
  const std::wstring notice = DestinationNoticeText(tasks, 0);
  ShowHintWindow(kDefaultDialogPos, htWarning, L"File change monitoring", notice, 0);
  TfrmShowHint* hint = HintWindow();
  ASSERT_NE(hint, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return hint->Visible(); }));
  EXPECT_EQ(hint->Caption(), L"File change monitoring");
  EXPECT_EQ(hint->stInfo.Text(), notice);
  EXPECT_TRUE(hint->imgIcon.Visible());
  for (const TControl* c : std::initializer_list<const TControl*>{&hint->imgIcon, &hint->stInfo, &hint->btClose})
    EXPECT_TRUE(Inside(*hint, *c));
  EXPECT_TRUE(Apart(hint->stInfo, hint->btClose));
  EXPECT_TRUE(Apart(hint->imgIcon, hint->stInfo));
  hvtest::SaveScreenshot(hint->Handle(), L"hvwatchdog-notice");

  // An empty text keeps the notice as it is; the button hides the window, which stays for later.
  ShowHintWindow(kDefaultDialogPos, htInformation, L"other", L"", 0);
  EXPECT_EQ(hint->stInfo.Text(), notice);
  EXPECT_TRUE(hint->Visible());
  hint->btClose.Click();
  EXPECT_FALSE(hint->Visible());
  EXPECT_EQ(HintWindow(), hint);

  // Without an icon, and closing itself after its delay.
  ShowHintWindow(kDefaultDialogPos, htNone, L"Short", L"Closes by itself", 1);
  ASSERT_TRUE(PumpUntil([&] { return hint->Visible(); }));
  EXPECT_FALSE(hint->imgIcon.Visible());
  EXPECT_EQ(hint->stInfo.BoundsRect().left, hint->Scale(10));
  EXPECT_TRUE(PumpUntil([&] { return !hint->Visible(); }));
}

TEST_F(WdWindows, StartScreenIsABorderlessPictureWithTheVersion) {
  TStartScreen screen;
  screen.Create();
  screen.ShowMsg(L"Version 1.0.0");
  ASSERT_TRUE(screen.Visible());
  EXPECT_EQ(screen.lblVers.Text(), L"Version 1.0.0");
  EXPECT_EQ(GetWindowLongW(screen.Handle(), GWL_STYLE) & WS_CAPTION, 0);
  EXPECT_EQ(screen.ClientSize().cx, screen.Scale(414));
  EXPECT_EQ(screen.ClientSize().cy, screen.Scale(176));
  EXPECT_TRUE(Inside(screen, screen.lblVers));
  hvtest::SaveScreenshot(screen.Handle(), L"hvwatchdog-start");
}

TEST_F(WdWindows, FilterViewListsTheDirectorysFilters) {
  TMonFilter f;
  f.IncludeExts = true;
  f.ExtList.SetCommaText(L"doc,docx,odt,pdf,txt,xls,xlsx,csv,md,rtf,ppt");
  f.SubDirList.Add(L"Projects\\");
  f.SubDirList.Add(L"Letters\\");
  f.SubDirFilter.SetFilter(L"cache*|temp");
  f.SubDirFilter.SetMode(TFilterMode::fmInclude);
  f.FileFilter.SetRegular(true);
  f.FileFilter.SetFilter(L"\\.(tmp|bak)$");
  f.FileFilter.SetMode(TFilterMode::fmExclude);
  bool shown = false;
  TTestHooks::OnFormShown = [&](TForm& form) {
    auto* dlg = dynamic_cast<TShowFilterDialog*>(&form);
    ASSERT_NE(dlg, nullptr);
    shown = true;
    EXPECT_EQ(dlg->Caption(), L"Selection for subdirectories and files");
    EXPECT_EQ(dlg->laSubDirs.Text(), L"not included in this list");
    EXPECT_EQ(dlg->laFileExt.Text(), L"matching these file types");
    EXPECT_EQ(dlg->lbSubDirs.Items(), (std::vector<std::wstring>{L"Letters\\", L"Projects\\"}));
    EXPECT_EQ(dlg->lbDirFilt.Items(), (std::vector<std::wstring>{L"cache*", L"temp"}));
    EXPECT_EQ(dlg->lbFileExt.Count(), 11);
    EXPECT_TRUE(dlg->laRegular.Visible());
    EXPECT_EQ(dlg->lbFileFilt.Items(), (std::vector<std::wstring>{L"all except :", L"\\.(tmp", L"bak)$"}));
    // The types flow in columns.
    EXPECT_GT(dlg->lbFileExt.ItemRect(10).left, dlg->lbFileExt.ItemRect(0).left);
    for (const TControl* c : std::initializer_list<const TControl*>{&dlg->gbDirs, &dlg->gbFiles, &dlg->btClose})
      EXPECT_TRUE(Inside(*dlg, *c));
    EXPECT_TRUE(Apart(dlg->gbFiles, dlg->btClose));
    UpdateWindow(dlg->Handle());
    hvtest::SaveScreenshot(dlg->Handle(), L"hvwatchdog-filter");
  };
  TTestHooks::AnswerModal = [](TForm&) { return std::optional<int>(mrCancel); };
  ShowFilterDialog(f);
  EXPECT_TRUE(shown);
}

TEST_F(WdWindows, ListChoiceAnswersTheChosenIndexOrMinusOne) {
  const std::vector<std::wstring> dirs = {L"C:\\Users\\me\\Documents", L"C:\\Users\\me\\Pictures", L"D:\\Projects"};
  struct {
    int select, answer, expected;
  } cases[] = {{-1, mrOk, 0}, {2, mrOk, 2}, {1, mrCancel, -1}};
  for (const auto& c : cases) {
    TTestHooks::OnFormShown = [&](TForm& f) {
      auto& dlg = dynamic_cast<TSelectListItemDialog&>(f);
      EXPECT_EQ(dlg.lbxStringList.Items(), dirs);
      EXPECT_EQ(dlg.lbxStringList.ItemIndex(), 0);
      if (c.select >= 0) dlg.lbxStringList.SetItemIndex(c.select);
      if (c.expected == 2) {
        EXPECT_TRUE(Inside(dlg, dlg.CancelBtn));
        EXPECT_TRUE(Apart(dlg.lbxStringList, dlg.OKBtn));
        hvtest::SaveScreenshot(dlg.Handle(), L"hvwatchdog-select-dir");
      }
      f.ModalResult = c.answer;
    };
    EXPECT_EQ(SelectListItem({-1, 0}, L"Select directory to be monitored",
                             L"Source directories found in the backup task \"photos.buj\"", dirs),
              c.expected);
  }
  // An empty list answers -1 also on OK.
  TTestHooks::OnFormShown = [](TForm& f) { f.ModalResult = mrOk; };
  EXPECT_EQ(SelectListItem({-1, 0}, L"t", L"d", {}), -1);
}

}  // namespace
}  // namespace hv
