#include "winui/Menus.h"

#include <algorithm>
#include <map>

#include "winui/Forms.h"
#include "winui/ImageList.h"

namespace hv {
namespace {

// Command ids of menu items; below them lie the ids of dialogs and controls.
constexpr UINT kFirstCommand = 0x7000, kLastCommand = 0xEFFF;

std::map<UINT, TMenuItem*>& Commands() {
  static std::map<UINT, TMenuItem*> m;
  return m;
}

UINT NewCommand(TMenuItem* item) {
  static UINT next = kFirstCommand;
  auto& m = Commands();
  for (UINT tries = 0; tries <= kLastCommand - kFirstCommand; ++tries) {
    UINT id = next;
    next = next == kLastCommand ? kFirstCommand : next + 1;
    if (m.emplace(id, item).second) return id;
  }
  return 0;
}

}  // namespace

TMenuItem::TMenuItem(std::wstring_view caption, std::function<void()> onClick)
    : OnClick(std::move(onClick)), FCaption(caption) {}

TMenuItem::~TMenuItem() {
  FItems.clear();
  if (FCommand) Commands().erase(FCommand);
  if (FHandle) DestroyMenu(FHandle);
}

TMenuItem& TMenuItem::Add(std::unique_ptr<TMenuItem> item) { return Insert(FItems.size(), std::move(item)); }

TMenuItem& TMenuItem::Add(std::wstring_view caption, std::function<void()> onClick) {
  return Add(std::make_unique<TMenuItem>(caption, std::move(onClick)));
}

TMenuItem& TMenuItem::AddSeparator() { return Add(L"-"); }

TMenuItem& TMenuItem::Insert(size_t index, std::unique_ptr<TMenuItem> item) {
  TMenuItem& ref = *item;
  if (!ref.FCommand) ref.FCommand = NewCommand(&ref);
  ref.FParent = this;
  FItems.insert(FItems.begin() + static_cast<ptrdiff_t>(std::min(index, FItems.size())), std::move(item));
  bool first = FItems.size() == 1;
  Rebuild();
  if (first) UpdateParent();  // the item has become a sub-menu
  return ref;
}

void TMenuItem::Delete(size_t index) {
  if (index >= FItems.size()) return;
  auto item = std::move(FItems[index]);
  FItems.erase(FItems.begin() + static_cast<ptrdiff_t>(index));
  Rebuild();  // the entry leaves the menu before its sub-menu is destroyed
  if (FItems.empty()) UpdateParent();
}

void TMenuItem::Clear() {
  if (FItems.empty()) return;
  auto items = std::move(FItems);
  FItems.clear();
  Rebuild();
  UpdateParent();
}

size_t TMenuItem::MenuIndex() const {
  if (!FParent) return std::wstring::npos;
  for (size_t i = 0; i < FParent->FItems.size(); ++i)
    if (FParent->FItems[i].get() == this) return i;
  return std::wstring::npos;
}

void TMenuItem::SetCaption(std::wstring_view caption) {
  FCaption = caption;
  UpdateParent();
}

void TMenuItem::SetChecked(bool value) {
  FChecked = value;
  if (value && FRadioItem && FParent)
    for (auto& sibling : FParent->FItems)
      if (sibling.get() != this && sibling->FRadioItem && sibling->GroupIndex == GroupIndex) sibling->FChecked = false;
  UpdateParent();
}

void TMenuItem::SetEnabled(bool value) {
  FEnabled = value;
  UpdateParent();
}

void TMenuItem::SetVisible(bool value) {
  FVisible = value;
  UpdateParent();
}

void TMenuItem::SetDefault(bool value) {
  FDefault = value;
  UpdateParent();
}

void TMenuItem::SetRadioItem(bool value) {
  FRadioItem = value;
  UpdateParent();
}

void TMenuItem::SetImageIndex(int index) {
  FImageIndex = index;
  UpdateParent();
}

void TMenuItem::Click() {
  if (AutoCheck) SetChecked(FRadioItem ? true : !FChecked);
  if (OnClick) OnClick();
}

HMENU TMenuItem::Handle() {
  if (!FHandle) {
    FHandle = NewHandle();
    Rebuild();
  }
  return FHandle;
}

TMenuItem* TMenuItem::Root() {
  TMenuItem* r = this;
  while (r->FParent) r = r->FParent;
  return r;
}

void TMenuItem::UpdateParent() {
  if (FParent) FParent->Rebuild();
}

void TMenuItem::Rebuild() {
  if (!FHandle) return;
  while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);  // keeps sub-menus alive
  TImageList* images = Root()->Images;
  UINT pos = 0;
  for (auto& item : FItems) {
    if (!item->FVisible) continue;
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
    mii.wID = item->FCommand;
    mii.dwItemData = reinterpret_cast<ULONG_PTR>(item.get());
    if (item->IsLine()) {
      mii.fType = MFT_SEPARATOR;
    } else {
      mii.fMask |= MIIM_STRING | MIIM_SUBMENU;
      mii.fType = (item->OnDrawItem ? MFT_OWNERDRAW : 0) | (item->FRadioItem ? MFT_RADIOCHECK : 0);
      mii.fState = (item->FChecked ? MFS_CHECKED : 0) | (item->FEnabled ? 0 : MFS_DISABLED) |
                   (item->FDefault ? MFS_DEFAULT : 0);
      mii.dwTypeData = item->FCaption.data();
      mii.hSubMenu = item->FItems.empty() ? nullptr : item->Handle();
      if (images && item->FImageIndex >= 0 && !item->OnDrawItem) {
        mii.fMask |= MIIM_BITMAP;
        mii.hbmpItem = HBMMENU_CALLBACK;
      }
    }
    InsertMenuItemW(FHandle, pos++, TRUE, &mii);
  }
  Changed();
}

