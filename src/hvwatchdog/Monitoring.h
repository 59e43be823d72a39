#pragma once
// Monitoring of the watchdog without its window: watches, pending names, the interval, backup runs
// and the daily log. The main form drives it with its timer and shows what it reports.
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "hvwatchdog/MonTask.h"

namespace hv {

// "No files", "1 file", "%u files" with thousands separators above 9999.
std::wstring FileCountText(size_t count);
// The countdown to the next run: "1 h2 m", "12 m", "2 m 5 s", "59 s"; "on demand" when not periodic.
std::wstring CountdownText(bool periodic, int timeCount);
// "HvWatchdog yyyy-mm-dd.log" in logDir.
std::wstring DailyLogName(std::wstring_view logDir, const SYSTEMTIME& st);

class TWdMonitor {
 public:
  TWdMonitor();
  ~TWdMonitor();
  TWdMonitor(const TWdMonitor&) = delete;
  TWdMonitor& operator=(const TWdMonitor&) = delete;

  TMonTaskList Tasks;
  TTaskDefaults Defaults;
  std::wstring LogDir;
  bool WriteLog = false;
  // Seconds; -1 only on request.
  int BuInterval = 1800;
  int TimeCount = 0;
  bool InstantBackup = false;

  // A line for the log memo (also written to the daily log while it is open).
  std::function<void(const std::wstring&)> OnLog;
  // Something the user must see at once (a watch error, a stopped watch, a log that failed).
  std::function<void(const std::wstring&)> OnNotice;
  // After every run: the settings with the pending names.
  std::function<void()> OnSaveSettings;
  // Processes the main thread's messages during waits.
  std::function<void()> ProcessMessages;
  // Watch buffer in records.
  int WatchBufferRecords = 120;

  size_t FileCount() const;
  bool Monitoring() const { return FMonitoring; }
  bool InFinalWait() const { return FInFinalWait; }
  bool LogOpen() const { return FLog != INVALID_HANDLE_VALUE; }

  // Checks the enabled directories and starts their watches; false (with the message) when none
  // is left to monitor.
  bool StartMonitoring(std::wstring& error);
  // Stops the watches, copies what is pending and waits for the backup threads.
  void StopMonitoring();
  // The one-second timer. Returns true when a run was made.
  bool Tick();
  void RunBackup(bool final);
  // Frees the backup threads that are done, their unfinished names pending again; true while
  // one still runs.
  bool ReleaseDoneThreads();
  // Program end: stops the watches and waits for running backup threads (cancelled after their
  // current file when endSession); their unfinished names stay pending.
  void Close(bool endSession);

  void DirChangeNotify(int chgNotId, TWatchAction action, const std::wstring& fileName);
  void AddLogLine(const std::wstring& line);
  void AddLogLines(const std::vector<std::wstring>& lines);
  // Hands the lines of the backup threads to the log.
  void DrainLines();
  bool AnyBackupRunning() const;
  // Start-up check of the job files; directories with a running backup are left alone.
  void CheckTasks();

 private:
  void WaitForBackupThreads(bool cancel);
  void OpenLog();
  void CloseLog();
  void WatchError(TMonTask& task, size_t pos, int code, const std::wstring& text);
  void WatchChanged(TMonTask& task);
  // A filter gave up on a name: reported once, in the log and as a notice.
  void FilterStalled(const TMonTask& task, size_t pos, const TTextFilter& filter);
  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

  struct TLines {
    std::mutex Lock;
    std::vector<std::wstring> Items;
    HWND Wnd = nullptr;
    bool Posted = false;
    ULONGLONG LastPost = 0;
  };
  std::shared_ptr<TLines> FLines;
  HWND FWnd = nullptr;
  HANDLE FLog = INVALID_HANDLE_VALUE;
  bool FMonitoring = false;
  bool FInFinalWait = false;
};

}  // namespace hv
