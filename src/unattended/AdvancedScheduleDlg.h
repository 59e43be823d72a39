#pragma once
// Advanced settings of a scheduled task: expiry, repetition, run-time limit, catch-up of missed
// starts, power, wake-up and network conditions. Minutes throughout.
#include "base/os/FileUtils.h"
#include "winui/ComCtrls.h"
#include "winui/ExtCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

struct TAdvancedSettings {
  bool UseEndDate = false;
  bool RepeatTask = false;
  bool StopEndDuration = false;
  bool UseLimit = false;
  bool ReRun = false;
  bool PowerOnly = true;
  bool StopBattery = true;
  bool WakeUp = false;
  bool NetworkOnly = false;
  TDateTime EndDate = 0;
  int MinutesLimit = 4320;
  int MinutesInterval = 60;
  int MinutesDuration = 480;
};

class TAdvancedScheduleDialog : public TForm {
 public:
  TAdvancedScheduleDialog();
  bool Execute(TAdvancedSettings& adv);

  TCheckBox cbExpire, cbRepeat, cbStopAtEnd, cbLimit, cbReRun, cbPower, cbOnBatteries, cbWakeUp, cbNetwork;
  TDateTimePicker dpExpire, dtExpire;
  TLabel laEvery, laDuration, laBar;
  TEdit edInterval, edDuration, edLimit;
  TUpDown udInterval, udDuration, udLimit;
  TComboBox cbRepUnit, cbDurUnit, cbLimitUnit;
  TButton OKBtn, CancelBtn;

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  void EnableRepeatControls();
  void EnableLimitControls(bool enable);
  void cbPowerClick();
  void UnitChanged(TComboBox& unit, TUpDown& ud, TEdit& ed, bool limit);
};

bool ShowAdvancedSchedule(TAdvancedSettings& adv);

}  // namespace hv
