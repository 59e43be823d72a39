#pragma once
// Menus: a menu bar of a form, pop-up menus and their items. An item owns its sub-items; every
// change rebuilds the menu that shows the item, so items may be added, removed or changed at any
// time. Each item has its own command id; a click runs the item's OnClick (and checks it first
// when AutoCheck is set; radio items uncheck the other items of their group). Menus are drawn by
// the system in both colour schemes unless an item draws itself (OnDrawItem).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace hv {

class TImageList;
class TForm;

class TMenuItem {
 public:
  TMenuItem() = default;
  explicit TMenuItem(std::wstring_view caption, std::function<void()> onClick = {});
  TMenuItem(const TMenuItem&) = delete;
  TMenuItem& operator=(const TMenuItem&) = delete;
  virtual ~TMenuItem();

  // Sub-items.
  TMenuItem& Add(std::unique_ptr<TMenuItem> item);
  TMenuItem& Add(std::wstring_view caption, std::function<void()> onClick = {});
  TMenuItem& AddSeparator();
  TMenuItem& Insert(size_t index, std::unique_ptr<TMenuItem> item);
  void Delete(size_t index);
  void Clear();
  size_t Count() const { return FItems.size(); }
  TMenuItem& Items(size_t index) const { return *FItems.at(index); }
  TMenuItem* Parent() const { return FParent; }
  // Position among the parent's items; npos without parent.
  size_t MenuIndex() const;

  // "-" makes a separator line.
  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(std::wstring_view caption);
  bool IsLine() const { return FCaption == L"-"; }
  bool Checked() const { return FChecked; }
  // Checking a radio item unchecks the radio items of the same group among its siblings.
  void SetChecked(bool value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  bool Default() const { return FDefault; }
  void SetDefault(bool value);
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool value);
  int GroupIndex = 0;
  bool AutoCheck = false;
  // Index into the Images of the menu the item belongs to; -1: none.
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int index);
  std::wstring Hint;
  intptr_t Tag = 0;

  std::function<void()> OnClick;
  // An item with OnDrawItem draws itself; OnMeasureItem gives its size (default: the caption's).
  std::function<void(SIZE& size)> OnMeasureItem;
  std::function<void(HDC dc, const RECT& rect, bool selected)> OnDrawItem;

  // The id sent with WM_COMMAND.
  UINT Command() const { return FCommand; }
  // As choosing the item: AutoCheck, then OnClick.
  void Click();
  // The menu of the sub-items (created on first use).
  HMENU Handle();

  // Images of the menu (set on the top item).
  TImageList* Images = nullptr;

  // For the windows that own menus: WM_COMMAND of a menu, WM_MEASUREITEM and WM_DRAWITEM of a
  // menu item; each true when it was a menu item of ours.
  static TMenuItem* FromCommand(UINT id);
  static bool DispatchCommand(UINT id);
  static bool HandleMeasureItem(MEASUREITEMSTRUCT& mi);
  static bool HandleDrawItem(const DRAWITEMSTRUCT& di);

 protected:
  virtual HMENU NewHandle() { return CreatePopupMenu(); }
  virtual void Changed() {}
  // Rebuilds the entries of this item's menu.
  void Rebuild();

 private:
  void UpdateParent();
  TMenuItem* Root();
  bool Hosted() const;
  std::vector<std::unique_ptr<TMenuItem>> FItems;
  TMenuItem* FParent = nullptr;
  HMENU FHandle = nullptr;
  UINT FCommand = 0;
  std::wstring FCaption;
  bool FChecked = false, FEnabled = true, FVisible = true, FDefault = false, FRadioItem = false;
  int FImageIndex = -1;
};

// The menu bar of a form.
class TMainMenu : public TMenuItem {
 public:
  ~TMainMenu() override;
  // Puts the menu bar on the window and keeps the window's client size.
  void Attach(HWND wnd);
  void Detach();
  HWND Window() const { return FWindow; }

 protected:
  HMENU NewHandle() override { return CreateMenu(); }
  void Changed() override;

 private:
  HWND FWindow = nullptr;
};

class TPopupMenu : public TMenuItem {
 public:
  // Runs before the menu opens (update checks and captions here).
  std::function<void()> OnPopup;
  // Shows the menu at a screen point and runs the chosen item's Click; the command id of the
  // chosen item, 0 when none was chosen. owner: the window that owns the menu (null: the
  // application's active form).
  UINT Popup(int x, int y, HWND owner = nullptr);
};

}  // namespace hv
