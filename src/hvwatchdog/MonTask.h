#pragma once
// Monitored directories of the watchdog, each tied to a backup job file of the main program, and
// the checks of those job files.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hvwatchdog/DirectoryWatch.h"
#include "hvwatchdog/ShowFilter.h"

namespace hv {

class TBackupThread;

enum class TMonTaskStatus : uint8_t { mtEnabled, mtDisabled, mtInvalid };

constexpr size_t kMaxMonTasks = 25;

class TMonTask {
 public:
  TMonTask(std::wstring_view buTask, std::wstring_view dir);
  ~TMonTask();
  TMonTask(const TMonTask&) = delete;
  TMonTask& operator=(const TMonTask&) = delete;

  // 0 not watched (or the watch has died), 1 watched, 2 watched with a backup run going.
  int GetRunStatus() const;

  TMonTaskStatus MonStatus = TMonTaskStatus::mtEnabled;
  std::wstring BuTask;
  std::wstring Dir;
  std::wstring DestDir;
  std::wstring DrvId;
  std::wstring NoCompCommaText;
  int ErrCount = 0;
  int DestMode = 0;
  int Compress = 0;
  int RetainBak = 0;
  TMonFilter MonFilter;
  TMatchList FileList;
  TWatchOptions Watches = woFileName | woDirName | woSize | woLastWrite | woCreation;
  std::unique_ptr<TDirectoryWatch> DirWatch;
  std::unique_ptr<TBackupThread> BuThread;
};

// Logs a message of the checks (the main form's log).
using TLogLine = std::function<void(const std::wstring&)>;

// What the job checks take from the watchdog's settings.
struct TTaskDefaults {
  std::wstring DriveId;
  std::wstring NoCompress;
};

// 0 usable, 1 settings the watchdog cannot use, 2 not found, 3 unreadable. sources, when given,
// receives the job's existing source folders with their section numbers.
int CheckTaskFile(std::wstring_view fileName, std::vector<std::pair<std::wstring, int>>* sources);
// The destination holds a placeholder other than %hour%.
bool HasPlaceholders(std::wstring_view destination);
// The message shown when a job cannot be used.
std::wstring TaskConditionsText(std::wstring_view fileName);
// Reads the job's destination, compression and filters into the task: 0, or 2 with the state
// set to mtInvalid and the reason logged.
int LoadTaskSettings(TMonTask& task, const TTaskDefaults& defaults, const TLogLine& log);

// The monitored directories in list order.
class TMonTaskList {
 public:
  enum TAddResult { arAdded, arDuplicate, arFull };
  // Refuses the same directory of the same job, and a 26th directory.
  TAddResult Add(std::unique_ptr<TMonTask> task);
  // The message for a refused directory.
  static std::wstring RefusedText(TAddResult result, const TMonTask& task);
  void Remove(size_t index);
  size_t Count() const { return FItems.size(); }
  bool Empty() const { return FItems.empty(); }
  TMonTask& operator[](size_t i) { return *FItems[i]; }
  const TMonTask& operator[](size_t i) const { return *FItems[i]; }
  // "01: " and the directory.
  static std::wstring ItemText(size_t index, const TMonTask& task);
  auto begin() { return FItems.begin(); }
  auto end() { return FItems.end(); }
  void Clear() { FItems.clear(); }

 private:
  std::vector<std::unique_ptr<TMonTask>> FItems;
};

}  // namespace hv
