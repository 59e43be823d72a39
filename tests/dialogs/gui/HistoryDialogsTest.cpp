// The text input with history and the history list editor.
#include "base/app/ShowMessageDlg.h"
#include "dialogs/EditHistListDlg.h"
#include "dialogs/InpText.h"
#include "support/GuiTest.h"

namespace hv {
namespace {

using namespace hvtest;
class HistoryDialogsTest : public GuiTest {};

TEST_F(HistoryDialogsTest, InputTextHandsBackTheHistoryWithTheTextFirst) {
  TStringList history = {L"smtp.example.org", L"mail.example.com"};
  bool dropDown = false;
  OnShown<TInputTextDialog>([&](TInputTextDialog& d) {
    dropDown = !d.TextFeld.IsDropDownList() && d.TextFeld.Count() == 2;
    Shot(d, L"dialogs-input-text");
    d.TextFeld.SetText(L"MAIL.example.com");
    PostKey(d.TextFeld.Handle(), VK_RETURN);
  });
  std::wstring text = L"smtp.example.org";
  ASSERT_TRUE(InputTextHist({-1, 0}, L"Server", L"SMTP server:", false, L"", &history, false, text));
  EXPECT_TRUE(dropDown);
  EXPECT_EQ(text, L"MAIL.example.com");
  EXPECT_EQ(history, (TStringList{L"MAIL.example.com", L"smtp.example.org"}));  // newest spelling, first

  int shortWidth = 0, longWidth = 0;
  OnShown<TInputTextDialog>([&](TInputTextDialog& d) {
    shortWidth = d.ClientSize().cx;
    EXPECT_FALSE(d.CharTabBtn.Visible());
    d.CancelBtn.Click();
  });
  std::wstring small = L"x";
  EXPECT_FALSE(InputText({-1, 0}, L"", L"Name:", false, small));
  OnShown<TInputTextDialog>([&](TInputTextDialog& d) {
    longWidth = d.ClientSize().cx;
    d.TextFeld.SetText(L"changed");
    PostKey(d.OKBtn.Handle(), VK_ESCAPE);
  });
  std::wstring big(120, L'W');
  EXPECT_FALSE(InputText({-1, 0}, L"", L"Name:", false, big));
  EXPECT_EQ(big, std::wstring(120, L'W'));
  EXPECT_GT(longWidth, shortWidth);
}

TEST_F(HistoryDialogsTest, RemovingMovingAndCancelling) {
  THistEntries list = {{L"a@example.org", 1}, {L"b@example.org", 2}, {L"c@example.org", 3}, {L"d@example.org", 4}};
  OnShown<TEditHistListDialog>([&](TEditHistListDialog& d) {
    EXPECT_FALSE(d.btnEdit.Visible());
    d.lbxStringList.SetSelected(3, true);
    d.UpBtn.Click();  // d above c
    d.lbxStringList.SetSelected(0, false);
    for (int i = 0; i < d.lbxStringList.Count(); ++i) d.lbxStringList.SetSelected(i, i == 0);
    d.btnDelete.Click();
    Shot(d, L"dialogs-history-editor");
    d.OKBtn.Click();
  });
  THistEntries removed;
  ASSERT_TRUE(EditHistoryList({-1, 0}, L"Addresses", L"Recipients:", list, &removed));
  EXPECT_EQ(list, (THistEntries{{L"b@example.org", 2}, {L"d@example.org", 4}, {L"c@example.org", 3}}));
  EXPECT_EQ(removed, (THistEntries{{L"a@example.org", 1}}));  // handed back to its owner

  // Everything removed, then Cancel: the caller's list stays.
  OnShown<TEditHistListDialog>([&](TEditHistListDialog& d) {
    for (int i = 0; i < d.lbxStringList.Count(); ++i) d.lbxStringList.SetSelected(i, true);
    d.btnDelete.Click();
    EXPECT_EQ(d.lbxStringList.Count(), 0);
    PostKey(d.lbxStringList.Handle(), VK_ESCAPE);
  });
  THistEntries before = list;
  removed.clear();
  EXPECT_FALSE(EditHistoryList({-1, 0}, L"Addresses", L"Recipients:", list, &removed));
  EXPECT_EQ(list, before);
  EXPECT_TRUE(removed.empty());
}

TEST_F(HistoryDialogsTest, EditRefusesADuplicateAndNeedsACurrentEntry) {
  THistEntries list = {{L"Alpha", 0}, {L"beta", 0}};
  std::vector<std::wstring> errors;
  int inputs = 0;
  OnShown<TEditHistListDialog>(
      [&](TEditHistListDialog& d) {
        d.btnEditClick();  // no current entry yet: nothing opens
        EXPECT_EQ(inputs, 0);
        d.lbxStringList.SetItemIndex(1);
        d.btnEditClick();  // "ALPHA": refused
        d.btnEditClick();  // "Beta": its own entry in other case: taken
        d.OKBtn.Click();
      },
      [&](TForm& f) {
        if (auto* input = dynamic_cast<TInputTextDialog*>(&f)) {
          input->TextFeld.SetText(++inputs == 1 ? L"ALPHA" : L"Beta");
          input->OKBtn.Click();
        } else if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
          errors.push_back(box->Message());
          box->ModalResult = mrCancel;
        }
      });
  int index = -1;
  ASSERT_TRUE(EditHistoryListEx({-1, 0}, L"Servers", L"Server:", list, true, true, index, nullptr));
  EXPECT_EQ(inputs, 2);
  EXPECT_EQ(errors, std::vector<std::wstring>{L"Item \"ALPHA\" already exists!"});
  EXPECT_EQ(list, (THistEntries{{L"Alpha", 0}, {L"Beta", 0}}));
  EXPECT_EQ(index, 1);
}

}  // namespace
}  // namespace hv
