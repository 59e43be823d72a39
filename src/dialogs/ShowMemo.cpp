#include "dialogs/ShowMemo.h"

#include <winspool.h>

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "dialogs/PrintText.h"
#include "winui/Handles.h"
#include "winui/Translate.h"

namespace hv {
namespace {

constexpr wchar_t kDomain[] = L"dialogs";
constexpr wchar_t kViewSection[] = L"View";
constexpr int kTopHeight96 = 46;
constexpr int kButtonTop96 = 5, kButtonHeight96 = 36;
constexpr int kWideButton96 = 101, kIconButton96 = 36, kCloseWidth96 = 90;

std::wstring T(std::wstring_view msgid) { return DGetText(kDomain, msgid); }

bool FileExists(const std::wstring& name) {
  const DWORD a = GetFileAttributesW(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring DecodeUtf16(std::string_view b, bool bigEndian) {
  std::wstring s;
  s.reserve(b.size() / 2 + 1);
  for (size_t i = 0; i + 1 < b.size(); i += 2) {
    const auto lo = static_cast<unsigned char>(b[bigEndian ? i + 1 : i]);
    const auto hi = static_cast<unsigned char>(b[bigEndian ? i : i + 1]);
    s += static_cast<wchar_t>(lo | (hi << 8));
  }
  return s;
}

bool Decode(std::string_view b, UINT cp, std::wstring& out) {
  if (cp == 1200 || cp == 1201) {
    out = DecodeUtf16(b, cp == 1201);
    return true;
  }
  out.clear();
  if (b.empty()) return IsValidCodePage(cp) != FALSE;
  const int n = MultiByteToWideChar(cp, 0, b.data(), static_cast<int>(b.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(cp, 0, b.data(), static_cast<int>(b.size()), out.data(), n);
  return true;
}

bool StartsWith(std::string_view b, std::string_view mark) { return b.substr(0, mark.size()) == mark; }

bool IsWordChar(wchar_t c) { return c == L'_' || IsCharAlphaNumericW(c); }

std::wstring Lower(std::wstring_view s) {
  std::wstring r(s);
  if (!r.empty()) CharLowerBuffW(r.data(), static_cast<DWORD>(r.size()));
  return r;
}

// The viewer's INI file.
std::wstring& ViewerIniName() {
  static std::wstring name;
  return name;
}

}  // namespace

std::wstring DecodeTextBytes(std::string_view bytes, UINT codePage, TTextEncoding& encoding, bool& failed) {
  static constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF", kLeBom = "\xFF\xFE", kBeBom = "\xFE\xFF";
  failed = false;
  UINT cp = codePage;
  if (cp == 0) {
    if (StartsWith(bytes, kUtf8Bom))
      cp = CP_UTF8;
    else if (StartsWith(bytes, kLeBom))
      cp = 1200;
    else if (StartsWith(bytes, kBeBom))
      cp = 1201;
    else
      cp = GetACP();
  }
  std::string_view mark = cp == CP_UTF8 ? kUtf8Bom : cp == 1200 ? kLeBom : cp == 1201 ? kBeBom : std::string_view{};
  encoding = {cp, !mark.empty() && StartsWith(bytes, mark)};
  if (encoding.Bom) bytes.remove_prefix(mark.size());
  std::wstring text;
  if (!Decode(bytes, cp, text)) {
    failed = true;
    encoding = {GetACP(), false};
    Decode(bytes, encoding.CodePage, text);
  }
  std::erase(text, L'\0');
  return text;
}

std::string EncodeTextBytes(std::wstring_view text, const TTextEncoding& encoding) {
  std::string out;
  const UINT cp = encoding.CodePage ? encoding.CodePage : GetACP();
  if (cp == 1200 || cp == 1201) {
    const bool be = cp == 1201;
    if (encoding.Bom) out = be ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : text) {
      const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>((c >> 8) & 0xFF);
      out += be ? hi : lo;
      out += be ? lo : hi;
    }
    return out;
  }
  if (encoding.Bom && cp == CP_UTF8) out = "\xEF\xBB\xBF";
  if (text.empty()) return out;
  const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) throw EOSError(L"WideCharToMultiByte", GetLastError());
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(n));
  WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data() + start, n, nullptr, nullptr);
  return out;
}

size_t FindInText(std::wstring_view text, std::wstring_view what, size_t from, bool down, bool matchCase,
                  bool wholeWord) {
  if (what.empty() || text.empty() || what.size() > text.size()) return std::wstring::npos;
  std::wstring lt, lw;
  if (!matchCase) {
    lt = Lower(text);
    lw = Lower(what);
    text = lt;
    what = lw;
  }
  auto whole = [&](size_t pos) {
    if (!wholeWord) return true;
    if (pos > 0 && IsWordChar(text[pos - 1])) return false;
    const size_t end = pos + what.size();
    return end >= text.size() || !IsWordChar(text[end]);
  };
  from = std::min(from, text.size());
  if (down) {
    for (size_t pos = text.find(what, from); pos != std::wstring::npos; pos = text.find(what, pos + 1))
      if (whole(pos)) return pos;
    return std::wstring::npos;
  }
  if (from < what.size()) return std::wstring::npos;
  for (size_t pos = text.rfind(what, from - what.size());; --pos) {
    if (pos == std::wstring::npos) return pos;
    if (whole(pos)) return pos;
    if (pos == 0) return std::wstring::npos;
    pos = text.rfind(what, pos - 1);
    if (pos == std::wstring::npos) return pos;
    ++pos;
  }
}

TShowTextDialog::TShowTextDialog() {
  TextDomain = kDomain;
  KeyPreview = true;
  Position = TPosition::poMainFormCenter;
  ClientWidth96 = 760;
  ClientHeight96 = 500;
  FontDialog.FixedPitchOnly = true;
  FontDialog.MinSize = 6;
  FontDialog.MaxSize = 24;
  OpenDialog.Options |= ofFileMustExist | ofPathMustExist;
}

TShowTextDialog::~TShowTextDialog() {
  try {
    SaveViewSettings();
  } catch (...) {
    Application().HandleException();
  }
}

void TShowTextDialog::FormCreate() {
  SetCaption(L"Text viewer");
  pnTop.Create(*this, {0, 0, ClientWidth96, kTopHeight96});
  const HWND p = pnTop.Handle();
  auto make = [&](TButton& b, std::wstring_view caption, int width, std::wstring_view hint, bool translate) {
    b.Create(*this, caption, {0, kButtonTop96, width, kButtonHeight96}, p);
    b.Hint = hint;
    b.TranslateText = translate;
  };
  make(OpenBtn, L"&Open", kWideButton96, L"", true);
  make(UpdateBtn, L"\u21BB", kIconButton96, L"Update", false);
  make(FontBtn, L"Aa", kIconButton96, L"Select font", false);
  make(EncBtn, L"CP", kIconButton96, L"Select codepage", false);
  make(PrintBtn, L"&Print", kWideButton96, L"", true);
  make(DeleteBtn, L"&Delete", kWideButton96, L"", true);
  make(SearchBtn, L"&Search", kWideButton96, L"", true);
  make(PrevSectBtn, L"\u25B2", kIconButton96, L"Go to previous section", false);
  make(NextSectBtn, L"\u25BC", kIconButton96, L"Go to next section", false);
  make(PrevErrBtn, L"!\u25B2", kIconButton96, L"Go to previous error", false);
  make(NextErrBtn, L"!\u25BC", kIconButton96, L"Go to next error", false);
  make(EndeBtn, L"Close", kCloseWidth96, L"", true);
  EndeBtn.Cancel = true;
  Memo.ReadOnly = true;
  Memo.Create(*this, {0, kTopHeight96, ClientWidth96, ClientHeight96 - kTopHeight96 - TStatusBar::kHeight96});
  SetWindowLongPtrW(Memo.Handle(), GWL_STYLE,
                    GetWindowLongPtrW(Memo.Handle(), GWL_STYLE) | WS_HSCROLL | WS_VSCROLL | ES_NOHIDESEL);
  Memo.TranslateText = false;
  ApplyMemoFont();
  StatusBar.Create(*this);
  StatusBar.SetPanels({200, -1});

  OpenBtn.OnClick = [this] { OpenBtnClick(); };
  UpdateBtn.OnClick = [this] { LoadText(); };
  FontBtn.OnClick = [this] { FontBtnClick(); };
  EncBtn.OnClick = [this] { ShowCodePageList(); };
  PrintBtn.OnClick = [this] { PrintBtnClick(); };
  DeleteBtn.OnClick = [this] { DeleteBtnClick(); };
  SearchBtn.OnClick = [this] {
    const RECT r = SearchBtn.BoundsRect();
    POINT pt{r.right, r.top};
    ClientToScreen(pnTop.Handle(), &pt);
    FindDialog.Position = pt;
    FindDialog.Execute(Handle());
  };
  PrevSectBtn.OnClick = [this] { NextSection(false); };
  NextSectBtn.OnClick = [this] { NextSection(true); };
  PrevErrBtn.OnClick = [this] { NextError(false); };
  NextErrBtn.OnClick = [this] { NextError(true); };
  EndeBtn.OnClick = [this] {
    if (!Modal()) Close();
  };
  EndeBtn.ModalResult = mrCancel;
  FindDialog.OnFind = [this] { FindNext(false); };
  Memo.OnKeyUp = [this](WORD key) {
    if (key == VK_DELETE && Memo.SelLength() > 0 &&
        ConfirmDialogAt(ConfirmPos(), T(L"Delete selected text?"), TMsgDlgBtn::mbYes, TDefaultMonitor::dmActiveForm))
      DeleteSelection();
    UpdateStatus();
  };
  Memo.OnMouseDown = [this] { UpdateStatus(); };
}

void TShowTextDialog::ApplyMemoFont() {
  if (Memo.Handle())
    Memo.SetFont(MemoFontName, MemoFontSize, (MemoFontStyle & fsBold) != 0, (MemoFontStyle & fsItalic) != 0);
}

void TShowTextDialog::Relayout(UINT dpi) {
  TForm::Relayout(dpi);
  const SIZE cs = ClientSize();
  OnSize(cs.cx, cs.cy);
}

void TShowTextDialog::OnSize(int width, int height) {
  if (!Memo.Handle()) return;
  const int top = Scale(kTopHeight96);
  pnTop.SetBounds(0, 0, width, top);
  const RECT r = EndeBtn.BoundsRect();
  EndeBtn.SetBounds(width - Scale(kCloseWidth96) - Scale(4), r.top, Scale(kCloseWidth96), r.bottom - r.top);
  StatusBar.Realign();
  const RECT sb = StatusBar.BoundsRect();
  Memo.SetBounds(0, top, width, std::max<int>(sb.top - top, 0));
}

void TShowTextDialog::ArrangeButtons(TShowDlgButtons buttons) {
  int x96 = 2;
  auto place = [&](TButton& b, bool on) {
    b.SetVisible(on);
    if (!on) return;
    b.Bounds96.Left = x96;
    b.SetBounds(Scale(x96), Scale(b.Bounds96.Top), Scale(b.Bounds96.Width), Scale(b.Bounds96.Height));
    x96 += b.Bounds96.Width - 1;
  };
  auto has = [&](TShowDlgBtn b) { return (buttons & Btn(b)) != 0; };
  place(OpenBtn, has(TShowDlgBtn::sbOpen));
  place(UpdateBtn, has(TShowDlgBtn::sbOpen));
  place(FontBtn, has(TShowDlgBtn::sbFont));
  place(EncBtn, has(TShowDlgBtn::sbCodepage));
  place(PrintBtn, has(TShowDlgBtn::sbPrint));
  place(DeleteBtn, has(TShowDlgBtn::sbErase));
  place(SearchBtn, has(TShowDlgBtn::sbSearch));
  place(PrevSectBtn, has(TShowDlgBtn::sbSection));
  place(NextSectBtn, has(TShowDlgBtn::sbSection));
  place(PrevErrBtn, has(TShowDlgBtn::sbError));
  place(NextErrBtn, has(TShowDlgBtn::sbError));
}

bool TShowTextDialog::Execute(std::wstring_view title, std::wstring_view textDatei, std::wstring_view prevCap1,
                              std::wstring_view nextCap1, std::wstring_view srchText1, std::wstring_view prevCap2,
                              std::wstring_view nextCap2, std::wstring_view srchText2, std::wstring_view filter,
                              TPoint aPos, int line, TShowDlgType dlgType, TShowDlgButtons buttons,
                              const TPrinterSettings& prtSettings, int codePage) {
  const std::wstring file(textDatei);
  if (Visible()) {
    if (FileExists(file)) {
      LoadText(file);
      SetFileCaption();
    }
    SetForegroundWindow(Handle());
    return true;
  }
  PrinterSettings = prtSettings;
  if (!FPosFromIni) PlaceForm(*this, aPos);
  FTitle = title;
  FFilter = filter;
  FLPos = line;
  ArrangeButtons(buttons);
  PrevSectBtn.Hint = prevCap1;
  NextSectBtn.Hint = nextCap1;
  FSectText = srchText1;
  PrevErrBtn.Hint = prevCap2;
  NextErrBtn.Hint = nextCap2;
  FErrText = srchText2;
  if ((buttons & Btn(TShowDlgBtn::sbCodepage)) && FCodePageList.empty())
    GetCodePageList(FCodePageList, T(L"Automatic"));
  if (FCodePage == 0) FCodePage = codePage;
  FDlgType = dlgType;
  if (!FileExists(file)) {
    ErrorDialog(T(L"File: ") + SafeFormat(T(L"\"%s\" not found!"), file));
    return false;
  }
  FTextName = file;
  SetFileCaption();
  if (dlgType == TShowDlgType::stModal)
    ShowModal();
  else
    Show();
  return true;
}

void TShowTextDialog::SetFileCaption() { SetCaption(FTitle + L" [" + FTextName + L"]"); }

void TShowTextDialog::FormShow() {
  SelectPrinter();
  PrintBtn.SetEnabled(!PrinterSettings.PrtName.empty());
  if (FLWidth > 0) SetBounds(Left(), Top(), FLWidth, Height());
  FitFormToWorkArea(*this);
  LoadText();
  SetForegroundWindow(Handle());
  Memo.SetFocus();
}

void TShowTextDialog::FormClose() { FLWidth = Width(); }

void TShowTextDialog::SelectPrinter() { PrinterSettings.PrtName = TPrintDialog::InstalledPrinter(PrinterSettings.PrtName); }

LRESULT TShowTextDialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ACTIVATE && LOWORD(wp) != WA_INACTIVE && Memo.Handle()) {
    const LRESULT r = TForm::WndProc(msg, wp, lp);
    Memo.SetFocus();
    return r;
  }
  if (msg == WM_PAINT) {
    const LRESULT r = TForm::WndProc(msg, wp, lp);
    UpdateStatus();
    return r;
  }
  return TForm::WndProc(msg, wp, lp);
}

