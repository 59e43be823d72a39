#pragma once
// An object model over the Windows Task Scheduler 2.0: the connection, a folder with a snapshot of
// its tasks, registered tasks, definitions with their triggers, actions and settings; the task
// time and duration texts and the state of the task service.
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/os/FileUtils.h"
#include "base/text/ExtSysUtils.h"
#include "unattended/TaskSchedulerDecl.h"

namespace hv {

using Microsoft::WRL::ComPtr;

// A failed platform call: the HRESULT and the system's text for it.
class EOleSysError : public Exception {
 public:
  explicit EOleSysError(HRESULT code);
  HRESULT ErrorCode() const noexcept { return FCode; }

 private:
  HRESULT FCode;
};
// Raises EOleSysError for a failing HRESULT.
void OleCheck(HRESULT hr);

// An index outside a list.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// Result codes of the connection.
constexpr HRESULT kTaskErrNoScheduler2 = static_cast<HRESULT>(0xA0001322);  // Windows below version 6
constexpr HRESULT kTaskErrServiceNotRunning = static_cast<HRESULT>(0x80041315);
constexpr HRESULT kTaskSecurityAlreadySet = static_cast<HRESULT>(0x80010119);
// Last results of a task that never ran and of a running one.
constexpr LONG kTaskHasNotRun = 0x41303;
constexpr LONG kTaskIsRunning = 0x41301;

enum class TWinTaskStatus : uint8_t { tsUnknown, tsReady, tsQueued, tsRunning, tsDisabled };
enum class TWinTaskCompatibility : uint8_t { tcAT, tcXP, tcVista, tcWin7, tcWin10 };
enum class TMultipleInstances : uint8_t { miParallel, miQueue, miIgnoreNew, miStopExisting };
enum class TLogonType : uint8_t { ltNone, ltPassword, ltS4U, ltToken, ltGroup, ltService, ltTokenPassword };
enum class TThreadPriority : uint8_t { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
enum class TWinTaskTriggerType : uint8_t {
  ttEvent, ttTime, ttDaily, ttWeekly, ttMonthly, ttMonthlyDow, ttIdle, ttRegistration, ttBoot, ttLogon,
  ttSessionStateChange, ttCustom
};
enum class TWinTaskActionType : uint8_t { taExec, taCom, taMail, taMessage };

// ---- time and duration texts, service state ----

// What the time functions ask of the system; replaceable for tests.
class ITaskClock {
 public:
  virtual ~ITaskClock() = default;
  virtual TDateTime Now() = 0;
  // Offset of local time from UTC in minutes (east positive) in effect at the local time t.
  virtual int UtcOffsetMinutes(TDateTime localTime) = 0;
};
ITaskClock& TaskClock();
void SetTaskClock(ITaskClock* clock);  // nullptr: the system's

template <class... A>
std::wstring SafeFormatTask(std::wstring_view pattern, const A&... args) noexcept {
  return SafeFormat(pattern, args...);
}
std::wstring PluralText(std::wstring_view singular, std::wstring_view plural, int count);
// State of a Windows service (4 running); 0 when it cannot be queried.
uint32_t GetServiceState(std::wstring_view machineName, std::wstring_view serviceName);
uint16_t ReadNextNumber(std::wstring& s);
// A task date-time text; zone is true when text follows the seconds. A time with "Z" or an offset
// is turned into local time.
TDateTime TaskTimeToDateTime(std::wstring_view s, bool& zone);
TDateTime TaskTimeToDateTime(std::wstring_view s);
// With zone, the offset in effect at dt is appended ("Z" for none).
std::wstring DateTimeToTaskTime(TDateTime dt, bool withZone);
// Locale date and time; empty before 2000-01-01.
std::wstring DateTimeToText(TDateTime dt);
TWinTaskCompatibility DefaultCompatibility();
TWinTaskCompatibility CompatibilityForVersion(bool nt, unsigned major, unsigned minor);
uint32_t DurationToSeconds(std::wstring_view s);
// Date-time values and the system's date-time record (milliseconds rounded).
SYSTEMTIME DateTimeToSystemTime(TDateTime dt);
TDateTime SystemTimeToDateTime(const SYSTEMTIME& st);
std::wstring SecondsToDuration(uint32_t n);

std::wstring StatusText(TWinTaskStatus status);
std::wstring CompatibilityText(TWinTaskCompatibility c);
std::wstring TriggerTypeText(TWinTaskTriggerType t);
std::wstring ActionTypeText(TWinTaskActionType t);
// A stored program path without one pair of surrounding double quotes.
std::wstring RemoveQuotes(std::wstring_view s);

class TWinTask;

// ---- triggers and actions ----

class TWinTaskTrigger {
 public:
  void SetTaskTrigger(ITrigger* value);
  // A trigger just created: its type is known.
  void SetTaskTrigger(ITrigger* value, TWinTaskTriggerType type);
  void SetToDefault(std::wstring_view userId);

