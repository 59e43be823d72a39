#pragma once
// The logon start of the tests: records account and command line, starts under the current user.
#include <string_view>

#include "hvstarter/StarterRun.h"

namespace hv::hvstarter {

// Appends each start (account, password length, command line, folder) to recordFile as a [Logon]
// record and starts the process under the current user. Each call points it at its file.
ILogonStarter& RecordingLogonStarter(std::wstring_view recordFile);

}  // namespace hv::hvstarter
