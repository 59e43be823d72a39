#include "qlbackup/QlMain.h"

#include <shobjidl.h>
#include <wrl/client.h>

#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "base/settings/BuConsts.h"
#include "base/text/StringUtils.h"
#include "qlbackup/SelectProfileDlg.h"
#include "qlbackup/ShowFilesDlg.h"
#include "unattended/BuMailDlg.h"
#include "winui/Translate.h"

namespace hv::qlbackup {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 8, kLabelWidth96 = 110, kEditLeft96 = 124, kEditWidth96 = 350, kRowHeight96 = 23;
constexpr int kButtonWidth96 = 130, kButtonHeight96 = 28, kSmallButton96 = 34;
constexpr int kTopHeight96 = 3 * (kRowHeight96 + 6) + 2 * kMargin96 - 6;
constexpr int kBackupTop96 = kTopHeight96 + 4, kBackupHeight96 = 262;
constexpr int kRestoreTop96 = kBackupTop96 + kBackupHeight96 + 6, kRestoreHeight96 = 60;
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

// A choice between buttons with an option box: the suite's option dialog where none exists yet.
class TChoiceDialog : public TForm {
 public:
  TChoiceDialog() {
    BorderStyle = TBorderStyle::bsDialog;
    Position = TPosition::poMainFormCenter;
    ClientWidth96 = 460;
    ClientHeight96 = 150;
  }
  TLabel laText;
  TCheckBox cbOption;
  TButton buttons[3];

 protected:
  void FormCreate() override {
    laText.Create(*this, L"", {12, 12, 436, 60}, nullptr, true);
    laText.TranslateText = false;
    cbOption.Create(*this, L"", {12, 78, 436, 20});
    cbOption.TranslateText = false;
    for (int i = 0; i < 3; ++i) {
      buttons[i].Create(*this, L"", {12 + i * 148, 110, 140, 28});
      buttons[i].TranslateText = false;
    }
  }
};

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
  const int bx = kEditLeft96 + kEditWidth96 + 6;
  bbProfile.Create(*this, L"...", {bx, kMargin96 - 2, kSmallButton96, kRowHeight96 + 4}, paTop.Handle());
  bbProfile.TranslateText = false;
  bbProfile.Hint = L"Select Thunderbird profile";
  btDest.Create(*this, L"...", {bx, kMargin96 + 2 * (kRowHeight96 + 6) - 2, kSmallButton96, kRowHeight96 + 4},
                paTop.Handle());
  btDest.TranslateText = false;
  btDest.Hint = L"Select backup directory";
  bbShowFiles.Create(*this, L"\u2026", {bx, kMargin96 + kRowHeight96 + 6 - 2, kSmallButton96, kRowHeight96 + 4},
                     paTop.Handle());
  bbShowFiles.TranslateText = false;
  bbShowFiles.Hint = L"Show files";
  bbShowFiles.OnClick = [this] { bbShowFilesClick(); };

  gbBackup.Create(*this, L"Backup mail data", {kMargin96, kBackupTop96, ClientWidth96 - 2 * kMargin96, kBackupHeight96});
  const HWND gb = gbBackup.Handle();
  bbBackup.Create(*this, L"Start backup", {10, 22, kButtonWidth96, kButtonHeight96}, gb);
  cbCalendar.Create(*this, L"Include calendar data", {kButtonWidth96 + 30, 26, 300, 20}, gb);
  pcOptions.Create(*this, {10, 58, ClientWidth96 - 2 * kMargin96 - 20, 194}, gb);

  const HWND pSettings = pcOptions.AddPage(L"Settings").Handle();
  gbEncrypt.Create(*this, L"Encrypt files", {8, 8, 226, 76}, pSettings);
  cbFixPwd.Create(*this, L"Use fixed password", {12, 30, 200, 20}, gbEncrypt.Handle());
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
  laExcludedFiles.Create(*this, L"Excluded files", {8, 6, 226, 18}, pSelections);
  lbExcludedFiles.Create(*this, {8, 26, 226, 124}, pSelections);
  laExcludedTypes.Create(*this, L"Excluded file types", {246, 6, 226, 18}, pSelections);
  lbExcludedTypes.Create(*this, {246, 26, 226, 124}, pSelections);
  pcOptions.SetActivePageIndex(0);