  ITrigger* TaskTrigger() const { return pTrigger.Get(); }
  TWinTaskTriggerType TriggerType() const { return FTriggerType; }
  std::wstring TriggerTypeAsString() const { return TriggerTypeText(FTriggerType); }
  std::wstring TriggerString() const;
  bool UseTimeZone = false;

  std::wstring Id() const;
  void SetId(std::wstring_view v);
  bool Enabled() const;
  void SetEnabled(bool v);
  TDateTime StartTime() const;
  void SetStartTime(TDateTime v);
  std::wstring StartTimeBoundary() const;
  TDateTime EndTime() const;
  void SetEndTime(TDateTime v);
  uint32_t ExecutionTimeLimit() const;
  void SetExecutionTimeLimit(uint32_t seconds);
  uint32_t Interval() const;
  void SetInterval(uint32_t seconds);
  uint32_t Duration() const;
  void SetDuration(uint32_t seconds);
  bool StopAtDurationEnd() const;
  void SetStopAtDurationEnd(bool v);
  uint32_t Delay() const;
  void SetDelay(uint32_t seconds);
  uint32_t RandomDelay() const;
  void SetRandomDelay(uint32_t seconds);
  int16_t DaysInterval() const;
  void SetDaysInterval(int16_t v);
  int DaysOfWeek() const;
  void SetDaysOfWeek(int v);
  int WeeksInterval() const;
  void SetWeeksInterval(int v);
  int WeeksOfMonth() const;
  void SetWeeksOfMonth(int v);
  bool RunOnLastWeekOfMonth() const;
  void SetRunOnLastWeekOfMonth(bool v);
  int DaysOfMonth() const;
  void SetDaysOfMonth(int v);
  bool RunOnLastDayOfMonth() const;
  void SetRunOnLastDayOfMonth(bool v);
  int MonthsOfYear() const;
  void SetMonthsOfYear(int v);
  std::wstring LogonUserId() const;
  void SetLogonUserId(std::wstring_view v);
  std::wstring Subscription() const;
  void SetSubscription(std::wstring_view v);

 private:
  template <class I>
  ComPtr<I> As() const;
  ComPtr<IRepetitionPattern> Repetition() const;
  ComPtr<ITrigger> pTrigger;
  TWinTaskTriggerType FTriggerType = TWinTaskTriggerType::ttCustom;
};

class TWinTaskAction {
 public:
  void SetTaskAction(IAction* value);
  IAction* TaskAction() const { return pAction.Get(); }
  TWinTaskActionType ActionType() const;
  std::wstring ActionTypeAsString() const { return ActionTypeText(ActionType()); }
  std::wstring Id() const;
  void SetId(std::wstring_view v);
  // Exec actions only; other kinds raise EOleSysError (E_NOINTERFACE).
  std::wstring ApplicationPath() const;
  void SetApplicationPath(std::wstring_view v);
  std::wstring Arguments() const;
  void SetArguments(std::wstring_view v);
  std::wstring WorkingDirectory() const;
  void SetWorkingDirectory(std::wstring_view v);

 private:
  ComPtr<IExecAction> Exec() const;
  ComPtr<IAction> pAction;
  TWinTaskActionType FActionType = TWinTaskActionType::taExec;
};

class TWinTaskTriggers {
 public:
  explicit TWinTaskTriggers(TWinTask& task) : FTask(task) {}
  TWinTaskTrigger& New(TWinTaskTriggerType type);
  TWinTaskTrigger& Add(ITrigger* trigger);
  TWinTaskTrigger& Add(ITrigger* trigger, TWinTaskTriggerType type);
  void ClearAll();
  void Remove(int index);
  void ClearWrappers() { FItems.clear(); }
  int Count() const { return static_cast<int>(FItems.size()); }
  TWinTaskTrigger& operator[](int index) const;

 private:
  TWinTask& FTask;
  std::vector<std::unique_ptr<TWinTaskTrigger>> FItems;
};

class TWinTaskActions {
 public:
  explicit TWinTaskActions(TWinTask& task) : FTask(task) {}
  TWinTaskAction& New(TWinTaskActionType type);
  TWinTaskAction& Add(IAction* action);
  void ClearAll();
  void Remove(int index);
  void ClearWrappers() { FItems.clear(); }
  int Count() const { return static_cast<int>(FItems.size()); }
  TWinTaskAction& operator[](int index) const;

