// The option dialog driven through ShowSelectDialog.
#include "dialogs/SelectDlg.h"
#include "support/GuiTest.h"

namespace hv {
namespace {

using namespace hvtest;
class SelectDlgTest : public GuiTest {};

struct TSeen {
  std::vector<std::wstring> Captions;
  std::vector<RECT> Rects;
  std::wstring Focused;
  bool OptionVisible = false, OptionTicked = false;
  std::wstring Caption;
};

TSeen Look(TSelectDialog& d) {
  TSeen s;
  s.Caption = d.Caption();
  for (auto& b : d.Buttons) {
    s.Captions.push_back(b->Text());
    s.Rects.push_back(b->BoundsRect());
    if (b->Focused()) s.Focused = b->Text();
  }
  s.OptionVisible = d.cbOption.Visible();
  s.OptionTicked = d.cbOption.Checked();
  return s;
}

TEST_F(SelectDlgTest, GridOfButtonsAndTheirIndexes) {
  TSeen seen;
  OnShown<TSelectDialog>([&](TSelectDialog& d) {
    seen = Look(d);
    Shot(d, L"dialogs-select");
    Shot(d, L"dialogs-select-dark", true);
    d.Buttons[1]->Click();
  });
  int r = ShowSelectDialog(L"", L"What shall happen with the scheduled task \"Nightly\"?", TMsgDlgType::mtConfirmation,
                           false, {L"Run", L"Edit", L"Remove"}, L"", 0, 0, L"");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(seen.Caption, L"Confirm");
  EXPECT_EQ(seen.Captions, (std::vector<std::wstring>{L"Run", L"Edit", L"Remove", L"Cancel"}));
  ASSERT_EQ(seen.Rects.size(), 4u);
  EXPECT_EQ(seen.Rects[3].left, seen.Rects[2].left);  // "Cancel" under "Remove"
  EXPECT_GT(seen.Rects[3].top, seen.Rects[2].bottom - 1);
  EXPECT_EQ(seen.Rects[0].top, seen.Rects[2].top);
  EXPECT_FALSE(seen.OptionVisible);
  EXPECT_EQ(seen.Focused, L"Run");
}

TEST_F(SelectDlgTest, PreselectionFocusesAndTicks) {
  for (bool untick : {false, true}) {
    TSeen seen;
    OnShown<TSelectDialog>([&](TSelectDialog& d) {
      seen = Look(d);
      if (untick) SendMessageW(d.cbOption.Handle(), BM_CLICK, 0, 0);
      d.Buttons[1]->Click();
    });
    int r = ShowSelectDialog(L"Restore", L"The profile folder is not empty.", TMsgDlgType::mtWarning, true,
                             {L"Other directory", L"Continue"}, L"Delete the old files first", 0, 257, L"");
    EXPECT_TRUE(seen.OptionVisible);
    EXPECT_TRUE(seen.OptionTicked);
    EXPECT_EQ(seen.Caption, L"Restore");
    EXPECT_EQ(r, untick ? 1 : 257);
  }
}

TEST_F(SelectDlgTest, CancelAndTheSingleButton) {
  TSeen seen;
  OnShown<TSelectDialog>([&](TSelectDialog& d) {
    seen = Look(d);
    PostKey(d.Buttons[0]->Handle(), VK_ESCAPE);
  });
  EXPECT_EQ(ShowSelectDialog(L"", L"Close Thunderbird first.", TMsgDlgType::mtInformation, false, {L"Continue"},
                             L"Do not ask again", 0, -1, L""),
            -1);
  EXPECT_EQ(seen.Focused, L"Cancel");
  EXPECT_FALSE(seen.OptionTicked);  // a negative preselection ticks nothing

  OnShown<TSelectDialog>([&](TSelectDialog& d) {
    seen = Look(d);
    d.Buttons[0]->Click();
  });
  EXPECT_EQ(ShowSelectDialog(L"", L"Done.", TMsgDlgType::mtCustom, false, {}, L"", 0, 0, L"Close"), 0);
  EXPECT_EQ(seen.Captions, std::vector<std::wstring>{L"Close"});
}

}  // namespace
}  // namespace hv
