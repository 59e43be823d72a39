#include "base/app/InitProg.h"

#include <windows.h>

#include "base/settings/BuConsts.h"
#include "base/text/ExtSysUtils.h"
#include "base/app/HvUtils.h"
#include "base/app/LangUtils.h"
#include "base/text/PathUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/text/StringUtils.h"
#include "base/app/StyleUtils.h"
#include "base/os/WinShell.h"
#include "winui/Forms.h"
#include "winui/Translate.h"

namespace hv {

std::wstring ProgramFile() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.resize(buf.size() * 2);
  }
}

namespace {

TFileVersionInfo& VersionInfo() {
  static TFileVersionInfo info;
  return info;
}

}  // namespace

const std::wstring& ProgramDir() {
  static const std::wstring dir = [] {
    std::wstring f = ProgramFile();
    return f.substr(0, f.rfind(L'\\') + 1);
  }();
  return dir;
}

const std::wstring& ProgramName() {
  static const std::wstring name = [] {
    std::wstring f = DeleteExtension(ProgramFile());
    return f.substr(f.rfind(L'\\') + 1);
  }();
  return name;
}

const TFileVersionInfo& ProgramVersionInfo() { return VersionInfo(); }

std::wstring GetAppDataPath() { return GetAppDataFolder(); }
std::wstring GetAppDataSubDir(std::wstring_view subDir) {
  std::wstring appData = GetAppDataPath();
  return appData.empty() ? ProgramDir() : AddPath(appData, subDir);
}
std::wstring GetDocumentsPath() { return GetDocumentsFolder(); }
std::wstring GetProgramFilesPath() { return GetProgramFilesDir(0); }

std::wstring MakeVersionText(std::wstring_view version, int parts) {
  size_t end = 0;
  int keep = parts < 1 ? 1 : parts;
  for (int i = 0; i < keep && end != std::wstring_view::npos; ++i) {
    end = version.find(L'.', i == 0 ? 0 : end + 1);
  }
  std::wstring_view cut = end == std::wstring_view::npos ? version : version.substr(0, end);
  return _(L"Version") + L" " + std::wstring(cut);
}

std::wstring GetProgramVersion(int parts, std::wstring_view defaultVersion) {
  const std::wstring& v = ProgramVersionInfo().Version;
  if (!v.empty()) return MakeVersionText(v, parts);
  return MakeVersionText(GetFileVersionText(ProgramFile(), defaultVersion), parts);
}

TVersionCaption InitVersionInfo(std::wstring_view title, std::wstring_view fallbackVersion,
                                std::wstring_view fallbackNotice, int parts) {
  TFileVersionInfo& info = VersionInfo();
  if (!ReadFileVersionInfo(ProgramFile(), info)) {
    info = TFileVersionInfo{};
    info.InternalName = title;
    info.Version = fallbackVersion;
    info.Copyright = fallbackNotice;
  } else if (info.InternalName.empty()) {
    info.InternalName = title;
  }
  info.Comments = GetProgramVersion(parts, L"0.0.0.0");
  TVersionCaption r;
  r.Caption = info.InternalName + L" (" + info.Comments + L")";
  WIN32_FILE_ATTRIBUTE_DATA fa;
  FILETIME local;
  SYSTEMTIME st;
  if (GetFileAttributesExW(ProgramFile().c_str(), GetFileExInfoStandard, &fa) &&
      FileTimeToLocalFileTime(&fa.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &st)) {
    wchar_t buf[80];
    int n = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf,
                            static_cast<int>(std::size(buf)), nullptr);
    if (n > 1) r.BuildDate.assign(buf, static_cast<size_t>(n - 1));
  }
  return r;
}

bool CfgDarkMode() {
  wchar_t buf[32];
  DWORD n = GetPrivateProfileStringW(L"Config", L"DarkMode", L"", buf, static_cast<DWORD>(std::size(buf)),
                                     CfgFileName().c_str());
  int64_t v = 0;
  return n > 0 && TryStrToInt64(std::wstring_view(buf, n), v) && v != 0;
}

void InitProgramStyle(bool darkOption) {
  InitStyleNames(L"Windows10 Dark");
  if (darkOption)
    SelectStyle(true);
  else if (CfgDarkMode())
    SelectSystemStyle();
}

int RunProgram(const TProgramEntry& entry) {
  try {
    ProgramDir();
    Is64BitProcess();
    ScreenReaderActive();
    SuiteFormatSettings();
    InitLanguage(GetRegIniPath(L"Harvane6\\"), L"Harvane.cfg", entry.ExtraDomains);
    TApplication& app = Application();
    app.Initialize();
    app.MainFormOnTaskBar = true;
    app.OnShowHint = [](const std::wstring& text) { MessageDialog(text, TMsgDialogType::mdtCustom); };
    app.OnException = [](const std::wstring& text) { ErrorDialog(text); };
    if (entry.CreateForms) entry.CreateForms();
    if (!entry.ShowMainForm) app.ShowMainForm = false;
    if (entry.CheckForce && entry.CheckForce()) {
      app.ShowMainForm = false;
      app.Terminate();
    }
    app.Run();
    const int exitCode = entry.ExitCode ? entry.ExitCode() : 0;
    app.DestroyForms();
    return exitCode;
  } catch (...) {
    std::wstring message = ExceptionMessage(std::current_exception());
    TApplication& app = Application();
    app.DestroyForms();
    if (!app.OnException) app.OnException = [](const std::wstring& text) { ErrorDialog(text); };
    app.HandleException(message);
  }
  Application().DestroyForms();
  return 1;
}

}  // namespace hv
