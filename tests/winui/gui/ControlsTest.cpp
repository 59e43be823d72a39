// The list, container and common controls as real windows, driven by messages.
#include <gtest/gtest.h>
#include <stdexcept>
#include <windowsx.h>

#include "support/GuiTest.h"
#include "support/TestSupport.h"
#include "winui/ComCtrls.h"
#include "winui/Dpi.h"
#include "winui/ExtCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv {
namespace {

class TGalleryForm : public TForm {
 public:
  TComboBox cbDropDown, cbSimple, cbList, cbOwner;
  TListBox lbMulti;
  TCheckListBox clbDays;
  TGroupBox gbOptions;
  TCheckBox cbInGroup;
  TRadioGroup rgCycle;
  TEdit edCount;
  TUpDown udCount;
  TMemo moLog;
  TPageControl pcPages;
  TLabel laCount, laPage1, laPage2;
  TListView lvTasks;
  TTreeView tvFolders;
  TStatusBar sbStatus;

  TGalleryForm() {
    BorderStyle = TBorderStyle::bsDialog;
    ClientWidth96 = 600;
    ClientHeight96 = 430;
  }

 protected:
  void FormCreate() override {
    SetCaption(L"Control gallery");
    cbDropDown.Create(*this, TComboBoxStyle::csDropDown, {10, 10, 140, 24});
    for (auto s : {L"smtp.example.org", L"mail.example.net", L"relay.example.com"}) cbDropDown.Add(s);
    cbDropDown.SetItemIndex(0);
    cbList.Create(*this, TComboBoxStyle::csDropDownList, {160, 10, 140, 24});
    for (auto s : {L"hour(s)", L"minute(s)", L"second(s)"}) cbList.Add(s);
    cbList.SetItemIndex(1);
    cbOwner.Create(*this, TComboBoxStyle::csOwnerDrawFixed, {310, 10, 140, 24});
    cbOwner.SetItemHeight96(18);
    for (auto s : {L"Daily", L"Weekly", L"Monthly"}) cbOwner.Add(s);
    cbOwner.SetItemIndex(2);
    cbSimple.Create(*this, TComboBoxStyle::csSimple, {460, 10, 130, 24});
    cbSimple.SetText(L"simple");

    lbMulti.MultiSelect = true;
    lbMulti.ExtendedSelect = true;
    lbMulti.Create(*this, {10, 44, 140, 110});
    for (auto s : {L"Inbox", L"Sent", L"Drafts", L"Archive", L"Trash", L"Junk"}) lbMulti.Add(s);
    lbMulti.SetSelected(1, true);
    lbMulti.SetSelected(3, true);
    clbDays.Create(*this, {160, 44, 140, 110});
    for (auto s : {L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday"}) clbDays.Add(s);
    clbDays.SetChecked(0, true);
    clbDays.SetChecked(2, true);

    gbOptions.Create(*this, L"Options", {310, 44, 140, 110});
    cbInGroup.Create(*this, L"Verify copies", {8, 22, 124, 20}, gbOptions.Handle());
    cbInGroup.SetChecked(true);
    laCount.Create(*this, L"Count:", {8, 52, 50, 18}, gbOptions.Handle());
    edCount.Create(*this, L"5", {60, 50, 52, 22}, gbOptions.Handle());
    udCount.Create(*this, {112, 50, 16, 22}, gbOptions.Handle());
    udCount.SetAssociate(&edCount);
    udCount.SetRange(1, 24);
    udCount.SetPosition(5);

    rgCycle.Create(*this, L"Perform this task:", {460, 44, 130, 110});
    rgCycle.SetItems({L"Daily", L"Weekly", L"Monthly", L"Once"});
    rgCycle.SetItemIndex(1);

    moLog.Create(*this, {10, 164, 290, 90});
    moLog.SetFont(L"Courier New", 9);
    moLog.SetText(L"[12:00:01] Backup started\r\n[12:00:05] Copied 120 files\r\n[12:00:06] Done");

    pcPages.Create(*this, {310, 164, 280, 90});
    TTabSheet& p1 = pcPages.AddPage(L"Settings");
    TTabSheet& p2 = pcPages.AddPage(L"Schedule");
    laPage1.Create(*this, L"The first page", {8, 8, 200, 18}, p1.Handle());
    laPage2.Create(*this, L"The second page", {8, 8, 200, 18}, p2.Handle());

    lvTasks.GridLines = true;
    lvTasks.Create(*this, {10, 264, 290, 130});
    lvTasks.AddColumn(L"Name", 120);
    lvTasks.AddColumn(L"Status", 70);
    lvTasks.AddColumn(L"Next run time", 90);
    for (int i = 0; i < 4; ++i) {
      int row = lvTasks.AddItem(L"Ql-Backup-Profile" + std::to_wstring(i), i);
      lvTasks.SetItemText(row, 1, i % 2 ? L"Ready" : L"Running");
      lvTasks.SetItemText(row, 2, L"2026-12-1" + std::to_wstring(i));
    }
    lvTasks.SetItemIndex(1);
    tvFolders.Create(*this, {310, 264, 280, 130});
    HTREEITEM c = tvFolders.AddItem(nullptr, L"C:\\");
    HTREEITEM users = tvFolders.AddItem(c, L"Users");
    tvFolders.AddItem(users, L"Public");
    tvFolders.AddItem(c, L"Windows");
    tvFolders.AddItem(nullptr, L"D:\\", 0, true);
    tvFolders.Expand(c);
    tvFolders.Expand(users);
    tvFolders.SetSelected(users);

    sbStatus.Create(*this);
    sbStatus.SetPanels({200, 120, -1});
    sbStatus.SetPanelText(0, L" Line: 3 of 4");
    sbStatus.SetPanelText(1, L"UTF-8");
    sbStatus.SetPanelText(2, L"Ready");
  }
};

// Splitter, draw grid and the pickers.
class TGallery2Form : public TForm {
 public:
  TListBox lbLeft;
  TSplitter spMiddle;
  TMemo moRight;
  TDrawGrid dgChars;
  TDateTimePicker dpStart, tpStart;
  std::vector<std::pair<int, int>> Drawn;

  TGallery2Form() {
    BorderStyle = TBorderStyle::bsDialog;
    ClientWidth96 = 560;
    ClientHeight96 = 300;
  }

 protected:
  void FormCreate() override {
    SetCaption(L"Control gallery 2");
    lbLeft.Create(*this, {10, 10, 150, 240});
    for (auto s : {L"C:\\", L"D:\\", L"Network"}) lbLeft.Add(s);
    spMiddle.Create(*this, {160, 10, 5, 240});
    moRight.Create(*this, {165, 10, 120, 240});
    moRight.SetText(L"Files of the folder");
    dgChars.ColCount = dgChars.RowCount = 17;
    dgChars.DefaultColWidth96 = dgChars.DefaultRowHeight96 = 20;
    dgChars.Create(*this, {295, 10, 255, 240});
    dgChars.OnDrawCell = [this](HDC dc, int col, int row, const RECT& r, unsigned state) {
      Drawn.emplace_back(col, row);
      wchar_t text[8];
      if (row == 0 && col > 0)
        wsprintfW(text, L"%02X", col - 1);
      else if (col == 0 && row > 0)
        wsprintfW(text, L"%02X", row - 1);
      else if (col > 0 && row > 0)
        wsprintfW(text, L"%c", (col - 1) + (row - 1) * 16 >= 32 ? (col - 1) + (row - 1) * 16 : L' ');
      else
        text[0] = 0;
      TextOutW(dc, r.left + Scale(3), r.top + Scale(3), text, lstrlenW(text));
    };
    dpStart.Create(*this, {10, 262, 120, 24});
    dpStart.SetFormat(L"yyyy-MM-dd");
    tpStart.Kind = TDateTimeKind::dtkTime;
    tpStart.ShowCheckbox = true;
    tpStart.Create(*this, {140, 262, 100, 24});
    tpStart.SetFormat(L"HH:mm");
    SYSTEMTIME st{2026, 12, 5, 11, 12, 0, 0, 0};
    dpStart.SetDateTime(st);
    tpStart.SetDateTime(st);
  }
};

class ControlsTest : public hvtest::GuiTest {};

void Pump() { Application().ProcessMessages(); }

void Click(HWND wnd, POINT pt) {
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

void Key(HWND wnd, WORD key, wchar_t ch = 0) {
  SendMessageW(wnd, WM_KEYDOWN, key, 0);
  if (ch) SendMessageW(wnd, WM_CHAR, ch, 0);
  SendMessageW(wnd, WM_KEYUP, key, 0xC0000000);
}

TEST_F(ControlsTest, GalleryInBothSchemesAtTwoDpis) {
  for (bool dark : {false, true}) {
    TStyleManager::TrySetStyle(dark ? TStyleManager::kDarkStyle : TStyleManager::kSystemStyle);
    for (UINT dpi : {96u, 192u}) {
      TGalleryForm f;
      f.Create();
      ASSERT_TRUE(f.Handle());
      if (dpi != f.Dpi()) {
        RECT r = f.BoundsRect();
        RECT suggested{0, 0, (r.right - r.left) * static_cast<int>(dpi) / static_cast<int>(f.Dpi()),
                       (r.bottom - r.top) * static_cast<int>(dpi) / static_cast<int>(f.Dpi())};
        SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
      }
      EXPECT_EQ(f.Dpi(), dpi);
      RunShown(f, [&] {
        f.SetPos(0, 0);
        // The status bar sits at the bottom, full width; its panels scale.
        SIZE client = f.ClientSize();
        RECT sb = f.sbStatus.BoundsRect();
        EXPECT_EQ(sb.bottom, client.cy);
        EXPECT_EQ(sb.right - sb.left, client.cx);
        RECT part{};
        SendMessageW(f.sbStatus.Handle(), SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part));
        EXPECT_NEAR(part.right, Scale(200, dpi), 2);
        // Pages fill the page control below the tabs.
        RECT pc = f.pcPages.BoundsRect(), page = f.pcPages.Page(0).BoundsRect();
        EXPECT_GT(page.top, 0);
        EXPECT_LT(page.right, pc.right - pc.left);
        EXPECT_EQ(f.lvTasks.ColumnWidth(0), Scale(120, dpi));
        std::wstring name = std::wstring(L"winui-gallery-") + (dark ? L"dark-" : L"light-") + std::to_wstring(dpi);
        EXPECT_TRUE(hvtest::SaveScreenshot(f.Handle(), name));
      });
    }
  }
}

TEST_F(ControlsTest, ComboBoxTypesSelectsAndKeepsItsItemsWhenItsStyleChanges) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    int changes = 0, selects = 0;
    f.cbDropDown.OnChange = [&] { ++changes; };
    f.cbDropDown.OnSelect = [&] { ++selects; };
    // Typing into the edit part.
    COMBOBOXINFO ci{};
    ci.cbSize = sizeof(ci);
    ASSERT_TRUE(GetComboBoxInfo(f.cbDropDown.Handle(), &ci));
    SetWindowTextW(ci.hwndItem, L"");
    f.cbDropDown.SetFocus();
    for (wchar_t c : std::wstring(L"abc")) SendMessageW(ci.hwndItem, WM_CHAR, c, 0);
    Pump();
    EXPECT_EQ(f.cbDropDown.Text(), L"abc");
    EXPECT_GE(changes, 3);
    // Picking from the list by key: the selection and both events.
    changes = 0;
    SendMessageW(ci.hwndItem, WM_KEYDOWN, VK_DOWN, 0);
    Pump();
    EXPECT_GE(f.cbDropDown.ItemIndex(), 0);
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(changes, 1);

    HWND before = GetWindow(f.cbDropDown.Handle(), GW_HWNDPREV);
    f.cbDropDown.SetItemIndex(2);
    f.cbDropDown.SetStyle(TComboBoxStyle::csSimple);
    EXPECT_EQ(f.cbDropDown.Style(), TComboBoxStyle::csSimple);
    EXPECT_EQ(GetWindowLongW(f.cbDropDown.Handle(), GWL_STYLE) & 3, CBS_SIMPLE);
    EXPECT_EQ(f.cbDropDown.Items(), (std::vector<std::wstring>{L"smtp.example.org", L"mail.example.net",
                                                               L"relay.example.com"}));
    EXPECT_EQ(f.cbDropDown.Text(), L"relay.example.com");
    EXPECT_EQ(GetWindow(f.cbDropDown.Handle(), GW_HWNDPREV), before);
    EXPECT_EQ(TControl::FromHandle(f.cbDropDown.Handle()), &f.cbDropDown);

    f.cbList.SetItemIndex(-1);
    EXPECT_EQ(f.cbList.ItemIndex(), -1);
    EXPECT_EQ(f.cbList.IndexOf(L"MINUTE(S)"), 1);
  });
}

