#include "unattended/TaskSchedule.h"

#include "base/app/HvUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/PwdDlg.h"
#include "winui/Translate.h"

namespace hv {

namespace {

const wchar_t* const kExtensions[] = {L".buj", L".rsj", L".cuj", L"", L".vfj", L"", L".buj"};
const wchar_t* const kDataPrefixes[] = {L"Backup", L"Restore", L"Cleanup", L"Schedule", L"Verify", L"Starter", L"Ql-Backup"};
const wchar_t* const kNamePrefixes[] = {L"Backup-", L"Restore-", L"Cleanup-", L"Schedule-", L"Verify-", L"Starter-", L"Quillback-"};

int Index(THvAction a) { return static_cast<int>(a); }

std::wstring Trimmed(std::wstring_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= L' ') ++b;
  while (e > b && s[e - 1] <= L' ') --e;
  return std::wstring(s.substr(b, e - b));
}

int NumberOr(std::wstring_view s, int def) {
  std::wstring t(s);
  bool error = false;
  int64_t v = ReadNextInt(t, L' ', def, error);
  return error ? def : static_cast<int>(v);
}

}  // namespace

std::wstring_view ActionExtension(THvAction a) { return kExtensions[Index(a)]; }
std::wstring_view ActionDataPrefix(THvAction a) { return kDataPrefixes[Index(a)]; }
std::wstring_view ActionNamePrefix(THvAction a) { return kNamePrefixes[Index(a)]; }

std::wstring ActionText(THvAction a) {
  static const wchar_t* const kTexts[] = {L"Backup", L"Restore", L"Cleanup", L"Alternating schedule", L"Verify",
                                          L"Start backups", L"Thunderbird mail backup"};
  return _(kTexts[Index(a)]);
}

std::wstring ActionTaskLabel(THvAction a) {
  switch (a) {
    case THvAction::paSchedule: return _(L"Name of alternating schedule:");
    case THvAction::paStarter: return {};
    case THvAction::paQlBackup: return _(L"Thunderbird mail profile:");
    default: return SafeFormat(_(L"Tasks (%s):"), ActionText(a));
  }
}

std::wstring ActionUserData(THvAction a, std::wstring_view task) {
  std::wstring r(ActionDataPrefix(a));
  if (a == THvAction::paSchedule || a == THvAction::paStarter || a == THvAction::paQlBackup) r += L"-" + std::wstring(task);
  return r;
}

std::wstring BuildTaskOptions(const TTaskOptions& o, bool withIni) {
  std::wstring s;
  switch (o.Action) {
    case THvAction::paRestore: s += MakeOption(L"restore"); break;
    case THvAction::paCleanup: s += MakeOption(L"clean"); break;
    case THvAction::paVerify: s += MakeOption(L"verify"); break;
    case THvAction::paSchedule:
    case THvAction::paStarter: s += L" "; break;
    default:
      s += MakeOption(L"force");
      s += MakeOptionValue(L"startapp", L"scheduler");
  }
  if (o.Hide) s += MakeOption(L"hide");
  if (o.Parallel) s += MakeOption(L"parallel");
  static const wchar_t* const kPrompts[] = {L"wait", L"delay", L"quiet", L"error", L"silent"};
  if (o.Prompt >= 0 && o.Prompt <= 4) s += MakeOptionValue(L"prompt", kPrompts[o.Prompt]);
  if (o.Prompt == 1 || o.Prompt == 3) s += MakeOptionInt(L"wait", o.Wait);
  if (o.ErrActions > 0) s += MakeOptionInt(L"erractions", o.ErrActions);
  if (o.Priority == 1) s += MakeOptionValue(L"speed", L"slow");
  if (o.Priority == 2) s += MakeOptionValue(L"speed", L"fast");
  if (withIni && !o.IniFile.empty()) s += MakeOptionValue(L"ini", o.IniFile);
  if (o.LogMode > 0) s += MakeOptionInt(L"logmode", o.LogMode);
  switch (o.EndAction) {
    case 1: s += MakeOptionValue(L"suspend", L"standby"); break;
    case 2: s += MakeOptionValue(L"suspend", L"hibernate"); break;
    case 3: s += MakeOptionValue(L"end", L"logoff"); break;
    case 4: s += MakeOptionValue(L"end", L"shutdown"); break;
    case 5: s += MakeOptionValue(L"end", L"restart"); break;
    default: break;
  }
  return s;
}

