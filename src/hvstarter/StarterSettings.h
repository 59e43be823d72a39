#pragma once
// The starter's groups, its command line and its own INI file: computing parts, no windows.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings/BuConsts.h"
#include "unattended/mMailer10.h"
#include "winui/Handles.h"

namespace hv {
class TMemIniFile;
}

namespace hv::hvstarter {

// One job file of a group; Process is held while it runs in a parallel run.
struct TTaskEntry {
  std::wstring File;
  bool Checked = true;
  bool Missing = false;  // not found when the group was loaded; kept and stored again
  TKernelHandle Process;
};

// One backup group.
class TTaskProperties {
 public:
  explicit TTaskProperties(std::wstring_view desc) : Desc(desc) { Reset(); }
  void Reset();
  void ClearTasks() { Tasks.clear(); }
  int AddTask(std::wstring_view file, bool checked);
  bool IsChecked(int index) const { return Tasks[static_cast<size_t>(index)].Checked; }
  void RemoveTask(int index) { Tasks.erase(Tasks.begin() + index); }
  int CheckedCount() const;

  std::wstring Desc, User, Pwd, AltLogDir;
  bool PwdPrompt = true, NoSplash = false, PlaySound = false, ParProc = false, RunAs = false;
  int Index = 0, Delay = 5, StartDelay = 0, Status = 1;
  std::vector<TTaskEntry> Tasks;
};
using TGroupList = std::vector<std::unique_ptr<TTaskProperties>>;

// The group named name (case ignored), or null.
TTaskProperties* FindGroup(const TGroupList& groups, std::wstring_view name);

// The starter's mail settings.
struct TMailData {
  std::wstring Server, Username, Password, Sender, ReplyTo, Recipients, Subject;
  int Port = 25;
  TSecTransfer SecureMode = TSecTransfer::stNone;
  bool WriteLog = false, Enabled = false;
  static TMailData DefaultValues() { return {}; }
};

// [Mail] of the starter's INI file; missing keys give the defaults ("HvStarter" as sender, the
// translated "HvStarter error report" as subject); mail is off without server or recipients.
void ReadMailSettings(const TMemIniFile& ini, TMailData& data);
// Erases [Mail] and writes its keys, the password as a stored-password string.
void WriteMailSettings(TMemIniFile& ini, const TMailData& data);

// What the starter's command line asks for.
struct TStarterOptions {
  bool Force = false, TermProgs = false, WriteLog = false, ActPrompt = false, LockScreen = false, UseDarkMode = false;
  TDownMode LogOffMode = TDownMode::dmNone;
  TSuspendMode SuspendMode = TSuspendMode::smNone;
  std::wstring IniOption;  // the "ini" value as given
  std::wstring LastTask;   // first group name
  std::wstring ConfigList; // all group names, ","-separated
  std::vector<std::wstring> Groups;  // the same names as given (a name may hold a comma)
};
TStarterOptions ParseStarterCommandLine(const std::vector<std::wstring>& args);

// The INI file of the "ini" value (placeholders already expanded): iniName and, for an absolute
// value, its folder in aIniPath (with "\"); a relative value lies in appPath.
void ResolveIniOption(std::wstring_view value, std::wstring_view appPath, std::wstring_view programName,
                      std::wstring& iniName, std::wstring& aIniPath);

// What the own INI file holds.
struct TStarterSettings {
  int Top = -1, Left = -1, Width = 0, Height = 0;  // -1: the form's own position
  std::wstring LastTask, LastDir;
  TMailData Mail;
  TGroupList Groups;
};

// "Task" + index with at least two digits.
std::wstring TaskSectionName(int index);

// Reads the file (missing or damaged: the defaults). lastTask is the command line's.
void LoadStarterSettings(std::wstring_view iniName, std::wstring_view lastTask, TStarterSettings& settings);
// Writes the file; raises EWriteError. Sections of groups beyond the count are removed.
void SaveStarterSettings(std::wstring_view iniName, const TStarterSettings& settings);

}  // namespace hv::hvstarter
