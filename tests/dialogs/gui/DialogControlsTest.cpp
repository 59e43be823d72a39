// The reusable controls of the dialog layer as real windows, driven by messages.
#include <gtest/gtest.h>
#include <windowsx.h>

#include "base/settings/IniFileUtils.h"
#include "dialogs/CheckBoxes.h"
#include "dialogs/HListBox.h"
#include "dialogs/ListSelectDlg.h"
#include "dialogs/NumberEd.h"
#include "dialogs/Prgrss.h"
#include "support/GuiTest.h"
#include "support/TestSupport.h"
#include "winui/Dpi.h"
#include "winui/Forms.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv {
namespace {

class TDialogGallery : public TForm {
 public:
  THistoryCombo hcServer;
  TLabel laDays, laValue, laHex;
  TRangeEdit reDays;
  TNumUpDown udDays;
  TNumberEdit neHex;
  TCheckComboBox ccWeekdays;
  TCheckGroupBox gbEncrypt;
  TEdit edPassword;
  TCheckBox cbKeep;
  TNewProgressBar pbNormal, pbReverse;
  TCustomProgress prMarquee;
  TButton btOk;

  TDialogGallery() {
    BorderStyle = TBorderStyle::bsDialog;
    ClientWidth96 = 420;
    ClientHeight96 = 250;
  }

