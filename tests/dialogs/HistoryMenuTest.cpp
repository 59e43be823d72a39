// A history mirrored into menus: numbered entries after the menu's own, radio entries, literal
// ampersands, a second menu and the click that reports the entry.
#include <gtest/gtest.h>

#include "dialogs/HListBox.h"
#include "winui/Menus.h"

namespace hv {
namespace {

std::vector<std::wstring> Captions(const TMenuItem& menu) {
  std::vector<std::wstring> c;
  for (size_t i = 0; i < menu.Count(); ++i) c.push_back(menu.Items(i).Caption());
  return c;
}

TEST(HistoryMenuTest, EntriesAreNumberedInHexadecimalAndAClickReportsTheirEntry) {
  TPopupMenu menu, second;
  menu.Add(L"Open");
  THistoryList h;
  h.SetMaxLen(20);
  h.SetMenu(&menu);
  h.SetMenu2(&second);
  for (int i = 0; i < 17; ++i) h.AddString(L"entry" + std::to_wstring(i));
  const auto c = Captions(menu);
  ASSERT_EQ(c.size(), 1u + 1u + 17u);
  EXPECT_EQ(c[0], L"Open");
  EXPECT_EQ(c[1], L"-");
  EXPECT_EQ(c[2], L"1 entry16");
  EXPECT_EQ(c[16], L"F entry2");
  EXPECT_EQ(c[17], L"10 entry1");
  EXPECT_EQ(c[18], L"11 entry0");
  EXPECT_EQ(Captions(second), std::vector<std::wstring>(c.begin() + 1, c.end()));

  std::wstring clicked;
  TMenuItem* sender = nullptr;
  h.OnAutoItemClick = [&](TMenuItem* s, const std::wstring& entry) {
    sender = s;
    clicked = entry;
  };
  menu.Items(17).Click();
  EXPECT_EQ(clicked, L"entry1");
  EXPECT_EQ(sender, &menu);
  second.Items(1).Click();
  EXPECT_EQ(clicked, L"entry16");

  int index = -1;
  h.OnAutoItemClick = nullptr;
  h.OnAutoItemClickIndex = [&](TMenuItem*, int i) { index = i; };
  menu.Items(17).Click();
  EXPECT_EQ(index, 15);

  // A handler that changes the history rebuilds the menu under the clicked entry.
  h.OnAutoItemClick = [&](TMenuItem*, const std::wstring& entry) { h.AddString(entry); };
  menu.Items(18).Click();
  EXPECT_EQ(menu.Items(2).Caption(), L"1 entry0");

  h.ClearAll();
  EXPECT_EQ(Captions(menu), std::vector<std::wstring>{L"Open"});
  EXPECT_EQ(second.Count(), 0u);
}

TEST(HistoryMenuTest, RadioEntriesKeepTheirCheckAndAmpersandsCanBeLiteral) {
  TPopupMenu menu;
  THistoryList h;
  h.SetMenu(&menu);
  h.AddString(L"R&D");
  h.AddString(L"Sales");
  EXPECT_EQ(Captions(menu), (std::vector<std::wstring>{L"1 Sales", L"2 R&D"}));
  h.SetShowHotKeys(false);
  EXPECT_EQ(menu.Items(1).Caption(), L"2 R&&D");

  h.SetRadioMenu(true);
  EXPECT_TRUE(menu.Items(0).RadioItem());
  EXPECT_EQ(menu.Items(0).GroupIndex, 99);
  EXPECT_TRUE(h.SelectMenuItem(L"r&d"));
  EXPECT_TRUE(menu.Items(1).Checked());
  EXPECT_FALSE(menu.Items(0).Checked());
  h.AddString(L"Office");
  ASSERT_EQ(menu.Count(), 3u);
  EXPECT_TRUE(menu.Items(2).Checked());
  EXPECT_EQ(menu.Items(2).Caption(), L"3 R&&D");
  EXPECT_FALSE(h.SelectMenuItem(L"none"));
  menu.Items(0).Click();
  EXPECT_TRUE(menu.Items(0).Checked());
  EXPECT_FALSE(menu.Items(2).Checked());

  TPopupMenu other;
  h.SetMenu(&other);
  EXPECT_EQ(menu.Count(), 0u);
  EXPECT_EQ(other.Count(), 3u);
}

}  // namespace
}  // namespace hv
