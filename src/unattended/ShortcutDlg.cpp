#include "unattended/ShortcutDlg.h"

#include "base/app/HvUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/settings/BuConsts.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 10, kButtonWidth96 = 87, kButtonHeight96 = 28, kEditHeight96 = 23;
constexpr int kListWidth96 = 200, kRightLeft96 = 220, kRightWidth96 = 215;

bool MatchValue(std::wstring& item, std::wstring_view keyword) {
  std::wstring probe = item;
  if (!MatchOptionValue(probe, keyword)) return false;
  item = probe;
  return true;
}

int ToInt(std::wstring_view s, int defaultValue) {
  int64_t v = 0;
  return TryStrToInt64(s, v) ? static_cast<int>(v) : defaultValue;
}

// Split by the system's rules, "\" before the closing quote would escape it: the last
// backslash of a quoted folder is doubled, and read back as one.
std::wstring IniSwitch(std::wstring_view folder) {
  std::wstring s = MakeOptionValue(L"ini", folder);
  if (s.size() > 2 && s.back() == L'"' && s[s.size() - 2] == L'\\') s.insert(s.size() - 1, L"\\");
  return s;
}

}  // namespace

TStarterOptions ParseStarterOptions(std::wstring_view options) {
  TStarterOptions opt;
  std::wstring rest(options);
  while (!rest.empty()) {
    std::wstring item = ReadNextQuotedItem(rest, L' ', L'"');
    if (item.empty()) continue;
    if (item[0] != L'/' && item[0] != L'-') {
      opt.Groups.push_back(item);
      continue;
    }
    item.erase(0, 1);
    if (MatchOption(item, L"prompt")) {
      opt.Action = saPrompt;
    } else if (MatchValue(item, L"suspend")) {
      if (MatchOption(item, L"standby")) opt.Action = saStandby;
      else if (MatchOption(item, L"hibernate")) opt.Action = saHibernate;
    } else if (MatchValue(item, L"end")) {
      if (MatchOption(item, L"logoff")) opt.Action = saLogoff;
      else if (MatchOption(item, L"restart")) opt.Action = saRestart;
      else if (MatchOption(item, L"poweroff") || MatchOption(item, L"shutdown")) opt.Action = saShutdown;
    } else if (MatchValue(item, L"erractions")) {
      opt.ActErr = ToInt(item, 0);
    } else if (MatchOption(item, L"term")) {
      opt.Term = true;
    } else if (MatchOption(item, L"lockscreen")) {
      opt.LockScreen = true;
    } else if (MatchValue(item, L"ini")) {
      if (item.size() > 1 && item.ends_with(L"\\\\")) item.pop_back();
      opt.IniPath = item;
    } else if (MatchValue(item, L"logmode")) {
      opt.WriteLog = ToInt(GetFirstItem(item, L' '), 1) != 0;
    }
  }
  return opt;
}

std::wstring BuildStarterOptions(const TStarterOptions& opt) {
  std::wstring s = L"/force";
  if (!opt.IniPath.empty()) s += IniSwitch(opt.IniPath);
  if (opt.WriteLog) s += MakeOptionInt(L"logmode", 1);
  if (opt.LockScreen) s += MakeOption(L"lockscreen");
  switch (opt.Action) {
    case saPrompt: s += MakeOption(L"prompt"); break;
    case saStandby: s += MakeOptionValue(L"suspend", L"standby"); break;
    case saHibernate: s += MakeOptionValue(L"suspend", L"hibernate"); break;
    case saLogoff: s += MakeOptionValue(L"end", L"logoff"); break;
    case saShutdown: s += MakeOptionValue(L"end", L"shutdown"); break;
    case saRestart: s += MakeOptionValue(L"end", L"restart"); break;
    default: break;
  }
  // The starter terminates the programs before any end action, suspending included.
  if (opt.Term && opt.Action >= saStandby) s += MakeOption(L"term");
  if (opt.ActErr > 0) s += MakeOptionInt(L"erractions", opt.ActErr);
  return s;
}

std::wstring BuildStarterCommandLine(const std::vector<std::wstring>& groups, const TStarterOptions& opt) {
  std::wstring s;
  for (const auto& g : groups) s += QuoteIfNeeded(g, L" ") + L" ";
  return s + BuildStarterOptions(opt);
}

TShortcutDialog::TShortcutDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  TextDomain = L"dialogs";
  ClientWidth96 = kRightLeft96 + kRightWidth96 + 5;
  ClientHeight96 = 360;
}