 protected:
  void FormCreate() override {
    SetCaption(L"Dialog controls");
    hcServer.Create(*this, {10, 10, 190, 24});
    laDays.Create(*this, L"Days:", {220, 14, 40, 18});
    reDays.Name = L"reDays";
    reDays.Create(*this, {265, 10, 60, 22});
    reDays.SetMinValue(1);
    reDays.SetMaxValue(99);
    reDays.SetValue(2);
    udDays.Name = L"udDays";
    udDays.TabStop = true;
    udDays.Create(*this);
    udDays.SetAssociate(&reDays);
    laHex.Create(*this, L"Mask:", {220, 44, 40, 18});
    neHex.Create(*this, {265, 40, 145, 22});
    neHex.SetNumMode(TNumMode::nmHex);
    neHex.SetBits(16);
    neHex.SetBytes(true);
    neHex.SetValue(0x1234);

    ccWeekdays.Create(*this, {10, 44, 190, 24});
    ccWeekdays.SetHintPrefix(L"Days: ");
    for (auto d : {L"Monday|Mo", L"Tuesday|Tu", L"Wednesday|We", L"Thursday|Th", L"Friday|Fr", L"Saturday|Sa",
                   L"Sunday|Su"})
      ccWeekdays.AddChecked(d, false);
    ccWeekdays.SetSelected(0b101);

    gbEncrypt.Create(*this, L"Encrypt files", {10, 80, 190, 80});
    edPassword.Create(*this, L"secret", {10, 24, 170, 22}, gbEncrypt.Handle());
    cbKeep.Create(*this, L"Keep password", {10, 52, 170, 20}, gbEncrypt.Handle());

    pbNormal.Create(*this, {220, 84, 190, 11});
    pbNormal.SetPosition(40);
    pbReverse.Create(*this, {220, 104, 190, 11});
    pbReverse.SetStyle(TNewProgressBarStyle::npsReverse);
    pbReverse.Stop();
    prMarquee.Create(*this, {220, 124, 190, 14});

    btOk.Create(*this, L"OK", {330, 210, 80, 26});
    btOk.ModalResult = mrOk;
  }
};

class DialogControlsTest : public hvtest::GuiTest {};

void Pump() { Application().ProcessMessages(); }

void Type(HWND wnd, std::wstring_view text) {
  for (wchar_t c : text) {
    SendMessageW(wnd, WM_CHAR, c, 0);
    SendMessageW(wnd, WM_KEYUP, 0, 0xC0000000);
  }
}

TEST_F(DialogControlsTest, GalleryInBothSchemesAtTwoDpis) {
  for (bool dark : {false, true}) {
    TStyleManager::TrySetStyle(dark ? TStyleManager::kDarkStyle : TStyleManager::kSystemStyle);
    for (UINT dpi : {96u, 192u}) {
      TDialogGallery f;
      f.Create();
      if (dpi != f.Dpi()) {
        RECT r = f.BoundsRect();
        RECT suggested{0, 0, (r.right - r.left) * 2, (r.bottom - r.top) * 2};
        SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
      }
      f.hcServer.AssignList({L"smtp.example.org", L"mail.example.net"});
      f.hcServer.SetItemIndex(0);
      RunShown(f, [&] {
        f.SetPos(0, 0);
        f.prMarquee.SetProgressStatus(TProgressStatus::psNudge);
        for (int i = 0; i < 33; ++i) f.prMarquee.Nudge();
        // The up-down sits right of its edit with the edit's height.
        RECT e = f.reDays.BoundsRect(), u = f.udDays.BoundsRect();
        EXPECT_EQ(u.left, e.right);
        EXPECT_EQ(u.bottom - u.top, e.bottom - e.top);
        EXPECT_EQ(u.right - u.left, Scale(16, dpi));
        std::wstring name = std::wstring(L"dialogs-controls-") + (dark ? L"dark-" : L"light-") + std::to_wstring(dpi);
        EXPECT_TRUE(hvtest::SaveScreenshot(f.Handle(), name));
        f.ccWeekdays.SetFocus();
        f.ccWeekdays.SetDroppedDown(true);
        Pump();
        EXPECT_TRUE(hvtest::SaveScreenshot(f.ccWeekdays.ListHandle(), name + L"-open-list"));
        f.ccWeekdays.SetDroppedDown(false);
      });
    }
  }
}

TEST_F(DialogControlsTest, HistoryComboTakesItsTextOnExitAndSavesWhenDestroyed) {
  hvtest::TempDir dir;
  std::wstring ini = dir / L"mail.ini";
  {
    TDialogGallery f;
    f.Create();
    f.hcServer.LoadFromIni(ini, L"SmtpServer");  // no file yet: nothing loaded, names kept
    EXPECT_EQ(f.hcServer.Style(), TComboBoxStyle::csDropDown) << "empty history: the first entry is typed";
    f.hcServer.AddItem(L"old.example.org");
    EXPECT_EQ(f.hcServer.Style(), TComboBoxStyle::csDropDown);
    RunShown(f, [&] {
      f.hcServer.SetFocus();
      COMBOBOXINFO ci{};
      ci.cbSize = sizeof(ci);
      GetComboBoxInfo(f.hcServer.Handle(), &ci);
      SetWindowTextW(ci.hwndItem, L"");
      Type(ci.hwndItem, L"new.example.org");
      f.reDays.SetFocus();  // leave the box
      Pump();
      EXPECT_TRUE(f.hcServer.Modified());
      EXPECT_EQ(f.hcServer.HistoryList().Strings(),
                (std::vector<std::wstring>{L"new.example.org", L"old.example.org"}));
      EXPECT_EQ(f.hcServer.Items(), f.hcServer.HistoryList().Strings());
      EXPECT_EQ(f.hcServer.Text(), L"new.example.org");
      EXPECT_EQ(f.hcServer.FindItem(L"OLD"), 1);
      // Left again without a change: not modified, still moved to the top.
      f.hcServer.SetFocus();
      f.hcServer.SetItemIndex(1);
      f.reDays.SetFocus();
      Pump();
      EXPECT_EQ(f.hcServer.HistoryList()[0], L"old.example.org");
      f.hcServer.SetReadOnly(true);
      EXPECT_EQ(f.hcServer.Style(), TComboBoxStyle::csDropDownList);
      EXPECT_EQ(f.hcServer.Text(), L"old.example.org");
    });
  }
  TMemIniFile saved(ini);
  EXPECT_EQ(saved.ReadString(L"SmtpServer", L"History0", L""), L"old.example.org");
  EXPECT_EQ(saved.ReadString(L"SmtpServer", L"History1", L""), L"new.example.org");
  TDialogGallery again;
  again.Create();
  again.hcServer.LoadFromIni(ini, L"SmtpServer");
  EXPECT_EQ(again.hcServer.Count(), 2);
}

TEST_F(DialogControlsTest, NumberEditsRefuseKeysReadPiecesAndStepByUpDown) {
  TDialogGallery f;
  f.Create();
  RunShown(f, [&] {
    // Hexadecimal bytes read back.
    EXPECT_EQ(f.neHex.Text(), L"$12_$34");
    EXPECT_EQ(f.neHex.Value(), 0x1234);
    EXPECT_FALSE(f.neHex.CheckError());
    f.neHex.SetText(L"$12_$zz");
    EXPECT_EQ(f.neHex.Value(), 0x1200);
    EXPECT_TRUE(f.neHex.CheckError());

    // Decimal: "x" is refused, blanks inside are dropped.
    f.reDays.SetFocus();
    f.reDays.SetText(L"");
    Type(f.reDays.Handle(), L"1x2");
    EXPECT_EQ(f.reDays.Text(), L"12");
    f.reDays.SetText(L" 1 000 ");
    EXPECT_EQ(f.reDays.Value(), 1000);
    // "$" into an empty edit switches the input to hexadecimal.
    f.reDays.SetText(L"");
    Type(f.reDays.Handle(), L"$1f");
    EXPECT_EQ(f.reDays.Text(), L"$1f");
    EXPECT_EQ(f.reDays.Value(), 31);

    f.reDays.SetValue(150);
    EXPECT_EQ(f.reDays.Text(), L"99");
    // The up-down: clicks and the + and - keys, within the range.
    f.reDays.SetValue(5);
    RECT up = f.udDays.UpRect(), down = f.udDays.DownRect();
    auto click = [&](const RECT& r) {
      LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2 + (r.top == 0 ? -1 : 1));
      SendMessageW(f.udDays.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
      SendMessageW(f.udDays.Handle(), WM_LBUTTONUP, 0, at);
    };
    int ups = 0, downs = 0;
    f.udDays.OnUpClick = [&] { ++ups; };
    f.udDays.OnDownClick = [&] { ++downs; };
    click(up);
    EXPECT_EQ(f.reDays.Text(), L"6");
    click(down);
    click(down);
    EXPECT_EQ(f.reDays.Text(), L"4");
    // Pressed on one half, released over the other: no click.
    SendMessageW(f.udDays.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(up.right / 2, 1));
    SendMessageW(f.udDays.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(down.right / 2, down.bottom - 1));
    EXPECT_EQ(f.reDays.Text(), L"4");
    f.udDays.SetFocus();
    f.udDays.Increment = 10;
    SendMessageW(f.udDays.Handle(), WM_KEYDOWN, VK_ADD, 0);
    EXPECT_EQ(f.reDays.Text(), L"14");
    SendMessageW(f.udDays.Handle(), WM_KEYDOWN, VK_OEM_MINUS, 0);
    SendMessageW(f.udDays.Handle(), WM_KEYDOWN, VK_SUBTRACT, 0);
    EXPECT_EQ(f.reDays.Text(), L"1");
    EXPECT_EQ(ups, 2);
    EXPECT_EQ(downs, 4);

    // A second up-down on the same edit is refused.
    TNumUpDown second;
    second.Name = L"udOther";
    second.Create(f);
    try {
      second.SetAssociate(&f.reDays);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), L"reDays is already associated with udDays");
    }
  });
}