 private:
  TWinTask& FTask;
  std::vector<std::unique_ptr<TWinTaskAction>> FItems;
};

// ---- settings ----

class TWinTaskIdleSettings {
 public:
  explicit TWinTaskIdleSettings(IIdleSettings* s) : pIdleSettings(s) {}
  uint32_t IdleDuration() const;
  void SetIdleDuration(uint32_t seconds);
  uint32_t WaitTimeout() const;
  void SetWaitTimeout(uint32_t seconds);
  bool RestartOnIdle() const;
  void SetRestartOnIdle(bool v);
  bool StopOnIdleEnd() const;
  void SetStopOnIdleEnd(bool v);

 private:
  ComPtr<IIdleSettings> pIdleSettings;
};

class TWinTaskSettings {
 public:
  explicit TWinTaskSettings(ITaskSettings* s);
  TWinTaskIdleSettings& IdleSettings();

  bool AllowDemandStart() const;
  void SetAllowDemandStart(bool v);
  bool AllowHardTerminate() const;
  void SetAllowHardTerminate(bool v);
  TWinTaskCompatibility Compatibility() const;
  void SetCompatibility(TWinTaskCompatibility v);
  // Hours; -1 never.
  int DeleteExpiredTaskAfter() const;
  void SetDeleteExpiredTaskAfter(int hours);
  bool DisallowOnBatteries() const;
  void SetDisallowOnBatteries(bool v);
  uint32_t ExecutionTimeLimit() const;  // hours
  void SetExecutionTimeLimit(uint32_t hours);
  bool Hidden() const;
  void SetHidden(bool v);
  TMultipleInstances MultipleInstances() const;
  void SetMultipleInstances(TMultipleInstances v);
  TThreadPriority Priority() const;
  void SetPriority(TThreadPriority v);
  uint32_t RestartCount() const;
  void SetRestartCount(uint32_t v);
  uint32_t RestartInterval() const;  // minutes
  void SetRestartInterval(uint32_t minutes);
  bool RunIfMissed() const;
  void SetRunIfMissed(bool v);
  bool RunOnlyIfIdle() const;
  void SetRunOnlyIfIdle(bool v);
  bool RunOnlyIfNetwork() const;
  void SetRunOnlyIfNetwork(bool v);
  bool StopOnBatteries() const;
  void SetStopOnBatteries(bool v);
  bool WakeToRun() const;
  void SetWakeToRun(bool v);

 private:
  ComPtr<ITaskSettings> pSettings;
  std::unique_ptr<TWinTaskIdleSettings> FIdleSettings;
};

// ---- definitions, tasks, folders ----

class TWinTask {
 public:
  explicit TWinTask(ITaskDefinition* definition);
  TWinTask(const TWinTask&) = delete;
  TWinTask& operator=(const TWinTask&) = delete;

  ITaskDefinition* Definition() const { return pDefinition.Get(); }
  void Refresh();

  TWinTaskActions& Actions() { return FActions; }
  TWinTaskAction& Action(int index) const { return FActions[index]; }
  int ActionCount() const { return FActions.Count(); }
  TWinTaskTriggers& Triggers() { return FTriggers; }
  TWinTaskTrigger& Trigger(int index) const { return FTriggers[index]; }
  int TriggerCount() const { return FTriggers.Count(); }
  TWinTaskSettings& Settings() { return *FSettings; }
  int SelectedAction = -1;

  TWinTaskAction& NewAction(TWinTaskActionType type);
  bool DeleteAction(int index);
  bool DeleteTrigger(int index);
  TWinTaskTrigger& NewTrigger(TWinTaskTriggerType type);
  int IndexOfApp(std::wstring_view appFilter);
  int IndexOfNextExecAction(int fromIndex);

  std::wstring Author() const;
  void SetAuthor(std::wstring_view v);
  std::wstring Description() const;
  void SetDescription(std::wstring_view v);
  std::wstring Documentation() const;
  void SetDocumentation(std::wstring_view v);
  TDateTime Date() const;
  void SetDate(TDateTime v);
  std::wstring DateAsString() const { return DateTimeToText(Date()); }
  std::wstring DisplayName() const;
  void SetDisplayName(std::wstring_view v);
  std::wstring GroupId() const;
  void SetGroupId(std::wstring_view v);
  std::wstring Id() const;
  void SetId(std::wstring_view v);
  std::wstring UserId() const;
  void SetUserId(std::wstring_view v);
  TLogonType LogonType() const;
  void SetLogonType(TLogonType v);
  bool HighestRunLevel() const;
  void SetHighestRunLevel(bool v);
  std::wstring UserData() const;
  void SetUserData(std::wstring_view v);
  std::wstring XmlText() const;
  void SetXmlText(std::wstring_view v);
  std::wstring CompatibilityAsString() const { return CompatibilityText(FSettings->Compatibility()); }

