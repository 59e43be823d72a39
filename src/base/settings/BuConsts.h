#pragma once
// Data the whole suite shares: the product's settings record, end actions, settings locations,
// placeholder lists, picker formats and the process-wide values. The values are written on the
// main thread at start-up (by unit initialisation or the main forms' creation) and only read
// afterwards.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text/ExtSysUtils.h"

namespace hv {

// Action after a run.
enum class TDownMode : uint8_t { dmNone, dmPowerOff, dmShutdown, dmLogOff, dmRestart, dmIdleOff, dmHybrid };
enum class TSuspendMode : uint8_t { smNone, smStandby, smHibernate };
// Where the settings folder came from.
enum class TIniLoc : uint8_t { ilNormal, ilRegistry, ilCommand };
enum class TWindowAction : uint8_t { waDefPos, waChangeSize, waToolTips };
// A set of TWindowAction: bit n stands for value n.
using TWindowActions = uint8_t;

// Font style set of the printer settings: bold 1, italic 2, underline 4, strike-out 8.
using TFontStyles = uint8_t;
enum class TPrinterOrientation : uint8_t { poPortrait, poLandscape };

struct TMargins {
  int32_t Left = 200, Top = 150, Right = 100, Bottom = 150;  // tenths of a millimetre
};

struct TPrinterSettings {
  std::wstring PrtName;  // empty: none chosen
  TMargins Margins;
  int32_t Feed = 0;
  std::wstring FontName = L"Courier New";
  int32_t FontSize = 10;
  TFontStyles FontStyle = 0;
  TPrinterOrientation Orientation = TPrinterOrientation::poPortrait;
};

struct TProxyParams {
  bool UseProxy = false;
  std::wstring Server, Username, Password;
  int32_t Port = 0;
};

struct TDateSelection {
  int32_t Mode = 0, Count = 0, Auto = 0;
  double Date = 0;  // days since 1899-12-30
};

struct THvCopySettings {
  std::wstring NoCompress;
  int32_t CompMode = 0, BufferSize = 0, FTPBufferSize = 0;
};

struct THvSecCopySettings {
  std::wstring BakPrefix, SyncPrefix, BakSuffix, SyncSuffix;
};

struct THvViewSettings {
  TWindowActions WindowActions = 0;
  bool SizeProgress = false, InstantShowTask = false, StatusOnTop = false, PlaySound = false,
       ShowNotifications = false, ShowToolTips = false, DarkMode = false;
  int32_t AutoWaitTime = 0, ComBgCol = 0, ComFgCol = 0;
  std::wstring CustomCols;
};

struct THvStartSettings {
  bool NoSplashScreen = false, FailNotification = false, ScanOnStart = false, UpdateChg = false,
       CheckUpdates = false;
  TProxyParams ProxySettings;
  int32_t StartupDelay = 0;
};

struct THvShutdownSettings {
  TDownMode DownMode = TDownMode::dmNone;
  bool LockComputer = false;
  int32_t ShutdownDelay = 0;
};

struct THvLogSettings {
  int32_t LogMode = 0, LogSize = 0;
  bool DecimalSizes = false;
  std::wstring MailLogPrefix;
  TDateSelection LogDelSettings;
};

struct THvOtherSettings {
  std::wstring DefaultTask, DefDriveId;
  int32_t MinPwdLength = 0, MaxWaitTime = 0;
  bool ContextMenu = false, UseWizard = false, VssLog = false, SMTPLog = false;
};

struct THvDirectories {
  std::wstring TaskDir, LogDir, TempDir;
  TIniLoc IniLoc = TIniLoc::ilNormal;
  bool UseTaskDir = false, UseLogDir = false, UseTempDir = false;
};

// The main backup program's settings; the suite fills and reads only Directories.LogDir,
// PrinterSettings, ViewSettings.DarkMode, ViewSettings.ShowToolTips and
// OtherSettings.MinPwdLength.
struct THvSettings {
  THvCopySettings CopySettings;
  THvSecCopySettings SecCopySettings;
  THvViewSettings ViewSettings;
  THvStartSettings StartSettings;
  THvShutdownSettings ShutdownSettings;
  TPrinterSettings PrinterSettings;
  THvLogSettings LogSettings;
  THvOtherSettings OtherSettings;
  THvDirectories Directories;
};

// Placeholders for external commands and for log-file names.
inline constexpr std::wstring_view CommandPlaceholders[] = {
    L"%taskname%", L"%dest%",     L"%zipname%", L"%sysdir%",  L"%taskdir%",
    L"%progpath%", L"%username%", L"%password%", L"%logfile%", L"%status%"};
inline constexpr std::wstring_view LogNamePlaceholders[] = {
    L"%date%",          L"%time%", L"%yaw%",   L"%yam%",   L"%year%", L"%username%",
    L"%computername%",  L"%dest%", L"%drive%", L"%volume%"};

// Formats of the date and time pickers in the schedule dialogs; set by SetLocaleTimeFormats.
extern std::wstring PickerDateFormat;  // initially "yyyy-MM-dd"
extern std::wstring PickerTimeFormat;  // initially "HH:mm"

struct TPickerFormats {
  std::wstring Date, Time;
};
// The picker formats of a locale (empty name: the user's locale): a 24-hour clock gives "HH:mm",
// a 12-hour clock "hh:mm tt"; month-day-year "MM/dd/yyyy", day-month-year "dd.MM.yyyy", else
// "yyyy-MM-dd".
TPickerFormats LocalePickerFormats(std::wstring_view localeName = {});
// Sets PickerDateFormat and PickerTimeFormat from the user's locale; once, by each main form.
void SetLocaleTimeFormats();

// Filled by the main forms at start-up.
extern THvSettings SuiteSettings;
extern std::wstring SettingsDir;      // the suite's settings folder
extern std::wstring MainIniName;      // full name of the main program's INI file
extern std::wstring CurrentUserName;  // set by QlBackup only

// Taken when the unit is initialised.
bool Is64BitProcess();
bool ScreenReaderActive();
// The process's format settings as they were at start-up.
const TFormatSettings& SuiteFormatSettings();

}  // namespace hv
