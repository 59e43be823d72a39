#include "winui/CommonDialogs.h"

#include <algorithm>
#include <cderr.h>
#include <commctrl.h>
#include <winspool.h>

#include "winui/Dpi.h"
#include "winui/Forms.h"

namespace hv {
namespace {

// "a|b|c|d" -> "a\0b\0c\0d\0\0".
std::wstring FilterList(const std::wstring& filter) {
  if (filter.empty()) return {};
  std::wstring s = filter;
  std::replace(s.begin(), s.end(), L'|', L'\0');
  s.push_back(L'\0');
  s.push_back(L'\0');
  return s;
}

HWND OwnerOrActive(HWND owner) { return owner ? owner : Application().OwnerWindow(); }

std::vector<TFindDialog*>& OpenFindDialogs() {
  static std::vector<TFindDialog*> list;
  return list;
}

constexpr UINT_PTR kFindSubclassId = 0x4846;  // "HF"

}  // namespace

bool TCommonDialog::Execute(HWND owner) {
  FLastError = 0;
  if (TestAnswer)
    if (std::optional<bool> answer = TestAnswer(*this)) {
      AfterTestAnswer(*answer);
      return *answer;
    }
  return DoExecute(OwnerOrActive(owner));
}

// --- TOpenDialog

bool TOpenDialog::DoExecute(HWND owner) {
  std::vector<wchar_t> buffer(Options & ofAllowMultiSelect ? 65536 : 32768, L'\0');
  std::copy_n(FileName.c_str(), std::min(FileName.size(), buffer.size() - 1), buffer.data());
  std::wstring filter = FilterList(Filter);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(std::max(FilterIndex, 1));
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  ofn.Flags = OFN_EXPLORER | ((Options & ofAllowMultiSelect) ? OFN_ALLOWMULTISELECT : 0) |
              ((Options & ofFileMustExist) ? OFN_FILEMUSTEXIST : 0) | ((Options & ofPathMustExist) ? OFN_PATHMUSTEXIST : 0) |
              ((Options & ofHideReadOnly) ? OFN_HIDEREADONLY : 0) | ((Options & ofOverwritePrompt) ? OFN_OVERWRITEPROMPT : 0) |
              ((Options & ofEnableSizing) ? OFN_ENABLESIZING : 0) | ((Options & ofNoChangeDir) ? OFN_NOCHANGEDIR : 0);
  BOOL ok = Save() ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) {
    FLastError = CommDlgExtendedError();
    return false;
  }
  FilterIndex = static_cast<int>(ofn.nFilterIndex);
  Files.clear();
  // Several files: the folder, then the names, each ended by a null character.
  const wchar_t* p = buffer.data();
  std::wstring first = p;
  p += first.size() + 1;
  if ((Options & ofAllowMultiSelect) && *p) {
    std::wstring dir = first;
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    for (; *p; p += wcslen(p) + 1) Files.push_back(dir + p);
  } else {
    Files.push_back(first);
  }
  FileName = Files.front();
  return true;
}

void TOpenDialog::AfterTestAnswer(bool ok) {
  if (!ok) return;
  if (Files.empty() && !FileName.empty()) Files.push_back(FileName);
  if (FileName.empty() && !Files.empty()) FileName = Files.front();
}

// --- TFontDialog

