// Menu bars, pop-up menus and image lists on real windows.
#include "winui/Menus.h"

#include <gtest/gtest.h>

#include "support/GuiTest.h"
#include "support/TestSupport.h"
#include "winui/Forms.h"
#include "winui/ImageList.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

class MenusTest : public hvtest::GuiTest {};

class TMenuForm : public TForm {
 public:
  TMenuForm() {
    ClientWidth96 = 360;
    ClientHeight96 = 120;
  }
  TLabel laInfo;
  TMainMenu Menu;

 protected:
  void FormCreate() override {
    SetCaption(L"Menus");
    laInfo.Create(*this, L"A form with a menu bar", {12, 12, 300, 20});
  }
};

std::wstring MenuText(HMENU menu, UINT pos) {
  wchar_t buf[128] = {};
  GetMenuStringW(menu, pos, buf, static_cast<int>(std::size(buf)), MF_BYPOSITION);
  return buf;
}

MENUITEMINFOW ItemInfo(HMENU menu, UINT pos) {
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_BITMAP;
  GetMenuItemInfoW(menu, pos, TRUE, &mii);
  return mii;
}

TEST_F(MenusTest, MenuBarWithRuntimeAndRadioItems) {
  TMenuForm form;
  form.Create();
  SIZE client = form.ClientSize();
  std::vector<std::wstring> clicks;
  TMenuItem& file = form.Menu.Add(L"&File");
  file.Add(L"&Open", [&] { clicks.push_back(L"open"); });
  file.AddSeparator();
  TMenuItem& quit = file.Add(L"&Quit", [&] { clicks.push_back(L"quit"); });
  TMenuItem& view = form.Menu.Add(L"&View");
  TMenuItem* modes[3];
  const wchar_t* names[] = {L"&Plain", L"&Gzip", L"&Zip"};
  for (int i = 0; i < 3; ++i) {
    modes[i] = &view.Add(names[i]);
    modes[i]->SetRadioItem(true);
    modes[i]->GroupIndex = 1;
    modes[i]->AutoCheck = true;
  }
  modes[0]->SetChecked(true);
  form.Menu.Attach(form.Handle());
  EXPECT_EQ(form.ClientSize().cy, client.cy);  // the bar does not eat the client area
  form.Show();

  HMENU bar = GetMenu(form.Handle());
  ASSERT_EQ(bar, form.Menu.Handle());
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(MenuText(bar, 1), L"&View");
  HMENU fileMenu = GetSubMenu(bar, 0), viewMenu = GetSubMenu(bar, 1);
  ASSERT_EQ(GetMenuItemCount(fileMenu), 3);
  EXPECT_TRUE(ItemInfo(fileMenu, 1).fType & MFT_SEPARATOR);
  EXPECT_TRUE(ItemInfo(viewMenu, 0).fType & MFT_RADIOCHECK);

  // Choosing a radio item (WM_COMMAND as the menu sends it) checks it and unchecks its group.
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(modes[2]->Command(), 0), 0);
  EXPECT_FALSE(modes[0]->Checked());
  EXPECT_TRUE(modes[2]->Checked());
  EXPECT_FALSE(ItemInfo(viewMenu, 0).fState & MFS_CHECKED);
  EXPECT_TRUE(ItemInfo(viewMenu, 2).fState & MFS_CHECKED);

  // Items made at run time, as a history list adds them.
  TMenuItem& recent = file.Insert(2, std::make_unique<TMenuItem>(L"1 C:\\Backup", [&] { clicks.push_back(L"recent"); }));
  ASSERT_EQ(GetMenuItemCount(fileMenu), 4);
  EXPECT_EQ(MenuText(fileMenu, 2), L"1 C:\\Backup");
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(recent.Command(), 0), 0);
  UINT recentId = recent.Command();
  file.Delete(recent.MenuIndex());
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(recentId, 0), 0);  // gone: nothing happens
  EXPECT_EQ(GetMenuItemCount(fileMenu), 3);

  // Disabled and hidden items.
  quit.SetEnabled(false);
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(quit.Command(), 0), 0);
  EXPECT_TRUE(ItemInfo(fileMenu, 2).fState & MFS_DISABLED);
  quit.SetVisible(false);
  EXPECT_EQ(GetMenuItemCount(fileMenu), 2);
  quit.SetCaption(L"&Exit");
  quit.SetVisible(true);
  quit.SetEnabled(true);
  EXPECT_EQ(MenuText(fileMenu, 2), L"&Exit");
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(quit.Command(), 0), 0);
  EXPECT_EQ(clicks, (std::vector<std::wstring>{L"recent", L"quit"}));

  EXPECT_TRUE(hvtest::SaveScreenshot(form.Handle(), L"winui-menu-bar"));
  ASSERT_TRUE(TStyleManager::TrySetStyle(TStyleManager::kDarkStyle));
  EXPECT_TRUE(hvtest::SaveScreenshot(form.Handle(), L"winui-menu-bar-dark"));
  TStyleManager::TrySetStyle(TStyleManager::kSystemStyle);

  // A sub-menu that loses its last item becomes a plain item again.
  view.Clear();
  EXPECT_EQ(GetSubMenu(bar, 1), nullptr);
}

