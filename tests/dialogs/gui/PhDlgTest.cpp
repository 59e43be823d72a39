// The placeholder picker driven through SelectPlaceholder.
#include "dialogs/PhDlg.h"
#include "support/GuiTest.h"

namespace hv {
namespace {

using namespace hvtest;
class PhDlgTest : public GuiTest {};

TEST_F(PhDlgTest, StartPagesAndTheirPreselectedTokens) {
  struct Case {
    TPhType Type;
    int Page;
    std::wstring Token;
  } cases[] = {
      {TPhType::ptTime, phDateTime, L"%date%"},      {TPhType::ptPath, phPath, L"%hvpath%"},
      {TPhType::ptMail, phMail, L"%taskname%"},      {TPhType::ptPreEx, phPreExec, L"%taskname%"},
      {TPhType::ptPostEx, phPostExec, L"%taskname%"}, {TPhType::ptBuLog, phBuLog, L"%date%"},
      {TPhType::ptOtherLog, phOtherLog, L"%date%"},  {TPhType::ptPortable, phPortable, L"%device%"},
  };
  for (const auto& c : cases) {
    int page = -1;
    std::wstring mailCaption;
    OnShown<TPlaceHolderDialog>([&](TPlaceHolderDialog& d) {
      page = d.PageControl.ActivePageIndex();
      mailCaption = d.Groups[phMail].Text();
      if (c.Type == TPhType::ptPreEx) Shot(d, L"dialogs-placeholder-pre-exec");
      PostKey(d.OKBtn.Handle(), VK_RETURN);
    });
    EXPECT_EQ(SelectPlaceholder({-1, -1}, c.Type, L"Subject"), c.Token);
    EXPECT_EQ(page, c.Page);
    if (c.Type == TPhType::ptMail) {
      EXPECT_EQ(mailCaption, L"Placeholder for Subject");
    }
  }
}

TEST_F(PhDlgTest, CyclicItemsTakeTheirModulusWithinTheirMaximum) {
  int max = 0;
  bool editShown = false;
  OnShown<TPlaceHolderDialog>([&](TPlaceHolderDialog& d) {
    d.Groups[phDateTime].Button(12).Click();  // "Other": the time page
    EXPECT_EQ(d.PageControl.ActivePageIndex(), phTime);
    EXPECT_FALSE(d.reCycle.Visible());
    d.Groups[phTime].Button(4).Click();  // "Alternating weeks:"
    editShown = d.reCycle.Visible() && d.udCycle.Visible();
    max = d.udCycle.Max();
    d.reCycle.SetText(L"4");
    Shot(d, L"dialogs-placeholder-time");
    d.OKBtn.Click();
  });
  EXPECT_EQ(SelectPlaceholder({100, 100}, TPhType::ptTime, L""), L"%w#4%");
  EXPECT_TRUE(editShown);
  EXPECT_EQ(max, 53);

  // Versions have a maximum of their own; a typed value beyond it counts as the maximum.
  OnShown<TPlaceHolderDialog>([&](TPlaceHolderDialog& d) {
    d.Groups[phDateTime].Button(12).Click();
    d.Groups[phTime].Button(7).Click();
    max = d.udCycle.Max();
    d.reCycle.SetText(L"5000");
    d.OKBtn.Click();
  });
  EXPECT_EQ(SelectPlaceholder({-1, 0}, TPhType::ptTime, L""), L"%v#999%");
  EXPECT_EQ(max, 999);
}

TEST_F(PhDlgTest, OtherLinksAndCancel) {
  int page = -1, item = -1;
  OnShown<TPlaceHolderDialog>([&](TPlaceHolderDialog& d) {
    d.Groups[phDateTime].Button(12).Click();
    d.Groups[phTime].Button(12).Click();  // "Other" again: back to the date page, first item
    page = d.PageControl.ActivePageIndex();
    item = d.Groups[phDateTime].ItemIndex();
    d.Groups[phDateTime].Button(3).Click();
    d.OKBtn.Click();
  });
  EXPECT_EQ(SelectPlaceholder({-1, 0}, TPhType::ptTime, L""), L"%ldow%");
  EXPECT_EQ(page, phDateTime);
  EXPECT_EQ(item, 0);

  OnShown<TPlaceHolderDialog>([&](TPlaceHolderDialog& d) {
    d.Groups[phPath].Button(9).Click();  // "Other environment variables"
    page = d.PageControl.ActivePageIndex();
    d.Groups[phSystem].Button(1).Click();
    d.OKBtn.Click();
  });
  EXPECT_EQ(SelectPlaceholder({-1, 0}, TPhType::ptPath, L""), L"%localappdata%");
  EXPECT_EQ(page, phSystem);

  OnShown<TPlaceHolderDialog>([&](TPlaceHolderDialog& d) {
    d.Groups[phPreExec].Button(0).Click();  // "Date and time": the date page
    page = d.PageControl.ActivePageIndex();
    PostKey(d.OKBtn.Handle(), VK_ESCAPE);
  });
  EXPECT_EQ(SelectPlaceholder({-1, 0}, TPhType::ptPreEx, L""), L"");
  EXPECT_EQ(page, phDateTime);
}

}  // namespace
}  // namespace hv