TEST_F(DialogControlsTest, RangeEditLeftOutOfRangeKeepsTheFocusAndReportsTheError) {
  SetCatalog(L"default", {{L"Range check error", L"Bereichsfehler"}});
  TDialogGallery f;
  f.Create();
  RunShown(f, [&] {
    std::vector<std::wstring> errors;
    f.reDays.OnRangeError = [&](const EUserRangeError& e) { errors.push_back(e.Message()); };
    f.reDays.SetFocus();
    f.reDays.SetText(L"150");
    f.neHex.SetFocus();
    Pump();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], L"Bereichsfehler (1 .. 99)");
    EXPECT_TRUE(f.reDays.Focused());
    EXPECT_TRUE(f.reDays.RangeError());
    EXPECT_EQ(f.reDays.Text(), L"150");
    // Mended and left again: no error, the text is normalised.
    f.reDays.SetText(L"+7");
    f.neHex.SetFocus();
    Pump();
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_FALSE(f.reDays.RangeError());
    EXPECT_EQ(f.reDays.Text(), L"7");
    // Equal bounds accept any value.
    f.reDays.SetMaxValue(1);
    f.reDays.SetValue(12345);
    EXPECT_EQ(f.reDays.Text(), L"12345");
  });
}

TEST_F(DialogControlsTest, RangeErrorWithoutHandlerShowsAnErrorBox) {
  TDialogGallery f;
  f.Create();
  std::wstring boxCaption;
  TTestHooks::AnswerModal = [&](TForm& shown) -> std::optional<int> {
    if (&shown == &f) return std::nullopt;
    boxCaption = shown.Caption();
    return mrOk;
  };
  RunShown(f, [&] {
    f.reDays.SetFocus();
    f.reDays.SetText(L"0");
    f.neHex.SetFocus();
    Pump();
    EXPECT_FALSE(boxCaption.empty());
    EXPECT_TRUE(f.reDays.Focused());
  });
}