TMenuItem* TMenuItem::FromCommand(UINT id) {
  auto it = Commands().find(id);
  return it == Commands().end() ? nullptr : it->second;
}

bool TMenuItem::DispatchCommand(UINT id) {
  TMenuItem* item = FromCommand(id);
  if (!item || !item->FEnabled || !item->FItems.empty()) return item != nullptr;
  item->Click();
  return true;
}

bool TMenuItem::HandleMeasureItem(MEASUREITEMSTRUCT& mi) {
  if (mi.CtlType != ODT_MENU) return false;
  TMenuItem* item = FromCommand(mi.itemID);
  if (!item || reinterpret_cast<TMenuItem*>(mi.itemData) != item) return false;
  SIZE size{};
  if (item->OnDrawItem) {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
    {
      TFontHandle font(CreateFontIndirectW(&ncm.lfMenuFont));
      TWindowDCHandle dc(nullptr);
      TSelectObject select(dc.Get(), font.Get());
      GetTextExtentPoint32W(dc.Get(), item->FCaption.c_str(), static_cast<int>(item->FCaption.size()), &size);
    }
    size.cx += 2 * GetSystemMetrics(SM_CXMENUCHECK);
    size.cy = std::max<LONG>(size.cy + 4, GetSystemMetrics(SM_CYMENU));
    if (item->OnMeasureItem) item->OnMeasureItem(size);
  } else if (TImageList* images = item->Root()->Images) {
    size = {images->Width(), images->Height()};
  }
  mi.itemWidth = static_cast<UINT>(size.cx);
  mi.itemHeight = static_cast<UINT>(size.cy);
  return true;
}

bool TMenuItem::HandleDrawItem(const DRAWITEMSTRUCT& di) {
  if (di.CtlType != ODT_MENU) return false;
  TMenuItem* item = FromCommand(di.itemID);
  if (!item || reinterpret_cast<TMenuItem*>(di.itemData) != item) return false;
  if (item->OnDrawItem) {
    item->OnDrawItem(di.hDC, di.rcItem, (di.itemState & ODS_SELECTED) != 0);
  } else if (TImageList* images = item->Root()->Images) {
    int y = di.rcItem.top + (di.rcItem.bottom - di.rcItem.top - images->Height()) / 2;
    images->Draw(di.hDC, di.rcItem.left, y, item->FImageIndex, !(di.itemState & ODS_DISABLED));
  }
  return true;
}

// --- TMainMenu

TMainMenu::~TMainMenu() { Detach(); }

void TMainMenu::Attach(HWND wnd) {
  Detach();
  RECT before{}, after{}, frame{};
  GetClientRect(wnd, &before);
  SetMenu(wnd, Handle());
  FWindow = wnd;
  GetClientRect(wnd, &after);
  GetWindowRect(wnd, &frame);
  int grow = (before.bottom - before.top) - (after.bottom - after.top);
  if (grow > 0)
    SetWindowPos(wnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + grow,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMainMenu::Detach() {
  if (FWindow && IsWindow(FWindow) && GetMenu(FWindow) == Handle()) SetMenu(FWindow, nullptr);
  FWindow = nullptr;
}

void TMainMenu::Changed() {
  if (FWindow) DrawMenuBar(FWindow);
}

// --- TPopupMenu

UINT TPopupMenu::Popup(int x, int y, HWND owner) {
  if (!owner) owner = Application().OwnerWindow();
  if (OnPopup) OnPopup();
  // The owner comes to the front so that the menu closes when the user clicks elsewhere.
  SetForegroundWindow(owner);
  UINT id = static_cast<UINT>(
      TrackPopupMenuEx(Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, owner, nullptr));
  PostMessageW(owner, WM_NULL, 0, 0);
  if (TMenuItem* item = id ? FromCommand(id) : nullptr) item->Click();
  return id;
}

}  // namespace hv
