#include "hvstarter/AppDlg.h"
#include "hvstarter/StarterRun.h"

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinExecute.h"
#include "base/os/WinUtils.h"
#include "base/settings/IniFileUtils.h"
#include "base/settings/ListUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/NewPwdDlg.h"
#include "winui/CommonDialogs.h"
#include "winui/Translate.h"

namespace hv::hvstarter {
namespace {

// Design at 96 dpi.
constexpr int kButtonWidth96 = 90, kButtonHeight96 = 28, kEditHeight96 = 23;
constexpr int kAppHistory = 50;

bool FileExists(const std::wstring& name) {
  const DWORD attr = GetFileAttributesW(name.c_str());
  return !name.empty() && attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FolderOf(std::wstring_view path) {
  const size_t p = path.find_last_of(L"\\/");
  return p == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, p));
}

}  // namespace

std::wstring ProgramOfCommand(std::wstring_view command) {
  std::wstring rest(command);
  return ReadNextQuotedItem(rest, L' ', L'"');
}

TAppDialog::TAppDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poMainFormCenter;
  KeyPreview = true;
  ClientWidth96 = 460;
  ClientHeight96 = 200;
}

TAppDialog::~TAppDialog() {
  try {
    SaveToIni();
  } catch (...) {
    // The program is ending.
  }
}

void TAppDialog::FormCreate() {
  SetCaption(L"Start an application under different user account");
  laAccount.Create(*this, L"User account:", {10, 12, 110, 17});
  edAccount.Create(*this, L"", {124, 9, 326, kEditHeight96});
  edAccount.TranslateText = false;
  SendMessageW(edAccount.Handle(), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(_(L"User account").c_str()));
  laFileMgr.Create(*this, L"User selected file manager", {10, 44, 340, 17});
  edFileMgr.Create(*this, L"", {10, 62, 300, kEditHeight96});
  edFileMgr.TranslateText = false;
  bbSelFileMgr.Create(*this, L"...", {314, 61, 34, 25});
  bbSelFileMgr.Hint = L"Select file manager";
  bbSelFileMgr.OnClick = [this] { bbSelFileMgrClick(); };
  bbStartFileMgr.Create(*this, L"Start", {360, 59, kButtonWidth96, kButtonHeight96});
  bbStartFileMgr.Hint = L"Run file manager";
  bbStartFileMgr.OnClick = [this] {
    Mode = TAppMode::amFileMgr;
    ModalResult = mrOk;
  };
  laApp.Create(*this, L"Other application", {10, 98, 340, 17});
  cbApp.Create(*this, TComboBoxStyle::csDropDown, {10, 116, 300, kEditHeight96});
  cbApp.TranslateText = false;
  cbApp.SetDropDownCount(15);
  bbSelApp.Create(*this, L"...", {314, 115, 34, 25});
  bbSelApp.Hint = L"Select application";
  bbSelApp.OnClick = [this] { bbSelAppClick(); };
  bbStartApp.Create(*this, L"Start", {360, 113, kButtonWidth96, kButtonHeight96});
  bbStartApp.Hint = L"Run selected application";
  bbStartApp.OnClick = [this] {
    Mode = TAppMode::amApp;
    ModalResult = mrOk;
  };
  CloseBtn.Create(*this, L"Close", {360, 162, kButtonWidth96, kButtonHeight96});
  CloseBtn.ModalResult = mrCancel;
  CloseBtn.Cancel = true;
}

void TAppDialog::LoadFromIni(std::wstring_view iniName, std::wstring_view section) {
  FIniName = iniName;
  FSection = section;
  if (FIniName.empty()) return;
  const auto ini = TUnicodeIniFile::CreateForRead(FIniName);
  if (ini.ValueExists(FSection, L"Left") && ini.ValueExists(FSection, L"Top")) {
    // Else the dialog is centred when shown and the stored position never used.
    Position = TPosition::poDesigned;
    const RECT r = BoundsRect();
    int left = ini.ReadInteger(FSection, L"Left", r.left), top = ini.ReadInteger(FSection, L"Top", r.top);
    AdjustToWorkArea(left, top, Width(), Height());
    SetPos(left, top);
  }
  edFileMgr.SetText(ini.ReadString(FSection, L"FileManager", L""));
  TStringList history;
  LoadHistoryIni(ini, FSection, L"App", history, kAppHistory, false);
  cbApp.SetItems(history);
  cbApp.SetText(ini.ReadString(FSection, L"Application", L""));
}

