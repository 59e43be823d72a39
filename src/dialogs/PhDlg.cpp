#include "dialogs/PhDlg.h"

#include <algorithm>
#include <vector>

#include "base/app/PlaceHolders.h"
#include "base/os/WinUtils.h"
#include "base/settings/BuConsts.h"
#include "base/text/ExtSysUtils.h"
#include "dialogs/DlgUtils.h"
#include "winui/Dpi.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 340, kMargin96 = 8, kGroupWidth96 = 230, kRow96 = 20, kGroupExtra96 = 26;
constexpr int kCycleWidth96 = 56, kEditHeight96 = 22, kUpDownWidth96 = 17;
constexpr int kBottomPanel96 = 44, kButtonWidth96 = 87, kButtonHeight96 = 27, kButtonGap96 = 6;
constexpr int kFirstCycleItem = 3, kCycleItems = 5, kOtherItem = 12;

// One maximum per cyclic item: days, weeks, months, years, versions.
constexpr int kCycleMaxima[kCycleItems] = {366, 53, 12, 99, 999};

const std::vector<std::wstring> kDateItems = {
    L"Date (e.g. 2010-12-04)", L"Year and week (e.g. 2009-53)", L"Short day of the week (e.g. Mon,Tue)",
    L"Long day of the week (e.g. Monday)", L"Number of day of week (Monday = 1)", L"Day of year (001 .. 365)",
    L"Week of year (01 .. 53)", L"Day of month (01 .. 31)", L"Week of month (1 .. 6)", L"Month of year (01 .. 12)",
    L"Name of month (e.g. January)", L"Year (e.g. 2010)", L"Other"};
const std::vector<std::wstring> kTimeItems = {
    L"Time (000000 .. 235959)", L"Hour (00 .. 23)", L"Minute (00 .. 59)", L"Alternating days:",
    L"Alternating weeks:", L"Alternating months:", L"Alternating years:", L"Alternating versions:", L"User name",
    L"Computer name", L"Volume name of source", L"Backup mode", L"Other"};
const std::vector<std::wstring> kPathItems = {
    L"My Documents", L"Application data", L"User profile", L"Desktop", L"Favorites", L"Program files",
    L"Harvane path", L"User name", L"Computer name", L"Other environment variables"};
const std::vector<std::wstring> kSystemItems = {
    L"User application data", L"User local application data", L"All users profile", L"Public files",
    L"Program files", L"Common program files", L"Program files (x86)", L"Common program files (x86)",
    L"Program data"};
const std::vector<std::wstring> kMailItems = {
    L"Task name", L"User name", L"Computer name", L"Start time of action", L"End time of action",
    L"Duration of action", L"Status of action"};
const std::vector<std::wstring> kPreExecItems = {
    L"Date and time", L"Filename of task", L"Destination path", L"Name of zip archive", L"System directory",
    L"Backup task path", L"Harvane path", L"User name", L"Password"};
const std::vector<std::wstring> kBuLogItems = {
    L"Date (e.g. 2010-12-04)", L"Time (000000 .. 235959)", L"Year and week (e.g. 2009-53)",
    L"Year and month (e.g. 2019-07)", L"Year (e.g. 2010)", L"User name", L"Computer name", L"Destination path",
    L"Drive of destination", L"Volume name of destination"};

std::vector<std::wstring> PostExecItems() {
  auto items = kPreExecItems;
  items.insert(items.end(), {L"Log file", L"Backup status"});
  return items;
}

std::vector<std::wstring> PortableItems() {
  std::vector<std::wstring> items{L"Device name"};
  items.insert(items.end(), kDateItems.begin(), kDateItems.begin() + 12);
  return items;
}

struct TPageInfo {
  const wchar_t* Caption;
  std::vector<std::wstring> Items;
  int Preselected;
};

const std::vector<TPageInfo>& Pages() {
  static const std::vector<TPageInfo> pages = {
      {L"Date and time", kDateItems, 0},
      {L"Time", kTimeItems, 0},
      {L"File path:", kPathItems, 0},
      {L"System", kSystemItems, 0},
      {L"Mail subject", kMailItems, 0},
      {L"External programs before backup", kPreExecItems, 1},
      {L"External programs after backup", PostExecItems(), 1},
      {L"Log file", kBuLogItems, 0},
      {L"Other logs", std::vector<std::wstring>(kBuLogItems.begin(), kBuLogItems.begin() + 7), 0},
      {L"Portable devices", PortableItems(), 0},
  };
  return pages;
}

