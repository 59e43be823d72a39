#include "qlbackup/QlMain.h"

#include <shlobj.h>

#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/app/PlaceHolders.h"
#include "base/os/WinShell.h"
#include "base/os/WinUtils.h"
#include "base/settings/BuConsts.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/NewPwdDlg.h"
#include "dialogs/PhDlg.h"
#include "dialogs/SelectDlg.h"
#include "dialogs/ShellDirDlg.h"
#include "dialogs/ShowMemo.h"
#include "qlbackup/SelectFromListDlg.h"
#include "qlbackup/SelectProfileDlg.h"
#include "qlbackup/ShowFilesDlg.h"
#include "unattended/BuMailDlg.h"
#include "unattended/DesktopIconDlg.h"
#include "unattended/TaskSchedDlg.h"
#include "unattended/TaskSchedule.h"
#include "winui/Translate.h"

namespace hv::qlbackup {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 8, kLabelWidth96 = 110, kEditLeft96 = 124, kEditWidth96 = 296, kRowHeight96 = 23;
constexpr int kButtonWidth96 = 130, kButtonHeight96 = 28, kSmallButton96 = 30, kSmallGap96 = 2;
constexpr int kTopHeight96 = 3 * (kRowHeight96 + 6) + 2 * kMargin96 - 6;
constexpr int kBackupTop96 = kTopHeight96 + 4, kBackupHeight96 = 290;
constexpr int kRestoreTop96 = kBackupTop96 + kBackupHeight96 + 6, kRestoreHeight96 = 60;
constexpr int kRestoreWidth96 = 200;
constexpr int kBottomTop96 = kRestoreTop96 + kRestoreHeight96 + 6;
// Pages of pcOptions.
constexpr int kOptionsPage = 1;

std::vector<std::wstring> SplitComma(const std::wstring& text) {
  std::vector<std::wstring> items;
  std::wstring rest = text;
  while (!rest.empty()) {
    std::wstring item = ReadNextItem(rest, L',');
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

std::wstring ProgramFile() {
  wchar_t buf[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return n > 0 && n < std::size(buf) ? std::wstring(buf, n) : std::wstring();
}

std::wstring JoinComma(const std::vector<std::wstring>& items) {
  std::wstring text;
  for (const auto& s : items) text += (text.empty() ? L"" : L",") + s;
  return text;
}

// A point on the screen: a corner of a control's window.
TPoint ScreenCorner(HWND wnd, bool right, bool bottom) {
  RECT r{};
  GetWindowRect(wnd, &r);
  return {right ? r.right : r.left, bottom ? r.bottom : r.top};
}

}  // namespace

TMainForm::TMainForm() {
  KeyPreview = true;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = 526;
  ClientHeight96 = kBottomTop96 + 44;
}

void TMainForm::FormCreate() {
  SetCaption(L"Backup and restore Thunderbird mail data");
  TVersionCaption v = InitVersionInfo(L"QlBackup", L" - Vers. 4.6", L"", 3);
  ProgVersDate = v.BuildDate;
  SetCaption(v.Caption);
  SetLocaleTimeFormats();
  Core.Window = Handle();
  Core.Init(CommandLineArgs());
  Core.LoadSettings();

  paTop.Create(*this, {0, 0, ClientWidth96, kTopHeight96});
  int y = kMargin96;
  auto row = [&](TLabel& l, const wchar_t* caption, TEdit& e, bool readOnly) {
    l.Create(*this, caption, {kMargin96, y + 3, kLabelWidth96, 18}, paTop.Handle());
    e.Create(*this, L"", {kEditLeft96, y, kEditWidth96, kRowHeight96}, paTop.Handle(), readOnly);
    e.TranslateText = false;
    y += kRowHeight96 + 6;
  };
  row(laProfile, L"Mail profile", leProfile, true);
  row(laMailDir, L"Mail directory", leMailDir, true);
  row(laBackupDir, L"Backup directory", leBackupDir, false);
  const int bx = kEditLeft96 + kEditWidth96 + 4, step = kSmallButton96 + kSmallGap96;
  const int bx3 = bx + 2 * step;  // the column of the profile and destination buttons
  auto small = [&](TButton& b, const wchar_t* caption, int x, int row, const wchar_t* hint) {
    b.Create(*this, caption, {x, kMargin96 + row * (kRowHeight96 + 6) - 2, kSmallButton96, kRowHeight96 + 4},
             paTop.Handle());
    b.TranslateText = false;
    b.Hint = hint;
  };
  small(bbProfile, L"...", bx3, 0, L"Select Thunderbird profile");
  small(btnVolume, L":V:", bx, 2, L"Use volume name instead of drive letter");
  small(btnPlaceholder, L"%", bx + step, 2, L"Insert placeholder");
  small(btDest, L"...", bx3, 2, L"Select backup directory");
  small(bbShowFiles, L"\u2026", bx3, 1, L"Show files");
  bbShowFiles.OnClick = [this] { bbShowFilesClick(); };

  gbBackup.Create(*this, L"Backup mail data", {kMargin96, kBackupTop96, ClientWidth96 - 2 * kMargin96, kBackupHeight96});
  const HWND gb = gbBackup.Handle();
  bbBackup.Create(*this, L"Start backup", {10, 22, kButtonWidth96, kButtonHeight96}, gb);
  bbWinTask.Create(*this, L"Scheduled task", {kButtonWidth96 + 20, 22, 112, kButtonHeight96}, gb);
  bbWinTask.Hint = L"Create Windows Scheduled Task";
  bbBackupShortcut.Create(*this, L"Shortcut", {kButtonWidth96 + 136, 22, 112, kButtonHeight96}, gb);
  bbBackupShortcut.Hint = L"Create Desktop shortcut to start backup";
  bbShowLog.Create(*this, L"Show log", {kButtonWidth96 + 252, 22, 112, kButtonHeight96}, gb);
  bbShowLog.Hint = L"Show backup log file";
  cbCalendar.Create(*this, L"Include calendar data", {12, 58, 300, 20}, gb);
  pcOptions.Create(*this, {10, 84, ClientWidth96 - 2 * kMargin96 - 20, 194}, gb);

  const HWND pSettings = pcOptions.AddPage(L"Settings").Handle();
  gbEncrypt.Create(*this, L"Encrypt files", {8, 8, 226, 76}, pSettings);
  cbFixPwd.Create(*this, L"Use fixed password", {12, 32, 168, 20}, gbEncrypt.Handle());
  btnCryptPassword.Create(*this, L"...", {186, 29, kSmallButton96, 26}, gbEncrypt.Handle());
  btnCryptPassword.TranslateText = false;
  btnCryptPassword.Hint = L"Enter fixed password for this task";
  rgLog.Create(*this, L"Log file", {246, 8, 226, 76}, pSettings);
  rgLog.SetItems({L"Short", L"Long"});
  rgLog.SetItemIndex(0);

  const HWND pOptions = pcOptions.AddPage(L"Options").Handle();
  cbSync.Create(*this, L"Synchronize backup directory", {8, 10, 440, 20}, pOptions);
  cbSyncRecycle.Create(*this, L"Use Recycle Bin", {28, 34, 420, 20}, pOptions);
  cbNoComp.Create(*this, L"No compression", {8, 66, 440, 20}, pOptions);
  cbMail.Create(*this, L"Send mail after backup", {8, 98, 300, 20}, pOptions);
  MailBtn.Create(*this, L"Edit", {316, 94, 90, 26}, pOptions);
  MailBtn.Hint = L"Settings for automatic E-Mail delivery after backup";
  MailBtn.OnClick = [this] { MailBtnClick(); };

  const HWND pStatus = pcOptions.AddPage(L"Status window").Handle();
  cbxStatus.Create(*this, TComboBoxStyle::csOwnerDrawFixed, {8, 10, 300, 24}, pStatus);
  cbxStatus.SetItems({_(L"Wait for prompt"), _(L"Close automatically"), _(L"Not visible"), _(L"Wait only on error"),
                      _(L"Not visible except on errors")});
  cbxStatus.TranslateText = false;
  paStat.Create(*this, {8, 44, 440, 28}, pStatus);
  laStatTime.Create(*this, L"Status display time:", {0, 5, 170, 18}, paStat.Handle());
  reWait.Create(*this, {176, 2, 44, 23}, paStat.Handle());
  reWait.SetMinValue(1);
  reWait.SetMaxValue(99);
  udWait.Create(*this, {220, 2, 16, 23}, paStat.Handle());
  udWait.SetAssociate(&reWait);
  laStatUnit.Create(*this, L"s", {242, 5, 30, 18}, paStat.Handle());
  cbStatusOnTop.Create(*this, L"Show always on top", {8, 84, 440, 20}, pStatus);

  const HWND pSelections = pcOptions.AddPage(L"Selections").Handle();
  laExcludedFiles.Create(*this, L"Excluded files", {8, 6, 192, 18}, pSelections);
  lbExcludedFiles.Create(*this, {8, 26, 192, 124}, pSelections);
  bbEditFiles.Create(*this, L"...", {202, 26, kSmallButton96, 28}, pSelections);
  bbEditFiles.TranslateText = false;
  bbEditFiles.Hint = L"Edit list of files to be excluded";
  laExcludedTypes.Create(*this, L"Excluded file types", {246, 6, 192, 18}, pSelections);
  lbExcludedTypes.Create(*this, {246, 26, 192, 124}, pSelections);
  bbEditTypes.Create(*this, L"...", {440, 26, kSmallButton96, 28}, pSelections);
  bbEditTypes.TranslateText = false;
  bbEditTypes.Hint = L"Edit list of file types to be excluded";
  pcOptions.SetActivePageIndex(0);

  gbRestore.Create(*this, L"Restore mail data", {kMargin96, kRestoreTop96, kRestoreWidth96, kRestoreHeight96});
  bbRestore.Create(*this, L"Start restore", {10, 22, kButtonWidth96, kButtonHeight96}, gbRestore.Handle());
  gbTools.Create(*this, L"Tools", {kMargin96 + kRestoreWidth96 + 8, kRestoreTop96,
                                   ClientWidth96 - 3 * kMargin96 - kRestoreWidth96, kRestoreHeight96});
  bbMove.Create(*this, L"Move mail data", {10, 22, 160, kButtonHeight96}, gbTools.Handle());
  bbMove.Hint = L"Move mail data to a different location";

  laProg.Create(*this, L"", {kMargin96, kBottomTop96, 260, 36}, nullptr, true);
  laProg.TranslateText = false;
  const int quitWidth = 2 * kButtonWidth96 / 3, quitLeft = ClientWidth96 - kMargin96 - quitWidth;
  bbInfo.Create(*this, L"Info", {quitLeft - 6 - 70, kBottomTop96 + 4, 70, kButtonHeight96});
  bbInfo.Hint = L"Info about the program";
  bbHelp.Create(*this, L"Help", {quitLeft - 12 - 140, kBottomTop96 + 4, 70, kButtonHeight96});
  bbHelp.Hint = L"Program help";
  bbQuit.Create(*this, L"Quit", {quitLeft, kBottomTop96 + 4, quitWidth, kButtonHeight96});
  bbQuit.Hint = L"Quit program and save settings";

  bbBackup.OnClick = [this] { bbBackupClick(); };
  bbRestore.OnClick = [this] { bbRestoreClick(); };
  bbProfile.OnClick = [this] { bbProfileClick(); };
  btDest.OnClick = [this] { btDestClick(); };
  btnVolume.OnClick = [this] { btnVolumeClick(); };
  btnPlaceholder.OnClick = [this] { btnPlaceholderClick(); };
  bbWinTask.OnClick = [this] { bbWinTaskClick(); };
  bbBackupShortcut.OnClick = [this] { bbBackupShortcutClick(); };
  bbShowLog.OnClick = [this] { bbShowLogClick(); };
  bbMove.OnClick = [this] { bbMoveClick(); };
  bbHelp.OnClick = [this] { FormHelp(); };
  bbInfo.OnClick = [this] { bbInfoClick(); };
  bbQuit.OnClick = [this] { bbQuitClick(); };
  leBackupDir.OnChange = [this] { leBackupDirChange(); };
  cbSync.OnClick = [this] { cbSyncClick(); };
  gbEncrypt.OnCheckClick = [this] { gbEncryptClick(); };
  cbFixPwd.OnClick = [this] { cbFixPwdClick(); };
  btnCryptPassword.OnClick = [this] { btnCryptPasswordClick(); };
  bbEditFiles.OnClick = [this] { bbEditFilesClick(); };
  bbEditTypes.OnClick = [this] { bbEditTypesClick(); };
  cbxStatus.OnChange = [this] { ShowStatusPanel(); };
  for (TCheckBox* c : {&cbNoComp, &cbSyncRecycle, &cbCalendar}) c->OnClick = [this] {
    if (!FLoading) Core.Changed = true;
  };
  cbMail.OnClick = [this] { cbMailClick(); };
  mMailer = std::make_unique<TmMailer>(ProgramDir(), L"harvaneroot.pem", L"harvane.crt", L"harvane.key",
                                       L"KestrelMeadows");
  mMailer->ContentType = TContentType::ctUtf8;
  rgLog.OnClick = [this] {
    if (!FLoading) Core.Changed = true;
  };

  cbCalendar.SetChecked(Core.Job.Calendar);
  reWait.SetValue(Core.WaitTime);
  cbxStatus.SetItemIndex(Core.StatusIndex);
  ShowStatusPanel();
  // The lists are stored again at every close, also when the start stops before showing them.
  lbExcludedFiles.SetItems(SplitComma(Core.ExcludedFiles));
  lbExcludedTypes.SetItems(SplitComma(Core.ExcludedTypes));
  if (Core.Top >= 0 && Core.Left >= 0) {
    Position = TPosition::poDesigned;
    SetPos(Core.Left, Core.Top);
  }
  TaskSchedStatus = ConnectTaskScheduler(TaskScheduler);
  InitProgramStyle(Core.Options.UseDarkMode);
}

void TMainForm::ShowStatusPanel() {
  const int i = cbxStatus.ItemIndex();
  paStat.SetVisible(i == 1 || i == 3);
}

std::wstring TMainForm::ControlHelpText(TControl& control) {
  const std::pair<TEdit*, TLabel*> labelled[] = {{&leProfile, &laProfile}, {&leMailDir, &laMailDir},
                                                 {&leBackupDir, &laBackupDir}};
  for (auto [edit, label] : labelled)
    if (&control == edit) return edit->Hint.empty() ? label->Text() : edit->Hint;
  for (int i = 0; i < rgLog.Count(); ++i)
    if (&control == &rgLog.Button(i)) return rgLog.Text();
  return control.Hint;
}

TPoint TMainForm::MessagePos() const {
  RECT r = paTop.BoundsRect();
  POINT p{r.left + Scale(20), r.bottom - Scale(5)};
  ClientToScreen(Handle(), &p);
  return {p.x, p.y};
}

void TMainForm::ShowProfile() {
  leProfile.SetText(Core.ProfileList.GetProfileName(Core.MailProfile));
  leMailDir.SetText(Core.ProfileList.GetPathName(Core.MailProfile));
}

void TMainForm::JobToForm() {
  // Setting the controls runs no handler's dialog and is no change of the user's.
  FLoading = true;
  const TBackupJob& j = Core.Job;
  cbCalendar.SetChecked(j.Calendar);
  cbNoComp.SetChecked(j.NoCompression);
  gbEncrypt.SetChecked(j.Encrypt);
  cbFixPwd.SetChecked(j.FixPwd);
  cbFixPwd.SetEnabled(j.Encrypt);
  btnCryptPassword.SetEnabled(j.Encrypt && j.FixPwd);
  rgLog.SetItemIndex(j.LogIndex);
  cbSync.SetChecked(j.Sync);
  cbSyncRecycle.SetEnabled(j.UseRecyclerEnabled);
  cbSyncRecycle.SetChecked(j.UseRecycler);
  cbMail.SetChecked(j.SendMail);
  FLoading = false;
  Core.Changed = false;
}

void TMainForm::FormToJob() {
  TBackupJob& j = Core.Job;
  j.Calendar = cbCalendar.Checked();
  j.NoCompression = cbNoComp.Checked();
  j.Encrypt = gbEncrypt.Checked();
  if (j.Encrypt && j.CryptMode <= 0) j.CryptMode = 1;
  j.FixPwd = j.Encrypt && cbFixPwd.Checked();
  j.LogIndex = rgLog.ItemIndex() < 0 ? 0 : rgLog.ItemIndex();
  j.Sync = cbSync.Checked();
  j.SyncMode = j.Sync ? 1 : 0;
  j.UseRecycler = j.Sync && cbSyncRecycle.Checked();
  j.SendMail = cbMail.Checked();
  if (!j.SendMail) j.MailMode = TMailMode::mmNone;
  else if (j.MailMode == TMailMode::mmNone) j.MailMode = TMailMode::mmAlways;
  Core.StatusIndex = cbxStatus.ItemIndex() < 0 ? 1 : cbxStatus.ItemIndex();
  Core.WaitTime = static_cast<int>(reWait.Value());
  Core.StatusOnTop = cbStatusOnTop.Checked();
  Core.ExcludedFiles = JoinComma(lbExcludedFiles.Items());
  Core.ExcludedTypes = JoinComma(lbExcludedTypes.Items());
}

bool TMainForm::SaveChangedJob() {
  if (!Core.Changed || Core.BuTaskName.empty()) return true;
  FormToJob();
  return Core.WriteJob(Core.BuTaskName, false);
}

void TMainForm::FormShow() {
  if (FStarted) return;
  FStarted = true;
  // A stored position on a monitor that is gone; the window has its size by now.
  if (Position == TPosition::poDesigned) FitFormToWorkArea(*this);
  SetDirDialogIni(Core.IniName, L"Directories");
  laProg.SetText(MakeProgramTitle(3) + L"\r\n" + GetUserNameLine());
  if (!Core.CheckEnvironment()) {
    Close();
    return;
  }
  if (Core.DestDir.empty()) {
    std::wstring dir = Core.UserPath;
    if (!SelectDirectory(_(L"Select destination directory"), dir, Core.UserPath)) {
      Close();
      return;
    }
    Core.DestDir = Core.RealDir = dir;
  }
  leBackupDir.SetText(Core.DestDir);
  std::wstring profile = Core.MailProfile;
  if (profile.empty() || Core.ProfileList.NotInList(profile)) {
    if (!Core.SelectProfile(profile)) {
      Close();
      return;
    }
  }
  Core.SetProfile(Core.ProfileList.Name(Core.ProfileList.IndexOf(profile)));
  ShowProfile();
  lbExcludedFiles.SetItems(SplitComma(Core.ExcludedFiles));
  lbExcludedTypes.SetItems(SplitComma(Core.ExcludedTypes));
  pcOptions.SetActivePageIndex(0);
  Core.LoadJob();
  JobToForm();
}

bool TMainForm::CloseQuery() {
  // No quitting while the main program runs: its result is still to come.
  if (Core.Busy()) {
    MessageBeep(MB_ICONWARNING);
    return false;
  }
  return true;
}

void TMainForm::FormClose() {
  if (Core.Options.Force) return;
  // Closing by the title bar keeps the job's edits as "Quit" does.
  SaveChangedJob();
  FormToJob();
  try {
    Core.SaveSettings(Top(), Left());
  } catch (const EWriteError& e) {
    ErrorDialog(e.Message());
  }
}

bool TMainForm::FormHelp() {
  ShowHelp(L"hv-qlbu.html");
  return true;
}

void TMainForm::bbBackupClick() {
  if (Core.Busy()) return;
  FormToJob();
  Core.RunBackup(Core.BuTaskName, false);
}

void TMainForm::bbRestoreClick() {
  if (Core.Busy()) return;
  FormToJob();
  Core.Restore();
  ShowProfile();
}

void TMainForm::bbProfileClick() {
  if (Core.Busy()) return;
  // A profile added while the program runs is offered as well.
  if (!Core.ReadProfiles()) {
    Close();
    return;
  }
  std::wstring profile = Core.MailProfile;
  if (!Core.SelectProfile(profile)) return;
  // The edits of the profile shown so far are kept before another one is loaded.
  if (!SaveChangedJob()) return;
  Core.SetProfile(profile);
  ShowProfile();
  Core.LoadJob();
  JobToForm();
}

void TMainForm::leBackupDirChange() {
  Core.DestDir = leBackupDir.Text();
  Core.RealDir = Core.DestDir.empty() ? Core.DestDir : GetVolumePath(Core.DestDir, true);
}

void TMainForm::btDestClick() {
  std::wstring dir = CutAtPlaceholder(Core.RealDir);
  if (dir.empty()) dir = Core.UserPath;
  if (SelectDirectory(_(L"Select destination directory"), dir, Core.UserPath)) {
    leBackupDir.SetText(dir);
    Core.DestDir = Core.RealDir = dir;
  }
}

void TMainForm::btnVolumeClick() {
  const std::wstring path = MakeVolumePath(leBackupDir.Text());
  if (path.empty()) return;
  leBackupDir.SetText(path);
  Core.DestDir = path;
  Core.RealDir = GetVolumePath(path, true);
}

void TMainForm::btnPlaceholderClick() {
  const std::wstring token = SelectPlaceholder(ScreenCorner(btnPlaceholder.Handle(), true, true), TPhType::ptTime, L"");
  if (token == L"%volume%") {
    std::wstring label;
    const TVolumeSource& vs = VolumeSource();
    if (!vs.ReadVolumeLabel || !vs.ReadVolumeLabel(Core.MailDir, label)) {
      ShowError(_(L"Placeholder for volume name is only available for source directories on same drive!"));
      return;
    }
  }
  if (!token.empty()) {
    leBackupDir.SetText(leBackupDir.Text() + token);
    Core.Changed = true;
  }
  leBackupDir.SetFocus();
}

void TMainForm::gbEncryptClick() {
  const bool on = gbEncrypt.Checked();
  cbFixPwd.SetEnabled(on);
  if (on && Core.Job.CryptMode == 0) Core.Job.CryptMode = 1;
  btnCryptPassword.SetEnabled(on && cbFixPwd.Checked());
  Core.Changed = true;
}

// Only a click of the user comes here: loading a job sets the box without it.
void TMainForm::cbFixPwdClick() {
  if (FLoading) return;
  if (cbFixPwd.Checked() && !btnCryptPassword.Enabled()) {
    std::wstring pwd;
    if (!NewPasswordEx(MessagePos(), _(L"File encryption"), pwd, true, false, 8, true)) {
      cbFixPwd.SetChecked(false);
      return;
    }
    Core.Job.CryptPwd = pwd;
  } else if (!cbFixPwd.Checked()) {
    Core.Job.CryptPwd.clear();
  }
  btnCryptPassword.SetEnabled(cbFixPwd.Checked());
  Core.Changed = true;
}

void TMainForm::btnCryptPasswordClick() {
  std::wstring pwd;
  if (!NewPasswordEx(MessagePos(), _(L"File encryption"), pwd, true, false, 8, true)) return;
  Core.Job.CryptPwd = pwd;
  Core.Changed = true;
}

void TMainForm::cbSyncClick() {
  Core.Job.SyncMode = cbSync.Checked() ? 1 : 0;
  cbSyncRecycle.SetEnabled(cbSync.Checked());
  if (!cbSync.Checked()) cbSyncRecycle.SetChecked(false);
  if (!FLoading) Core.Changed = true;
}

bool EditFilterList(TPoint pos, const std::wstring& title, std::wstring& list) {
  TStringList items = SplitComma(list);
  std::wstring text;
  if (!SelectFromList(pos, title, _(L"Filter expressions:"), L"", slEdit | slMove | slRemoveAll | slNoConfirm, 0,
                      TTextChange::tcNone, L"", items, text))
    return false;
  list = JoinComma(items);
  return true;
}

void TMainForm::bbEditFilesClick() {
  if (!EditFilterList(ScreenCorner(Handle(), true, false), laExcludedFiles.Text(), Core.ExcludedFiles)) return;
  lbExcludedFiles.SetItems(SplitComma(Core.ExcludedFiles));
}

void TMainForm::bbEditTypesClick() {
  if (!EditFilterList(ScreenCorner(Handle(), true, false), laExcludedTypes.Text(), Core.ExcludedTypes)) return;
  lbExcludedTypes.SetItems(SplitComma(Core.ExcludedTypes));
}

bool TMainForm::NeedsDestination() {
  if (!Core.RealDir.empty()) return true;
  ShowError(_(L"Destination") + L": " + _(L"No directory specified!"));
  return false;
}

void TMainForm::bbBackupShortcutClick() {
  if (Core.BuTaskName.empty() || !NeedsDestination()) return;
  FormToJob();
  std::wstring name = L"Backup " + DeleteExtension(ExtractFileName(Core.BuTaskName));
  std::wstring description = _(L"Thunderbird mail backup") + L": " + Core.ProfileList.GetProfileName(Core.MailProfile);
  std::wstring options = Core.BuildStatus(false);
  if (!ShowDesktopIconDialogSimple(_(L"Backup mail data"), leProfile.Text(), name, description, options)) return;
  const std::wstring link = AddPath(GetSpecialFolder(CSIDL_DESKTOPDIRECTORY), name + L".lnk");
  if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !Confirm(SafeFormat(_(L"Replace existing desktop shortcut \"%s\"?"), name)))
    return;
  if (!Core.PrepareUnattendedRun()) return;
  const HRESULT hr = CreateShellLink(link, ProgramFile(), Core.ProfileArgument() + options, Core.JobDir, description,
                                     false);
  if (FAILED(hr)) {
    ShowError(_(L"Error creating desktop shortcut!") + L"\r\n" + SystemErrorText(static_cast<uint32_t>(hr)));
    return;
  }
  NotifyShellAllChanged();
}

void TMainForm::bbWinTaskClick() {
  if (Core.BuTaskName.empty() || !NeedsDestination()) return;
  if (!TaskScheduler) {
    ShowError(TaskSchedulerErrorText(TaskSchedStatus));
    return;
  }
  FormToJob();
  if (!Core.PrepareUnattendedRun()) return;
  TWinTaskScheduler& s = *TaskScheduler;
  if (TWinTaskFolder* folder = s.TaskFolder()) folder->Refresh();
  const int index = GetUserTask(s, THvAction::paQlBackup, Core.MailProfile);
  if (index > 0) {
    bool none = false;
    switch (SelectOption(_(L"Scheduled task for mail profile: ") + Core.MailProfile, GetTaskStatus(s, index),
                         {_(L"Run"), _(L"Edit"), _(L"Remove")}, -1, L"", none)) {
      case 0: RunScheduledTask(s, index); return;
      case 1: break;
      case 2: DeleteScheduledTask(s, index); return;
      default: return;
    }
  }
  while (TaskScheduleWizard(&s, index > 0 ? index : -1, THvAction::paQlBackup, L"", Core.MailProfile,
                            Core.UnattendedArguments()) == mrRetry) {
  }
}

void TMainForm::bbShowLogClick() {
  const std::wstring log = Core.LogFileName();
  if (log.empty() || GetFileAttributesW(log.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ShowError(_(L"Log file not found: ") + log);
    return;
  }
  ShowTextFileEx(ProgramVersionInfo().InternalName + L" - " + _(L"Show log file"), log, _(L"Previous section"),
                 _(L"Next section"), L"Harvane -", _(L"Previous error"), _(L"Next error"), L"  *** ",
                 SafeFormat(_(L"Log files|*.%s|all|*.*"), L"log"), MessagePos(), 0, TShowDlgType::stModal,
                 kLogButtons, SuiteSettings.PrinterSettings, 0);
}

void TMainForm::bbMoveClick() {
  if (Core.Busy()) return;
  if (Core.MoveMailData()) ShowProfile();
}

void TMainForm::bbInfoClick() {
  TPoint pos = ScreenCorner(bbInfo.Handle(), false, false);
  pos.X += Scale(30);
  InfoDialogAt(pos, GetAboutText(Core.HvPath, ProgVersDate, 3), TDefaultMonitor::dmActiveForm);
}

void TMainForm::bbQuitClick() {
  if (!SaveChangedJob()) return;
  Close();
}

void TMainForm::cbMailClick() {
  // Only the user's click on the page: loading a job opens no dialog.
  if (pcOptions.ActivePageIndex() != kOptionsPage) return;
  TMailMode& mode = Core.Job.MailMode;
  if (!cbMail.Checked() || mode != TMailMode::mmNone) {
    mode = TMailMode::mmNone;
  } else {
    mode = TMailMode::mmAlways;
    if (!ShowMailDialog(mMailer.get(), gbBackup.Text(), Core.Job.MailData, mode)) mode = TMailMode::mmNone;
  }
  cbMail.SetChecked(mode != TMailMode::mmNone);
  Core.Changed = true;
}

void TMainForm::MailBtnClick() {
  if (Core.Job.MailMode == TMailMode::mmNone) {
    cbMail.SetChecked(true);
    cbMailClick();
    return;
  }
  if (!ShowMailDialog(mMailer.get(), gbBackup.Text(), Core.Job.MailData, Core.Job.MailMode)) return;
  cbMail.SetChecked(Core.Job.MailMode != TMailMode::mmNone);
  Core.Changed = true;
}

void TMainForm::bbShowFilesClick() { ShowFiles(laProfile.Text() + L": " + leProfile.Text(), Core.MailDir); }

void TMainForm::SetBusy(bool busy) {
  for (TButton* b : {&bbBackup, &bbRestore, &bbProfile, &btDest, &bbQuit}) b->SetEnabled(!busy);
  leBackupDir.SetReadOnly(busy);
}

void TMainForm::ShowError(const std::wstring& text) {
  if (!Core.Options.Force)
    ErrorDialogAt(MessagePos(), text, TDefaultMonitor::dmActiveForm);
  else
    ErrorDialog(ProgramVersionInfo().InternalName + L"\r\n" + text);
}

void TMainForm::ShowErrorBox(const std::wstring& text) { ErrorDialog(text); }

void TMainForm::ShowInfo(const std::wstring& text) {
  InfoDialogAt(MessagePos(), text, TDefaultMonitor::dmActiveForm);
}

bool TMainForm::Confirm(const std::wstring& text) {
  return ConfirmDialogAt(MessagePos(), text, TMsgDlgBtn::mbYes, TDefaultMonitor::dmActiveForm);
}

int TMainForm::SelectOption(const std::wstring& title, const std::wstring& text, const std::vector<std::wstring>& buttons,
                            int defaultButton, const std::wstring& option, bool& checked) {
  TSelectDialog dlg;
  dlg.Create(Handle());
  const int preSelection = (defaultButton < 0 ? static_cast<int>(buttons.size()) : defaultButton) |
                           (checked ? kSelectOptionTicked : 0);
  const int r = dlg.Execute(MessagePos(), title.empty() ? Caption() : title, text, TMsgDlgType::mtConfirmation, false,
                            buttons, option, 0, preSelection, L"");
  if (r < 0) return -1;
  checked = (r & kSelectOptionTicked) != 0;
  return r & ~kSelectOptionTicked;
}

bool TMainForm::SelectDirectory(const std::wstring& title, std::wstring& dir, const std::wstring& defaultDir) {
  return SelectDirDialog(title, true, true, false, defaultDir, dir);
}

bool TMainForm::SelectProfile(const TProfileList& list, std::wstring& profile) {
  return SelectProfileDialog(MessagePos(), list, profile);
}

bool TMainForm::CheckForce() {
  if (Core.CheckForce()) return true;
  return false;
}

}  // namespace hv::qlbackup