namespace {

void ParseTaskOption(std::wstring_view token, std::wstring_view taskDir, TTaskOptions& o, std::wstring& tasks,
                     std::wstring& userOptions) {
  if (token.empty()) return;
  if (token[0] != L'/' && token[0] != L'-') {
    std::wstring item = QuoteIfNeeded(MakeRelativePath(taskDir, token), L" ,");
    if (!tasks.empty()) tasks += L",";
    tasks += item;
    return;
  }
  const std::wstring t(token.substr(1));
  std::wstring v = t;
  auto value = [&v](std::wstring_view word) { return MatchOption(v, word); };
  if (v = t, MatchOptionValue(v, L"end")) {
    if (value(L"logoff")) o.EndAction = 3;
    else if (value(L"restart")) o.EndAction = 5;
    else if (value(L"poweroff") || value(L"shutdown")) o.EndAction = 4;
  } else if (v = t, MatchOptionValue(v, L"suspend")) {
    if (value(L"standby")) o.EndAction = 1;
    else if (value(L"hibernate")) o.EndAction = 2;
  } else if (v = t, MatchOptionValue(v, L"erractions")) {
    o.ErrActions = NumberOr(v, 0);
  } else if (v = t, MatchOptionValue(v, L"speed")) {
    if (value(L"fast")) o.Priority = 2;
    else if (value(L"slow")) o.Priority = 1;
  } else if (v = t, MatchOptionValue(v, L"ini")) {
    o.IniFile = v;
  } else if (v = t, MatchOptionValue(v, L"wait")) {
    o.Wait = NumberOr(v, 5);
  } else if (v = t, MatchOptionValue(v, L"logmode")) {
    o.LogMode = NumberOr(v, 0);
  } else if (v = t, MatchOptionValue(v, L"prompt")) {
    if (value(L"wait")) o.Prompt = 0;
    else if (value(L"delay")) o.Prompt = 1;
    else if (value(L"error")) o.Prompt = 3;
    else if (value(L"quiet")) o.Prompt = 2;
    else if (value(L"silent")) o.Prompt = 4;
  } else if (MatchOption(t, L"quiet")) {
    o.Prompt = 2;
  } else if (MatchOption(t, L"hide")) {
    o.Hide = true;
  } else if (MatchOption(t, L"parallel")) {
    o.Parallel = true;
  } else if (o.Action != THvAction::paQlBackup && MatchOption(t, L"force")) {
    o.Action = THvAction::paBackup;
  } else if (MatchOption(t, L"clean")) {
    o.Action = THvAction::paCleanup;
  } else if (MatchOption(t, L"restore")) {
    o.Action = THvAction::paRestore;
  } else if (MatchOption(t, L"verify")) {
    o.Action = THvAction::paVerify;
  } else if (MatchOption(t, L"mode")) {
    o.Action = THvAction::paSchedule;
  } else if (MatchOption(t, L"sched")) {
  } else if (v = t, MatchOptionValue(v, L"startapp")) {
  } else {
    // kept as it was given; an option with a blank keeps its quotes
    userOptions += L" " + QuoteIfNeeded(L"/" + t, L" ");
  }
}

}  // namespace

void ParseTaskOptions(std::wstring_view args, std::wstring_view taskDir, TTaskOptions& o, std::wstring& tasks,
                      std::wstring& userOptions) {
  tasks.clear();
  userOptions.clear();
  std::wstring s(args);
  do {
    std::wstring token = ReadNextQuotedItem(s, L' ', L'"');
    ParseTaskOption(token, taskDir, o, tasks, userOptions);
  } while (!s.empty());
  userOptions = Trimmed(userOptions);
}

std::wstring TaskSchedulerErrorText(HRESULT code) {
  if (code == kTaskErrNoScheduler2) return _(L"Windows Task Scheduler 2.0 is not available on Windows XP");
  return SafeFormat(_(L"Error on connecting to Windows Task Scheduler:\r\n%s"), SystemErrorText(static_cast<uint32_t>(code)));
}