template <class Table>
std::wstring At(const Table& table, int index) {
  return index >= 0 && static_cast<size_t>(index) < std::size(table) ? std::wstring(table[static_cast<size_t>(index)])
                                                                      : std::wstring();
}

}  // namespace

int CycleMaximum(int timeItem) {
  int i = timeItem - kFirstCycleItem;
  return i >= 0 && i < kCycleItems ? kCycleMaxima[i] : 0;
}

std::wstring PlaceholderToken(int page, int item, int modulus) {
  switch (page) {
    case phDateTime: return item < 12 ? At(DatePlaceholders, item) : std::wstring();
    case phTime: {
      if (item >= kOtherItem) return {};
      std::wstring token = At(TimePlaceholders, item);
      if (size_t q = token.find(L'?'); q != std::wstring::npos) token.replace(q, 1, std::to_wstring(modulus));
      return token;
    }
    case phPath: return item < 9 ? At(FolderPlaceholders, item) : std::wstring();
    case phSystem: return At(EnvFolderPlaceholders, item);
    case phMail: return At(ReportPlaceholders, item);
    case phPreExec:
    case phPostExec: return item >= 1 ? At(CommandPlaceholders, item - 1) : std::wstring();
    case phBuLog:
    case phOtherLog: return At(LogNamePlaceholders, item);
    case phPortable: return At(DevicePlaceholders, item);
  }
  return {};
}

TPlaceHolderDialog::TPlaceHolderDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  KeyPreview = true;
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = 300;
}

int TPlaceHolderDialog::GroupHeight96(int page) const {
  return kGroupExtra96 + static_cast<int>(Pages()[static_cast<size_t>(page)].Items.size()) * kRow96;
}

void TPlaceHolderDialog::FormCreate() {
  SetCaption(L"Insert placeholder");
  PageControl.Create(*this, {0, 0, kClientWidth96, 260});
  for (int p = 0; p < phPageCount; ++p) {
    const TPageInfo& info = Pages()[static_cast<size_t>(p)];
    TTabSheet& sheet = PageControl.AddPage(info.Caption);
    TRadioGroup& g = Groups[p];
    g.Create(*this, L"Placeholder for", {kMargin96, kMargin96, kGroupWidth96, GroupHeight96(p)}, sheet.Handle());
    g.SetItems(info.Items);
    g.SetItemIndex(info.Preselected);
    if (p == phTime) {
      reCycle.Create(*this, L"", {kMargin96 + kGroupWidth96 + 6, 0, kCycleWidth96, kEditHeight96}, sheet.Handle());
      SetWindowLongW(reCycle.Handle(), GWL_STYLE, GetWindowLongW(reCycle.Handle(), GWL_STYLE) | ES_NUMBER);
      udCycle.Create(*this, {0, 0, kUpDownWidth96, kEditHeight96}, sheet.Handle());
      udCycle.SetAssociate(&reCycle);
      udCycle.SetRange(kCycleMinimum, 99);
      udCycle.SetPosition(kCycleDefault);
      reCycle.Hint = L"Number of alternating folders";
    }
  }
  PageControl.SetTabsVisible(false);
  Groups[phDateTime].OnClick = [this] {
    if (Groups[phDateTime].ItemIndex() == kOtherItem) {
      Groups[phTime].SetItemIndex(0);
      ShowPage(phTime);
    }
  };
  Groups[phTime].OnClick = [this] { TimeItemClick(); };
  Groups[phPath].OnClick = [this] {
    if (Groups[phPath].ItemIndex() == Groups[phPath].Count() - 1) ShowPage(phSystem);
  };
  for (int p : {phPreExec, phPostExec})
    Groups[p].OnClick = [this, p] {
      if (Groups[p].ItemIndex() == 0) {
        Groups[phDateTime].SetItemIndex(0);
        ShowPage(phDateTime);
      }
    };
  CreateOkCancel(*this, OKBtn, CancelBtn, {0, 0, kButtonWidth96, kButtonHeight96});
  TimeItemClick();
}

