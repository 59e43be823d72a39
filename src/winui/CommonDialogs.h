#pragma once
// The system's common dialogs: open and save a file, choose a font, find a text, print. Each
// runs through Execute; a test answers it instead of the system through TestAnswer (Wine has no
// printer, and a system dialog cannot be driven reliably), so that the caller's code runs as it
// would after the user's answer.
#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "winui/Handles.h"

namespace hv {

class TCommonDialog {
 public:
  TCommonDialog() = default;
  TCommonDialog(const TCommonDialog&) = delete;
  TCommonDialog& operator=(const TCommonDialog&) = delete;
  virtual ~TCommonDialog() = default;

  // Runs the dialog (owner null: the application's active form); true when the user confirmed.
  bool Execute(HWND owner = nullptr);
  // CommDlgExtendedError of the last run: 0 after OK or Cancel.
  DWORD LastError() const { return FLastError; }

  // When set, Execute asks it instead of showing the system's dialog; a value is the answer
  // (true: confirmed, with what the hook filled into the dialog object). No value: the system's.
  static inline std::function<std::optional<bool>(TCommonDialog&)> TestAnswer;

 protected:
  virtual bool DoExecute(HWND owner) = 0;
  virtual void AfterTestAnswer(bool ok) {}
  DWORD FLastError = 0;
};

// Options of the file dialogs.
constexpr unsigned ofAllowMultiSelect = 1, ofFileMustExist = 2, ofPathMustExist = 4, ofHideReadOnly = 8,
                   ofOverwritePrompt = 16, ofEnableSizing = 32, ofNoChangeDir = 64;

class TOpenDialog : public TCommonDialog {
 public:
  std::wstring Title, InitialDir, DefaultExt;
  // Pairs of description and pattern separated by "|": "Text files|*.txt|All|*.*".
  std::wstring Filter;
  int FilterIndex = 1;  // from 1
  unsigned Options = ofHideReadOnly | ofEnableSizing | ofNoChangeDir;
  // In: the proposed name; out: the chosen file (the first of several).
  std::wstring FileName;
  // Out: every chosen file with its folder.
  std::vector<std::wstring> Files;

 protected:
  bool DoExecute(HWND owner) override;
  void AfterTestAnswer(bool ok) override;
  virtual bool Save() const { return false; }
};

class TSaveDialog : public TOpenDialog {
 public:
  TSaveDialog() { Options |= ofOverwritePrompt; }

 protected:
  bool Save() const override { return true; }
};

// Font styles.
constexpr unsigned fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

class TFontDialog : public TCommonDialog {
 public:
  std::wstring FontName = L"Segoe UI";
  int FontSize = 9;  // points
  unsigned FontStyle = 0;
  bool FixedPitchOnly = false;
  int MinSize = 0, MaxSize = 0;  // 0: no limit

 protected:
  bool DoExecute(HWND owner) override;
};

// Options of the find dialog.
constexpr unsigned frDown = 1, frMatchCase = 2, frWholeWord = 4, frHideUpDown = 8;

// The find dialog stays open while the user works (modeless); each "Find Next" runs OnFind.
class TFindDialog : public TCommonDialog {
 public:
  ~TFindDialog() override;
  std::wstring SearchText;
  unsigned Options = frDown;
  // Top-left corner in screen pixels; by default the system places it.
  std::optional<POINT> Position;
  std::function<void()> OnFind;
  HWND Handle() const { return FWnd; }
  void CloseDialog();

  // For the application's message loop: keys of an open find dialog.
  static bool IsFindDialogMessage(MSG& msg);

 protected:
  bool DoExecute(HWND owner) override;
  void AfterTestAnswer(bool ok) override;

 private:
  static LRESULT CALLBACK OwnerProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static UINT_PTR CALLBACK HookProc(HWND, UINT, WPARAM, LPARAM);
  void TakeResult();
  FINDREPLACEW FData{};
  wchar_t FBuffer[256]{};
  HWND FWnd = nullptr, FOwner = nullptr;
};

// The DEVNAMES block the print dialog starts with (GlobalFree by the caller; null without memory),
// and its device name.
HGLOBAL MakeDevNames(std::wstring_view driver, std::wstring_view device, std::wstring_view port);
std::wstring DevNamesDevice(HGLOBAL devNames);

class TPrintDialog : public TCommonDialog {
 public:
  ~TPrintDialog() override;
  // In: a selection can be printed; out: the user chose to print it.
  bool SelectionEnabled = false;
  bool PrintSelection = false;
  int Copies = 1;
  // In: the printer the dialog starts on (empty or not installed: the system's default);
  // out: the printer chosen.
  std::wstring PrinterName;
  // Out: a device context of the chosen printer, owned by the dialog.
  HDC PrinterDC() const { return FDC; }
  // A test hands in the device context to print on (a metafile, say); owned: deleted with DeleteDC.
  void SetPrinterDC(HDC dc, bool owned);

  // The printer named when it is installed, else the system's default; empty without printers.
  static std::wstring InstalledPrinter(std::wstring_view name);
  // When set, the installed printers (the default first) instead of the system's: Wine has none.
  static inline std::function<std::vector<std::wstring>()> TestPrinters;

 protected:
  bool DoExecute(HWND owner) override;

 private:
  HDC FDC = nullptr;
  TDCHandle FOwnedDC;
};

}  // namespace hv