bool TShowTextDialog::LoadTextFile(std::wstring_view name) {
  if (!name.empty()) FTextName = name;
  if (!FileExists(FTextName)) return false;
  TFileHandle f(CreateFileW(FTextName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(f.Get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!bytes.empty() && (!ReadFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
                         got != bytes.size()))
    return false;
  bool failed = false;
  std::wstring text = DecodeTextBytes(bytes, static_cast<UINT>(std::max(FCodePage, 0)), FEncoding, failed);
  if (failed) {
    const RECT r = EncBtn.BoundsRect();
    POINT pt{r.right, r.bottom};
    ClientToScreen(pnTop.Handle(), &pt);
    ErrorDialogAt({pt.x, pt.y}, T(L"Invalid code page - Windows default is used!"), TDefaultMonitor::dmActiveForm);
    FCodePage = static_cast<int>(GetACP());
  }
  // The edit control breaks lines at CR LF only.
  FLfOnly = text.find(L'\n') != std::wstring::npos && text.find(L"\r\n") == std::wstring::npos;
  std::wstring shown;
  shown.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) shown += L'\r';
    shown += text[i];
  }
  SendMessageW(Memo.Handle(), WM_SETREDRAW, FALSE, 0);
  Memo.SetText(shown);
  SendMessageW(Memo.Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Memo.Handle(), nullptr, TRUE);
  return true;
}