TEST_F(ControlsTest, ListBoxSelectsByClickAndReportsTheSelection) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    int clicks = 0;
    f.lbMulti.OnClick = [&] { ++clicks; };
    EXPECT_EQ(f.lbMulti.SelCount(), 2);
    RECT r = f.lbMulti.ItemRect(4);
    Click(f.lbMulti.Handle(), {r.left + 5, r.top + 2});
    Pump();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(f.lbMulti.SelCount(), 1);  // a plain click selects one item
    EXPECT_TRUE(f.lbMulti.Selected(4));
    EXPECT_EQ(f.lbMulti.ItemIndex(), 4);
    EXPECT_EQ(f.lbMulti.ItemAtPos({r.left + 5, r.top + 2}), 4);
    f.lbMulti.Delete(0);
    EXPECT_EQ(f.lbMulti.Item(0), L"Sent");
  });
}

TEST_F(ControlsTest, CheckListTogglesBySpaceAndClickAndKeepsMarksWithTheirItems) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    std::vector<int> toggled;
    f.clbDays.OnClickCheck = [&](int i) { toggled.push_back(i); };
    f.clbDays.SetFocus();
    f.clbDays.SetItemIndex(1);
    Key(f.clbDays.Handle(), VK_SPACE, L' ');
    EXPECT_TRUE(f.clbDays.Checked(1));
    RECT r = f.clbDays.ItemRect(0);
    Click(f.clbDays.Handle(), {r.left + 4, (r.top + r.bottom) / 2});  // on the box
    EXPECT_FALSE(f.clbDays.Checked(0));
    Click(f.clbDays.Handle(), {r.right - 4, (r.top + r.bottom) / 2});  // on the text: selects only
    EXPECT_FALSE(f.clbDays.Checked(0));
    EXPECT_EQ(toggled, (std::vector<int>{1, 0}));
    // Marks: Tuesday and Wednesday; inserting before them and deleting keeps them on their items.
    f.clbDays.Insert(0, L"Sunday");
    EXPECT_TRUE(f.clbDays.Checked(2) && f.clbDays.Checked(3));
    f.clbDays.Delete(2);
    EXPECT_EQ(f.clbDays.Item(2), L"Wednesday");
    EXPECT_TRUE(f.clbDays.Checked(2));
    EXPECT_FALSE(f.clbDays.Checked(1));
    EXPECT_FALSE(f.clbDays.Checked(99));
    f.clbDays.Clear();
    f.clbDays.Add(L"x");
    EXPECT_FALSE(f.clbDays.Checked(0));
  });
}

