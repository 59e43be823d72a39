// HvStarter: runs groups of job files of the main backup program under another account.
#include <windows.h>

#include "base/app/InitProg.h"
#include "hvstarter/StarterMain.h"
#include "hvstarter/StarterRun.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Tests start the main program under the current user and record the account and command line.
  wchar_t record[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableW(L"HV_STARTER_LOGON_RECORD", record, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2) hv::hvstarter::SetLogonStarter(&hv::hvstarter::RecordingLogonStarter(record));

  hv::hvstarter::TMainForm* mainForm = nullptr;
  hv::TProgramEntry entry;
  entry.ExtraDomains = {L"winui", L"Indy10", L"Units"};
  entry.CreateForms = [&] { mainForm = &hv::Application().CreateForm<hv::hvstarter::TMainForm>(); };
  entry.CheckForce = [&] { return mainForm->CheckForce(); };
  return hv::RunProgram(entry);
}
