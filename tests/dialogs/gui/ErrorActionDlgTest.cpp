#include "dialogs/ErrorActionDlg.h"

#include "support/GuiTest.h"

namespace hv {
namespace {

using namespace hvtest;
class ErrorActionDlgTest : public GuiTest {};

TEST_F(ErrorActionDlgTest, BoxesFollowTheMaskAndOkGivesTheTickedBits) {
  int mask = 0;
  std::wstring group;
  OnShown<TErrorActionDialog>([&](TErrorActionDialog& d) {
    group = d.gbSettings.Text();
    for (TCheckBox* b : {&d.cbErr1, &d.cbErr2, &d.cbErr4, &d.cbErr8, &d.cbErr16}) EXPECT_FALSE(b->Checked());
    SendMessageW(d.cbErr1.Handle(), BM_CLICK, 0, 0);
    SendMessageW(d.cbErr16.Handle(), BM_CLICK, 0, 0);
    Shot(d, L"dialogs-error-actions");
    PostKey(d.cbErr1.Handle(), VK_RETURN);
  });
  ASSERT_TRUE(SelectErrorActions({-1, 0}, L"Shut down", mask));
  EXPECT_EQ(mask, 17);
  EXPECT_EQ(group, L"No Shut down on these errors");

  // Bits above 16 are dropped on OK; Cancel keeps every bit.
  mask = 0x40 | eaDestination;
  bool destinationTicked = false;
  OnShown<TErrorActionDialog>([&](TErrorActionDialog& d) {
    destinationTicked = d.cbErr2.Checked();
    d.OKBtn.Click();
  });
  ASSERT_TRUE(SelectErrorActions({-1, 0}, L"Log off", mask));
  EXPECT_TRUE(destinationTicked);
  EXPECT_EQ(mask, eaDestination);
  mask = 0x1FF;
  OnShown<TErrorActionDialog>([&](TErrorActionDialog& d) {
    SendMessageW(d.cbErr1.Handle(), BM_CLICK, 0, 0);
    PostKey(d.cbErr1.Handle(), VK_ESCAPE);
  });
  EXPECT_FALSE(SelectErrorActions({-1, 0}, L"Log off", mask));
  EXPECT_EQ(mask, 0x1FF);
}

}  // namespace
}  // namespace hv