TEST_F(ControlsTest, RadioGroupAndGroupBoxChildren) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    int clicks = 0;
    f.rgCycle.OnClick = [&] { ++clicks; };
    EXPECT_EQ(f.rgCycle.ItemIndex(), 1);
    f.rgCycle.Button(3).Click();
    Pump();
    EXPECT_EQ(f.rgCycle.ItemIndex(), 3);
    EXPECT_EQ(clicks, 1);
    f.rgCycle.SetItemIndex(0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(f.rgCycle.Items().size(), 4u);
    // Buttons lie inside the box, one below the other.
    RECT box = f.rgCycle.BoundsRect(), b0 = f.rgCycle.Button(0).BoundsRect(), b3 = f.rgCycle.Button(3).BoundsRect();
    EXPECT_LT(b3.bottom, box.bottom - box.top);
    EXPECT_GT(b3.top, b0.bottom - 1);
    // A check box inside a group box reaches its handler through the box.
    int checks = 0;
    f.cbInGroup.OnClick = [&] { ++checks; };
    SendMessageW(f.cbInGroup.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(checks, 1);
    EXPECT_FALSE(f.cbInGroup.Checked());
  });
}

TEST_F(ControlsTest, UpDownStepsByArrowKeysAndClicksWithinItsRange) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    std::vector<bool> clicks;
    f.udCount.OnClick = [&](bool up) { clicks.push_back(up); };
    f.udCount.SetIncrement(5);
    f.edCount.SetFocus();
    Key(f.edCount.Handle(), VK_UP);
    EXPECT_EQ(f.udCount.Position(), 10);
    EXPECT_EQ(f.edCount.Text(), L"10");
    RECT r{};
    GetClientRect(f.udCount.Handle(), &r);
    for (int i = 0; i < 4; ++i) Click(f.udCount.Handle(), {r.right / 2, r.bottom / 4});
    Pump();
    EXPECT_EQ(f.udCount.Position(), 24);  // clamped at the maximum
    Click(f.udCount.Handle(), {r.right / 2, r.bottom * 3 / 4});
    Pump();
    EXPECT_EQ(f.udCount.Position(), 19);
    ASSERT_GE(clicks.size(), 3u);
    EXPECT_TRUE(clicks.front());
    EXPECT_FALSE(clicks.back());
    f.udCount.SetPosition(-3);
    EXPECT_EQ(f.udCount.Position(), 1);
  });
}

