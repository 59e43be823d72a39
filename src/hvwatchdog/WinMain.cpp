// HvWatchdog: watches directories and copies changed files itself.
#include <windows.h>

#include "base/app/InitProg.h"
#include "hvwatchdog/DirectMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  hv::TfrmHvWatchdog* mainForm = nullptr;
  hv::TProgramEntry entry;
  entry.ExtraDomains = {L"winui", L"Units"};
  entry.CreateForms = [&] { mainForm = &hv::Application().CreateForm<hv::TfrmHvWatchdog>(); };
  entry.ShowMainForm = false;  // the main form shows itself in CheckForce
  entry.CheckForce = [&] { return mainForm->CheckForce(); };
  return hv::RunProgram(entry);
}
