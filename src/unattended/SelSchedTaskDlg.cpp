#include "unattended/SelSchedTaskDlg.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>

#include "base/app/HvUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "winui/Dpi.h"
#include "winui/Styles.h"
#include "winui/Translate.h"

namespace hv {

namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 666, kClientHeight96 = 421;
constexpr int kLabelHeight96 = 15, kEditHeight96 = 22, kRowStep96 = 42;
constexpr int kLeftColumn96 = 10, kLeftWidth96 = 300, kRightColumn96 = 330, kRightWidth96 = 310;
constexpr int kButtonTop96 = 389, kButtonHeight96 = 26;
constexpr UINT kPollMs = 1000;

// Two round marks, green for a run without error, red for one with an error.
HIMAGELIST MakeResultIcons(int size) {
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 2, 0);
  TWindowDCHandle screen(nullptr);
  for (COLORREF colour : {RGB(40, 160, 60), RGB(210, 40, 40)}) {
    TDCHandle dc(CreateCompatibleDC(screen.Get()));
    TBitmapHandle image(CreateCompatibleBitmap(screen.Get(), size, size));
    TBitmapHandle mask(CreateBitmap(size, size, 1, 1, nullptr));
    RECT r{0, 0, size, size};
    const int m = size / 5;
    {
      TSelectObject selImage(dc.Get(), image.Get());
      FillRect(dc.Get(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      TBrushHandle brush(CreateSolidBrush(colour));
      TSelectObject selBrush(dc.Get(), brush.Get());
      TSelectObject selPen(dc.Get(), GetStockObject(NULL_PEN));
      Ellipse(dc.Get(), m, m, size - m + 1, size - m + 1);
    }
    {
      TSelectObject selMask(dc.Get(), mask.Get());
      FillRect(dc.Get(), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      TSelectObject selBrush(dc.Get(), GetStockObject(BLACK_BRUSH));
      TSelectObject selPen(dc.Get(), GetStockObject(NULL_PEN));
      Ellipse(dc.Get(), m, m, size - m + 1, size - m + 1);
    }
    ImageList_Add(list, image.Get(), mask.Get());
  }
  return list;
}

int CompareText(const std::wstring& a, const std::wstring& b) {
  return CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1, nullptr, nullptr, 0) - 2;
}

// Breaks lines at blanks so that none is longer than maxCol (a longer word stays whole).
std::wstring WrapText(std::wstring_view text, size_t maxCol) {
  std::wstring out;
  size_t col = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == L'\r' || text[i] == L'\n') {
      out += text[i];
      col = 0;
      ++i;
      continue;
    }
    size_t end = text.find_first_of(L" \r\n", i);
    if (end == std::wstring_view::npos) end = text.size();
    std::wstring_view word = text.substr(i, end - i);
    if (col > 0 && col + 1 + word.size() > maxCol) {
      out += L"\r\n";
      col = 0;
    } else if (col > 0) {
      out += L' ';
      ++col;
    }
    out += word;
    col += word.size();
    i = end;
    while (i < text.size() && text[i] == L' ') ++i;
  }
  return out;
}

// Mouse moves over the task list reach the dialog's result hint.
LRESULT CALLBACK TaskListMouseProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
  auto* dialog = reinterpret_cast<TSelectSchedTaskDialog*>(data);
  try {
    if (msg == WM_MOUSEMOVE) dialog->lvTasksMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    if (msg == WM_MOUSELEAVE) dialog->HideResultHint();
  } catch (...) {
    Application().HandleException();
  }
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(wnd, TaskListMouseProc, id);
  return DefSubclassProc(wnd, msg, wp, lp);
}

constexpr UINT_PTR kMouseSubclassId = 0x5354;

}  // namespace

// --- TToggleSwitch

namespace {
constexpr int kTrackWidth96 = 40, kTrackHeight96 = 18;
}  // namespace

void TToggleSwitch::Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent) {
  CreateWnd(form, parent, WC_BUTTONW, caption, WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, r96);
  SetPropW(Handle(), kSelfDrawnButtonProp, reinterpret_cast<HANDLE>(1));
}