TEST_F(ControlsTest, MemoHoldsLargeTextsAndReportsLinesAndCaret) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    std::wstring text;
    for (int i = 0; i < 5000; ++i) text += L"line " + std::to_wstring(i) + L" of a long log file\r\n";
    ASSERT_GT(text.size(), 100000u);
    f.moLog.SetText(text);
    EXPECT_EQ(f.moLog.Text().size(), text.size());
    EXPECT_EQ(f.moLog.LineCount(), 5001);
    EXPECT_EQ(f.moLog.Line(4321), L"line 4321 of a long log file");
    f.moLog.SetSel(f.moLog.LineIndex(4000), 4);
    EXPECT_EQ(f.moLog.CaretLine(), 4000);
    EXPECT_EQ(f.moLog.SelText(), L"line");
    f.moLog.ScrollToLine(3000);
    EXPECT_EQ(f.moLog.FirstVisibleLine(), 3000);
    // Read-only: typing changes nothing; keys still report.
    WORD lastKey = 0;
    f.moLog.OnKeyUp = [&](WORD k) { lastKey = k; };
    Key(f.moLog.Handle(), 'X', L'X');
    EXPECT_EQ(lastKey, 'X');
    EXPECT_EQ(f.moLog.Text().size(), text.size());
  });
}

