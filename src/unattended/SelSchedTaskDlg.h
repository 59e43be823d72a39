#pragma once
// The list of the scheduled tasks that start the running program: details and triggers of the
// selected one; run or stop it, switch it on or off, delete it or pick it for editing.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "unattended/WinTask.h"
#include "winui/ComCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

// An on/off switch: a track with a round thumb (green when on, red when off) and its caption.
class TToggleSwitch : public TControl {
 public:
  void Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent = nullptr);
  bool Checked() const { return FChecked; }
  void SetChecked(bool value);
  // A click by the user, after the state has flipped.
  std::function<void()> OnClick;
  void HandleCommand(WORD code) override;
  bool HandleDrawItem(const DRAWITEMSTRUCT& di) override;

 private:
  bool FChecked = false;
};

class TSelectSchedTaskDialog : public TForm {
 public:
  TSelectSchedTaskDialog();
  ~TSelectSchedTaskDialog() override;
  // 1 edit task taskIndex (trigger trgIndex), 2 closed, 6 a task was deleted or none selected,
  // 7 no task of the program.
  int Execute(std::wstring_view title, TWinTaskScheduler& scheduler, std::wstring_view filter, int& taskIndex,
              int& trgIndex);

  TListView lvTasks;
  TGroupBox gbDetails;
  TLabel laUserAccount, laComment, laCreator, laStatus, laApplication, laParameters, laWorkDir, laSchedule, laEnabled;
  TEdit edUserAccount, edComment, edCreator, edStatus, edApplication, edParameters, edWorkDir;
  TListBox lbTriggers;
  TToggleSwitch tsStatus;
  TButton btbRun, btnDelete, btbEdit, btbCancel;
  TTimer tmUpdate;
  bool Changed = false;

  // Rows as listed: the task's index in the folder.
  int SelectedTask() const;
  int LoadTaskList(bool reload);
  void tmUpdateTimer();
  // The text of the result hint while it shows, else empty.
  std::wstring ShownResultHint() const { return FHintRow >= 0 ? FHintText : std::wstring(); }
  HWND ResultHintWindow() const { return FHint; }
  void lvTasksMouseMove(int x, int y);
  void HideResultHint();

 protected:
  void FormCreate() override;
  void FormShow() override;
  void FormClose() override;
  bool CloseQuery() override;
  bool FormHelp() override;
  std::wstring ControlHelpText(TControl& control) override;

 private:
  struct TRow {
    std::wstring Name, Status, LastRun, NextRun;
    TDateTime LastRunTime = 0, NextRunTime = 0;
    int Index = -1;
    int Result = 0;
  };
  void ShowTaskDetails();
  void SetDetailText(TEdit& edit, const std::wstring& text);
  void UpdateStatusSwitch(TWinTaskStatus status);
  void UpdateRunButton(TWinTaskStatus status);
  void FillRows();
  void lvTasksColumnClick(int column);
  void tsStatusClick();
  void btbRunClick();
  void btnDeleteClick();
  TWinTaskFolder& Folder() const { return *FWinTask->TaskFolder(); }

  TWinTaskScheduler* FWinTask = nullptr;
  std::wstring FFilter;
  std::vector<TWinTaskStatus> LastStatus;
  std::vector<TRow> FRows;
  int FSortColumn = 0;
  bool FDescending = false;
  HIMAGELIST FResultIcons = nullptr;
  HWND FHint = nullptr;  // balloon of the result icons
  int FHintRow = -1;
  std::wstring FHintText;
};

int SelectScheduledTask(std::wstring_view title, TWinTaskScheduler& scheduler, std::wstring_view filter,
                        int& taskIndex, int& trgIndex);

// True for the results that mean no error: 0, running, never run.
bool IsTaskResultOk(int result);
// The hint over a result icon: the system's text for the code, wrapped at 50 characters.
std::wstring ResultHintText(int result);

}  // namespace hv