void TShowTextDialog::LoadText(std::wstring_view name) {
  if (LoadTextFile(name)) {
    const int n = TextLineCount();
    int l = n;
    if (FLPos > 0 && FLPos < n) {
      l = FLPos - 1;
      Memo.SetSel(Memo.LineIndex(l), 0);
      Memo.ScrollToLine(l);
    } else {
      const int last = std::max(Memo.LineCount() - 1, 0);
      Memo.ScrollToLine(last);
      Memo.SetSel(l < Memo.LineCount() ? Memo.LineIndex(l) : GetWindowTextLengthW(Memo.Handle()), 0);
    }
    Memo.ScrollCaret();
    StatusBar.SetPanelText(0, SafeFormat(T(L" Line: %u of %u"), static_cast<unsigned>(l + 1),
                                         static_cast<unsigned>(n + 1)));
    FindDialog.Options &= ~frDown;
  } else {
    Memo.SetText(L"*** " + SafeFormat(T(L"Error loading file: \"%s\""), name.empty() ? FTextName : std::wstring(name)));
  }
}

void TShowTextDialog::ReloadText() {
  if (Visible()) LoadText();
}

int TShowTextDialog::TextLineCount() const {
  int n = Memo.LineCount();
  const int len = GetWindowTextLengthW(Memo.Handle());
  if (len == 0 || Memo.LineIndex(n - 1) == len) --n;
  return std::max(n, 0);
}