bool TFontDialog::DoExecute(HWND owner) {
  LOGFONTW lf{};
  int dpi = GetDeviceCaps(TWindowDCHandle(nullptr).Get(), LOGPIXELSY);
  lf.lfHeight = -MulDiv(FontSize, dpi, 72);
  lf.lfWeight = (FontStyle & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (FontStyle & fsItalic) ? TRUE : FALSE;
  lf.lfUnderline = (FontStyle & fsUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (FontStyle & fsStrikeOut) ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, FontName.c_str(), LF_FACESIZE);
  CHOOSEFONTW cf{};
  cf.lStructSize = sizeof(cf);
  cf.hwndOwner = owner;
  cf.lpLogFont = &lf;
  cf.Flags = CF_INITTOLOGFONTSTRUCT | CF_SCREENFONTS | (FixedPitchOnly ? CF_FIXEDPITCHONLY : 0) |
             ((MinSize > 0 || MaxSize > 0) ? CF_LIMITSIZE : 0);
  cf.nSizeMin = MinSize;
  cf.nSizeMax = MaxSize > 0 ? MaxSize : 72;
  if (!ChooseFontW(&cf)) {
    FLastError = CommDlgExtendedError();
    return false;
  }
  FontName = lf.lfFaceName;
  FontSize = cf.iPointSize / 10;
  FontStyle = (lf.lfWeight >= FW_BOLD ? fsBold : 0) | (lf.lfItalic ? fsItalic : 0) |
              (lf.lfUnderline ? fsUnderline : 0) | (lf.lfStrikeOut ? fsStrikeOut : 0);
  return true;
}

// --- TFindDialog

TFindDialog::~TFindDialog() { CloseDialog(); }

bool TFindDialog::DoExecute(HWND owner) {
  if (FWnd) {
    SetForegroundWindow(FWnd);
    return true;
  }
  if (!owner) return false;
  lstrcpynW(FBuffer, SearchText.c_str(), static_cast<int>(std::size(FBuffer)));
  FData = {};
  FData.lStructSize = sizeof(FData);
  FData.hwndOwner = owner;
  FData.lpstrFindWhat = FBuffer;
  FData.wFindWhatLen = static_cast<WORD>(std::size(FBuffer));
  FData.Flags = FR_ENABLEHOOK | ((Options & frDown) ? FR_DOWN : 0) | ((Options & frMatchCase) ? FR_MATCHCASE : 0) |
                ((Options & frWholeWord) ? FR_WHOLEWORD : 0) | ((Options & frHideUpDown) ? FR_HIDEUPDOWN : 0);
  FData.lCustData = reinterpret_cast<LPARAM>(this);
  FData.lpfnHook = HookProc;
  FOwner = owner;
  SetWindowSubclass(owner, OwnerProc, kFindSubclassId, reinterpret_cast<DWORD_PTR>(this));
  FWnd = ::FindTextW(&FData);
  if (!FWnd) {
    FLastError = CommDlgExtendedError();
    RemoveWindowSubclass(owner, OwnerProc, kFindSubclassId);
    FOwner = nullptr;
    return false;
  }
  OpenFindDialogs().push_back(this);
  return true;
}

void TFindDialog::AfterTestAnswer(bool ok) {
  if (ok && OnFind) OnFind();
}

void TFindDialog::CloseDialog() {
  std::erase(OpenFindDialogs(), this);
  if (FOwner) {
    RemoveWindowSubclass(FOwner, OwnerProc, kFindSubclassId);
    FOwner = nullptr;
  }
  if (FWnd) {
    HWND wnd = FWnd;
    FWnd = nullptr;
    DestroyWindow(wnd);
  }
}

void TFindDialog::TakeResult() {
  SearchText = FBuffer;
  Options = ((FData.Flags & FR_DOWN) ? frDown : 0) | ((FData.Flags & FR_MATCHCASE) ? frMatchCase : 0) |
            ((FData.Flags & FR_WHOLEWORD) ? frWholeWord : 0) | (Options & frHideUpDown);
}

bool TFindDialog::IsFindDialogMessage(MSG& msg) {
  for (TFindDialog* d : OpenFindDialogs())
    if (d->FWnd && (msg.hwnd == d->FWnd || IsChild(d->FWnd, msg.hwnd)) && ::IsDialogMessageW(d->FWnd, &msg))
      return true;
  return false;
}

UINT_PTR CALLBACK TFindDialog::HookProc(HWND wnd, UINT msg, WPARAM, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<TFindDialog*>(reinterpret_cast<FINDREPLACEW*>(lp)->lCustData);
    if (self->Position)
      SetWindowPos(wnd, nullptr, self->Position->x, self->Position->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
  }
  return FALSE;
}

LRESULT CALLBACK TFindDialog::OwnerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  static const UINT findMsg = RegisterWindowMessageW(FINDMSGSTRINGW);
  auto* self = reinterpret_cast<TFindDialog*>(ref);
  if (msg == findMsg && reinterpret_cast<FINDREPLACEW*>(lp) == &self->FData) {
    if (self->FData.Flags & FR_DIALOGTERM) {
      self->FWnd = nullptr;  // the dialog destroys itself
      self->CloseDialog();
    } else if (self->FData.Flags & FR_FINDNEXT) {
      self->TakeResult();
      try {
        if (self->OnFind) self->OnFind();
      } catch (...) {
        Application().HandleException();
      }
    }
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    self->CloseDialog();
  }
  return DefSubclassProc(wnd, msg, wp, lp);
}

// --- TPrintDialog

TPrintDialog::~TPrintDialog() { SetPrinterDC(nullptr, false); }

