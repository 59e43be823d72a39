// Layout rules and small computations of the dialogs, as tables.
#include <gtest/gtest.h>

#include "dialogs/InputString.h"
#include "dialogs/MemoDlg.h"
#include "dialogs/NewPwdDlg.h"
#include "dialogs/PhDlg.h"
#include "dialogs/PwdDlg.h"
#include "dialogs/SelectDlg.h"

namespace hv {
namespace {

TEST(SelectDialogLayoutTest, RowsOfThreeWithTheLastRowAlignedRight) {
  struct Case {
    int Buttons;
    std::vector<std::pair<int, int>> Cells;  // (row, column) of each button
  } cases[] = {
      {4, {{0, 0}, {0, 1}, {0, 2}, {1, 2}}},  // Run, Edit, Remove, Cancel
      {3, {{0, 0}, {0, 1}, {0, 2}}},
      {2, {{0, 1}, {0, 2}}},
      {1, {{0, 2}}},
      {5, {{0, 0}, {0, 1}, {0, 2}, {1, 1}, {1, 2}}},
  };
  for (const auto& c : cases) {
    TSelectLayoutIn in;
    in.ButtonCount = c.Buttons;
    in.TextWidth = 200;
    in.FontHeight = 13;
    TSelectLayout l = SelectDialogLayout(in);
    ASSERT_EQ(l.Buttons.size(), static_cast<size_t>(c.Buttons));
    const int w = 105, pitch = 31 * 30 / 26;  // button height 13 * 24 / 10 = 31
    EXPECT_EQ(l.ClientWidth, 70 + 3 * w);
    int x0 = l.ClientWidth - 3 * w - 4 * 5;
    int top0 = l.Buttons[0].top - c.Cells[0].first * pitch;
    for (size_t i = 0; i < l.Buttons.size(); ++i) {
      SCOPED_TRACE(testing::Message() << c.Buttons << " buttons, #" << i);
      EXPECT_EQ(l.Buttons[i].left, x0 + c.Cells[i].second * (w + 5));
      EXPECT_EQ(l.Buttons[i].top, top0 + c.Cells[i].first * pitch);
      EXPECT_EQ(l.Buttons[i].right - l.Buttons[i].left, w);
    }
    int rows = c.Cells.back().first + 1;
    EXPECT_EQ(l.ClientHeight, top0 + (rows - 1) * pitch + pitch + 5);
  }
}

TEST(SelectDialogLayoutTest, TextWidensTheWindowAndScales) {
  struct Case {
    int TextWidth;
    bool Bold;
    UINT Dpi;
    int ButtonWidth96, ClientWidth;
  } cases[] = {
      {200, false, 96, 0, 385},          // fits: B = 70 + 3 * 105
      {325, false, 96, 0, 385},          // 325 < 385 - 50 - 10
      {400, false, 96, 0, 460},          // L + width + G
      {320, true, 96, 0, 460},           // bold: 5/4 of 320 = 400
      {200, false, 192, 0, 770},         // all scaled
      {100, false, 96, 150, 70 + 450},   // own button width
  };
  for (const auto& c : cases) {
    TSelectLayoutIn in;
    in.ButtonCount = 2;
    in.TextWidth = c.TextWidth;
    in.Bold = c.Bold;
    in.Dpi = c.Dpi;
    in.ButtonWidth96 = c.ButtonWidth96;
    in.FontHeight = 13;
    in.Option = true;
    TSelectLayout l = SelectDialogLayout(in);
    EXPECT_EQ(l.ClientWidth, c.ClientWidth) << c.TextWidth << " " << c.Dpi;
    EXPECT_GE(l.Option.top, l.Text.bottom);
    EXPECT_GT(l.Buttons[0].top, l.Option.bottom);
  }
}

TEST(PasswordDialogLayoutTest, PromptLinesAndWidth) {
  struct Case {
    int PromptWidth, Lines, FontHeight;
    UINT Dpi;
    bool Encryption;
    int PromptHeight, TopHeight, ClientWidth, ClientHeight;
  } cases[] = {
      // b = 2: lines x (font + b) + 2b; the top 2b more.
      {100, 1, 13, 96, false, 19, 23, 380, 23 + 58 + 43},
      {100, 3, 13, 96, false, 49, 53, 380, 53 + 58 + 43},
      {500, 1, 13, 96, false, 19, 23, 520, 23 + 58 + 43},  // widened: prompt + twice the left margin
      {100, 1, 13, 96, true, 19, 23, 380, 23 + 58 + 43 + 52},
      {100, 2, 26, 192, false, 68, 76, 760, 76 + 116 + 86},
  };
  for (const auto& c : cases) {
    TPasswordLayoutIn in{c.PromptWidth, c.Lines, c.FontHeight, c.Dpi, MulDiv(380, static_cast<int>(c.Dpi), 96),
                         c.Encryption};
    TPasswordLayout l = PasswordDialogLayout(in);
    EXPECT_EQ(l.PromptHeight, c.PromptHeight);
    EXPECT_EQ(l.TopHeight, c.TopHeight);
    EXPECT_EQ(l.ClientWidth, c.ClientWidth);
    EXPECT_EQ(l.ClientHeight, c.ClientHeight);
  }
}

TEST(NewPwdDialogLayoutTest, RepeatFieldAndShowButton) {
  struct Case {
    bool Confirm, Show;
    UINT Dpi;
    int PwdWidth, ClientHeight;
  } cases[] = {
      {true, false, 96, 466, 141}, {false, false, 96, 466, 97}, {true, true, 96, 435, 141},
      {false, true, 192, 932 - 62, 194},
  };
  for (const auto& c : cases) {
    TNewPwdLayout l = NewPwdDialogLayout(c.Confirm, c.Show, c.Dpi);
    EXPECT_EQ(l.PwdWidth, c.PwdWidth);
    EXPECT_EQ(l.ClientHeight, c.ClientHeight);
  }
}

TEST(PasswordBarValueTest, ZeroBelowTheMinimumLength) {
  EXPECT_EQ(PasswordBarValue(L"Abcdef1", 8), 0);
  EXPECT_EQ(PasswordBarValue(L"Abc!def1", 8), PasswordBarValue(L"Abc!def1", 0));
  EXPECT_GT(PasswordBarValue(L"Abc!def1", 8), 0);
  EXPECT_EQ(PasswordBarValue(L"abc", 0), 1);
  EXPECT_EQ(PasswordBarValue(L"", 0), 0);
}

TEST(EditDialogWidthTest, TextWidensUpToTheLimits) {
  EXPECT_EQ(InputStringClientWidth(100, 96, 301), 301);
  EXPECT_EQ(InputStringClientWidth(281, 96, 301), 301);
  EXPECT_EQ(InputStringClientWidth(400, 96, 301), 420);
  EXPECT_EQ(InputStringClientWidth(400, 192, 602), 602);
  EXPECT_EQ(InputStringClientWidth(800, 192, 602), 840);
  EXPECT_EQ(MemoDialogClientWidth(301, 200, 1280), 301);
  EXPECT_EQ(MemoDialogClientWidth(301, 400, 1280), 440);
  EXPECT_EQ(MemoDialogClientWidth(301, 2000, 1280), 640);  // never wider than half the work area
}

TEST(PlaceholderTokenTest, ItemsGiveTheirTokens) {
  struct Case {
    int Page, Item, Modulus;
    std::wstring Token;
  } cases[] = {
      {phDateTime, 0, 2, L"%date%"},      {phDateTime, 11, 2, L"%year%"},     {phDateTime, 12, 2, L""},
      {phTime, 3, 7, L"%d#7%"},           {phTime, 4, 4, L"%w#4%"},           {phTime, 7, 100, L"%v#100%"},
      {phTime, 11, 2, L"%mode%"},         {phTime, 12, 2, L""},               {phPath, 0, 2, L"%hvpath%"},
      {phPath, 9, 2, L""},                {phSystem, 8, 2, L"%programdata%"}, {phMail, 6, 2, L"%status%"},
      {phPreExec, 0, 2, L""},             {phPreExec, 1, 2, L"%taskname%"},   {phPreExec, 8, 2, L"%password%"},
      {phPostExec, 10, 2, L"%status%"},   {phBuLog, 9, 2, L"%volume%"},       {phOtherLog, 6, 2, L"%computername%"},
      {phPortable, 0, 2, L"%device%"},    {phPortable, 12, 2, L"%year%"},     {phPortable, 13, 2, L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PlaceholderToken(c.Page, c.Item, c.Modulus), c.Token) << c.Page << "/" << c.Item;
}

TEST(PlaceholderTokenTest, EveryCyclicItemHasItsOwnMaximum) {
  const int expected[] = {0, 0, 0, 366, 53, 12, 99, 999, 0, 0, 0, 0, 0};
  for (int item = 0; item < 13; ++item) EXPECT_EQ(CycleMaximum(item), expected[item]) << item;
  EXPECT_EQ(CycleMaximum(-1), 0);
  EXPECT_EQ(CycleMaximum(99), 0);
}

}  // namespace
}  // namespace hv