TEST_F(ControlsTest, PageControlSwitchesPagesByTabAndHidesItsTabs) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    int changes = 0;
    bool allow = false;
    f.pcPages.OnChanging = [&] { return allow; };
    f.pcPages.OnChange = [&] { ++changes; };
    EXPECT_TRUE(f.pcPages.Page(0).Visible());
    EXPECT_FALSE(f.pcPages.Page(1).Visible());
    RECT tab{};
    SendMessageW(f.pcPages.TabHandle(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
    POINT at{(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2};
    Click(f.pcPages.TabHandle(), at);  // refused
    Pump();
    EXPECT_EQ(f.pcPages.ActivePageIndex(), 0);
    EXPECT_EQ(changes, 0);
    allow = true;
    Click(f.pcPages.TabHandle(), at);
    Pump();
    EXPECT_EQ(f.pcPages.ActivePageIndex(), 1);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(f.pcPages.Page(1).Visible());
    EXPECT_FALSE(f.pcPages.Page(0).Visible());
    // Wizard pages: no tabs, the page fills the control, switched in code without events.
    f.pcPages.SetTabsVisible(false);
    f.pcPages.SetActivePageIndex(0);
    RECT pc{}, page = f.pcPages.Page(0).BoundsRect();
    GetClientRect(f.pcPages.Handle(), &pc);
    EXPECT_EQ(page.top, 0);
    EXPECT_EQ(page.bottom, pc.bottom);
    EXPECT_FALSE(IsWindowVisible(f.pcPages.TabHandle()));
    EXPECT_EQ(changes, 1);
  });
}

TEST_F(ControlsTest, PageCaptionsAreTranslated) {
  SetCatalog(L"default", {{L"Schedule", L"Zeitplan"}});
  TGalleryForm f;
  f.Create();
  wchar_t buf[64] = L"";
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = buf;
  item.cchTextMax = 64;
  SendMessageW(f.pcPages.TabHandle(), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(buf, L"Zeitplan");
}

TEST_F(ControlsTest, ListViewSelectsRowsByClickAndKeepsSubItems) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    int selects = 0, dbl = 0;
    f.lvTasks.OnSelectItem = [&] { ++selects; };
    f.lvTasks.OnDblClick = [&] { ++dbl; };
    EXPECT_EQ(f.lvTasks.Count(), 4);
    EXPECT_EQ(f.lvTasks.ItemText(2, 1), L"Running");
    EXPECT_EQ(f.lvTasks.ItemData(3), 3);
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageW(f.lvTasks.Handle(), LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
    Click(f.lvTasks.Handle(), {r.left + 10, (r.top + r.bottom) / 2});
    Pump();
    EXPECT_EQ(f.lvTasks.ItemIndex(), 3);
    EXPECT_GE(selects, 1);
    SendMessageW(f.lvTasks.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.left + 10, (r.top + r.bottom) / 2));
    SendMessageW(f.lvTasks.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 10, (r.top + r.bottom) / 2));
    Pump();
    EXPECT_EQ(dbl, 1);
    f.lvTasks.Delete(0);
    EXPECT_EQ(f.lvTasks.ItemText(0), L"Ql-Backup-Profile1");
  });
}

TEST_F(ControlsTest, TreeViewFillsChildrenWhenExpandedAndCanRefuse) {
  TGalleryForm f;
  f.Create();
  RunShown(f, [&] {
    HTREEITEM d = f.tvFolders.FindChild(nullptr, L"d:\\");
    ASSERT_TRUE(d);
    EXPECT_FALSE(f.tvFolders.FirstChild(d));
    bool allow = false;
    f.tvFolders.OnExpanding = [&](HTREEITEM item) {
      if (allow && !f.tvFolders.FirstChild(item)) f.tvFolders.AddItem(item, L"Data");
      return allow;
    };
    std::vector<std::wstring> changed;
    f.tvFolders.OnChange = [&](HTREEITEM item) { changed.push_back(f.tvFolders.ItemText(item)); };
    f.tvFolders.SetFocus();
    f.tvFolders.SetSelected(d);
    Key(f.tvFolders.Handle(), VK_RIGHT);
    EXPECT_FALSE(f.tvFolders.Expanded(d));
    allow = true;
    Key(f.tvFolders.Handle(), VK_RIGHT);
    EXPECT_TRUE(f.tvFolders.Expanded(d));
    HTREEITEM data = f.tvFolders.FirstChild(d);
    ASSERT_TRUE(data);
    EXPECT_EQ(f.tvFolders.ItemText(data), L"Data");
    EXPECT_EQ(f.tvFolders.Parent(data), d);
    Key(f.tvFolders.Handle(), VK_DOWN);
    EXPECT_EQ(f.tvFolders.Selected(), data);
    EXPECT_EQ(changed, (std::vector<std::wstring>{L"D:\\", L"Data"}));
    EXPECT_EQ(f.tvFolders.Count(), 6);
  });
}

