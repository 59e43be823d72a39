#pragma once
// The watchdog's own INI file: window, interval, log switch and the monitored directories with
// their pending names.
#include <string>
#include <string_view>

#include "hvwatchdog/MonTask.h"

namespace hv {

struct TWdSettings {
  int Top = 0, Left = 0, Height = 0, Width = 0;
  std::wstring JobDir;
  int Interval = 1800;
  bool SysTray = false;
  bool WriteLog = false;
};

// Fills settings (pre-set with the defaults) and appends the directories whose job file exists.
// minHeight is the designed client height. A missing file leaves the defaults.
void ReadWdSettings(std::wstring_view iniName, int minHeight, TWdSettings& settings, TMonTaskList& tasks);
// Raises EWriteError; the file as it was stays in place then.
void WriteWdSettings(std::wstring_view iniName, const TWdSettings& settings, const TMonTaskList& tasks,
                     std::wstring_view program, std::wstring_view version);

}  // namespace hv
