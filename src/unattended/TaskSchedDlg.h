#pragma once
// The scheduled-task wizard: the command line of the task ("Settings"), one trigger as one of six
// schedule kinds ("Schedule") and the account; registers the task in the root folder.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dialogs/CheckBoxes.h"
#include "dialogs/NumberEd.h"
#include "unattended/AdvancedScheduleDlg.h"
#include "unattended/TaskSchedule.h"
#include "unattended/WinTask.h"
#include "winui/ComCtrls.h"
#include "winui/ExtCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

// Asks for a text (title, prompt, in-out value); false when cancelled. Unset: the suite's text
// input centred on the main form.
using TTextPrompt = std::function<bool(std::wstring_view title, std::wstring_view prompt, std::wstring& value)>;
TTextPrompt& TaskNamePrompt();

// The default event of a wake-up trigger: the power events 107 and 507.
extern const wchar_t* const kDefaultWakeQuery;

// A delay in seconds as shown: value and unit (0 hours, 1 minutes, 2 seconds), and back.
void SecondsToUnit(uint32_t seconds, int& value, int& unit);
uint32_t UnitToSeconds(int value, int unit);

class TTaskScheduleDialog : public TForm {
 public:
  TTaskScheduleDialog();
  ~TTaskScheduleDialog() override;

  // 1 registered, 2 error or cancelled, 4 account refused (call again), 6 deleted or none picked,
  // 7 no task of the starter.
  int Execute(int index, int trgIndex, THvAction action, std::wstring_view path, std::wstring_view task,
              std::wstring_view options, int& taskNr, int& trgNr, bool retry);
  int Execute(int index, THvAction action, std::wstring_view path, std::wstring_view task, std::wstring_view options,
              bool retry);
  void InitTaskScheduler(TWinTaskScheduler* scheduler) { TaskSchedule = scheduler; }
  bool IsAvailable() const { return TaskSchedule != nullptr; }

  // Top and bottom
  TLabel laJobName;
  TEdit edJobName;
  TButton btnBack, btnNext, btnCancel;
  TPageControl pcMain, pcSteps;
  // "Settings"
  TLabel laTasks, laOptions, laUserOptions, laWorkDir, laIniFile, laPrompt, laWait, laSeconds, laLog, laPriority;
  TEdit edTasks, edOptions, edUserOptions, edWorkDir, edIniFile;
  TButton btnTask, btWorkDir, bbErrorAction;
  TRangeEdit reWait;
  TNumUpDown udWait;
  TComboBox cbxPrompt, cbLog, cbxPriority;
  TCheckBox cbHide, cbParallel;
  TRadioGroup rgEnd;
  // "Schedule"
  TRadioGroup rgCycle;
  TCheckBox cbEnabled;
  TLabel laTrigger;
  TLabel laDaily, laWeekly, laMonthly, laOneTime, laEvent;
  TLabel laStartDaily, laStartWeekly, laStartMonthly, laStartOneTime, laDays, laPerform, laEveryWeek, laWeeks, laOnDays,
      laMonths, laUser;
  TDateTimePicker dpStartDaily, tpStartDaily, dpStartWeekly, tpStartWeekly, dpStartMonthly, tpStartMonthly, dpOneTime,
      tpOneTime, dpEventTime, tpEventTime;
  TRadioButton rbEveryDay, rbSkipDays, rbDayOfMonth, rbSpecialday;
  TRangeEdit reDays, reWeeks, reRandom, reDelay;
  TNumUpDown udDays, udWeeks, udRandom, udDelay;
  TCheckBox cbDay[7];    // Monday first
  TCheckBox cbMonth[12];
  TCheckComboBox ccMonthDays, ccMonthStart, ccWeekdays;
  TCheckBox cbRandom, cbActivate, cbDelay;
  TComboBox cbRndUnit, cbDelUnit;
  TButton btAdvDaily, btExtWeek, btExtMon, btAdvOneTime, btEvAdv, btEventEdit, btEventReset;
  // Account
  TLabel laDesc, laUserName, laPwd;
  TEdit leDesc, edUser, edPwd;
  TGroupBox gbSecurity;
  TRadioButton rbLoggedUser, rbAnyUser;
  TCheckBox cbRunLevel;

  TAdvancedSettings AdvSet;
  std::wstring wut;
  THvAction HvAction = THvAction::paBackup;
  int ActErr = 0;
  bool ShowProgPage = true;
  TWinTaskScheduler* TaskSchedule = nullptr;

  void btnNextClick();
  void btnBackClick();

 protected:
  void FormCreate() override;
  bool FormHelp() override;
  std::wstring ControlHelpText(TControl& control) override;
  void OnDpiChanged(UINT dpi, const RECT& suggested) override;

 private:
  void ShowTriggerPage();
  void LoadDefaults(TDateTime t);
  bool ReadTrigger(int index);
  void WriteTrigger(int& trgNr);
  void OptionsClick();
  void rbLoggedUserClick();
  void UnitCloseUp(TComboBox& unit, TNumUpDown& ud, TRangeEdit& ed);
  void ShowDelay(uint32_t seconds, TCheckBox& cb, TRangeEdit& ed, TNumUpDown& ud, TComboBox& unit);
  uint32_t DelaySeconds(TCheckBox& cb, TRangeEdit& ed, TComboBox& unit);
  bool AskTaskName(std::wstring_view title, std::wstring& name);
  bool EditStarterTask(std::wstring_view groups, int taskIndex);
  void btnTaskClick();
  void btWorkDirClick();
  void bbErrorActionClick();
  void btEventEditClick();
  void ApplyTitleFont();
  TDateTime PickedStart(TDateTimePicker& date, TDateTimePicker& time) const;
  TTaskOptions PageOptions();
  void SetPageOptions(const TTaskOptions& o);
  void SyncDates(TDateTimePicker& from);
  void SyncTimes(TDateTimePicker& from);

  std::wstring FPath, FTaskName, FArgs, FOldTypeText;
  // The name given in the starter's step; the task under its old name is removed once the renamed
  // one is registered, so that the group never runs twice.
  std::wstring FStarterName;
  TFontHandle FTitleFont;
  TWinTask* FTask = nullptr;
  std::unique_ptr<TWinTask> FNewTask;
  int FTrgIndex = -1;
  bool FSyncing = false;
};

int TaskScheduleWizard(TWinTaskScheduler* scheduler, int index, THvAction action, std::wstring_view path,
                       std::wstring_view task, std::wstring_view options);

}  // namespace hv