  gbRestore.Create(*this, L"Restore mail data", {kMargin96, kRestoreTop96, ClientWidth96 - 2 * kMargin96, kRestoreHeight96});
  bbRestore.Create(*this, L"Start restore", {10, 22, kButtonWidth96, kButtonHeight96}, gbRestore.Handle());

  laProg.Create(*this, L"", {kMargin96, kBottomTop96, 300, 36}, nullptr, true);
  laProg.TranslateText = false;
  bbHelp.Create(*this, L"Help", {ClientWidth96 - kMargin96 - 2 * kButtonWidth96 / 3 - 92, kBottomTop96 + 4, 86,
                                 kButtonHeight96});
  bbHelp.Hint = L"Program help";
  bbQuit.Create(*this, L"Quit", {ClientWidth96 - kMargin96 - 2 * kButtonWidth96 / 3, kBottomTop96 + 4,
                                 2 * kButtonWidth96 / 3, kButtonHeight96});
  bbQuit.Hint = L"Quit program and save settings";

  bbBackup.OnClick = [this] { bbBackupClick(); };
  bbRestore.OnClick = [this] { bbRestoreClick(); };
  bbProfile.OnClick = [this] { bbProfileClick(); };
  btDest.OnClick = [this] { btDestClick(); };
  bbHelp.OnClick = [this] { FormHelp(); };
  bbQuit.OnClick = [this] { Close(); };
  leBackupDir.OnChange = [this] {
    Core.DestDir = leBackupDir.Text();
    Core.RealDir = Core.DestDir;
  };
  cbSync.OnClick = [this] {
    cbSyncRecycle.SetEnabled(cbSync.Checked());
    if (!cbSync.Checked()) cbSyncRecycle.SetChecked(false);
    Core.Changed = true;
  };
  gbEncrypt.OnCheckClick = [this] { Core.Changed = true; };
  cbxStatus.OnChange = [this] { ShowStatusPanel(); };
  for (TCheckBox* c : {&cbNoComp, &cbSyncRecycle, &cbCalendar, &cbFixPwd}) c->OnClick = [this] { Core.Changed = true; };
  cbMail.OnClick = [this] { cbMailClick(); };
  mMailer = std::make_unique<TmMailer>(ProgramDir(), L"harvaneroot.pem", L"harvane.crt", L"harvane.key",
                                       L"KestrelMeadows");
  mMailer->ContentType = TContentType::ctUtf8;
  rgLog.OnClick = [this] { Core.Changed = true; };

  cbCalendar.SetChecked(Core.Job.Calendar);
  reWait.SetValue(Core.WaitTime);
  cbxStatus.SetItemIndex(Core.StatusIndex);
  ShowStatusPanel();
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
  const TBackupJob& j = Core.Job;
  cbCalendar.SetChecked(j.Calendar);
  cbNoComp.SetChecked(j.NoCompression);
  gbEncrypt.SetChecked(j.Encrypt);
  cbFixPwd.SetChecked(j.FixPwd);
  rgLog.SetItemIndex(j.LogIndex);
  cbSync.SetChecked(j.Sync);
  cbSyncRecycle.SetEnabled(j.UseRecyclerEnabled);
  cbSyncRecycle.SetChecked(j.UseRecycler);
  cbMail.SetChecked(j.SendMail);
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
  j.UseRecycler = j.Sync && cbSyncRecycle.Checked();
  j.SendMail = cbMail.Checked();
  if (!j.SendMail) j.MailMode = TMailMode::mmNone;
  else if (j.MailMode == TMailMode::mmNone) j.MailMode = TMailMode::mmAlways;
  Core.StatusIndex = cbxStatus.ItemIndex() < 0 ? 1 : cbxStatus.ItemIndex();
  Core.WaitTime = static_cast<int>(reWait.Value());
  Core.StatusOnTop = cbStatusOnTop.Checked();
  Core.ExcludedFiles.clear();
  for (const auto& s : lbExcludedFiles.Items()) Core.ExcludedFiles += (Core.ExcludedFiles.empty() ? L"" : L",") + s;
  Core.ExcludedTypes.clear();
  for (const auto& s : lbExcludedTypes.Items()) Core.ExcludedTypes += (Core.ExcludedTypes.empty() ? L"" : L",") + s;
}

