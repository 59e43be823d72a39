#pragma once
// QlBackup's own command line and the command lines it builds for the main program.
#include <string>
#include <string_view>
#include <vector>

#include "base/settings/BuConsts.h"

namespace hv {

struct TQlOptions {
  std::wstring Profile;  // the first parameter that is no option
  bool Force = false;
  std::wstring IniName, JobDir, BuDir, LogDir, ExcludedDirs;
  int LogMode = -1;
  bool UseDarkMode = false;
  TDownMode LogOffMode = TDownMode::dmNone;
  TSuspendMode SuspendMode = TSuspendMode::smNone;
  int WaitDelay = 5;
  int StatusPrompt = 1;
};

TQlOptions ParseQlOptions(const std::vector<std::wstring>& args);

// Status-window items: 0 wait for prompt, 1 close automatically, 2 not visible, 3 wait only on
// error, 4 not visible except on errors.
std::wstring BuildStatusOptions(int mode, int waitTime, bool onTop);
// The main program on a backup job: /startapp:qlbackup and the status switches.
std::wstring MakeBackupCommand(std::wstring_view program, std::wstring_view jobFile, std::wstring_view statusOptions);
std::wstring MakeRestoreCommand(std::wstring_view program, std::wstring_view restoreJob);

}  // namespace hv
