#include "hvwatchdog/copy/FileErrors.h"

#include <windows.h>

#include "base/text/ExtSysUtils.h"
#include "winui/Translate.h"

namespace hv {

namespace {

const wchar_t* ErrorMessage(unsigned no) {
  switch (no) {
    case 1: return L"Could not create file";
    case 2: return L"Could not open file";
    case 3: return L"Could not close file";
    case 4: return L"Could not read from file";
    case 5: return L"Could not write to file";
    case 6: return L"Attributes could not be set";
    case 7: return L"Low disk space";
    case 8: return L"Illegal file header";
    case 9: return L"Corrupt file";
    case 10: return L"Encryption failed";
    case 11: return L"Decryption failed";
    case 12: return L"Verification failed";
    case 13: return L"Path too long";
    case 14: return L"File not found";
    case 15: return L"Timestamp could not be set";
    case 16: return L"Error copying document summary";
    case 17: return L"Timeout error on copying file";
    case 18: return L"Undefined stream";
    case 19: return L"Permissions could not be copied";
    case 20: return L"File already exists";
    case 21: return L"Size mismatch";
    case 22: return L"Could not open destination file for verification";
    case 23: return L"Could not create directory";
    case 24: return L"Could not read from FTP";
    case 25: return L"Could not write to FTP";
    case 26: return L"Could not connect to FTP server";
    case 27: return L"FTP connection was closed by server";
    case 28: return L"Could not open FTP data connection";
    case 29: return L"Timeout error on copying file via FTP";
    case 30: return L"Different content";
    case 31: return L"Error creating new zip segment";
    case 32: return L"Illegal zip signature";
    case 33: return L"Could not extract file";
    case 34: return L"Unsupported file format";
    case 35: return L"Could not rename temporary file";
    case 36: return L"Error reading next zip segment";
    case 37: return L"Error copying alternate data streams";
    case 38: return L"Error deleting file";
    case 40: return L"Invalid zip format";
    case 128: return L"Terminated by user";
    default: return nullptr;
  }
}

const wchar_t* SeverityPrefix(unsigned sev) {
  switch (sev) {
    case 1: return L"Error - ";
    case 2: return L"Warning - ";
    case 3: return L"Error(2) - ";
    default: return nullptr;
  }
}

const wchar_t* OperationName(unsigned op) {
  switch (op) {
    case 1: return L"Copy";
    case 2: return L"gzip";
    case 3: return L"gunzip";
    case 4: return L"Zip";
    case 5: return L"Encrypt";
    case 6: return L"Decrypt";
    case 7: return L"Unzip";
    default: return nullptr;
  }
}

std::wstring SystemMessageText(uint32_t code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                           nullptr, code, 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
  std::wstring text;
  if (n && buf) text.assign(buf, n);
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return text;
}

}  // namespace

std::wstring FormatCopyError(int32_t code, std::wstring_view fileName, std::wstring_view info) {
  const unsigned no = code & 0xFF;
  const unsigned sev = (code >> 8) & 0xF;
  const unsigned op = (code >> 12) & 0xF;
  std::wstring text;
  if (const wchar_t* p = SeverityPrefix(sev)) text = _(p);
  if (no == 0) {
    text = SystemMessageText(0);
  } else if (const wchar_t* m = ErrorMessage(no)) {
    text += _(m);
  } else {
    text += SafeFormat(_(L"Unknown error code ($%.8x)"), static_cast<unsigned>(code));
  }
  std::wstring opName;
  if (const wchar_t* o = OperationName(op)) opName = _(o);
  if (!fileName.empty()) {
    // The message may hold a percent sign: it is kept out of the pattern.
    if (!info.empty() && !opName.empty())
      return text + SafeFormat(L": \"%s\" (%s) (-> %s)", fileName, info, opName);
    if (!opName.empty()) return text + SafeFormat(L": \"%s\" (-> %s)", fileName, opName);
    if (!info.empty()) return text + SafeFormat(L": \"%s\" (%s)", fileName, info);
    return text + SafeFormat(L": \"%s\"", fileName);
  }
  if (!opName.empty()) return text + L" (-> " + opName + L")";
  return text;
}

}  // namespace hv