TEST_F(MenusTest, PopupMenuRunsTheChosenItem) {
  TMenuForm form;
  form.Create();
  form.Show();
  TPopupMenu menu;
  int popups = 0;
  std::vector<std::wstring> clicks;
  menu.OnPopup = [&] { ++popups; };
  menu.Add(L"Start immediate backup", [&] { clicks.push_back(L"start"); });
  TMenuItem& stop = menu.Add(L"Stop monitoring", [&] { clicks.push_back(L"stop"); });
  menu.AddSeparator();
  menu.Add(L"Cancel");
  // Keys reach the menu's own loop; a timer of the thread presses them once it runs.
  TTimer keys;
  keys.SetInterval(100);
  keys.OnTimer = [&] {
    keys.SetEnabled(false);
    for (WORD k : {WORD(VK_DOWN), WORD(VK_DOWN), WORD(VK_RETURN)}) {
      PostMessageW(form.Handle(), WM_KEYDOWN, k, 0);
      PostMessageW(form.Handle(), WM_KEYUP, k, 0xC0000000);
    }
  };
  keys.SetEnabled(true);
  EXPECT_EQ(menu.Popup(100, 100, form.Handle()), stop.Command());
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(clicks, std::vector<std::wstring>{L"stop"});

  keys.OnTimer = [&] {
    keys.SetEnabled(false);
    EndMenu();
  };
  keys.SetEnabled(true);
  EXPECT_EQ(menu.Popup(100, 100, form.Handle()), 0u);
  EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(MenusTest, ImagesAndOwnerDrawnItems) {
  TImageList images;
  ASSERT_TRUE(images.Create(16, 16));
  HICON info = LoadIconW(nullptr, IDI_INFORMATION);
  EXPECT_EQ(images.AddIcon(info), 0);
  EXPECT_EQ(images.AddIcon(LoadIconW(nullptr, IDI_WARNING)), 1);
  EXPECT_EQ(images.Count(), 2);
  EXPECT_EQ(images.Width(), 16);
  HICON copy = images.GetIcon(1);
  EXPECT_NE(copy, nullptr);
  DestroyIcon(copy);
  EXPECT_EQ(images.GetIcon(2), nullptr);

  TPopupMenu menu;
  menu.Images = &images;
  TMenuItem& withImage = menu.Add(L"Start on logon");
  withImage.SetImageIndex(1);
  TMenuItem& drawn = menu.Add(L"Harvane");
  int drawnCalls = 0;
  drawn.OnDrawItem = [&](HDC, const RECT&, bool) { ++drawnCalls; };
  drawn.OnMeasureItem = [](SIZE& s) { s.cx = 120; };
  drawn.SetCaption(L"Harvane");  // rebuilds: now owner-drawn
  HMENU h = menu.Handle();
  EXPECT_EQ(ItemInfo(h, 0).hbmpItem, HBMMENU_CALLBACK);
  EXPECT_TRUE(ItemInfo(h, 1).fType & MFT_OWNERDRAW);

  MEASUREITEMSTRUCT mi{};
  mi.CtlType = ODT_MENU;
  mi.itemID = withImage.Command();
  mi.itemData = reinterpret_cast<ULONG_PTR>(&withImage);
  EXPECT_TRUE(TMenuItem::HandleMeasureItem(mi));
  EXPECT_EQ(mi.itemWidth, 16u);
  mi.itemID = drawn.Command();
  mi.itemData = reinterpret_cast<ULONG_PTR>(&drawn);
  EXPECT_TRUE(TMenuItem::HandleMeasureItem(mi));
  EXPECT_EQ(mi.itemWidth, 120u);
  DRAWITEMSTRUCT di{};
  di.CtlType = ODT_MENU;
  di.itemID = drawn.Command();
  di.itemData = reinterpret_cast<ULONG_PTR>(&drawn);
  HDC dc = CreateCompatibleDC(nullptr);
  di.hDC = dc;
  EXPECT_TRUE(TMenuItem::HandleDrawItem(di));
  EXPECT_EQ(drawnCalls, 1);
  di.CtlType = ODT_BUTTON;
  EXPECT_FALSE(TMenuItem::HandleDrawItem(di));
  DeleteDC(dc);
}

}  // namespace
}  // namespace hv
