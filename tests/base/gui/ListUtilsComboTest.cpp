// The history functions on a real combo box window.
#include <gtest/gtest.h>

#include "base/settings/IniFileUtils.h"
#include "base/settings/ListUtils.h"
#include "support/TestSupport.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {
namespace {

class TComboForm : public TForm {
 public:
  TComboBox cbServer;

 protected:
  void FormCreate() override { cbServer.Create(*this, TComboBoxStyle::csSimple, {10, 10, 200, 24}); }
};

class ComboHistoryTest : public testing::Test {
 protected:
  void SetUp() override { Application().Initialize(); }
  void TearDown() override { Application().Reset(); }
};

TEST_F(ComboHistoryTest, LoadsSavesAndAddsThroughTheComboBox) {
  hvtest::TempDir dir;
  std::wstring ini = dir.Path() + L"\\hist.ini";
  {
    TMemIniFile f(ini);
    f.SetEncoding(TIniEncoding::ieUtf16LE);
    for (int i = 0; i < 4; ++i) f.WriteString(L"SmtpServer", L"History" + std::to_wstring(i), L"host" + std::to_wstring(i));
    f.UpdateFile();
  }
  TComboForm form;
  form.Create();
  TComboHistory combo(form.cbServer);
  form.cbServer.SetDropDownCount(3);
  LoadHistoryCombo(ini, L"SmtpServer", combo, -1, false);
  EXPECT_EQ(form.cbServer.Items(), (TStringList{L"host0", L"host1", L"host2"}));
  EXPECT_EQ(form.cbServer.Text(), L"host0");
  EXPECT_EQ(form.cbServer.Style(), TComboBoxStyle::csDropDown);

  AddToHistoryCombo(combo, L"HOST2");
  EXPECT_EQ(form.cbServer.Items(), (TStringList{L"HOST2", L"host0", L"host1"}));
  EXPECT_EQ(form.cbServer.ItemIndex(), 0);
  SaveHistoryCombo(ini, L"SmtpServer", true, combo, -1, false);
  TMemIniFile back(ini);
  EXPECT_EQ(back.ReadString(L"SmtpServer", L"History0", L""), L"HOST2");
  EXPECT_FALSE(back.ValueExists(L"SmtpServer", L"History3"));

  // One item: the simple style; a drop-down list keeps its style.
  combo.SetItems({});
  AddToHistoryCombo(combo, L"only");
  EXPECT_EQ(form.cbServer.Style(), TComboBoxStyle::csSimple);
  form.cbServer.SetStyle(TComboBoxStyle::csDropDownList);
  AddToHistoryCombo(combo, L"second");
  EXPECT_EQ(form.cbServer.Style(), TComboBoxStyle::csDropDownList);
  EXPECT_EQ(form.cbServer.Text(), L"second");
}

}  // namespace
}  // namespace hv
