// HvStarter of the tests (build/testbin/HvStarter.exe): with HV_STARTER_LOGON_RECORD naming a file,
// the logon start records account and command line there and starts under the current user, as
// Wine cannot start under another account. The released program has no such switch.
#include <windows.h>

#include "hvstarter/StarterMain.h"
#include "seams/LogonRecorder.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t record[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableW(L"HV_STARTER_LOGON_RECORD", record, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2) hv::hvstarter::SetLogonStarter(&hv::hvstarter::RecordingLogonStarter(record));
  return hv::hvstarter::RunStarter();
}
