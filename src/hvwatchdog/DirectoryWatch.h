#pragma once
// Reports the changes in a directory tree to the main thread: a watch thread per directory waits
// for the file system's change notifications with overlapped reads.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace hv {

enum TWatchOption : uint32_t {
  woFileName = 0x1, woDirName = 0x2, woAttributes = 0x4, woSize = 0x8, woLastWrite = 0x10, woLastAccess = 0x20,
  woCreation = 0x40, woSecurity = 0x100
};
using TWatchOptions = uint32_t;
constexpr TWatchOptions kAllWatchOptions = 0x17F;

enum TWatchAction : uint8_t { waAdded, waRemoved, waModified, waRenamedOld, waRenamedNew };
using TWatchActions = uint32_t;  // bit (1 << action)
constexpr TWatchActions kAllWatchActions = 0x1F;

class TDirectoryWatch;
using TFileChangeNotifyEvent =
    std::function<void(TDirectoryWatch& sender, int chgNotId, TWatchAction action, const std::wstring& fileName)>;
using TOnError = std::function<void(TDirectoryWatch& sender, int errorCode, const std::wstring& errorMessage)>;

// One change record of a notification buffer: Windows action code 1..5 and the relative name.
struct TRawChange {
  uint32_t Action;
  std::wstring Name;
};
// Walks the records of a filled notification buffer; stops at a record that leaves the buffer.
std::vector<TRawChange> ParseNotifyBuffer(const void* buffer, size_t bytes);

class TDirectoryWatch {
 public:
  explicit TDirectoryWatch(int id);
  virtual ~TDirectoryWatch();
  TDirectoryWatch(const TDirectoryWatch&) = delete;
  TDirectoryWatch& operator=(const TDirectoryWatch&) = delete;

  // Raises Exception "Please specify a directory to watch" for an empty directory, and the open
  // error of the directory; does nothing while started.
  void Start();
  // Cancels the pending read, joins the thread and closes the directory; changes the thread had
  // reported are handed to OnNotify first.
  void Stop();
  // A thread was started and not stopped yet.
  bool Started() const { return FThread != nullptr; }
  // Started and still watching: false after the thread ended on an error.
  bool Running() const;

  const std::wstring& Directory() const { return FDirectory; }
  void SetDirectory(std::wstring_view dir);
  bool WatchSubTree() const { return FWatchSubTree; }
  void SetWatchSubTree(bool value);
  TWatchOptions WatchOptions() const { return FWatchOptions; }
  void SetWatchOptions(TWatchOptions value);
  TWatchActions WatchActions() const { return FWatchActions; }
  void SetWatchActions(TWatchActions value);
  // Capacity of the notification buffer in records of 532 bytes; taken at the next start.
  int BufferSize() const { return FBufferSize; }
  void SetBufferSize(int records) { FBufferSize = records < 1 ? 1 : records; }
  int Id() const { return FId; }

  // Hands queued changes and errors to the handlers; the hidden window calls it when the thread
  // reports, owners may call it at any time on the main thread. Returns the number handled.
  size_t ProcessPending();

  TFileChangeNotifyEvent OnNotify;
  TOnError OnError;
  std::function<void(TDirectoryWatch&)> OnChange;

  // Test hook: the next completed read fails with this code (1022: an overflow).
  void SimulateFailure(uint32_t code);

 protected:
  virtual void DoChange();
  virtual void DoNotify(uint32_t action, const std::wstring& fileName);

 private:
  struct TShared;
  struct TThread;
  void Restart();
  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

  TWatchOptions FWatchOptions = kAllWatchOptions;
  TWatchActions FWatchActions = kAllWatchActions;
  bool FWatchSubTree = true;
  int FId;
  int FBufferSize = 32;
  HWND FWndHandle = nullptr;
  std::wstring FDirectory;
  std::shared_ptr<TShared> FShared;
  std::unique_ptr<TThread> FThread;
};

// Overflow of the notification buffer (ERROR_NOTIFY_ENUM_DIR): the tree was read again.
constexpr int kWatchOverflow = 1022;

}  // namespace hv
