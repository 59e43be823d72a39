#pragma once
// What a scheduled task of the suite runs, the main program's options of such a task (built from
// and parsed into the values of the wizard's "Settings" page) and the task queries the main forms
// use.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "unattended/WinTask.h"

namespace hv {

enum class THvAction : uint8_t { paBackup, paRestore, paCleanup, paSchedule, paVerify, paStarter, paQlBackup };

// Task-file extension (empty for paSchedule and paStarter), registration data prefix, the prefix
// of a new task's name, the translated action text and label of the task field.
std::wstring_view ActionExtension(THvAction a);
std::wstring_view ActionDataPrefix(THvAction a);
std::wstring_view ActionNamePrefix(THvAction a);
std::wstring ActionText(THvAction a);
std::wstring ActionTaskLabel(THvAction a);
// The registration data of a task: prefix + "-" + task for paSchedule, paStarter, paQlBackup.
std::wstring ActionUserData(THvAction a, std::wstring_view task);

// The values of the "Settings" page that make the main program's options.
struct TTaskOptions {
  THvAction Action = THvAction::paBackup;
  int Prompt = 1;  // "Wait for prompt", "Close automatically", "Not visible", "Wait only on errors", "Not visible except on errors"
  int Wait = 3;    // seconds, 1..99
  bool Hide = true;
  bool Parallel = false;
  int EndAction = 0;  // "None", "Standby", "Hibernate", "Logoff", "Shutdown", "Restart"
  int ErrActions = 0;
  int Priority = 0;  // "Normal", "Low", "High"
  int LogMode = 0;   // "As in task", "Short", "Long", "Verbose"
  std::wstring IniFile;
};

std::wstring BuildTaskOptions(const TTaskOptions& o, bool withIni);
// Reads a stored command line into o; task files are made relative to taskDir and joined with
// "," (quoted when they hold a blank or comma); options not known are kept in userOptions.
void ParseTaskOptions(std::wstring_view args, std::wstring_view taskDir, TTaskOptions& o, std::wstring& tasks,
                      std::wstring& userOptions);

// Text for the result of connecting to the task service.
std::wstring TaskSchedulerErrorText(HRESULT code);

// Queries on the root folder of a connected scheduler; indexes from 1.
// Name and 0-based index of every task that runs the program file filter.
int GetActiveTasks(TWinTaskScheduler& s, std::wstring_view filter, std::vector<std::pair<std::wstring, int>>& list);
int GetUserTask(TWinTaskScheduler& s, THvAction action, std::wstring_view userId);
std::wstring GetTaskStatus(TWinTaskScheduler& s, int index);
void RunScheduledTask(TWinTaskScheduler& s, int index);
void DeleteScheduledTask(TWinTaskScheduler& s, int index);
// Removes trigger trgIndex (from 0) of task index and registers the task again: 1 done, 2 error or
// cancelled, 4 the account was refused.
int DeleteScheduledTrigger(TWinTaskScheduler& s, int index, int trgIndex);

// Asks for the password of an account (title, prompt); false when cancelled. Unset: the
// suite's password dialog centred on the main form.
using TPasswordPrompt = std::function<bool(std::wstring_view title, std::wstring_view prompt, std::wstring& password)>;
TPasswordPrompt& TaskPasswordPrompt();

}  // namespace hv
