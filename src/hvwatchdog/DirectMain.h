#pragma once
// Main form of HvWatchdog: the monitored directories, the interval, the log and the tray icon.
#include <windows.h>

#include <string>

#include "hvwatchdog/Monitoring.h"
#include "hvwatchdog/Prgrss.h"
#include "winui/ComCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

// Unit and value of the interval controls for an interval in seconds.
struct TIntervalView {
  int Unit;  // 0 seconds, 1 minutes, 2 hours
  int Value, Min, Max, Step;
};
TIntervalView IntervalView(int seconds);
TIntervalView IntervalUnitDefaults(int unit);

enum class TTaskBarStatus { tbsOff, tbsWait, tbsRun };

class TfrmHvWatchdog : public TForm {
 public:
  TfrmHvWatchdog();
  ~TfrmHvWatchdog() override;
  // Shows the main window unless started with "/force"; always false (the program keeps running).
  bool CheckForce();

  std::wstring ProgVersName, ProgVersDate;
  std::wstring UserPath, HvPath, JobDir, AppPath, LogDir, IniName, SettingsDir;
  int DHeight = 590, DWidth = 736;
  bool Force = false;
  bool UseDarkMode = false;
  bool GoStandby = false;
  UINT msgId = 0;
  TTaskBarStatus TaskBarStatus = TTaskBarStatus::tbsOff;
  TWdMonitor Monitor;

  bool StartMonitoring();
  void StopMonitoring();
  void tmBackupTimer();
  void SaveSettings();
  int GetIntervalSeconds() const;
  std::wstring MonitoringStatusText();
  bool TrayIconShown() const { return FTrayShown; }
  // Left click on the tray icon (the status pop-up while hidden).
  void TrayIconMessage(LPARAM lp);

  TCheckListBox lbDirs;
  TEdit edTask, edBuDest, edBakCount, reInterval;
  TUpDown udBakCount, udInterval;
  TLabel laMonDirs, laTask, laDest, laBuMethod, laCompress, laRetainBak, laCount, laFiles, laNoSched, laLog;
  TButton btnAdd, btnRemove, bbStart, bbStop, bbQuit, bbShowLog, bbCopy, bbClear;
  TCheckBox cbPeriodic, cbSysTray, cbWriteLog;
  TComboBox cbIntUnit;
  TGroupBox gbSettings, gbNext;
  TClkProgress cpWait;
  TMemo meLog;
  TTimer tmBackup;

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool CloseQuery() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ReadSettings();
  void ApplyInterval(const TIntervalView& v);
  void AddLogLine(const std::wstring& line);
  void RenumberDirList();
  void ShowTaskSettings(int index);
  void ClearTaskSettings();
  void btnAddClick();
  void btnRemoveClick();
  void bbStartClick();
  void bbStopClick();
  void bbQuitClick();
  void bbShowLogClick();
  void bbCopyClick();
  void lbDirsClickCheck(int index);
  void UpdateTrayIcon();
  void ShowTrayMenu();
  void ShowTrayPopup();
  void HideToTray();
  HICON StatusIcon() const;

  bool FTrayShown = false;
  UINT FTaskbarCreated = 0;
};

}  // namespace hv
