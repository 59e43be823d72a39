#include "qlbackup/QlOptions.h"

#include "base/app/HvUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"

namespace hv {
namespace {

// The number before the first blank; def when it does not parse.
int ReadNumber(const std::wstring& value, int def) {
  int64_t v = 0;
  if (!TryStrToInt64(GetFirstItem(value, L' '), v) || v < INT32_MIN || v > INT32_MAX) return def;
  return static_cast<int>(v);
}

}  // namespace

TQlOptions ParseQlOptions(const std::vector<std::wstring>& args) {
  TQlOptions o;
  bool profileGiven = false;
  for (const auto& arg : args) {
    if (arg.empty()) continue;
    if (arg[0] != L'/' && arg[0] != L'-') {
      if (!profileGiven) o.Profile = arg;
      profileGiven = true;
      continue;
    }
    std::wstring s = arg.substr(1);
    if (MatchOption(s, L"force")) {
      o.Force = true;
    } else if (MatchOptionValue(s, L"ini")) {
      o.IniName = s;
    } else if (MatchOptionValue(s, L"taskdir")) {
      o.JobDir = s;
    } else if (MatchOptionValue(s, L"backupdir")) {
      o.BuDir = s;
    } else if (MatchOptionValue(s, L"logmode")) {
      o.LogMode = ReadNumber(s, 0);
    } else if (MatchOptionValue(s, L"logdir")) {
      o.LogDir = AddPathDelimiter(s);
    } else if (MatchOption(s, L"dark")) {
      o.UseDarkMode = true;
    } else if (MatchOptionValue(s, L"exclude")) {
      o.ExcludedDirs = s;
    } else if (MatchOptionValue(s, L"end")) {
      if (MatchOption(s, L"shutdown") || MatchOption(s, L"lockdown")) o.LogOffMode = TDownMode::dmShutdown;
      else if (MatchOption(s, L"logoff")) o.LogOffMode = TDownMode::dmLogOff;
      else if (MatchOption(s, L"restart")) o.LogOffMode = TDownMode::dmRestart;
      else if (MatchOption(s, L"poweroff")) o.LogOffMode = TDownMode::dmPowerOff;
    } else if (MatchOptionValue(s, L"suspend")) {
      if (MatchOption(s, L"standby")) o.SuspendMode = TSuspendMode::smStandby;
      else if (MatchOption(s, L"hibernate")) o.SuspendMode = TSuspendMode::smHibernate;
    } else if (MatchOptionValue(s, L"wait")) {
      o.WaitDelay = ReadNumber(s, 5);
    } else if (MatchOptionValue(s, L"prompt")) {
      if (MatchOption(s, L"wait")) o.StatusPrompt = 0;
      else if (MatchOption(s, L"quiet")) o.StatusPrompt = 2;
      else if (MatchOption(s, L"error")) o.StatusPrompt = 3;
      else if (MatchOption(s, L"silent")) o.StatusPrompt = 4;
      else o.StatusPrompt = 1;
    }
  }
  return o;
}

std::wstring BuildStatusOptions(int mode, int waitTime, bool onTop) {
  const wchar_t* word = L"delay";
  switch (mode) {
    case 0: word = L"wait"; break;
    case 2: word = L"quiet"; break;
    case 3: word = L"error"; break;
    case 4: word = L"silent"; break;
    default: break;
  }
  std::wstring s = MakeOptionValue(L"prompt", word);
  if (mode == 1 || mode == 3) s += MakeOptionInt(L"wait", waitTime);
  s += MakeOptionValue(L"status", onTop ? L"ontop" : L"normal");
  return s + MakeOption(L"hide") + MakeOption(L"force");
}

std::wstring MakeBackupCommand(std::wstring_view program, std::wstring_view jobFile, std::wstring_view statusOptions) {
  return MakeMainProgramCommand(program, {std::wstring(jobFile)}, MakeOptionValue(L"startapp", L"qlbackup") +
                                                                      std::wstring(statusOptions));
}

std::wstring MakeRestoreCommand(std::wstring_view program, std::wstring_view restoreJob) {
  return MakeMainProgramCommand(program, {std::wstring(restoreJob)},
                                MakeOption(L"hide") + MakeOptionValue(L"prompt", L"wait") + MakeOption(L"restore"));
}

}  // namespace hv