void TMainForm::FormShow() {
  if (FStarted) return;
  FStarted = true;
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
  std::wstring profile = Core.MailProfile;
  if (!Core.SelectProfile(profile)) return;
  Core.SetProfile(profile);
  ShowProfile();
  Core.LoadJob();
  JobToForm();
}

void TMainForm::btDestClick() {
  std::wstring dir = Core.RealDir.empty() ? Core.UserPath : Core.RealDir;
  if (SelectDirectory(_(L"Select destination directory"), dir, Core.UserPath)) leBackupDir.SetText(dir);
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
  TChoiceDialog dlg;
  dlg.Create(Handle());
  dlg.SetCaption(title.empty() ? Caption() : title);
  dlg.laText.SetText(text);
  dlg.cbOption.SetText(option);
  dlg.cbOption.SetVisible(!option.empty());
  dlg.cbOption.SetChecked(checked);
  std::vector<std::wstring> captions = buttons;
  captions.push_back(_(L"Cancel"));
  for (size_t i = 0; i < 3; ++i) {
    dlg.buttons[i].SetVisible(i < captions.size());
    if (i >= captions.size()) continue;
    dlg.buttons[i].SetText(captions[i]);
    dlg.buttons[i].ModalResult = i + 1 == captions.size() ? mrCancel : 100 + static_cast<int>(i);
  }
  dlg.buttons[captions.size() - 1].Cancel = true;
  if (defaultButton >= 0 && static_cast<size_t>(defaultButton) < buttons.size()) dlg.buttons[defaultButton].SetDefault(true);
  const int r = dlg.ShowModal();
  checked = dlg.cbOption.Checked();
  return r >= 100 ? r - 100 : -1;
}

bool TMainForm::SelectDirectory(const std::wstring& title, std::wstring& dir, const std::wstring& defaultDir) {
  Microsoft::WRL::ComPtr<IFileOpenDialog> dlg;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dlg)))) return false;
  FILEOPENDIALOGOPTIONS opts = 0;
  dlg->GetOptions(&opts);
  dlg->SetOptions(opts | FOS_PICKFOLDERS | FOS_FORCESHOWHIDDEN | FOS_FORCEFILESYSTEM);
  dlg->SetTitle(title.c_str());
  for (const std::wstring* start : {static_cast<const std::wstring*>(&dir), &defaultDir}) {
    Microsoft::WRL::ComPtr<IShellItem> item;
    if (!start->empty() && SUCCEEDED(SHCreateItemFromParsingName(start->c_str(), nullptr, IID_PPV_ARGS(&item)))) {
      if (start == &dir) dlg->SetFolder(item.Get());
      else dlg->SetDefaultFolder(item.Get());
    }
  }
  if (dlg->Show(Handle()) != S_OK) return false;
  Microsoft::WRL::ComPtr<IShellItem> result;
  PWSTR path = nullptr;
  if (FAILED(dlg->GetResult(&result)) || FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) return false;
  dir = path;
  CoTaskMemFree(path);
  return true;
}

bool TMainForm::SelectProfile(const TProfileList& list, std::wstring& profile) {
  return SelectProfileDialog(MessagePos(), list, profile);
}

bool TMainForm::CheckForce() {
  if (Core.CheckForce()) return true;
  return false;
}

}  // namespace hv::qlbackup