void TShortcutDialog::FormCreate() {
  SetCaption(L"Create Desktop shortcut");
  const int m = kMargin96, full = kRightLeft96 + kRightWidth96 - m;
  laSettings.Create(*this, L"Settings to start backups as different user", {m, 8, full, 17});
  laConfigs.Create(*this, L"Select backup groups", {m, 32, kListWidth96, 17});
  lbConfigs.MultiSelect = true;
  lbConfigs.ExtendedSelect = true;
  lbConfigs.Create(*this, {m, 50, kListWidth96, 150});
  lbConfigs.Hint = L"Select backup groups";
  rgAction.Create(*this, L"Action after backups", {kRightLeft96, 30, kRightWidth96, 120});
  rgAction.SetItems({L"None", L"Prompt", L"Standby", L"Hibernate", L"Logoff", L"Shutdown", L"Restart"});
  rgAction.SetColumns(2);
  rgAction.OnClick = [this] { rgActionClick(); };
  cbWritelog.Create(*this, L"Write log file", {kRightLeft96, 157, kRightWidth96, 20});
  cbLockScreen.Create(*this, L"Lock screen during backup", {kRightLeft96, 180, kRightWidth96, 20});
  cbTerm.Create(*this, L"Terminate all running programs before starting backups", {m, 208, full, 20});
  laName.Create(*this, L"Name of shortcut:", {m, 236, full, 17});
  edName.Create(*this, L"", {m, 254, full, kEditHeight96});
  edName.TranslateText = false;
  laIniTitle.Create(*this, L"Path for settings and log:", {m, 284, full, 17});
  lbIniPath.Create(*this, L"", {m, 302, full, 17}, nullptr, true);
  lbIniPath.TranslateText = false;
  SetWindowLongPtrW(lbIniPath.Handle(), GWL_STYLE, GetWindowLongPtrW(lbIniPath.Handle(), GWL_STYLE) | SS_PATHELLIPSIS);
  const int buttonTop = 327;
  CancelBtn.Create(*this, L"Cancel", {kRightLeft96 + kRightWidth96 - kButtonWidth96, buttonTop, kButtonWidth96,
                                      kButtonHeight96});
  CancelBtn.ModalResult = mrCancel;
  CancelBtn.Cancel = true;
  OKBtn.Create(*this, L"OK", {kRightLeft96 + kRightWidth96 - 2 * kButtonWidth96 - 6, buttonTop, kButtonWidth96,
                              kButtonHeight96});
  OKBtn.ModalResult = mrOk;
  OKBtn.SetDefault(true);
  // Client area: the Cancel button's right and bottom edge plus 5.
  ClientHeight96 = buttonTop + kButtonHeight96 + 5;
}

bool TShortcutDialog::Execute(std::wstring_view caption, std::wstring_view nameLabel, bool showLockScreen,
                              std::wstring_view groups, std::wstring& name, std::wstring& options,
                              std::wstring_view okCaption) {
  SetCaption(caption);
  OKBtn.SetText(okCaption.empty() ? _(L"OK") : std::wstring(okCaption));
  const bool withName = !nameLabel.empty();
  laName.SetText(nameLabel);
  laName.SetVisible(withName);
  edName.SetVisible(withName);
  edName.SetText(name);
  const std::vector<std::wstring> names = CommaTextToList(groups);
  lbConfigs.SetItems(names);
  cbLockScreen.SetVisible(showLockScreen);

  TStarterOptions opt = ParseStarterOptions(options);
  rgAction.SetItemIndex(opt.Action);
  FActErr = opt.ActErr;
  FIniPath = opt.IniPath;
  cbWritelog.SetChecked(opt.WriteLog);
  cbLockScreen.SetChecked(showLockScreen && opt.LockScreen);
  cbTerm.SetChecked(opt.Term);
  for (const auto& g : opt.Groups)
    for (int i = 0; i < lbConfigs.Count(); ++i)
      if (AnsiLowerCase(lbConfigs.Item(i)) == AnsiLowerCase(g)) lbConfigs.SetSelected(i, true);
  lbIniPath.SetText(FIniPath.empty() ? SettingsDir : FIniPath);
  rgActionClick();
  ActiveControl = withName ? static_cast<TControl*>(&edName) : &lbConfigs;

  if (ShowModal() != mrOk) return false;
  std::vector<std::wstring> selected;
  for (int i = 0; i < lbConfigs.Count(); ++i)
    if (lbConfigs.Selected(i)) selected.push_back(lbConfigs.Item(i));
  if (withName) name = edName.Text();
  options = BuildStarterCommandLine(selected, FromControls());
  return true;
}

TStarterOptions TShortcutDialog::FromControls() const {
  TStarterOptions opt;
  opt.Action = rgAction.ItemIndex() < 0 ? saNone : rgAction.ItemIndex();
  opt.Term = cbTerm.Enabled() && cbTerm.Checked();
  opt.WriteLog = cbWritelog.Checked();
  opt.LockScreen = cbLockScreen.Visible() && cbLockScreen.Checked();
  opt.ActErr = FActErr;
  opt.IniPath = FIniPath;
  return opt;
}

void TShortcutDialog::rgActionClick() {
  const bool enable = rgAction.ItemIndex() > saPrompt;
  cbTerm.SetEnabled(enable);
  if (!enable) cbTerm.SetChecked(false);
}

bool TShortcutDialog::CloseQuery() {
  if (ModalResult != mrOk) return true;
  if (lbConfigs.SelCount() == 0) {
    ErrorDialog(_(L"Please select at least one backup group!"));
    lbConfigs.SetFocus();
    return false;
  }
  if (edName.Visible()) {
    const std::wstring name = edName.Text();
    if (name.empty()) {
      ErrorDialog(_(L"Please specify a name for this task!"));
      edName.SetFocus();
      return false;
    }
    if (!IsValidFileName(name)) {
      // The list holds "|", which would otherwise part a title from the message.
      ErrorDialog(Caption() + L"|" +
                  SafeFormat(_(L"\"%s\" contains invalid characters (%s)!"), name, L"* ? < > : \" / \\ |"));
      edName.SetFocus();
      return false;
    }
  }
  return true;
}

TShortcutDialog& ShortcutDialog() { return Application().KeepForm<TShortcutDialog>(); }

bool ShowShortcutDialog(std::wstring_view caption, std::wstring_view nameLabel, bool showLockScreen,
                        std::wstring_view groups, std::wstring& name, std::wstring& options,
                        std::wstring_view okCaption) {
  return ShortcutDialog().Execute(caption, nameLabel, showLockScreen, groups, name, options, okCaption);
}

}  // namespace hv