void TShowTextDialog::UpdateStatus() {
  if (!StatusBar.Handle()) return;
  const std::wstring s = SafeFormat(T(L" Line: %u of %u"), static_cast<unsigned>(Memo.CaretLine() + 1),
                                    static_cast<unsigned>(TextLineCount() + 1));
  if (StatusBar.PanelText(0) != s) StatusBar.SetPanelText(0, s);
}

bool TShowTextDialog::SearchMemo(bool scroll, std::wstring_view text, unsigned options, bool reverse) {
  const std::wstring all = Memo.Text();
  if (text.empty() || all.empty()) return false;
  const bool down = ((options & frDown) != 0) != reverse;
  const size_t from = static_cast<size_t>(Memo.SelStart()) + (down ? static_cast<size_t>(Memo.SelLength()) : 0);
  const size_t pos = FindInText(all, text, from, down, (options & frMatchCase) != 0, (options & frWholeWord) != 0);
  if (pos == std::wstring::npos) return false;
  Memo.SetSel(static_cast<int>(pos), static_cast<int>(text.size()));
  Memo.ScrollCaret();
  if (scroll && Memo.FirstVisibleLine() < Memo.LineFromChar(static_cast<int>(pos)))
    SendMessageW(Memo.Handle(), EM_LINESCROLL, 0, 2);
  UpdateStatus();
  return true;
}

