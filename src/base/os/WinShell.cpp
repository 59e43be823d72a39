#include "base/os/WinShell.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <iterator>

#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "winui/ComScope.h"

using Microsoft::WRL::ComPtr;

namespace hv {

namespace {

bool UseKnownFolders() { return WindowsMajorVersion() >= 6; }

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetEnvironmentVariableW(name, buf, static_cast<DWORD>(std::size(buf)));
  return n && n < std::size(buf) ? std::wstring(buf, n) : std::wstring();
}

}  // namespace

std::wstring GetSpecialFolder(int csidl) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || !pidl) return L"";
  wchar_t buf[MAX_PATH];
  BOOL ok = SHGetPathFromIDListW(pidl, buf);
  CoTaskMemFree(pidl);
  SetLastError(0);
  if (!ok) return L"";
  std::wstring path(buf);
  // Some shells answer with a trailing delimiter; only a root keeps it.
  if (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring GetKnownFolder(const GUID& folderId) {
  if (!UseKnownFolders()) return L"";
  PWSTR path = nullptr;
  HRESULT hr = SHGetKnownFolderPath(folderId, 0, nullptr, &path);
  std::wstring result = SUCCEEDED(hr) && path ? std::wstring(path) : std::wstring();
  CoTaskMemFree(path);
  return result;
}

std::wstring GetDocumentsFolder() {
  return UseKnownFolders() ? GetKnownFolder(FOLDERID_Documents) : GetSpecialFolder(CSIDL_PERSONAL);
}

std::wstring GetAppDataFolder() {
  return UseKnownFolders() ? GetKnownFolder(FOLDERID_RoamingAppData) : GetSpecialFolder(CSIDL_APPDATA);
}

std::wstring GetProgramFilesDir(int kind) {
  struct Entry {
    const wchar_t* variable;
    const GUID* known;
    int csidl;
  };
  static const Entry entries[] = {
      {nullptr, &FOLDERID_ProgramFiles, CSIDL_PROGRAM_FILES},
      {nullptr, &FOLDERID_ProgramFilesCommon, CSIDL_PROGRAM_FILES_COMMON},
      {L"ProgramFiles(x86)", &FOLDERID_ProgramFilesX86, CSIDL_PROGRAM_FILESX86},
      {L"CommonProgramFiles(x86)", &FOLDERID_ProgramFilesCommonX86, CSIDL_PROGRAM_FILES_COMMONX86},
      {L"ProgramW6432", &FOLDERID_ProgramFiles, CSIDL_PROGRAM_FILES},
      {L"CommonProgramW6432", &FOLDERID_ProgramFilesCommon, CSIDL_PROGRAM_FILES_COMMON},
  };
  const Entry& e = entries[kind >= 0 && kind <= 5 ? kind : 0];
  std::wstring dir;
  if (e.variable) dir = EnvironmentValue(e.variable);
  if (dir.empty() && UseKnownFolders()) dir = GetKnownFolder(*e.known);
  if (dir.empty()) dir = GetSpecialFolder(e.csidl);
  return dir;
}

void NotifyShellAllChanged() {
  PIDLIST_ABSOLUTE desktop = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop))) return;
  SHChangeNotify(SHCNE_ALLEVENTS, SHCNF_IDLIST, desktop, nullptr);
  CoTaskMemFree(desktop);
}

HRESULT CreateShellLinkEx(std::wstring_view linkFile, std::wstring_view target, std::wstring_view iconFile,
                          std::wstring_view arguments, std::wstring_view workDir, std::wstring_view description,
                          int iconIndex, bool runAs) {
  TComScope com;
  if (!com.Usable()) return com.Result();
  ComPtr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
  if (FAILED(hr)) return hr;
  if (FAILED(hr = link->SetPath(std::wstring(target).c_str()))) return hr;
  link->SetArguments(std::wstring(arguments).c_str());
  if (!iconFile.empty()) link->SetIconLocation(std::wstring(iconFile).c_str(), iconIndex);
  if (!workDir.empty()) link->SetWorkingDirectory(std::wstring(workDir).c_str());
  if (!description.empty()) link->SetDescription(std::wstring(description).c_str());
  ComPtr<IPersistFile> file;
  if (FAILED(hr = link.As(&file))) return hr;
  if (runAs) {
    ComPtr<IShellLinkDataList> data;
    if (FAILED(hr = link.As(&data))) return hr;
    DWORD flags = 0;
    if (FAILED(hr = data->GetFlags(&flags))) return hr;
    if (!(flags & kLinkRunAsUser) && FAILED(hr = data->SetFlags(flags | kLinkRunAsUser))) return hr;
  }
  const std::wstring name(linkFile);
  hr = file->Save(name.c_str(), TRUE);
  if (SUCCEEDED(hr)) hr = file->SaveCompleted(name.c_str());
  return hr;
}

HRESULT CreateShellLink(std::wstring_view linkFile, std::wstring_view target, std::wstring_view arguments,
                        std::wstring_view workDir, std::wstring_view description, bool runAs) {
  return CreateShellLinkEx(linkFile, target, target, arguments, workDir, description, 0, runAs);
}

