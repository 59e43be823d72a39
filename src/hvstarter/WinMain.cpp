// HvStarter: runs groups of job files of the main backup program under another account.
#include <windows.h>

#include "base/app/InitProg.h"
#include "hvstarter/StarterMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  hv::hvstarter::TMainForm* mainForm = nullptr;
  hv::TProgramEntry entry;
  entry.ExtraDomains = {L"winui", L"Indy10", L"Units"};
  entry.CreateForms = [&] { mainForm = &hv::Application().CreateForm<hv::hvstarter::TMainForm>(); };
  entry.CheckForce = [&] { return mainForm->CheckForce(); };
  return hv::RunProgram(entry);
}
