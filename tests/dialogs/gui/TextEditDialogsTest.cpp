// The single-line and multi-line text edit dialogs.
#include "dialogs/InputString.h"
#include "dialogs/MemoDlg.h"
#include "support/GuiTest.h"
#include "winui/Dpi.h"

namespace hv {
namespace {

using namespace hvtest;
class TextEditDialogsTest : public GuiTest {};

TEST_F(TextEditDialogsTest, SingleLineWidensForLongTextsAndCancelsOnEscape) {
  int shortWidth = 0, longWidth = 0;
  std::wstring hint, suffix;
  OnShown<TInputStringDialog>([&](TInputStringDialog& d) {
    shortWidth = d.ClientSize().cx;
    hint = d.TextFeld.Hint;
    suffix = d.SuffixText.Text();
    Shot(d, L"dialogs-edit-string");
    d.TextFeld.SetText(L"C:\\Backup\\Mail");
    PostKey(d.TextFeld.Handle(), VK_RETURN);
  });
  std::wstring text = L"C:\\Backup";
  ASSERT_TRUE(EditString({-1, 0}, L"Edit entry", L"Destination folder:", L"(folder)", text));
  EXPECT_EQ(text, L"C:\\Backup\\Mail");
  EXPECT_EQ(hint, L"Destination folder:");
  EXPECT_EQ(suffix, L"(folder)");

  std::wstring longText(120, L'W');
  OnShown<TInputStringDialog>([&](TInputStringDialog& d) {
    longWidth = d.ClientSize().cx;
    RECT edit = d.TextFeld.BoundsRect();
    EXPECT_LE(edit.right, d.ClientSize().cx);
    d.TextFeld.SetText(L"changed");
    PostKey(d.TextFeld.Handle(), VK_ESCAPE);
  });
  EXPECT_FALSE(EditStringSimple({-1, 0}, L"", L"Name:", longText));
  EXPECT_EQ(longText, std::wstring(120, L'W'));
  EXPECT_EQ(shortWidth, MulDiv(301, static_cast<int>(DpiForWindow(nullptr)), 96));
  EXPECT_GT(longWidth, shortWidth);
}

TEST_F(TextEditDialogsTest, MemoKeepsLinesAndStaysWithinHalfTheWorkArea) {
  int width = 0;
  OnShown<TMemoDialog>([&](TMemoDialog& d) {
    width = d.Width();
    PostMessageW(d.Memo.Handle(), WM_CHAR, L'x', 0);
    PostMessageW(d.OKBtn.Handle(), BM_CLICK, 0, 0);
  });
  std::wstring text = L"*[System[(EventID=4624)]]\r\n" + std::wstring(400, L'M');
  ASSERT_TRUE(EditMemoText({-1, 0}, L"Event query", L"Query:", text));
  EXPECT_EQ(text, L"*[System[(EventID=4624)]]\r\n" + std::wstring(400, L'M') + L"x");
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(width, (work.right - work.left) / 2 + 40);  // client at most half, plus the frame

  OnShown<TMemoDialog>([&](TMemoDialog& d) {
    d.Memo.SetText(L"short\r\nlines");
    Shot(d, L"dialogs-memo");
    d.CancelBtn.Click();
  });
  std::wstring small = L"a";
  EXPECT_FALSE(EditMemoText({-1, 0}, L"Event query", L"Query:", small));
  EXPECT_EQ(small, L"a");
}

}  // namespace
}  // namespace hv