void TShowTextDialog::FindNext(bool reverse) {
  if (FindDialog.SearchText.empty()) return;
  if (!SearchMemo(false, FindDialog.SearchText, FindDialog.Options, reverse))
    ErrorDialog(SafeFormat(T(L"\"%s\" not found!"), FindDialog.SearchText));
}

void TShowTextDialog::NextSection(bool down) { Jump(FSectText, down, T(L"No further sections!"), true); }

void TShowTextDialog::NextError(bool down) { Jump(FErrText, down, T(L"No further errors!"), false); }

void TShowTextDialog::Jump(const std::wstring& text, bool down, const std::wstring& noneText, bool showEnd) {
  FindDialog.SearchText = text;
  FindDialog.Options = down ? (FindDialog.Options | frDown) : (FindDialog.Options & ~frDown);
  if (SearchMemo(down, text, FindDialog.Options, false)) {
    StatusBar.SetPanelText(1, L"");
    return;
  }
  Memo.SetSel(down ? GetWindowTextLengthW(Memo.Handle()) : 0, 0);
  if (!down || showEnd) Memo.ScrollCaret();
  StatusBar.SetPanelText(1, noneText);
  UpdateStatus();
}

bool TShowTextDialog::FormKeyDown(WORD key, bool shift, bool ctrl, bool alt) {
  if (ctrl && !alt && key == 'F' && SearchBtn.Visible()) {
    SearchBtn.Click();
    return true;
  }
  if (key == VK_F3 && !ctrl && !alt) {
    FindNext(shift);
    return true;
  }
  if (key == VK_ESCAPE && !ctrl && !alt && !shift) {
    if (Modal())
      ModalResult = mrCancel;
    else
      Close();
    return true;
  }
  return TForm::FormKeyDown(key, shift, ctrl, alt);
}

TPoint TShowTextDialog::ConfirmPos() const { return {Left() + Scale(200), Top() + Scale(100)}; }

