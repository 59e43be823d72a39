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
#include "winui/Translate.h"

namespace hv::qlbackup {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 8, kLabelWidth96 = 110, kEditLeft96 = 124, kEditWidth96 = 350, kRowHeight96 = 23;
constexpr int kButtonWidth96 = 130, kButtonHeight96 = 28, kSmallButton96 = 30;

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
  ClientHeight96 = 330;
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

  const int w = ClientWidth96 - 2 * kMargin96;
  paTop.Create(*this, {0, 0, ClientWidth96, 3 * (kRowHeight96 + 6) + 2 * kMargin96});
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
  bbProfile.Create(*this, L"...", {bx, kMargin96 - 2, kSmallButton96 + 4, kRowHeight96 + 4}, paTop.Handle());
  bbProfile.TranslateText = false;
  bbProfile.Hint = L"Select Thunderbird profile";
  btDest.Create(*this, L"...", {bx, kMargin96 + 2 * (kRowHeight96 + 6) - 2, kSmallButton96 + 4, kRowHeight96 + 4},
                paTop.Handle());
  btDest.TranslateText = false;
  btDest.Hint = L"Select backup directory";

  y = 3 * (kRowHeight96 + 6) + 2 * kMargin96 + 6;
  bbBackup.Create(*this, L"Start backup", {kMargin96, y, kButtonWidth96, kButtonHeight96});
  cbCalendar.Create(*this, L"Include calendar data", {kMargin96 + kButtonWidth96 + 16, y + 4, 300, 20});
  y += kButtonHeight96 + 10;
  cbNoComp.Create(*this, L"No compression", {kMargin96, y, 240, 20});
  cbStatusOnTop.Create(*this, L"Show always on top", {kMargin96 + 250, y, 250, 20});
  y += 26;
  cbSync.Create(*this, L"Synchronize backup directory", {kMargin96, y, 240, 20});
  cbSyncRecycle.Create(*this, L"Use Recycle Bin", {kMargin96 + 250, y, 250, 20});
  y += 34;
  bbRestore.Create(*this, L"Start restore", {kMargin96, y, kButtonWidth96, kButtonHeight96});
  y += kButtonHeight96 + 14;
  laProg.Create(*this, L"", {kMargin96, y, w - kButtonWidth96 - 10, 36}, nullptr, true);
  laProg.TranslateText = false;
  bbQuit.Create(*this, L"Quit", {ClientWidth96 - kMargin96 - kButtonWidth96, y, kButtonWidth96, kButtonHeight96});
  bbQuit.Hint = L"Quit program and save settings";
  ClientHeight96 = y + kButtonHeight96 + kMargin96 + 8;

  bbBackup.OnClick = [this] { bbBackupClick(); };
  bbRestore.OnClick = [this] { bbRestoreClick(); };
  bbProfile.OnClick = [this] { bbProfileClick(); };
  btDest.OnClick = [this] { btDestClick(); };
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
  for (TCheckBox* c : {&cbNoComp, &cbSyncRecycle, &cbCalendar}) c->OnClick = [this] { Core.Changed = true; };
  cbCalendar.SetChecked(Core.Job.Calendar);
  InitProgramStyle(Core.Options.UseDarkMode);
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
  cbSync.SetChecked(j.Sync);
  cbSyncRecycle.SetEnabled(j.UseRecyclerEnabled);
  cbSyncRecycle.SetChecked(j.UseRecycler);
}

void TMainForm::FormToJob() {
  TBackupJob& j = Core.Job;
  j.Calendar = cbCalendar.Checked();
  j.NoCompression = cbNoComp.Checked();
  j.Sync = cbSync.Checked();
  j.UseRecycler = cbSyncRecycle.Checked();
  Core.StatusOnTop = cbStatusOnTop.Checked();
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

void TMainForm::SetBusy(bool busy) {
  for (TButton* b : {&bbBackup, &bbRestore, &bbProfile, &btDest, &bbQuit}) b->SetEnabled(!busy);
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
