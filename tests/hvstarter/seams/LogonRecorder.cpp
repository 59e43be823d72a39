#include "seams/LogonRecorder.h"

#include "winui/Handles.h"
#include "winui/Unicode.h"

namespace hv::hvstarter {
namespace {

class TRecordingStarter : public ILogonStarter {
 public:
  void SetFile(std::wstring_view file) { FFile = file; }
  TKernelHandle Start(const std::wstring& user, const std::wstring& domain, const std::wstring& password,
                      const std::wstring& commandLine, const std::wstring& currentDir) override {
    const std::string record = WideToUtf8(L"[Logon]\r\nUser=" + user + L"\r\nDomain=" + domain +
                                          L"\r\nPasswordLength=" + std::to_wstring(password.size()) +
                                          L"\r\nCommandLine=" + commandLine + L"\r\nCurrentDir=" + currentDir + L"\r\n");
    TFileHandle f(CreateFileW(FFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!f || !WriteFile(f.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr))
      throw EProcessError(GetLastError());
    return StartProcess(commandLine, currentDir);
  }

 private:
  std::wstring FFile;
};

}  // namespace

ILogonStarter& RecordingLogonStarter(std::wstring_view recordFile) {
  static TRecordingStarter recorder;
  recorder.SetFile(recordFile);
  return recorder;
}

}  // namespace hv::hvstarter