TEST_F(DialogControlsTest, CheckComboShowsShortNamesAndTogglesInTheOpenList) {
  TDialogGallery f;
  f.Create();
  RunShown(f, [&] {
    auto& cc = f.ccWeekdays;
    EXPECT_EQ(cc.Selected(), 5u);
    EXPECT_EQ(cc.BoxText(), L"Mo,We");
    EXPECT_EQ(cc.Hint, L"Days: Monday,Wednesday");
    cc.SetSelected(2);
    EXPECT_EQ(cc.CheckedCount(), 1);
    EXPECT_EQ(cc.BoxText(), L"Tu");
    int clicks = 0;
    cc.OnCheckClick = [&] { ++clicks; };
    cc.SetChecked(-1, true);
    cc.SetChecked(cc.Count(), true);
    EXPECT_EQ(clicks, 0);
    cc.SetChecked(1, true);
    EXPECT_EQ(clicks, 1) << "also when the state stays";

    // The open list: a click toggles and the list stays open; space toggles the current item.
    cc.SetFocus();
    cc.SetDroppedDown(true);
    Pump();
    HWND list = cc.ListHandle();
    ASSERT_TRUE(list);
    RECT r{};
    SendMessageW(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM(r.left + 20, (r.top + r.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    Pump();
    EXPECT_TRUE(cc.IsChecked(3));
    EXPECT_TRUE(cc.DroppedDown());
    SendMessageW(cc.Handle(), WM_CHAR, L' ', 0);
    EXPECT_FALSE(cc.IsChecked(3)) << "space toggles the item under the list's selection";
    EXPECT_EQ(cc.ItemIndex(), -1) << "the closed box never takes an item";

    // Nothing checked and closed: the default item returns.
    cc.SetDefaultIndex(0);
    cc.CheckAll(false);
    cc.SetDroppedDown(false);
    Pump();
    EXPECT_EQ(cc.BoxText(), L"Mo");
    EXPECT_TRUE(cc.IsChecked(0));

    // Writing the index set recalculates caption, hint and count as the mask does.
    TSelected set;
    set[2] = set[4] = true;
    cc.SetSelectedIndexes(set);
    EXPECT_EQ(cc.CheckedCount(), 2);
    EXPECT_EQ(cc.BoxText(), L"We,Fr");
    EXPECT_EQ(cc.Hint, L"Days: Wednesday,Friday");
    EXPECT_EQ(cc.SelectedIndexes(), set);
  });
}

TEST_F(DialogControlsTest, CheckComboMasksCoverTheFirst32Items) {
  TDialogGallery f;
  f.Create();
  auto& cc = f.ccWeekdays;
  cc.Clear();
  for (int i = 0; i < 40; ++i) cc.AddChecked(std::to_wstring(i + 1), i >= 32 && i % 2 == 0);
  cc.SetSelected(0xFFFFFFFFu);
  EXPECT_EQ(cc.CheckedCount(), 32 + 4);
  EXPECT_TRUE(cc.IsChecked(32));
  EXPECT_FALSE(cc.IsChecked(33));
  EXPECT_EQ(cc.Selected(), 0xFFFFFFFFu);
}

TEST_F(DialogControlsTest, CheckGroupBoxEnablesItsControls) {
  TDialogGallery f;
  f.Create();
  RunShown(f, [&] {
    int clicks = 0;
    f.gbEncrypt.OnCheckClick = [&] { ++clicks; };
    EXPECT_FALSE(f.gbEncrypt.Checked());
    EXPECT_FALSE(f.edPassword.Enabled()) << "created unchecked: children disabled";
    EXPECT_FALSE(f.cbKeep.Enabled());
    EXPECT_TRUE(f.gbEncrypt.CheckBox.Enabled());
    SendMessageW(f.gbEncrypt.CheckBox.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(f.gbEncrypt.Checked());
    EXPECT_TRUE(f.edPassword.Enabled());
    EXPECT_EQ(clicks, 1);
    f.gbEncrypt.SetChecked(false);
    EXPECT_FALSE(f.cbKeep.Enabled());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(f.gbEncrypt.Caption(), L"Encrypt files");
  });
}

TEST_F(DialogControlsTest, PopupListSizesItselfAndReportsTheClickedEntry) {
  TDialogGallery owner;
  owner.Create();
  TListSelectDialog list;
  list.Create(owner.Handle());
  EXPECT_EQ(list.ListSize(100, 5, 0).cx, 122);
  list.SetMinWidth(200);
  EXPECT_EQ(list.ListSize(100, 5, 0).cx, 200);
  EXPECT_EQ(list.ListSize(300, 5, 0).cx, 322);
  EXPECT_EQ(list.ListSize(10, 30, 200).cy, 200);
  EXPECT_EQ(list.ListSize(10, 5, 200).cy, 91);

  list.ShowList({100, 100}, 0);
  EXPECT_FALSE(list.Visible()) << "empty list";
  list.Add(L"Western (1252)");
  list.Add(L"Central European (1250)");
  list.AddItem(L"UTF-8", 65001);
  EXPECT_EQ(list.GetItem(0), L"Central European (1250)");
  std::vector<int> picked;
  list.OnSelect = [&](int n) { picked.push_back(n); };
  RunShown(owner, [&] {
    list.ShowList({50, 50}, 0);
    EXPECT_TRUE(list.Visible());
    EXPECT_TRUE(hvtest::SaveScreenshot(list.Handle(), L"dialogs-popup-list"));
    // A click below the entries selects nothing: closed without a report.
    RECT c{};
    GetClientRect(list.lbSelect.Handle(), &c);
    SendMessageW(list.lbSelect.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, c.bottom - 1));
    EXPECT_FALSE(list.Visible());
    EXPECT_TRUE(picked.empty());
    list.ShowList({50, 50}, 0);
    ASSERT_EQ(list.GetItem(1), L"UTF-8");
    RECT r = list.lbSelect.ItemRect(1);
    LPARAM at = MAKELPARAM(5, (r.top + r.bottom) / 2);
    SendMessageW(list.lbSelect.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list.lbSelect.Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(picked, std::vector<int>{65001});
    EXPECT_FALSE(list.Visible());
    // Leaving the list closes it.
    list.ShowList({50, 50}, 0);
    SetActiveWindow(owner.Handle());
    Pump();
    EXPECT_FALSE(list.Visible());
  });
}

}  // namespace
}  // namespace hv