bool TShowTextDialog::SaveText(const std::wstring& text) {
  std::wstring out = text;
  if (FLfOnly) {
    std::wstring s;
    s.reserve(out.size());
    for (size_t i = 0; i < out.size(); ++i)
      if (!(out[i] == L'\r' && i + 1 < out.size() && out[i + 1] == L'\n')) s += out[i];
    out = std::move(s);
  }
  const std::string bytes = EncodeTextBytes(out, FEncoding);
  const std::wstring tmp = FTextName + L".~tmp";
  {
    TFileHandle f(CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!f) throw EOSError(L"CreateFile", GetLastError(), tmp);
    DWORD written = 0;
    if (!bytes.empty() && (!WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                           written != bytes.size())) {
      const DWORD e = GetLastError();
      f.Close();
      DeleteFileW(tmp.c_str());
      throw EOSError(L"WriteFile", e, FTextName);
    }
    if (const uint32_t e = f.Close()) {
      DeleteFileW(tmp.c_str());
      throw EOSError(L"CloseHandle", e, FTextName);
    }
  }
  if (!MoveFileExW(tmp.c_str(), FTextName.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD e = GetLastError();
    DeleteFileW(tmp.c_str());
    throw EOSError(L"MoveFileEx", e, FTextName);
  }
  return true;
}

bool TShowTextDialog::DeleteSelection() {
  const int start = Memo.SelStart(), len = Memo.SelLength();
  if (len <= 0) return false;
  std::wstring text = Memo.Text();
  text.erase(static_cast<size_t>(start), static_cast<size_t>(len));
  try {
    SaveText(text);
  } catch (const std::exception&) {
    Application().HandleException();
    return false;
  }
  Memo.SetText(text);
  Memo.SetSel(start, 0);
  Memo.ScrollCaret();
  UpdateStatus();
  return true;
}

void TShowTextDialog::DeleteBtnClick() {
  if (Memo.SelLength() > 0) {
    if (ConfirmDialogAt(ConfirmPos(), T(L"Delete selected text?"), TMsgDlgBtn::mbYes, TDefaultMonitor::dmActiveForm))
      DeleteSelection();
    return;
  }
  if (ConfirmDialogAt(ConfirmPos(), SafeFormat(T(L"Delete file \"%s\"?"), FTextName), TMsgDlgBtn::mbYes,
                      TDefaultMonitor::dmActiveForm)) {
    if (DeleteFileW(FTextName.c_str()))
      Memo.SetText(L"");
    else
      ErrorDialog(SystemErrorText(GetLastError()));
  }
  if (Modal()) ModalResult = mrCancel;
}

void TShowTextDialog::OpenBtnClick() {
  OpenDialog.InitialDir = FTextName.empty() ? L"" : ExtractFilePath(FTextName);
  OpenDialog.Title = FTitle;
  OpenDialog.Filter = FFilter;
  OpenDialog.FileName.clear();
  if (!OpenDialog.Execute(Handle())) return;
  if (LoadTextFile(OpenDialog.FileName)) {
    FLPos = 1;
    SetFileCaption();
    UpdateStatus();
  }
}

void TShowTextDialog::FontBtnClick() {
  FontDialog.FontName = MemoFontName;
  FontDialog.FontSize = MemoFontSize;
  FontDialog.FontStyle = MemoFontStyle;
  if (!FontDialog.Execute(Handle())) return;
  MemoFontName = FontDialog.FontName;
  MemoFontSize = FontDialog.FontSize;
  MemoFontStyle = FontDialog.FontStyle;
  ApplyMemoFont();
}

void TShowTextDialog::ShowCodePageList() {
  if (!FListSelectDialog) {
    FListSelectDialog = std::make_unique<TListSelectDialog>();
    FListSelectDialog->Create(Handle());
    FListSelectDialog->SetSorted(false);
    FListSelectDialog->OnSelect = [this](int number) { ChooseCodePage(number); };
  }
  TListSelectDialog& l = *FListSelectDialog;
  l.SetMinWidth(ClientSize().cx / 4);
  l.Clear();
  int marked = -1;
  for (size_t i = 0; i < FCodePageList.size(); ++i) {
    l.AddItem(FCodePageList[i].first, static_cast<int>(i));
    if (marked < 0 && static_cast<int>(FCodePageList[i].second) == FCodePage) marked = static_cast<int>(i);
  }
  if (marked >= 0) l.lbSelect.SetItemIndex(marked);
  const RECT r = EncBtn.BoundsRect();
  POINT pt{r.left, r.bottom + Scale(2)};
  ClientToScreen(pnTop.Handle(), &pt);
  const RECT m = Memo.BoundsRect();
  l.ShowList({pt.x, pt.y}, m.bottom - m.top);
}

void TShowTextDialog::ChooseCodePage(int number) {
  if (number < 0 || number >= static_cast<int>(FCodePageList.size())) return;
  FCodePage = static_cast<int>(FCodePageList[static_cast<size_t>(number)].second);
  LoadText();
}

std::vector<std::wstring> TShowTextDialog::PrintLines(bool selectedOnly) const {
  int first = 0, last = Memo.LineCount() - 1;
  if (selectedOnly && Memo.SelLength() > 0) {
    first = Memo.LineFromChar(Memo.SelStart());
    last = Memo.LineFromChar(Memo.SelStart() + Memo.SelLength() - 1);
  }
  std::vector<std::wstring> lines;
  for (int i = first; i <= last; ++i) lines.push_back(Memo.Line(i));
  if (!selectedOnly && !lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

void TShowTextDialog::PrintBtnClick() {
  bool selected = false;
  if (Memo.SelLength() > 0)
    selected = ConfirmDialogAt(ConfirmPos(), T(L"Print selected lines?"), TMsgDlgBtn::mbYes,
                               TDefaultMonitor::dmActiveForm);
  PrintText(selected);
  Memo.SetFocus();
}

void TShowTextDialog::PrintText(bool selectedOnly) {
  PrintDialog.PrinterName = PrinterSettings.PrtName;
  if (!PrintDialog.Execute(Handle()) || !PrintDialog.PrinterDC()) return;
  HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  try {
    HDC dc = PrintDialog.PrinterDC();
    if (!PrintDialog.PrinterName.empty()) {
      // The orientation of the settings over the dialog's.
      HANDLE h = nullptr;
      std::wstring name = PrintDialog.PrinterName;
      if (OpenPrinterW(name.data(), &h, nullptr)) {
        const LONG size = DocumentPropertiesW(Handle(), h, name.data(), nullptr, nullptr, 0);
        if (size > 0) {
          std::vector<BYTE> buf(static_cast<size_t>(size));
          auto* dm = reinterpret_cast<DEVMODEW*>(buf.data());
          if (DocumentPropertiesW(Handle(), h, name.data(), dm, nullptr, DM_OUT_BUFFER) == IDOK) {
            dm->dmFields |= DM_ORIENTATION;
            dm->dmOrientation = PrinterSettings.Orientation == TPrinterOrientation::poLandscape ? DMORIENT_LANDSCAPE
                                                                                                 : DMORIENT_PORTRAIT;
            ResetDCW(dc, dm);
          }
        }
        ClosePrinter(h);
      }
    }
    PrintTextLines(dc, Caption(), PrintLines(selectedOnly), FTitle, FTextName, PrinterSettings);
  } catch (const std::exception&) {
    SetCursor(old);
    Application().HandleException();
    return;
  }
  SetCursor(old);
}

void TShowTextDialog::LoadViewSettings(std::wstring_view aIniName) {
  const std::wstring name(aIniName);
  if (name.empty() || !FileExists(name)) return;
  FIniName = name;
  FPosFromIni = true;
  TMemIniFile ini(name);
  const RECT r = BoundsRect();
  const int top = ini.ReadInteger(kViewSection, L"Top", r.top), left = ini.ReadInteger(kViewSection, L"Left", r.left);
  const int height = ini.ReadInteger(kViewSection, L"Height", r.bottom - r.top);
  const int width = ini.ReadInteger(kViewSection, L"Width", r.right - r.left);
  SetBounds(left, top, width, height);
  FLWidth = width;
  MemoFontName = ini.ReadString(kViewSection, L"FontName", MemoFontName);
  MemoFontSize = ini.ReadInteger(kViewSection, L"FontSize", MemoFontSize);
  MemoFontStyle = static_cast<uint8_t>(ini.ReadInteger(kViewSection, L"FontStyle", 0));
  ApplyMemoFont();
}

void TShowTextDialog::SaveViewSettings() {
  if (FIniName.empty() || !FileExists(FIniName) || !Handle()) return;
  TMemIniFile ini(FIniName);
  const RECT r = BoundsRect();
  ini.WriteInteger(kViewSection, L"Top", r.top);
  ini.WriteInteger(kViewSection, L"Left", r.left);
  ini.WriteInteger(kViewSection, L"Height", r.bottom - r.top);
  ini.WriteInteger(kViewSection, L"Width", r.right - r.left);
  ini.WriteString(kViewSection, L"FontName", MemoFontName);
  ini.WriteInteger(kViewSection, L"FontSize", MemoFontSize);
  ini.WriteInteger(kViewSection, L"FontStyle", static_cast<int32_t>(MemoFontStyle & 0xFF));
  ini.UpdateFile();
}

TPrinterSettings LoadPrinterSettings(std::wstring_view iniName, std::wstring_view section) {
  ViewerIniName() = iniName;
  TPrinterSettings s;
  if (iniName.empty() || section.empty()) return s;
  TMemIniFile ini(iniName);
  s.PrtName = ini.ReadString(section, L"Printer", L"");
  s.Margins.Top = ini.ReadInteger(section, L"TopMargin", 150);
  s.Margins.Bottom = ini.ReadInteger(section, L"BottomMargin", 150);
  s.Margins.Left = ini.ReadInteger(section, L"LeftMargin", 200);
  s.Margins.Right = ini.ReadInteger(section, L"RightMargin", 100);
  s.FontName = ini.ReadString(section, L"FontName", L"Courier New");
  s.FontSize = ini.ReadInteger(section, L"FontSize", 10);
  s.FontStyle = static_cast<TFontStyles>(ini.ReadInteger(section, L"FontStyle", 0));
  const int o = ini.ReadInteger(section, L"Orientation", 0);
  s.Orientation = o == 1 ? TPrinterOrientation::poLandscape : TPrinterOrientation::poPortrait;
  return s;
}

void SavePrinterSettings(std::wstring_view iniName, std::wstring_view section, const TPrinterSettings& s) {
  TMemIniFile ini(iniName);
  ini.WriteString(section, L"Printer", s.PrtName);
  ini.WriteInteger(section, L"TopMargin", s.Margins.Top);
  ini.WriteInteger(section, L"BottomMargin", s.Margins.Bottom);
  ini.WriteInteger(section, L"LeftMargin", s.Margins.Left);
  ini.WriteInteger(section, L"RightMargin", s.Margins.Right);
  ini.WriteString(section, L"FontName", s.FontName);
  ini.WriteInteger(section, L"FontSize", s.FontSize);
  ini.WriteInteger(section, L"FontStyle", s.FontStyle);
  ini.WriteInteger(section, L"Orientation", static_cast<int32_t>(s.Orientation));
  ini.UpdateFile();
}

TShowTextDialog* KeptViewer() { return Application().KeptForm<TShowTextDialog>(); }

bool ShowTextFileEx(std::wstring_view title, std::wstring_view textDatei, std::wstring_view prevCap1,
                    std::wstring_view nextCap1, std::wstring_view srchText1, std::wstring_view prevCap2,
                    std::wstring_view nextCap2, std::wstring_view srchText2, std::wstring_view filter, TPoint aPos,
                    int line, TShowDlgType dlgType, TShowDlgButtons buttons, const TPrinterSettings& prtSettings,
                    int codePage) {
  const bool noSettings = aPos == TPoint{0, -1};
  auto run = [&](TShowTextDialog& v) {
    return v.Execute(title, textDatei, prevCap1, nextCap1, srchText1, prevCap2, nextCap2, srchText2, filter, aPos,
                     line, dlgType, buttons, prtSettings, codePage);
  };
  if (dlgType == TShowDlgType::stModal) {
    // Its own instance: a kept viewer that is open stays as it is.
    TShowTextDialog viewer;
    viewer.Create(Application().OwnerWindow());
    if (!noSettings) viewer.LoadViewSettings(ViewerIniName());
    return run(viewer);
  }
  TShowTextDialog* kept = KeptViewer();
  if (!kept) {
    kept = &Application().KeepForm<TShowTextDialog>();
    if (!noSettings) kept->LoadViewSettings(ViewerIniName());
  }
  return run(*kept);
}

bool ShowTextFile(std::wstring_view title, std::wstring_view fileName, TPoint aPos, TShowDlgType dlgType,
                  TShowDlgButtons buttons, const TPrinterSettings& prtSettings, bool atEnd, int codePage) {
  return ShowTextFileEx(title, fileName, L"", L"", L"", L"", L"", L"", L"", aPos, atEnd ? -1 : 1, dlgType, buttons,
                        prtSettings, codePage);
}

}  // namespace hv