TEST_F(ControlsTest, SecondGalleryInBothSchemesAtTwoDpis) {
  for (bool dark : {false, true}) {
    TStyleManager::TrySetStyle(dark ? TStyleManager::kDarkStyle : TStyleManager::kSystemStyle);
    for (UINT dpi : {96u, 192u}) {
      TGallery2Form f;
      f.Create();
      if (dpi != f.Dpi()) {
        RECT r = f.BoundsRect();
        RECT suggested{0, 0, (r.right - r.left) * 2, (r.bottom - r.top) * 2};
        SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
      }
      RunShown(f, [&] {
        f.SetPos(0, 0);
        f.dgChars.SetSelection(2, 5);
        std::wstring name = std::wstring(L"winui-gallery2-") + (dark ? L"dark-" : L"light-") + std::to_wstring(dpi);
        EXPECT_TRUE(hvtest::SaveScreenshot(f.Handle(), name));
      });
    }
  }
}

TEST_F(ControlsTest, SplitterMovesByDragWithinItsLimits) {
  TGallery2Form f;
  f.Create();
  RunShown(f, [&] {
    std::vector<int> moved;
    f.spMiddle.OnMoved = [&](int pos) { moved.push_back(pos); };
    int start = f.spMiddle.Position();
    HWND s = f.spMiddle.Handle();
    SendMessageW(s, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 20));
    SendMessageW(s, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2 + 40, 20));
    EXPECT_EQ(f.spMiddle.Position(), start + 40);
    RECT r = f.spMiddle.BoundsRect();
    SendMessageW(s, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-1000, 20));
    EXPECT_EQ(f.spMiddle.Position(), Scale(30, f.Dpi())) << "kept off the edge";
    SendMessageW(s, WM_LBUTTONUP, 0, MAKELPARAM(0, 20));
    SendMessageW(s, WM_MOUSEMOVE, 0, MAKELPARAM(50, 20));
    EXPECT_EQ(f.spMiddle.Position(), Scale(30, f.Dpi())) << "released";
    EXPECT_EQ(moved, (std::vector<int>{start + 40, Scale(30, f.Dpi())}));
    EXPECT_EQ(f.spMiddle.BoundsRect().top, r.top);
    // The form's layout keeps the new place.
    f.Relayout(f.Dpi());
    EXPECT_EQ(f.spMiddle.Position(), Scale(30, f.Dpi()));
  });
}