HRESULT ReadShellLinkEx(std::wstring_view linkFile, std::wstring& target, std::wstring& arguments,
                        std::wstring& workDir, std::wstring& description, bool& runAs) {
  target.clear();
  arguments.clear();
  workDir.clear();
  description.clear();
  runAs = false;
  const std::wstring name(linkFile);
  if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error ? error : ERROR_FILE_NOT_FOUND);
  }
  TComScope com;
  if (!com.Usable()) return com.Result();
  ComPtr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
  if (FAILED(hr)) return hr;
  ComPtr<IPersistFile> file;
  if (FAILED(hr = link.As(&file))) return hr;
  if (FAILED(hr = file->Load(name.c_str(), STGM_READ))) return hr;
  ComPtr<IShellLinkDataList> data;
  if (FAILED(hr = link.As(&data))) return hr;
  DWORD flags = 0;
  if (FAILED(hr = data->GetFlags(&flags))) return hr;
  runAs = flags & kLinkRunAsUser;

  wchar_t buf[MAX_PATH + 1];
  hr = link->GetPath(buf, static_cast<int>(std::size(buf)), nullptr, SLGP_UNCPRIORITY);
  if (SUCCEEDED(hr)) target = buf;
  if (SUCCEEDED(link->GetArguments(buf, static_cast<int>(std::size(buf))))) arguments = buf;
  if (SUCCEEDED(link->GetWorkingDirectory(buf, static_cast<int>(std::size(buf))))) workDir = buf;
  if (SUCCEEDED(link->GetDescription(buf, static_cast<int>(std::size(buf))))) description = buf;
  return hr;
}

bool ReadShellLink(std::wstring_view linkFile, std::wstring& target, std::wstring& arguments, std::wstring& workDir,
                   std::wstring& description) {
  bool runAs = false;
  HRESULT hr = ReadShellLinkEx(linkFile, target, arguments, workDir, description, runAs);
  return SUCCEEDED(hr);
}

HRESULT ShellItemOperation(HWND owner, std::wstring_view source, std::wstring_view dest, int operation, DWORD flags) {
  TComScope com;
  if (FAILED(com.Result())) return com.Result();
  ComPtr<IFileOperation> op;
  HRESULT hr = CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&op));
  if (FAILED(hr)) return hr;
  if (FAILED(hr = op->SetOperationFlags(flags))) return hr;
  if (FAILED(hr = op->SetOwnerWindow(owner))) return hr;
  ComPtr<IShellItem> item;
  if (FAILED(hr = SHCreateItemFromParsingName(std::wstring(source).c_str(), nullptr, IID_PPV_ARGS(&item)))) return hr;
  if (operation == 3) {
    hr = op->DeleteItem(item.Get(), nullptr);
  } else {
    const std::wstring destination(dest);
    const size_t p = destination.rfind(L'\\');
    const std::wstring folder = p == std::wstring::npos ? std::wstring() : destination.substr(0, p);
    const std::wstring newName = destination.substr(p == std::wstring::npos ? 0 : p + 1);
    ComPtr<IShellItem> target;
    if (FAILED(hr = SHCreateItemFromParsingName(AddPathDelimiter(folder).c_str(), nullptr, IID_PPV_ARGS(&target))))
      return hr;
    hr = operation == 2 ? op->CopyItem(item.Get(), target.Get(), newName.c_str(), nullptr)
                        : op->MoveItem(item.Get(), target.Get(), newName.c_str(), nullptr);
  }
  if (FAILED(hr) || FAILED(hr = op->PerformOperations())) return hr;
  // An operation the user or the shell cancelled is no success.
  BOOL aborted = FALSE;
  return SUCCEEDED(op->GetAnyOperationsAborted(&aborted)) && aborted ? E_ABORT : S_OK;
}

HRESULT ShellMoveItem(HWND owner, std::wstring_view source, std::wstring_view dest, bool silent) {
  return ShellItemOperation(owner, source, dest, 1, silent ? 0x102694 : 0x2080);
}

HRESULT ShellDeleteFolder(HWND owner, std::wstring_view folder, bool allowUndo, bool silent) {
  DWORD flags = 0x2000;
  if (allowUndo) flags |= 0x40;
  if (silent) flags |= 0x100614;
  return ShellItemOperation(owner, AddPathDelimiter(folder), L"", 3, flags);
}

int ShellFileOperation(HWND owner, std::wstring_view source, std::wstring_view dest, std::wstring_view title,
                       UINT func, WORD flags) {
  // Double-null-terminated lists of one name each.
  std::wstring from(source);
  from.push_back(L'\0');
  std::wstring to(dest);
  to.push_back(L'\0');
  const std::wstring progressTitle(title);
  SHFILEOPSTRUCTW op{};
  op.hwnd = owner;
  op.wFunc = func;
  op.pFrom = from.c_str();
  op.pTo = dest.empty() ? nullptr : to.c_str();
  op.fFlags = flags;
  if (!progressTitle.empty()) {
    op.lpszProgressTitle = progressTitle.c_str();
    op.fFlags |= FOF_SIMPLEPROGRESS;
  }
  const int rc = SHFileOperationW(&op);
  return rc == 0 && op.fAnyOperationsAborted ? ERROR_CANCELLED : rc;
}

int ShellMoveFiles(HWND owner, std::wstring_view source, std::wstring_view dest, std::wstring_view title, bool silent) {
  return ShellFileOperation(owner, source, dest, title, FO_MOVE, silent ? 0x2695 : 0x2081);
}

int ShellDeleteFiles(HWND owner, std::wstring_view source, std::wstring_view title, bool allowUndo, bool silent) {
  WORD flags = 0x2011;
  if (allowUndo) flags |= FOF_ALLOWUNDO;
  if (silent) flags |= 0x614;
  return ShellFileOperation(owner, source, L"", title, FO_DELETE, flags);
}

}  // namespace hv