void TToggleSwitch::SetChecked(bool value) {
  FChecked = value;
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TToggleSwitch::HandleCommand(WORD code) {
  if (code != BN_CLICKED) return;
  SetChecked(!FChecked);
  if (OnClick) OnClick();
}

bool TToggleSwitch::HandleDrawItem(const DRAWITEMSTRUCT& di) {
  const TColorScheme& s = TStyleManager::Active();
  const bool enabled = !(di.itemState & ODS_DISABLED);
  HDC dc = di.hDC;
  RECT r = di.rcItem;
  FillRect(dc, &r, TBrushHandle(CreateSolidBrush(s.System ? GetSysColor(COLOR_BTNFACE) : s.Face)).Get());
  const UINT dpi = Form() ? Form()->Dpi() : 96;
  const int tw = hv::Scale(kTrackWidth96, dpi), th = hv::Scale(kTrackHeight96, dpi);
  const int top = r.top + (r.bottom - r.top - th) / 2;
  COLORREF text = s.System ? GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT) : (enabled ? s.FaceText : s.GrayText);
  {
    TPenHandle pen(CreatePen(PS_SOLID, std::max(1, hv::Scale(1, dpi)), text));
    TSelectObject selPen(dc, pen.Get());
    TSelectObject selBrush(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, r.left, top, r.left + tw, top + th, th, th);
    const int gap = hv::Scale(3, dpi), d = th - 2 * gap;
    const int x = FChecked ? r.left + tw - gap - d : r.left + gap;
    TBrushHandle thumb(CreateSolidBrush(enabled ? (FChecked ? RGB(40, 160, 60) : RGB(210, 40, 40)) : text));
    TSelectObject selThumb(dc, thumb.Get());
    TSelectObject selNoPen(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, x, top + gap, x + d + 1, top + gap + d + 1);
  }
  RECT tr{r.left + tw + hv::Scale(6, dpi), r.top, r.right, r.bottom};
  std::wstring caption = Text();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text);
  TSelectObject font(dc, Form()->Font());
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (di.itemState & ODS_FOCUS) {
    RECT fr = tr;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &fr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_CALCRECT);
    fr.top = tr.top + (tr.bottom - tr.top - (fr.bottom - fr.top)) / 2;
    fr.bottom = fr.top + (fr.bottom - tr.top);
    InflateRect(&fr, 1, 0);
    DrawFocusRect(dc, &fr);
  }
  return true;
}

bool IsTaskResultOk(int result) { return result == 0 || result == kTaskIsRunning || result == kTaskHasNotRun; }

std::wstring ResultHintText(int result) { return WrapText(SystemErrorText(static_cast<uint32_t>(result)), 50); }