TEST_F(ControlsTest, DrawGridSelectsByClickAndKeysAndScrolls) {
  TGallery2Form f;
  f.Create();
  RunShown(f, [&] {
    auto& g = f.dgChars;
    std::vector<std::pair<int, int>> asked;
    bool allow = true;
    g.OnSelectCell = [&](int c, int r) {
      asked.emplace_back(c, r);
      return allow;
    };
    int dbl = 0;
    g.OnDblClick = [&] { ++dbl; };
    RECT cell = g.CellRect(2, 5);
    LPARAM at = MAKELPARAM(cell.left + 3, cell.top + 3);
    SendMessageW(g.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(g.Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(g.Col(), 2);
    EXPECT_EQ(g.Row(), 5);
    SendMessageW(g.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    EXPECT_EQ(dbl, 1);
    RECT header = g.CellRect(0, 0);
    SendMessageW(g.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(header.left + 2, header.top + 2));
    EXPECT_EQ(g.Row(), 5) << "fixed cells are not selected";
    SendMessageW(g.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(g.Handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(g.Col(), 3);
    EXPECT_EQ(g.Row(), 6);
    allow = false;
    SendMessageW(g.Handle(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(g.Row(), 6);
    EXPECT_EQ(asked.back(), std::make_pair(3, 5));
    allow = true;
    // The grid is taller than its window: going down scrolls, the headers stay.
    for (int i = 0; i < 20; ++i) SendMessageW(g.Handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(g.Row(), 16);
    EXPECT_GT(g.TopRow(), 1);
    RECT last = g.CellRect(3, 16), client{};
    GetClientRect(g.Handle(), &client);
    EXPECT_LE(last.bottom, client.bottom);
    EXPECT_EQ(g.CellRect(3, 1).bottom, 0) << "scrolled away";
    f.Drawn.clear();
    RedrawWindow(g.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_NE(std::find(f.Drawn.begin(), f.Drawn.end(), std::make_pair(0, 0)), f.Drawn.end());
    EXPECT_NE(std::find(f.Drawn.begin(), f.Drawn.end(), std::make_pair(3, 16)), f.Drawn.end());
    int col = 0, row = 0;
    ASSERT_TRUE(g.MouseToCell({last.left + 1, last.top + 1}, col, row));
    EXPECT_EQ(std::make_pair(col, row), std::make_pair(3, 16));
  });
}

TEST_F(ControlsTest, BufferedPaintFreesItsBitmapWhenPaintingThrows) {
  TForm f;
  f.Create();
  HDC mem = nullptr;
  HGDIOBJ bitmap = nullptr;
  EXPECT_THROW(PaintBuffered(f.Handle(),
                             [&](HDC dc, const RECT&) {
                               mem = dc;
                               bitmap = GetCurrentObject(dc, OBJ_BITMAP);
                               throw std::runtime_error("paint failed");
                             }),
               std::runtime_error);
  ASSERT_TRUE(mem && bitmap);
  EXPECT_EQ(GetObjectType(mem), 0u) << "memory DC deleted";
  EXPECT_EQ(GetObjectType(bitmap), 0u) << "bitmap deleted";
}

TEST_F(ControlsTest, PickersKeepDateAndTimeAndReportChanges) {
  TGallery2Form f;
  f.Create();
  RunShown(f, [&] {
    SYSTEMTIME d = f.dpStart.DateTime();
    EXPECT_EQ(d.wYear, 2026);
    EXPECT_EQ(d.wMonth, 12);
    EXPECT_EQ(d.wDay, 11);
    EXPECT_EQ(f.tpStart.DateTime().wHour, 12);
    EXPECT_TRUE(f.tpStart.Checked());
    f.tpStart.SetChecked(false);
    EXPECT_FALSE(f.tpStart.Checked());
    f.tpStart.SetChecked(true);
    EXPECT_TRUE(f.tpStart.Checked());
    int changes = 0;
    f.dpStart.OnChange = [&] { ++changes; };
    f.dpStart.SetFocus();
    // A field, then one up.
    SendMessageW(f.dpStart.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(f.dpStart.Handle(), WM_KEYDOWN, VK_LEFT, 0);
    changes = 0;
    SendMessageW(f.dpStart.Handle(), WM_KEYDOWN, VK_UP, 0);
    SendMessageW(f.dpStart.Handle(), WM_KEYUP, VK_UP, 0xC0000000);
    Pump();
    EXPECT_EQ(changes, 1);
    // (Wine's picker reports the key but keeps the date here; the value is the control's business.)
    SYSTEMTIME next{2027, 1, 5, 1, 8, 30, 0, 0};
    f.dpStart.SetDateTime(next);
    EXPECT_EQ(f.dpStart.DateTime().wYear, 2027);
  });
}

// A form with the parts that the system draws in light colours unless the scheme paints them.
class TSchemePartsForm : public TForm {
 public:
  TPageControl pcPages;
  TEdit edReadOnly;
  TCheckBox cbDisabled;
  TMemo moLog;
  TButton btOk;
  TComboBox cbUnit;

  TSchemePartsForm() {
    BorderStyle = TBorderStyle::bsDialog;
    ClientWidth96 = 360;
    ClientHeight96 = 300;
  }

 protected:
  void FormCreate() override {
    // Made out of reading order: the form puts them in order.
    btOk.Create(*this, L"OK", {270, 265, 80, 26});
    moLog.Create(*this, {10, 170, 340, 80});
    pcPages.Create(*this, {10, 10, 340, 110});
    auto& first = pcPages.AddPage(L"First");
    pcPages.AddPage(L"Second");
    cbDisabled.Create(*this, L"Disabled option", {10, 10, 200, 20}, first.Handle());
    edReadOnly.Create(*this, L"read-only", {10, 130, 200, 24}, nullptr, true);
    cbUnit.Create(*this, TComboBoxStyle::csDropDownList, {220, 130, 130, 24});
    cbUnit.Add(L"minutes");
    cbUnit.SetItemIndex(0);
    cbDisabled.SetEnabled(false);
    std::wstring log;
    for (int i = 0; i < 40; ++i) log += L"line " + std::to_wstring(i) + L" of a long log that scrolls sideways too\r\n";
    moLog.SetText(log);
  }
};

// The colour of a pixel of the window as shown (window coordinates: frame included).
COLORREF WindowPixel(HWND wnd, int x, int y) {
  HDC dc = GetWindowDC(wnd);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(wnd, dc);
  return c;
}

int Brightest(COLORREF c) { return std::max({GetRValue(c), GetGValue(c), GetBValue(c)}); }

void Repaint(HWND wnd) {
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Application().ProcessMessages();
  GdiFlush();
}

TEST_F(ControlsTest, DarkSchemePaintsTabsEditFramesScrollBarsAndDisabledTextInItsColours) {
  TStyleManager::TrySetStyle(TStyleManager::kDarkStyle);
  const TColorScheme& s = TStyleManager::Active();
  TSchemePartsForm f;
  f.Create();
  RunShown(f, [&] {
    Repaint(f.Handle());
    // The tab headers and the page's frame: the border colour, no light frame.
    HWND tab = f.pcPages.TabHandle();
    RECT item{}, client{};
    SendMessageW(tab, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    GetClientRect(tab, &client);
    EXPECT_EQ(WindowPixel(tab, (item.left + item.right) / 2, item.top), s.Border) << "top of the second tab";
    EXPECT_EQ(WindowPixel(tab, client.right - 1, (item.bottom + client.bottom) / 2), s.Border) << "right of the page";
    EXPECT_EQ(WindowPixel(tab, client.right / 2, client.bottom - 1), s.Border) << "bottom of the page";
    // The read-only edit's sunken edge: the border colour outside, its face inside, all round.
    HWND ed = f.edReadOnly.Handle();
    RECT er{};
    GetWindowRect(ed, &er);
    int w = er.right - er.left, h = er.bottom - er.top;
    for (POINT p : {POINT{0, 0}, POINT{w - 1, h - 1}, POINT{w / 2, h - 1}, POINT{w - 1, h / 2}})
      EXPECT_EQ(WindowPixel(ed, p.x, p.y), s.Border) << p.x << "," << p.y;
    EXPECT_EQ(WindowPixel(ed, w - 2, h - 2), s.Face);
    // The drop-down list: its frame, the ring round its item and its arrow button.
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(f.cbUnit.Handle(), &info));
    RECT cc{};
    GetClientRect(f.cbUnit.Handle(), &cc);
    EXPECT_EQ(WindowPixel(f.cbUnit.Handle(), cc.right / 3, cc.bottom - 1), s.Border);
    EXPECT_EQ(WindowPixel(f.cbUnit.Handle(), cc.right / 3, cc.bottom - 3), s.Edit);
    EXPECT_EQ(WindowPixel(f.cbUnit.Handle(), info.rcButton.left + 1, info.rcButton.top + 1), s.Button);
    // The disabled check box writes its caption in the disabled colour, nothing brighter.
    HWND cb = f.cbDisabled.Handle();
    RECT cr{};
    GetClientRect(cb, &cr);
    int gray = 0, brighter = 0;
    for (int y = 0; y < cr.bottom; ++y)
      for (int x = f.Scale(20); x < cr.right; ++x) {
        COLORREF c = WindowPixel(cb, x, y);
        gray += c == s.GrayText;
        brighter += Brightest(c) > Brightest(s.GrayText);
      }
    EXPECT_GT(gray, 10);
    EXPECT_EQ(brighter, 0);
    // The memo's scroll bars: a dark track, also after scrolling.
    HWND memo = f.moLog.Handle();
    SendMessageW(memo, EM_LINESCROLL, 0, 5);
    Application().ProcessMessages();
    SCROLLBARINFO sbi{};
    sbi.cbSize = sizeof(sbi);
    ASSERT_TRUE(GetScrollBarInfo(memo, OBJID_VSCROLL, &sbi));
    RECT mr{};
    GetWindowRect(memo, &mr);
    const RECT& bar = sbi.rcScrollBar;
    int x = (bar.left + bar.right) / 2 - mr.left;
    int track = bar.bottom - (bar.right - bar.left) - 3 - mr.top;
    int thumb = bar.top + (sbi.xyThumbTop + sbi.xyThumbBottom) / 2 - mr.top;
    EXPECT_EQ(WindowPixel(memo, x, track), s.Window);
    EXPECT_LT(Brightest(WindowPixel(memo, x, thumb)), 0x80);
    hvtest::SaveScreenshot(f.Handle(), L"winui-scheme-parts-dark");
  });
}

TEST_F(ControlsTest, TabHeadersShowTheFocusMarkInBothSchemes) {
  for (bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    TStyleManager::TrySetStyle(dark ? TStyleManager::kDarkStyle : TStyleManager::kSystemStyle);
    TSchemePartsForm f;
    f.Create();
    RunShown(f, [&] {
      HWND tab = f.pcPages.TabHandle();
      // The header comes right after the form's start in the tab order, before the page's box.
      EXPECT_EQ(GetNextDlgTabItem(f.Handle(), nullptr, FALSE), tab);
      EXPECT_EQ(GetNextDlgTabItem(f.Handle(), tab, FALSE), f.edReadOnly.Handle());
      SendMessageW(f.Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
      RECT item{};
      SendMessageW(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
      auto pixels = [&] {
        Repaint(f.Handle());
        std::vector<COLORREF> v;
        for (int y = item.top; y < item.bottom; ++y)
          for (int x = item.left; x < item.right; ++x) v.push_back(WindowPixel(tab, x, y));
        return v;
      };
      f.btOk.SetFocus();
      std::vector<COLORREF> unfocused = pixels();
      SetFocus(tab);
      std::vector<COLORREF> focused = pixels();
      EXPECT_NE(focused, unfocused);
      hvtest::SaveScreenshot(f.Handle(), dark ? L"winui-tab-focus-dark" : L"winui-tab-focus-light");
    });
  }
}

}  // namespace
}  // namespace hv