void TPlaceHolderDialog::TimeItemClick() {
  int item = Groups[phTime].ItemIndex();
  if (item == kOtherItem) {
    Groups[phDateTime].SetItemIndex(0);
    ShowPage(phDateTime);
    return;
  }
  int max = CycleMaximum(item);
  reCycle.SetVisible(max > 0);
  udCycle.SetVisible(max > 0);
  if (max <= 0) return;
  int value = std::clamp(udCycle.Position(), kCycleMinimum, max);
  udCycle.SetRange(kCycleMinimum, max);
  udCycle.SetPosition(value);
  // Beside the row of the chosen item.
  RECT b = Groups[phTime].Button(item).BoundsRect();
  RECT g = Groups[phTime].BoundsRect();
  UINT dpi = Dpi();
  int top = g.top + b.top - hv::Scale(1, dpi);
  int left = g.right + hv::Scale(6, dpi);
  reCycle.SetBounds(left, top, hv::Scale(kCycleWidth96, dpi), hv::Scale(kEditHeight96, dpi));
  udCycle.SetAssociate(&reCycle);
  udCycle.SetBounds(left + hv::Scale(kCycleWidth96, dpi), top, hv::Scale(kUpDownWidth96, dpi),
                    hv::Scale(kEditHeight96, dpi));
}

void TPlaceHolderDialog::ShowPage(int page) {
  if (page == phDateTime && Groups[phDateTime].ItemIndex() == kOtherItem) Groups[phDateTime].SetItemIndex(0);
  if (page == phTime) {
    reCycle.SetVisible(false);
    udCycle.SetVisible(false);
  }
  PageControl.SetActivePageIndex(page);
  Relayout(Dpi());
  if (page == phTime) TimeItemClick();
}

void TPlaceHolderDialog::Relayout(UINT dpi) {
  if (!CancelBtn.Handle()) return;
  TForm::Relayout(dpi);
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  int page = std::max(PageControl.ActivePageIndex(), 0);
  int groupHeight = s(GroupHeight96(page));
  int pageHeight = MulDiv(groupHeight, 105, 100) + s(kMargin96);
  int width = s(kClientWidth96);
  SetClientSize(width, pageHeight + s(kBottomPanel96));
  PageControl.SetBounds(0, 0, width, pageHeight);
  PageControl.SetActivePageIndex(page);
  int top = pageHeight + s(kBottomPanel96 - kButtonHeight96) / 2;
  CancelBtn.SetBounds(width - s(kMargin96 + kButtonWidth96), top, s(kButtonWidth96), s(kButtonHeight96));
  OKBtn.SetBounds(width - s(kMargin96 + 2 * kButtonWidth96 + kButtonGap96), top, s(kButtonWidth96),
                  s(kButtonHeight96));
}

void TPlaceHolderDialog::FormShow() { FitFormToWorkArea(*this); }

std::wstring TPlaceHolderDialog::Execute(TPoint pos, TPhType pt, std::wstring_view action) {
  int page = phDateTime;
  switch (pt) {
    case TPhType::ptPath: page = phPath; break;
    case TPhType::ptMail:
      page = phMail;
      Groups[phMail].SetText(_(L"Placeholder for") + L" " + std::wstring(action));
      break;
    case TPhType::ptPreEx: page = phPreExec; break;
    case TPhType::ptPostEx: page = phPostExec; break;
    case TPhType::ptBuLog: page = phBuLog; break;
    case TPhType::ptOtherLog: page = phOtherLog; break;
    case TPhType::ptPortable: page = phPortable; break;
    case TPhType::ptTime: break;
  }
  ShowPage(page);
  if (pos.X < 0 || pos.Y < 0) {
    PlaceForm(*this, {-1, 0});
  } else {
    int left = pos.X, top = pos.Y;
    AdjustToWorkArea(left, top, Width(), Height());
    Position = TPosition::poDesigned;
    SetPos(left, top);
  }
  int active = PageControl.ActivePageIndex();
  ActiveControl = &Groups[active].Button(std::max(Groups[active].ItemIndex(), 0));
  if (ShowModal() != mrOk) return {};
  active = PageControl.ActivePageIndex();
  // A typed value beyond the range counts as the nearest limit.
  std::wstring text = reCycle.Text();
  int modulus = text.empty() ? udCycle.Position() : _wtoi(text.c_str());
  int max = CycleMaximum(Groups[phTime].ItemIndex());
  if (active == phTime && max > 0) modulus = std::clamp(modulus, kCycleMinimum, max);
  return PlaceholderToken(active, Groups[active].ItemIndex(), modulus);
}

std::wstring SelectPlaceholder(TPoint pos, TPhType pt, std::wstring_view action) {
  TPlaceHolderDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, pt, action);
}

}  // namespace hv