void TPrintDialog::SetPrinterDC(HDC dc, bool owned) {
  FOwnedDC.Reset(owned ? dc : nullptr);
  FDC = dc;
}

HGLOBAL MakeDevNames(std::wstring_view driver, std::wstring_view device, std::wstring_view port) {
  const size_t chars = driver.size() + device.size() + port.size() + 3;
  const size_t head = (sizeof(DEVNAMES) + sizeof(wchar_t) - 1) / sizeof(wchar_t);
  if (head + chars > 0xFFFF) return nullptr;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (head + chars) * sizeof(wchar_t));
  if (!mem) return nullptr;
  auto* names = static_cast<DEVNAMES*>(GlobalLock(mem));
  auto* text = reinterpret_cast<wchar_t*>(names);
  size_t at = head;
  auto put = [&](std::wstring_view s) {
    const auto offset = static_cast<WORD>(at);
    std::copy(s.begin(), s.end(), text + at);
    at += s.size() + 1;
    return offset;
  };
  names->wDriverOffset = put(driver);
  names->wDeviceOffset = put(device);
  names->wOutputOffset = put(port);
  GlobalUnlock(mem);
  return mem;
}

std::wstring DevNamesDevice(HGLOBAL devNames) {
  std::wstring name;
  if (auto* names = devNames ? static_cast<DEVNAMES*>(GlobalLock(devNames)) : nullptr) {
    name = reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset;
    GlobalUnlock(devNames);
  }
  return name;
}

std::wstring TPrintDialog::InstalledPrinter(std::wstring_view name) {
  const auto same = [&](const std::wstring& p) {
    return CompareStringOrdinal(p.c_str(), static_cast<int>(p.size()), name.data(), static_cast<int>(name.size()),
                                TRUE) == CSTR_EQUAL;
  };
  if (TestPrinters) {
    const std::vector<std::wstring> printers = TestPrinters();
    if (!name.empty() && std::any_of(printers.begin(), printers.end(), same)) return std::wstring(name);
    return printers.empty() ? std::wstring() : printers.front();
  }
  std::wstring wanted(name);
  HANDLE h = nullptr;
  if (!wanted.empty() && OpenPrinterW(wanted.data(), &h, nullptr)) {
    ClosePrinter(h);
    return wanted;
  }
  wchar_t buf[512];
  DWORD size = static_cast<DWORD>(std::size(buf));
  return GetDefaultPrinterW(buf, &size) ? buf : L"";
}

namespace {

// The port of an installed printer; empty when it cannot be read.
std::wstring PrinterPort(std::wstring name) {
  HANDLE h = nullptr;
  if (name.empty() || !OpenPrinterW(name.data(), &h, nullptr)) return {};
  std::wstring port;
  DWORD needed = 0;
  GetPrinterW(h, 2, nullptr, 0, &needed);
  if (needed > 0) {
    std::vector<BYTE> buf(needed);
    if (GetPrinterW(h, 2, buf.data(), needed, &needed)) {
      const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buf.data());
      if (info->pPortName) port = info->pPortName;
    }
  }
  ClosePrinter(h);
  return port;
}

}  // namespace

bool TPrintDialog::DoExecute(HWND owner) {
  SetPrinterDC(nullptr, false);
  PRINTDLGW pd{};
  pd.lStructSize = sizeof(pd);
  pd.hwndOwner = owner;
  pd.Flags = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | (SelectionEnabled ? 0 : PD_NOSELECTION) | PD_NOPAGENUMS;
  pd.nCopies = static_cast<WORD>(std::max(Copies, 1));
  if (!PrinterName.empty()) pd.hDevNames = MakeDevNames(L"winspool", PrinterName, PrinterPort(PrinterName));
  BOOL ok = PrintDlgW(&pd);
  if (!ok) FLastError = CommDlgExtendedError();
  if (!ok && FLastError == PDERR_PRINTERNOTFOUND && pd.hDevNames) {
    // The printer went away: the system's default instead.
    GlobalFree(pd.hDevNames);
    pd.hDevNames = nullptr;
    FLastError = 0;
    ok = PrintDlgW(&pd);
    if (!ok) FLastError = CommDlgExtendedError();
  }
  if (ok) {
    SetPrinterDC(pd.hDC, true);
    PrintSelection = (pd.Flags & PD_SELECTION) != 0;
    Copies = pd.nCopies;
    if (pd.hDevNames) PrinterName = DevNamesDevice(pd.hDevNames);
  }
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
  return ok != FALSE;
}

}  // namespace hv
