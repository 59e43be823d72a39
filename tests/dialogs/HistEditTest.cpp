// Moving selected entries of the history list editor.
#include <gtest/gtest.h>

#include "dialogs/EditHistListDlg.h"

namespace hv {
namespace {

THistEntries Make(std::initializer_list<const wchar_t*> texts) {
  THistEntries list;
  intptr_t data = 100;
  for (auto t : texts) list.push_back({t, data++});
  return list;
}

std::wstring Texts(const THistEntries& list) {
  std::wstring s;
  for (const auto& e : list) s += e.Text;
  return s;
}

TEST(HistoryMoveTest, UpAndDownKeepBlocksAtTheEnds) {
  struct Case {
    bool Up;
    std::vector<int> Selected;
    std::wstring Result;
    std::vector<int> Moved;
  } cases[] = {
      {true, {0, 1, 3}, L"abdce", {0, 1, 2}},  // 0 and 1 stay, 3 goes to 2
      {true, {2}, L"acbde", {1}},
      {true, {0}, L"abcde", {0}},
      {true, {1, 2}, L"bcade", {0, 1}},
      {false, {1, 3, 4}, L"acbde", {4, 3, 2}},
      {false, {4}, L"abcde", {4}},
      {false, {0}, L"bacde", {1}},
      {true, {}, L"abcde", {}},
      {true, {7}, L"abcde", {}},  // out of range: ignored
  };
  for (const auto& c : cases) {
    THistEntries list = Make({L"a", L"b", L"c", L"d", L"e"});
    std::vector<int> moved = c.Up ? MoveEntriesUp(list, c.Selected) : MoveEntriesDown(list, c.Selected);
    EXPECT_EQ(Texts(list), c.Result);
    EXPECT_EQ(moved, c.Moved);
    for (const auto& e : list) EXPECT_EQ(e.Data, 100 + (e.Text[0] - L'a'));  // data moves with its text
  }
}

}  // namespace
}  // namespace hv
