// HvStarter: runs groups of job files of the main backup program under another account.
#include <windows.h>

#include "hvstarter/StarterMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return hv::hvstarter::RunStarter(); }