namespace {

TWinRegisteredTask* TaskAt(TWinTaskScheduler& s, int index) {
  TWinTaskFolder* f = s.TaskFolder();
  if (!f || index < 1 || index > f->TaskCount()) return nullptr;
  return &f->Tasks(index - 1);
}

bool IsLogonError(uint32_t code) {
  uint32_t low = code & 0xFFFF;
  return low >= 1326 && low <= 1332;
}

}  // namespace

int GetActiveTasks(TWinTaskScheduler& s, std::wstring_view filter, std::vector<std::pair<std::wstring, int>>& list) {
  list.clear();
  if (TWinTaskFolder* f = s.TaskFolder())
    for (int i = 0; i < f->TaskCount(); ++i)
      if (f->Tasks(i).IndexOfApp(filter) >= 0) list.emplace_back(f->Tasks(i).TaskName(), i);
  return 0;
}

int GetUserTask(TWinTaskScheduler& s, THvAction action, std::wstring_view userId) {
  TWinTaskFolder* f = s.TaskFolder();
  if (!f) return 0;
  std::wstring data = AnsiLowerCase(std::wstring(ActionDataPrefix(action)) + L"-" + std::wstring(userId));
  for (int i = 0; i < f->TaskCount(); ++i)
    if (AnsiLowerCase(f->Tasks(i).Definition().UserData()) == data) return i + 1;
  return 0;
}

std::wstring GetTaskStatus(TWinTaskScheduler& s, int index) {
  TWinRegisteredTask* t = TaskAt(s, index);
  if (!t) return {};
  return _(L"Status") + L": " + t->StatusAsString() + L"\r\n" + _(L"Last run time") + L": " + t->LastRunTimeAsString() +
         L"\r\n" + _(L"Next run time") + L": " + t->NextRunTimeAsString();
}

void RunScheduledTask(TWinTaskScheduler& s, int index) {
  if (TWinRegisteredTask* t = TaskAt(s, index)) t->Run();
}

void DeleteScheduledTask(TWinTaskScheduler& s, int index) {
  TWinRegisteredTask* t = TaskAt(s, index);
  if (!t) return;
  std::wstring name = t->TaskName();
  if (!s.TaskFolder()->DeleteTask(name)) ErrorDialog(s.TaskFolder()->ErrorMessage());
}

int DeleteScheduledTrigger(TWinTaskScheduler& s, int index, int trgIndex) {
  TWinRegisteredTask* t = TaskAt(s, index);
  if (!t) return mrCancel;
  TWinTask& def = t->Definition();
  std::wstring name = t->TaskName(), user = def.UserId(), password;
  // ask first: a cancelled prompt leaves the definition as it was
  if (def.LogonType() != TLogonType::ltToken) {
    const std::wstring text = _(L"To change this scheduled task requires a password!");
    TPasswordPrompt& prompt = TaskPasswordPrompt();
    if (!(prompt ? prompt(name, text, password) : QueryPassword({-1, -1}, name, text, password))) return mrCancel;
  }
  if (!def.DeleteTrigger(trgIndex)) {
    ErrorDialog(SafeFormat(_(L"Error deleting schedule %u"), trgIndex + 1));
    return mrCancel;
  }
  TWinTaskFolder& f = *s.TaskFolder();
  if (f.RegisterTask(name, def, user, password) >= 0) return mrOk;
  uint32_t code = f.ErrorCode();
  std::wstring message = f.ErrorMessage();
  int result = mrCancel;
  if (IsLogonError(code)) {
    ErrorDialog(SystemErrorText(code) + L"\r\n" + _(L"Could not create or modify scheduled task!"));
    result = mrRetry;
  } else {
    ErrorDialog(SystemErrorText(code) + L" - \"" + message + L"\"");
  }
  f.Refresh();
  return result;
}

TPasswordPrompt& TaskPasswordPrompt() {
  static TPasswordPrompt prompt;
  return prompt;
}

}  // namespace hv
