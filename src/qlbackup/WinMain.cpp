// QlBackup: backs up and restores Thunderbird mail profiles through the main backup program.
#include <windows.h>

#include "base/app/InitProg.h"
#include "qlbackup/QlMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  hv::qlbackup::TMainForm* mainForm = nullptr;
  hv::TProgramEntry entry;
  entry.ExtraDomains = {L"winui", L"Units"};
  entry.CreateForms = [&] { mainForm = &hv::Application().CreateForm<hv::qlbackup::TMainForm>(); };
  entry.CheckForce = [&] { return mainForm->CheckForce(); };
  entry.ExitCode = [&] { return mainForm ? mainForm->ExitCode() : 0; };
  return hv::RunProgram(entry);
}
