// The list editor of the main window's exclusion lists, driven as a user would: editing buttons,
// moving, removing, and the buttons that must do nothing without a selection or at the ends.
#include <gtest/gtest.h>

#include "base/app/ShowMessageDlg.h"
#include "dialogs/InputString.h"
#include "qlbackup/SelectFromListDlg.h"
#include "support/TestSupport.h"
#include "winui/TestHooks.h"

namespace hv::qlbackup {
namespace {

class SelectFromListTest : public testing::Test {
 protected:
  void SetUp() override {
    Application().Initialize();
    TTestHooks::AnswerModal = [this](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Messages.push_back(box->Message());
        return mrYes;
      }
      return std::nullopt;
    };
  }
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
  std::vector<std::wstring> Messages;
};

TEST_F(SelectFromListTest, ExclusionEditorButtonsAndEnds) {
  TSelectFromListDialog d;
  d.Create();
  std::wstring typed;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (auto* in = dynamic_cast<TInputStringDialog*>(&f)) {
      in->TextFeld.SetText(typed);
      in->OKBtn.Click();
      return;
    }
    if (&f != &d) return;
    // Options 54: edit and move groups, "Remove all", no questions, no "Default".
    EXPECT_TRUE(d.gbEdit.Visible());
    EXPECT_TRUE(d.gbMove.Visible());
    EXPECT_TRUE(d.btnDelAll.Visible());
    EXPECT_FALSE(d.btnDefault.Visible());
    EXPECT_FALSE(d.btnPrompt.Visible());
    EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"SelectFromListDialog"));

    // Nothing selected: remove, change, up and down do nothing.
    d.lbxStringList.SetItemIndex(-1);
    d.btnDeleteClick();
    d.btnEditClick();
    d.MoveItem(-1);
    d.MoveItem(1);
    EXPECT_EQ(d.lbxStringList.Items(), (TStringList{L"*.tmp", L"*.bak", L"lock"}));
    // At the ends.
    d.lbxStringList.SetItemIndex(0);
    d.MoveItem(-1);
    d.lbxStringList.SetItemIndex(2);
    d.MoveItem(1);
    EXPECT_EQ(d.lbxStringList.Items(), (TStringList{L"*.tmp", L"*.bak", L"lock"}));
    d.MoveItem(-1);
    EXPECT_EQ(d.lbxStringList.Items(), (TStringList{L"*.tmp", L"lock", L"*.bak"}));
    EXPECT_EQ(d.lbxStringList.ItemIndex(), 1);

    typed = L"cache";
    d.btnInsertClick();
    EXPECT_EQ(d.lbxStringList.ItemIndex(), 3);
    typed = L"bad entry";
    d.btnInsertClick();  // refused by the check
    typed = L"Lock";
    d.lbxStringList.SetItemIndex(1);
    d.btnEditClick();
    // Removing the last item leaves nothing selected.
    d.lbxStringList.SetItemIndex(3);
    d.btnDeleteClick();
    EXPECT_EQ(d.lbxStringList.ItemIndex(), -1);
    d.lbxStringList.SetItemIndex(0);
    d.OKBtn.Click();
  };
  TStringList list{L"*.tmp", L"*.bak", L"lock"};
  std::wstring text;
  const int r = d.Execute({-1, 0}, L"Excluded files", L"Filter expressions:", L"", 54, 0, TTextChange::tcLower, L"",
                          list, text, true, [](const std::wstring& s) { return s.find(L' ') == std::wstring::npos; });
  EXPECT_EQ(r, mrOk);
  EXPECT_EQ(list, (TStringList{L"*.tmp", L"lock", L"*.bak"}));
  EXPECT_EQ(text, L"*.tmp");
  // No questions with option 32, one error box for the refused entry.
  EXPECT_EQ(Messages, (std::vector<std::wstring>{L"Invalid entry: \"bad entry\""}));
}

TEST_F(SelectFromListTest, MultiSelectionDefaultsAndQuestions) {
  TSelectFromListDialog d(true);
  d.Create();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &d) return;
    EXPECT_TRUE(d.btnDefault.Visible());
    EXPECT_TRUE(d.btnPrompt.Visible());
    EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"SelectFromListDialog-multi"));
    EXPECT_TRUE(d.lbxStringList.Selected(1));  // the given text
    d.lbxStringList.SetSelected(1, false);
    d.btnDeleteClick();  // nothing selected: no question
    d.lbxStringList.SetSelected(0, true);
    d.lbxStringList.SetSelected(2, true);
    d.btnDeleteClick();
    EXPECT_EQ(d.lbxStringList.Items(), (TStringList{L"b"}));
    d.btnDefaultClick();
    EXPECT_EQ(d.lbxStringList.Items(), (TStringList{L"x", L"y z"}));
    d.lbxStringList.SetSelected(0, true);
    d.lbxStringList.SetSelected(1, true);
    d.btnPrompt.Click();
  };
  TStringList list{L"a", L"b", L"c"};
  std::wstring text = L"b";
  EXPECT_EQ(d.Execute({-1, 0}, L"Pick", L"Items:", L"A hint", slPrompt | slEdit | slMulti, 0, TTextChange::tcUpper,
                      L"x,\"y z\"", list, text, true),
            mrPrompt);
  EXPECT_EQ(Messages, (std::vector<std::wstring>{L"Remove all selected items?", L"Reset to default values?"}));
  EXPECT_EQ(list, (TStringList{L"X", L"Y Z"}));
  EXPECT_EQ(text, L"X|Y Z");
}

}  // namespace
}  // namespace hv::qlbackup
