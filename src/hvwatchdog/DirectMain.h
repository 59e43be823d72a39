#pragma once
// Main form of HvWatchdog: the monitored directories, the interval, the log and the tray icon.
#include <windows.h>

#include <memory>
#include <string>

#include "dialogs/ListSelectDlg.h"
#include "hvwatchdog/Monitoring.h"
#include "hvwatchdog/Prgrss.h"
#include "hvwatchdog/WdStart.h"
#include "winui/ComCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"
#include "winui/Menus.h"

namespace hv {

// Unit and value of the interval controls for an interval in seconds.
struct TIntervalView {
  int Unit;  // 0 seconds, 1 minutes, 2 hours
  int Value, Min, Max, Step;
};
TIntervalView IntervalView(int seconds);
TIntervalView IntervalUnitDefaults(int unit);

enum class TTaskBarStatus { tbsOff, tbsWait, tbsRun };

// "HvWatchdog.lnk" in the user's start-up folder.
std::wstring StartupLinkName();

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
  // The notice of a destination that failed in more than limit runs in a row.
  void ShowDestinationNotice(int limit);
  void bbEditClick();
  void bbFilterClick();
  void pmiStartupClick();
  void pmiDefaultSizeClick();
  void pmiInfoClick();
  void tmStartTimer();
  void sbViewFilesClick();

  TCheckListBox lbDirs;
  TEdit edTask, edBuDest, edBakCount, reInterval;
  TUpDown udBakCount, udInterval;
  TLabel laMonDirs, laTask, laDest, laBuMethod, laCompress, laRetainBak, laCount, laFiles, laNoSched, laLog;
  TButton btnAdd, btnRemove, bbEdit, bbFilter, sbViewFiles, bbStart, bbStop, bbMenu, bbQuit, bbShowLog, bbCopy, bbClear;
  TCheckBox cbPeriodic, cbSysTray, cbWriteLog;
  TComboBox cbIntUnit;
  TGroupBox gbSettings, gbNext;
  TClkProgress cpWait;
  TMemo meLog;
  TTimer tmBackup, tmStart;
  TPopupMenu pmSettings;
  // The pending files, shown from sbViewFiles.
  TListSelectDialog ChangedFiles;
  TMenuItem* pmiStartup = nullptr;
  // While it shows (3 s after a start into the tray).
  std::unique_ptr<TStartScreen> StartScreen;

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool CloseQuery() override;
  bool FormHelp() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ReadSettings();
  void ApplyInterval(const TIntervalView& v);
  void AddLogLine(const std::wstring& line);
  void RenumberDirList();
  void ShowTaskSettings(int index);
  void ClearTaskSettings();
  // The directory commands enabled only where they can act.
  void UpdateDirButtons();
  void UpdateQuitButton();
  void UpdateStartupLink();
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
  bool FEditing = false;
  // The own INI file exists but could not be read: it is left as it is.
  bool FSettingsUnread = false;
  UINT FTaskbarCreated = 0;
};

}  // namespace hv