TSelectSchedTaskDialog::TSelectSchedTaskDialog() {
  TextDomain = L"Units";
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  KeyPreview = true;
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

TSelectSchedTaskDialog::~TSelectSchedTaskDialog() {
  tmUpdate.SetEnabled(false);
  if (lvTasks.Handle()) RemoveWindowSubclass(lvTasks.Handle(), TaskListMouseProc, kMouseSubclassId);
  if (FHint) DestroyWindow(FHint);
  if (FResultIcons) ImageList_Destroy(FResultIcons);
}

void TSelectSchedTaskDialog::FormCreate() {
  SetCaption(L"Select Scheduled Task");
  lvTasks.GridLines = true;
  lvTasks.Create(*this, {8, 8, 650, 140});
  lvTasks.AddColumn(DGetText(TextDomain, L"Name"), 206);
  lvTasks.AddColumn(DGetText(TextDomain, L"Status"), 81);
  lvTasks.AddColumn(DGetText(TextDomain, L"Last run time"), 170);
  lvTasks.AddColumn(DGetText(TextDomain, L"Next run time"), 170);
  FResultIcons = MakeResultIcons(Scale(16));
  lvTasks.SetImageList(FResultIcons);
  lvTasks.OnSelectItem = [this] { ShowTaskDetails(); };
  lvTasks.OnDblClick = [this] {
    if (lvTasks.ItemIndex() >= 0) {
      ModalResult = mrOk;
    }
  };
  lvTasks.OnColumnClick = [this](int column) { lvTasksColumnClick(column); };
  SetWindowSubclass(lvTasks.Handle(), TaskListMouseProc, kMouseSubclassId, reinterpret_cast<DWORD_PTR>(this));
  FHint = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP | TTS_BALLOON,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  if (FHint) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
    ti.hwnd = Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(lvTasks.Handle());
    ti.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(FHint, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(FHint, TTM_SETMAXTIPWIDTH, 0, 2000);  // lines are broken by the text itself
  }

  gbDetails.Create(*this, L"", {8, 154, 650, 227});
  HWND gb = gbDetails.Handle();
  auto labelled = [&](TLabel& la, const wchar_t* caption, TEdit& ed, int x, int y, int w) {
    la.Create(*this, caption, {x, y, w, kLabelHeight96}, gb);
    ed.Create(*this, L"", {x, y + kLabelHeight96, w, kEditHeight96}, gb, true);
    ed.TranslateText = false;
  };
  labelled(laUserAccount, L"User account:", edUserAccount, kLeftColumn96, 20, kLeftWidth96);
  labelled(laComment, L"Description:", edComment, kLeftColumn96, 20 + kRowStep96, kLeftWidth96);
  labelled(laCreator, L"Creator:", edCreator, kLeftColumn96, 20 + 2 * kRowStep96, kLeftWidth96);
  labelled(laStatus, L"Created:", edStatus, kLeftColumn96, 20 + 3 * kRowStep96, kLeftWidth96);
  labelled(laApplication, L"Application:", edApplication, kRightColumn96, 20, kRightWidth96);
  labelled(laParameters, L"Command line parameters:", edParameters, kRightColumn96, 20 + kRowStep96, kRightWidth96);
  labelled(laWorkDir, L"Start in (optional):", edWorkDir, kRightColumn96, 20 + 2 * kRowStep96, kRightWidth96);
  laSchedule.Create(*this, L"Time schedule:", {kRightColumn96, 146, kRightWidth96, kLabelHeight96}, gb);
  lbTriggers.Create(*this, {kRightColumn96, 161, kRightWidth96, 58}, gb);
  laEnabled.Create(*this, L"Enabled:", {kLeftColumn96, 197, 60, kLabelHeight96}, gb);
  tsStatus.Create(*this, L"Yes", {75, 194, 120, 20}, gb);
  tsStatus.OnClick = [this] { tsStatusClick(); };

  btbRun.Create(*this, L"Run task", {8, kButtonTop96, 100, kButtonHeight96});
  btbRun.OnClick = [this] { btbRunClick(); };
  btnDelete.Create(*this, L"Delete task", {114, kButtonTop96, 100, kButtonHeight96});
  btnDelete.OnClick = [this] { btnDeleteClick(); };
  btbEdit.Create(*this, L"Edit task", {452, kButtonTop96, 100, kButtonHeight96});
  btbEdit.ModalResult = mrOk;
  btbEdit.SetDefault(true);
  btbCancel.Create(*this, L"Close", {558, kButtonTop96, 100, kButtonHeight96});
  btbCancel.ModalResult = mrCancel;
  btbCancel.Cancel = true;

  tmUpdate.SetInterval(kPollMs);
  tmUpdate.OnTimer = [this] { tmUpdateTimer(); };
}

void TSelectSchedTaskDialog::FormShow() { tmUpdate.SetEnabled(true); }
void TSelectSchedTaskDialog::FormClose() {
  tmUpdate.SetEnabled(false);
  HideResultHint();
}

// Over the result icon of a row whose last run failed: the system's text for its result.
void TSelectSchedTaskDialog::lvTasksMouseMove(int x, int y) {
  HWND lv = lvTasks.Handle();
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  int row = ListView_HitTest(lv, &hit);
  RECT icon{};
  if (row < 0 || row >= static_cast<int>(FRows.size()) || IsTaskResultOk(FRows[static_cast<size_t>(row)].Result) ||
      !ListView_GetItemRect(lv, row, &icon, LVIR_ICON) || !PtInRect(&icon, hit.pt)) {
    HideResultHint();
    return;
  }
  if (row == FHintRow || !FHint) return;
  FHintRow = row;
  FHintText = ResultHintText(FRows[static_cast<size_t>(row)].Result);
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = Handle();
  ti.uId = reinterpret_cast<UINT_PTR>(lv);
  ti.lpszText = FHintText.data();
  SendMessageW(FHint, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  POINT at{icon.right, (icon.top + icon.bottom) / 2};
  ClientToScreen(lv, &at);
  SendMessageW(FHint, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(FHint, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
  TRACKMOUSEEVENT leave{sizeof(leave), TME_LEAVE, lv, 0};
  TrackMouseEvent(&leave);
}

void TSelectSchedTaskDialog::HideResultHint() {
  if (FHintRow < 0 || !FHint) return;
  FHintRow = -1;
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = Handle();
  ti.uId = reinterpret_cast<UINT_PTR>(lvTasks.Handle());
  SendMessageW(FHint, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
}

bool TSelectSchedTaskDialog::CloseQuery() {
  if (ModalResult == mrOk && lvTasks.ItemIndex() < 0)
    return !ConfirmDialog(_(L"No task selected - rectify?"));
  return true;
}

bool TSelectSchedTaskDialog::FormHelp() {
  ShowHelp(L"hv-sched.html#tasks");
  return true;
}

std::wstring TSelectSchedTaskDialog::ControlHelpText(TControl& control) {
  struct TPair {
    TEdit* Edit;
    TLabel* Label;
  };
  for (TPair p : {TPair{&edUserAccount, &laUserAccount}, TPair{&edComment, &laComment}, TPair{&edCreator, &laCreator},
                  TPair{&edStatus, &laStatus}, TPair{&edApplication, &laApplication},
                  TPair{&edParameters, &laParameters}, TPair{&edWorkDir, &laWorkDir}})
    if (&control == p.Edit) return p.Edit->Hint.empty() ? p.Label->Text() : p.Edit->Hint;
  return control.Hint;
}

int TSelectSchedTaskDialog::SelectedTask() const {
  int row = lvTasks.ItemIndex();
  return row < 0 ? -1 : static_cast<int>(lvTasks.ItemData(row));
}

int TSelectSchedTaskDialog::LoadTaskList(bool reload) {
  int selected = SelectedTask();
  if (reload) {
    Folder().Refresh();
    selected = -1;
  }
  FRows.clear();
  LastStatus.assign(static_cast<size_t>(Folder().TaskCount()), TWinTaskStatus::tsUnknown);
  for (int i = 0; i < Folder().TaskCount(); ++i) {
    TWinRegisteredTask& t = Folder().Tasks(i);
    try {
      LastStatus[static_cast<size_t>(i)] = t.Status();
      if (t.IndexOfApp(FFilter) < 0) continue;
      TRow r;
      r.Name = t.TaskName();
      r.Index = i;
      r.Status = t.StatusAsString();
      r.Result = t.LastResult();
      r.LastRunTime = t.LastRunTime();
      r.LastRun = t.LastRunTimeAsString();
      if (r.LastRun.empty()) r.LastRun = _(L"Not yet run");
      r.NextRunTime = t.NextRunTime();
      r.NextRun = t.NextRunTimeAsString();
      if (r.NextRun.empty() && t.Definition().TriggerCount() > 0) {
        TWinTaskTriggerType first = t.Definition().Trigger(0).TriggerType();
        if (first == TWinTaskTriggerType::ttEvent) r.NextRun = _(L"on wake up");
        if (first == TWinTaskTriggerType::ttLogon) r.NextRun = _(L"on logon");
      }
      FRows.push_back(std::move(r));
    } catch (const EOleSysError&) {
      // gone meanwhile (deleted outside): not listed
    }
  }
  FillRows();
  int row = 0;
  for (int i = 0; i < lvTasks.Count(); ++i)
    if (lvTasks.ItemData(i) == selected) row = i;
  if (lvTasks.Count() > 0) lvTasks.SetItemIndex(row);
  return lvTasks.Count();
}

void TSelectSchedTaskDialog::FillRows() {
  std::stable_sort(FRows.begin(), FRows.end(), [this](const TRow& a, const TRow& b) {
    int c = 0;
    switch (FSortColumn) {
      case 1: c = CompareText(a.Status, b.Status); break;
      case 2: c = a.LastRunTime < b.LastRunTime ? -1 : a.LastRunTime > b.LastRunTime ? 1 : 0; break;
      case 3: c = a.NextRunTime < b.NextRunTime ? -1 : a.NextRunTime > b.NextRunTime ? 1 : 0; break;
      default: c = CompareText(a.Name, b.Name);
    }
    return FDescending ? c > 0 : c < 0;
  });
  SendMessageW(lvTasks.Handle(), WM_SETREDRAW, FALSE, 0);
  lvTasks.Clear();
  for (const TRow& r : FRows) {
    int row = lvTasks.AddItem(r.Name, r.Index, IsTaskResultOk(r.Result) ? 0 : 1);
    lvTasks.SetItemText(row, 1, r.Status);
    lvTasks.SetItemText(row, 2, r.LastRun);
    lvTasks.SetItemText(row, 3, r.NextRun);
  }
  // sort arrow on the sort column
  HWND header = ListView_GetHeader(lvTasks.Handle());
  for (int i = 0; i < lvTasks.ColumnCount(); ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, i, &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == FSortColumn) item.fmt |= FDescending ? HDF_SORTDOWN : HDF_SORTUP;
    Header_SetItem(header, i, &item);
  }
  SendMessageW(lvTasks.Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(lvTasks.Handle(), nullptr, TRUE);
}

void TSelectSchedTaskDialog::lvTasksColumnClick(int column) {
  if (column == FSortColumn)
    FDescending = !FDescending;
  else {
    FSortColumn = column;
    FDescending = column != 0;  // times newest first
  }
  int selected = SelectedTask();
  FillRows();
  for (int i = 0; i < lvTasks.Count(); ++i)
    if (lvTasks.ItemData(i) == selected) lvTasks.SetItemIndex(i);
}

void TSelectSchedTaskDialog::SetDetailText(TEdit& edit, const std::wstring& text) {
  // shortened like a path to the edit's width; the hint then holds the whole text
  std::wstring shown = text;
  RECT r = edit.BoundsRect();
  int width = r.right - r.left - Scale(8);
  if (width > 0 && !text.empty()) {
    TWindowDCHandle dc(edit.Handle());
    TSelectObject font(dc.Get(), Font());
    std::wstring buf = text;
    buf.resize(std::max<size_t>(buf.size(), MAX_PATH) + 1, L'\0');
    if (PathCompactPathW(dc.Get(), buf.data(), static_cast<UINT>(width))) shown = buf.c_str();
  }
  edit.SetText(shown);
  edit.Hint = shown.size() < text.size() ? text : std::wstring();
}

void TSelectSchedTaskDialog::ShowTaskDetails() {
  int index = SelectedTask();
  if (index < 0 || index >= Folder().TaskCount()) return;
  TWinRegisteredTask& t = Folder().Tasks(index);
  try {
    TWinTask& d = t.Definition();
    gbDetails.SetText(_(L"Properties of task: ") + t.TaskName());
    SetDetailText(edUserAccount, d.UserId());
    SetDetailText(edComment, d.Description());
    SetDetailText(edStatus, d.DateAsString());
    SetDetailText(edCreator, d.Author());
    if (d.IndexOfApp(FFilter) >= 0) {
      TWinTaskAction& a = d.Action(d.SelectedAction);
      SetDetailText(edApplication, a.ApplicationPath());
      SetDetailText(edParameters, a.Arguments());
      SetDetailText(edWorkDir, a.WorkingDirectory());
    }
    TWinTaskStatus status = t.Status();
    UpdateStatusSwitch(status);
    UpdateRunButton(status);
    lbTriggers.Clear();
    int widest = 0;
    {
      TWindowDCHandle dc(lbTriggers.Handle());
      TSelectObject font(dc.Get(), Font());
      for (int i = 0; i < d.TriggerCount(); ++i) {
        std::wstring line = std::to_wstring(i + 1) + L": " + d.Trigger(i).TriggerString();
        lbTriggers.Add(line);
        SIZE sz{};
        GetTextExtentPoint32W(dc.Get(), line.c_str(), static_cast<int>(line.size()), &sz);
        widest = std::max<int>(widest, sz.cx + Scale(6));
      }
    }
    RECT r = lbTriggers.BoundsRect();
    lbTriggers.SetScrollWidth(widest > r.right - r.left ? widest : 0);
  } catch (const EOleSysError&) {
    LoadTaskList(true);
  }
}

void TSelectSchedTaskDialog::UpdateStatusSwitch(TWinTaskStatus status) {
  tsStatus.SetEnabled(status == TWinTaskStatus::tsReady || status == TWinTaskStatus::tsDisabled);
  bool on = status != TWinTaskStatus::tsDisabled;
  tsStatus.SetChecked(on);
  tsStatus.SetText(on ? _(L"Yes") : _(L"No"));
}

void TSelectSchedTaskDialog::UpdateRunButton(TWinTaskStatus status) {
  btbRun.SetEnabled(status != TWinTaskStatus::tsDisabled);
  bool running = status == TWinTaskStatus::tsRunning;
  btbRun.SetText(running ? _(L"Stop task") : _(L"Run task"));
  btbRun.Hint = btbRun.Text();
}

void TSelectSchedTaskDialog::tmUpdateTimer() {
  try {
    if (Folder().TaskCount() != static_cast<int>(LastStatus.size())) {
      LoadTaskList(false);
      return;
    }
    for (int i = 0; i < Folder().TaskCount(); ++i)
      if (Folder().Tasks(i).Status() != LastStatus[static_cast<size_t>(i)]) {
        LoadTaskList(false);
        ShowTaskDetails();
        return;
      }
  } catch (const EOleSysError&) {
    // a task was deleted outside the program: read the folder again
    LoadTaskList(true);
    ShowTaskDetails();
    if (lvTasks.Count() == 0) {
      Changed = true;
      ModalResult = 6;
    }
  }
}

void TSelectSchedTaskDialog::tsStatusClick() {
  int index = SelectedTask();
  if (index < 0) return;
  try {
    TWinRegisteredTask& t = Folder().Tasks(index);
    t.SetEnabled(tsStatus.Checked());
    LoadTaskList(false);
    TWinTaskStatus status = Folder().Tasks(index).Status();
    UpdateStatusSwitch(status);
    UpdateRunButton(status);
  } catch (const EOleSysError& e) {
    ErrorDialog(e.Message());
    LoadTaskList(true);
  }
}

void TSelectSchedTaskDialog::btbRunClick() {
  int index = SelectedTask();
  if (index < 0) return;
  TWinRegisteredTask& t = Folder().Tasks(index);
  std::wstring name = t.TaskName();
  try {
    TWinTaskStatus status = t.Status();
    if (status == TWinTaskStatus::tsReady) {
      if (ConfirmDialog(_(L"Run selected task?"))) {
        try {
          t.Run();
        } catch (const EOleSysError& e) {
          ErrorDialogAt(GetCursorPosition(), _(L"Could not start task: ") + name + L"\r\n" + e.Message(),
                        TDefaultMonitor::dmActiveForm);
        }
      }
    } else if (status == TWinTaskStatus::tsRunning) {
      if (ConfirmDialog(_(L"Stop selected task?"))) {
        try {
          t.Stop();
        } catch (const EOleSysError&) {
        }
      }
    }
    LoadTaskList(false);
    UpdateRunButton(Folder().Tasks(index).Status());
  } catch (const EOleSysError&) {
    LoadTaskList(true);
  }
  ShowTaskDetails();
}

void TSelectSchedTaskDialog::btnDeleteClick() {
  int index = SelectedTask();
  if (index < 0 || !ConfirmDialog(_(L"Delete selected task?"))) return;
  std::wstring name = Folder().Tasks(index).TaskName();
  if (Folder().DeleteTask(name)) {
    Changed = true;
    if (LoadTaskList(true) > 0) {
      lvTasks.SetItemIndex(0);
      ShowTaskDetails();
    } else {
      ModalResult = 6;
    }
  } else {
    ErrorDialog(Folder().ErrorMessage());
  }
}

int TSelectSchedTaskDialog::Execute(std::wstring_view title, TWinTaskScheduler& scheduler, std::wstring_view filter,
                                    int& taskIndex, int& trgIndex) {
  SetCaption(_(L"Select Scheduled Task") + L" (" + std::wstring(title) + L")");
  FWinTask = &scheduler;
  FFilter = filter;
  Changed = false;
  if (!scheduler.TaskFolder()) return 7;
  if (LoadTaskList(true) == 0) return 7;
  lvTasks.SetItemIndex(0);
  ShowTaskDetails();
  int result = ShowModal();
  tmUpdate.SetEnabled(false);
  taskIndex = SelectedTask();
  if (result == mrOk) trgIndex = lbTriggers.Count() == 0 ? -1 : std::max(0, lbTriggers.ItemIndex());
  if (taskIndex < 0 || Changed) result = 6;
  return result;
}

int SelectScheduledTask(std::wstring_view title, TWinTaskScheduler& scheduler, std::wstring_view filter,
                        int& taskIndex, int& trgIndex) {
  TSelectSchedTaskDialog dialog;
  dialog.Create(Application().OwnerWindow());
  return dialog.Execute(title, scheduler, filter, taskIndex, trgIndex);
}

}  // namespace hv