 private:
  ComPtr<IRegistrationInfo> RegInfo() const;
  ComPtr<IPrincipal> Principal() const;
  ComPtr<ITaskDefinition> pDefinition;
  TWinTaskActions FActions;
  TWinTaskTriggers FTriggers;
  std::unique_ptr<TWinTaskSettings> FSettings;
};

class TWinRegisteredTask {
 public:
  explicit TWinRegisteredTask(IRegisteredTask* task);
  void Refresh() { FTask->Refresh(); }
  IRegisteredTask* Task() const { return pRegisteredTask.Get(); }
  const std::wstring& TaskName() const { return FTaskName; }
  int TaskIndex = -1;
  TWinTask& Definition() { return *FTask; }

  bool Enabled() const;
  void SetEnabled(bool v);
  TWinTaskStatus Status() const;
  std::wstring StatusAsString() const { return StatusText(Status()); }
  TDateTime LastRunTime() const;
  TDateTime NextRunTime() const;
  std::wstring LastRunTimeAsString() const { return DateTimeToText(LastRunTime()); }
  std::wstring NextRunTimeAsString() const { return DateTimeToText(NextRunTime()); }
  int LastResult() const;
  int NumberOfMissedRuns() const;
  std::wstring Path() const;
  std::wstring Xml() const;
  void Run();
  void Stop();
  int IndexOfApp(std::wstring_view appFilter) { return FTask->IndexOfApp(appFilter); }

 private:
  ComPtr<IRegisteredTask> pRegisteredTask;
  std::wstring FTaskName;
  std::unique_ptr<TWinTask> FTask;
};

class TWinTaskSubFolder {
 public:
  explicit TWinTaskSubFolder(ITaskFolder* folder) : pTaskFolder(folder) {}
  std::wstring Name() const;
  std::wstring Path() const;

 private:
  ComPtr<ITaskFolder> pTaskFolder;
};

class TWinTaskFolder {
 public:
  explicit TWinTaskFolder(ITaskFolder* rootFolder) : pRootFolder(rootFolder) {}
  uint32_t Refresh();
  int IndexOfTask(std::wstring_view taskName) const;
  int IndexOfFolder(std::wstring_view folderName) const;
  int RegisterTask(std::wstring_view taskName, TWinTask& task, std::wstring_view userName,
                   std::wstring_view password);
  bool DeleteTask(std::wstring_view taskName);
  int CreateFolder(std::wstring_view name);
  bool DeleteFolder(std::wstring_view name);

  int TaskCount() const { return static_cast<int>(FTasks.size()); }
  int NumberOfTasks() const { return TaskCount(); }
  int FolderCount() const { return static_cast<int>(FFolders.size()); }
  TWinRegisteredTask& Tasks(int index) const;
  TWinTaskSubFolder& Folders(int index) const;
  const std::wstring& ErrorMessage() const { return FErrMsg; }
  uint32_t ErrorCode() const { return FErrorCode; }
  std::wstring FolderName() const;
  std::wstring FolderPath() const;

 private:
  void SetError(const EOleSysError& e);
  void ClearError();
  ComPtr<ITaskFolder> pRootFolder;
  std::vector<std::unique_ptr<TWinRegisteredTask>> FTasks;
  std::vector<std::unique_ptr<TWinTaskSubFolder>> FFolders;
  std::wstring FErrMsg;
  uint32_t FErrorCode = 0;
};

// What connecting asks of the system; replaceable for tests.
class ITaskPlatform {
 public:
  virtual ~ITaskPlatform() = default;
  virtual unsigned MajorVersion();
  virtual bool ServiceRunning();
  virtual HRESULT InitSecurity();
  virtual HRESULT CreateService(ITaskService** service);
};
ITaskPlatform& TaskPlatform();
void SetTaskPlatform(ITaskPlatform* platform);  // nullptr: the system's

class TWinTaskScheduler {
 public:
  // Initialises COM security and creates the platform's service (TaskPlatform()).
  TWinTaskScheduler();
  TWinTaskScheduler(const TWinTaskScheduler&) = delete;
  TWinTaskScheduler& operator=(const TWinTaskScheduler&) = delete;

  HRESULT Init();
  HRESULT Refresh();
  std::unique_ptr<TWinTask> NewTask();
  static bool IsRunning();
  ITaskService* Service() const { return pService.Get(); }
  TWinTaskFolder* TaskFolder() const { return FTaskFolder.get(); }
  const std::wstring& Path() const { return FFolder; }
  void SetPath(std::wstring_view path);
  HRESULT CreationResult() const { return FResult; }

 private:
  ComPtr<ITaskService> pService;
  std::wstring FFolder = L"\\";
  std::unique_ptr<TWinTaskFolder> FTaskFolder;
  HRESULT FResult = E_FAIL;
};

// Checks the platform and connects; a negative result means no usable scheduler (scheduler is then
// left empty).
HRESULT ConnectTaskScheduler(std::unique_ptr<TWinTaskScheduler>& scheduler);

}  // namespace hv
