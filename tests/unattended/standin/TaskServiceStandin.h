#pragma once
// An in-process stand-in of the Task Scheduler 2.0 service for tests: the same COM interfaces with
// the states, task XML and error codes the platform's service gives. Its clock and time zone are
// hv::TaskClock(); accounts and the current user are set on the stand-in.
#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "unattended/TaskSchedulerDecl.h"

namespace hv::test {

struct TStandinAccount {
  std::wstring User;      // as "DOMAIN\user"; the bare name also matches
  std::wstring Password;
  uint32_t LogonError = 0;  // 1327..1331: the account is refused for this reason
};

struct TStandinState;

class TTaskServiceStandin {
 public:
  TTaskServiceStandin();
  ~TTaskServiceStandin();
  // A new service object on the stand-in's state (not connected).
  Microsoft::WRL::ComPtr<ITaskService> NewService();

  // The user that Connect reports and that token logons run as.
  void SetCurrentUser(std::wstring_view user);
  void AddAccount(TStandinAccount account);
  // Without administrator rights, tasks with the highest run level or for other users are refused.
  void SetAdmin(bool admin);
  void SetConnectResult(HRESULT hr);

  // What happens outside the program: a run ends, a task is deleted or started by someone else.
  void FinishRun(std::wstring_view taskPath, LONG result);
  bool DeleteOutside(std::wstring_view taskPath);
  bool RunOutside(std::wstring_view taskPath);
  // The stored XML of a task, empty when there is none.
  std::wstring StoredXml(std::wstring_view taskPath);
  // The user and password of the last registration.
  std::wstring LastUser() const;
  std::wstring LastPassword() const;
  int TaskCount(std::wstring_view folderPath = L"\\");

 private:
  std::shared_ptr<TStandinState> FState;
};

}  // namespace hv::test