void TAppDialog::SaveToIni() {
  if (FIniName.empty()) return;
  auto ini = TUnicodeIniFile::CreateForWrite(FIniName, false);
  ini.EraseSection(FSection);
  if (Position == TPosition::poDesigned) {  // placed: stored before or shown in this run
    const RECT r = BoundsRect();
    ini.WriteInteger(FSection, L"Top", r.top);
    ini.WriteInteger(FSection, L"Left", r.left);
    ini.WriteInteger(FSection, L"Height", r.bottom - r.top);
    ini.WriteInteger(FSection, L"Width", r.right - r.left);
  }
  ini.WriteString(FSection, L"FileManager", edFileMgr.Text());
  ini.WriteString(FSection, L"Application", cbApp.Text());
  SaveHistoryIni(ini, FSection, L"App", false, cbApp.Items(), kAppHistory, false);
  ini.UpdateFile();
}

bool TAppDialog::Execute(std::wstring& account, std::wstring& password, std::wstring& program) {
  edAccount.SetText(account);
  const int result = ShowModal();
  Position = TPosition::poDesigned;  // opened again where the user left it
  if (result != mrOk) return false;
  const std::wstring newAccount = edAccount.Text();
  std::wstring pwd = password;
  if (pwd.empty() || AnsiLowerCase(newAccount) != AnsiLowerCase(account)) {
    pwd.clear();
    if (!EnterPwd(_(L"Password for user: ") + newAccount, pwd)) return false;
  }
  account = newAccount;
  password = pwd;
  // The file manager's path is a plain file name: quoted as a command line when it holds a blank.
  program = Mode == TAppMode::amApp ? cbApp.Text() : QuoteIfNeeded(edFileMgr.Text(), L" ");
  return true;
}

bool TAppDialog::CloseQuery() {
  if (ModalResult != mrOk) return true;
  if (Mode == TAppMode::amFileMgr && !FileExists(edFileMgr.Text())) {
    ErrorDialog(_(L"Please specify a file manager!"));
    edFileMgr.SetFocus();
    return false;
  }
  if (Mode == TAppMode::amApp && !FileExists(ProgramOfCommand(cbApp.Text()))) {
    ErrorDialog(_(L"Please specify an application!"));
    cbApp.SetFocus();
    return false;
  }
  return true;
}

void TAppDialog::bbSelFileMgrClick() {
  TOpenDialog dlg;
  dlg.Title = _(L"Select file manager");
  dlg.Filter = _(L"Programs|*.exe|all|*.*");
  const std::wstring text = edFileMgr.Text();
  dlg.InitialDir = text.empty() ? ProgPath : FolderOf(text);
  if (dlg.Execute(Handle())) edFileMgr.SetText(dlg.FileName);
}

void TAppDialog::bbSelAppClick() {
  TOpenDialog dlg;
  dlg.Title = _(L"Select application");
  dlg.Filter = _(L"Programs|*.exe|all|*.*");
  const std::wstring text = ProgramOfCommand(cbApp.Text());
  dlg.InitialDir = text.empty() ? ProgPath : FolderOf(text);
  if (!dlg.Execute(Handle())) return;
  // The list holds command lines: a path with blanks is quoted.
  TComboHistory history(cbApp);
  AddToHistoryCombo(history, QuoteIfNeeded(dlg.FileName, L" "));
}

bool EnterPwd(std::wstring_view title, std::wstring& password) {
  return NewPasswordEx(kDefaultDialogPos, title, password, false, false, 8, true);
}

bool StartAppAsUser(const TProcessStarter& start, TPoint errorPos, std::wstring_view account,
                    std::wstring_view password, std::wstring_view command) {
  std::wstring user, domain;
  SplitAccount(account, user, domain);
  try {
    TKernelHandle process(start(user, domain, password, command, L""));
    return true;
  } catch (const EProcessError& e) {
    ErrorDialogAt(errorPos, SafeFormat(_(L"Error starting application: %s"), e.Message()),
                  TDefaultMonitor::dmActiveForm);
    return false;
  }
}

}  // namespace hv::hvstarter
