// The character table through SelectCharacter and from the text input's button.
#include "dialogs/CharTableDlg.h"
#include "dialogs/InpText.h"
#include "support/GuiTest.h"

namespace hv {
namespace {

using namespace hvtest;
class CharTableDlgTest : public GuiTest {};

void Type(HWND wnd, std::wstring_view text) {
  for (wchar_t c : text) SendMessageW(wnd, WM_CHAR, c, 0);
}

void ClickCell(TDrawGrid& g, int col, int row, bool twice = false) {
  RECT r = g.CellRect(col, row);
  LPARAM at = MAKELPARAM(r.left + 4, r.top + 4);
  for (int i = 0; i < (twice ? 2 : 1); ++i) {
    SendMessageW(g.Handle(), i == 0 ? WM_LBUTTONDOWN : WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(g.Handle(), WM_LBUTTONUP, 0, at);
  }
}

TEST_F(CharTableDlgTest, HexValueGivesOnlyCodesOfTheTable) {
  struct Case {
    const wchar_t* Text;
    std::optional<int> Code;
  } cases[] = {{L"41", 65}, {L"4a", 74}, {L"FF", 255}, {L"0", 0},           {L"100", std::nullopt},
               {L"1FF", std::nullopt}, {L"FFFFFFFFFFFF", std::nullopt}, {L"-1", std::nullopt},
               {L"G", std::nullopt},   {L"", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(HexCharCode(c.Text), c.Code) << c.Text;
}

TEST_F(CharTableDlgTest, ClickTypedCodeDoubleClickAndEscape) {
  // A click on the cell in grid row 5, column 2, then Enter.
  OnShown<TCharTableDialog>([](TCharTableDialog& d) {
    EXPECT_TRUE(d.CharGrid.Focused());
    EXPECT_EQ(GetWindowLongW(d.CharGrid.Handle(), GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), 0) << "all cells fit";
    ClickCell(d.CharGrid, 2, 5);
    Shot(d, L"dialogs-char-table");
    PostKey(d.CharGrid.Handle(), VK_RETURN);
  });
  EXPECT_EQ(SelectCharacter({-1, 0}, L""), L'A');

  // A typed code selects its cell; one outside the table leaves the selection alone.
  std::vector<int> selected;
  OnShown<TCharTableDialog>([&](TCharTableDialog& d) {
    Type(d.leValue.Handle(), L"4A");
    selected.push_back(d.SelectedCode());
    Type(d.leValue.Handle(), L"0");  // 4A0
    selected.push_back(d.SelectedCode());
    EXPECT_EQ(d.CharGrid.Col(), 11);
    EXPECT_EQ(d.CharGrid.Row(), 5);
    PostKey(d.leValue.Handle(), VK_RETURN);
  });
  EXPECT_EQ(SelectCharacter({100, 100}, L"Courier New"), L'J');
  EXPECT_EQ(selected, (std::vector<int>{0x4A, 0x4A}));

  OnShown<TCharTableDialog>([](TCharTableDialog& d) {
    Shot(d, L"dialogs-char-table-dark", true);
    ClickCell(d.CharGrid, 1, 15, true);  // code 0xE0
  });
  EXPECT_EQ(SelectCharacter({-1, 0}, L""), L'\u00E0');

  OnShown<TCharTableDialog>([](TCharTableDialog& d) {
    ClickCell(d.CharGrid, 2, 5);
    PostKey(d.CharGrid.Handle(), VK_ESCAPE);
  });
  EXPECT_EQ(SelectCharacter({-1, 0}, L""), L'\0');
}

TEST_F(CharTableDlgTest, TheTextInputAppendsTheChosenCharacter) {
  int tables = 0;
  DWORD caret = 0;
  std::wstring afterCancel;
  OnShown<TInputTextDialog>(
      [&](TInputTextDialog& d) {
        EXPECT_TRUE(d.CharTabBtn.Visible());
        d.CharTabBtn.Click();  // picks "A"
        SendMessageW(d.TextFeld.Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&caret), 0);
        d.CharTabBtn.Click();  // cancelled
        afterCancel = d.TextFeld.Text();
        EXPECT_TRUE(d.TextFeld.Focused() || IsChild(d.TextFeld.Handle(), GetFocus()));
        Shot(d, L"dialogs-input-text-table");
        PostKey(d.TextFeld.Handle(), VK_RETURN);
      },
      [&](TForm& f) {
        auto* table = dynamic_cast<TCharTableDialog*>(&f);
        ASSERT_NE(table, nullptr);
        if (++tables == 1) {
          ClickCell(table->CharGrid, 2, 5);
          table->OKBtn.Click();
        } else {
          ClickCell(table->CharGrid, 3, 5);
          table->CancelBtn.Click();
        }
      });
  std::wstring text = L"abc";
  ASSERT_TRUE(InputText({-1, 0}, L"", L"Name:", true, text));
  EXPECT_EQ(tables, 2);
  EXPECT_EQ(caret, 4u);
  EXPECT_EQ(afterCancel, L"abcA");
  EXPECT_EQ(text, L"abcA");
}

}  // namespace
}  // namespace hv
