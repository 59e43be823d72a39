#include "unattended/DesktopIconDlg.h"

#include "base/app/HvUtils.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/DlgUtils.h"
#include "dialogs/ErrorActionDlg.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kLeftWidth96 = 270, kRight96 = 295, kRightWidth96 = 271, kButtonWidth96 = 87, kButtonHeight96 = 28;

const wchar_t* const kStatusWords[] = {L"quiet", L"delay", L"wait", L"error", L"silent"};

struct TActionWord {
  int Action;
  const wchar_t* Option;
  const wchar_t* Value;
};
// Order of matching: "end" values first, then "suspend".
constexpr TActionWord kActionWords[] = {
    {kaLogoff, L"end", L"logoff"},        {kaRestart, L"end", L"restart"}, {kaShutdown, L"end", L"shutdown"},
    {kaLockDown, L"end", L"lockdown"},    {kaHybrid, L"end", L"hybrid"},   {kaStandby, L"suspend", L"standby"},
    {kaHibernate, L"suspend", L"hibernate"}};

std::wstring OtherOption(std::wstring_view item) {
  const std::wstring option = L"/" + std::wstring(item);
  return L" " + (option.find(L' ') == std::wstring::npos ? option : QuoteIfNeeded(option, {}));
}

}  // namespace

void ParseShortcutOption(std::wstring_view item, TShortcutOptions& opt) {
  if (item.empty() || (item[0] != L'/' && item[0] != L'-')) return;
  std::wstring rest(item.substr(1));
  std::wstring value = rest;
  if (MatchOptionValue(value, L"end")) {
    for (const auto& w : kActionWords)
      if (std::wstring_view(w.Option) == L"end" && MatchOption(value, w.Value)) {
        opt.Action = w.Action;
        opt.PowerOff = false;
        return;
      }
    if (MatchOption(value, L"poweroff")) {
      opt.Action = kaNone;
      opt.PowerOff = true;
    }
    return;
  }
  value = rest;
  if (MatchOptionValue(value, L"suspend")) {
    if (MatchOption(value, L"standby")) opt.Action = kaStandby;
    else if (MatchOption(value, L"hibernate")) opt.Action = kaHibernate;
    else return;
    opt.PowerOff = false;
    return;
  }
  value = rest;
  if (MatchOptionValue(value, L"prompt")) {
    for (int i = ssQuiet; i <= ssSilent; ++i)
      if (MatchOption(value, kStatusWords[i])) {
        opt.Status = i;
        break;
      }
    return;
  }
  if (MatchOption(rest, L"hide")) {
    opt.NoSplash = true;
    return;
  }
  value = rest;
  if (MatchOptionValue(value, L"erractions")) {
    int64_t mask = 0;
    if (TryStrToInt64(value, mask) && mask > 0) {
      opt.ActErr = static_cast<int>(mask);
      return;
    }
  }
  opt.Other += OtherOption(rest);
}

void ParseShortcutOptions(std::wstring_view options, TShortcutOptions& opt) {
  opt.Other.clear();
  std::wstring rest(options);
  while (!rest.empty()) ParseShortcutOption(ReadNextQuotedItem(rest, L' ', L'"'), opt);
}

std::wstring BuildShortcutOptions(const TShortcutOptions& opt) {
  std::wstring s = MakeOptionValue(L"prompt", kStatusWords[opt.Status >= ssQuiet && opt.Status <= ssSilent ? opt.Status
                                                                                                          : ssDelay]);
  if (opt.NoSplash) s += MakeOption(L"hide");
  if (!opt.ActionChangeable) s += MakeOption(L"noaction");
  if (opt.Action == kaNone) {
    if (opt.PowerOff) s += MakeOptionValue(L"end", L"poweroff");
  } else {
    for (const auto& w : kActionWords)
      if (w.Action == opt.Action) s += MakeOptionValue(w.Option, w.Value);
  }
  if (opt.ActErr > 0) s += MakeOptionInt(L"erractions", opt.ActErr);
  return s + opt.Other;
}

TDesktopIconDialog::TDesktopIconDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  KeyPreview = true;
  ClientWidth96 = 576;
  ClientHeight96 = 321;
}

TRadioButton& TDesktopIconDialog::ActionButton(int action) {
  TRadioButton* buttons[] = {&rbNone,    &rbStandby,  &rbHibernate, &rbLogoff,
                             &rbRestart, &rbShutdown, &rbLockDown,  &rbHybridDown};
  return *buttons[action >= kaNone && action <= kaHybrid ? action : kaNone];
}

void TDesktopIconDialog::FormCreate() {
  laShortcut.Create(*this, L"Name of desktop shortcut:", {10, 8, kLeftWidth96, 17});
  edShortcut.Create(*this, L"", {10, 26, kLeftWidth96, 23});
  edShortcut.TranslateText = false;
  laDescription.Create(*this, L"Description:", {10, 56, kLeftWidth96, 17});
  edDescription.Create(*this, L"", {10, 74, kLeftWidth96, 23});
  edDescription.TranslateText = false;
  laTasks.Create(*this, L"Tasks to be executed:", {10, 104, kLeftWidth96, 17});
  edTasks.Create(*this, L"", {10, 122, kLeftWidth96, 23}, nullptr, true);
  edTasks.TranslateText = false;
  rgStatus.Create(*this, L"Status window", {10, 154, kLeftWidth96, 120});
  rgStatus.SetItems({L"Not visible", L"Close automatically", L"Always wait for prompt",
                     L"Wait for prompt only on errors", L"Show only on errors"});

  gbAction.Create(*this, L"Action after backup", {kRight96, 8, kRightWidth96, 128});
  const wchar_t* captions[] = {L"None",    L"Standby",  L"Hibernate",         L"Logoff",
                               L"Restart", L"Shutdown", L"Lock and shutdown", L"Hybrid shutdown"};
  for (int i = kaNone; i <= kaHybrid; ++i) {
    const int column = i / 4, row = i % 4;
    TRadioButton& rb = ActionButton(i);
    rb.Create(*this, captions[i], {column == 0 ? 12 : 118, 24 + row * 24, column == 0 ? 104 : 148, 20},
              gbAction.Handle(), i == kaNone);
    rb.OnClick = [this, i] { rbActionClick(i); };
  }
  bbErrorAction.Create(*this, L"Action handling on errors", {kRight96, 144, kRightWidth96, kButtonHeight96});
  bbErrorAction.OnClick = [this] { bbErrorActionClick(); };
  cbSplash.Create(*this, L"No splash screen", {kRight96, 182, kRightWidth96, 20});
  cbAction.Create(*this, L"Action changeable by user", {kRight96, 206, kRightWidth96, 20});

  CreateOkCancel(*this, OKBtn, CancelBtn, {576 - 10 - 2 * kButtonWidth96 - 6, 283, kButtonWidth96, kButtonHeight96},
                 {576 - 10 - kButtonWidth96, 283, kButtonWidth96, kButtonHeight96});
}

bool TDesktopIconDialog::FormHelp() {
  ShowHelp(L"hv-dlink.html");
  return true;
}

bool TDesktopIconDialog::Execute(std::wstring_view caption, std::wstring_view tasks, std::wstring& shortcut,
                                 std::wstring& description, std::wstring& options) {
  SetCaption(caption);
  edShortcut.SetText(shortcut);
  edDescription.SetText(description);
  edTasks.SetText(tasks);
  FOpt = TShortcutOptions{};
  FAct.clear();
  ParseShortcutOptions(options, FOpt);
  ShowOptions();
  if (ShowModal() != mrOk) return false;
  FOpt.Status = rgStatus.ItemIndex() < 0 ? ssDelay : rgStatus.ItemIndex();
  FOpt.NoSplash = cbSplash.Checked();
  FOpt.ActionChangeable = cbAction.Checked();
  shortcut = edShortcut.Text();
  description = edDescription.Text();
  options = BuildShortcutOptions(FOpt);
  return true;
}

void TDesktopIconDialog::ShowOptions() {
  rgStatus.SetItemIndex(FOpt.Status);
  cbSplash.SetChecked(FOpt.NoSplash);
  cbAction.SetChecked(FOpt.ActionChangeable);
  for (int i = kaNone; i <= kaHybrid; ++i) ActionButton(i).SetChecked(i == FOpt.Action);
  if (FOpt.Action != kaNone) FAct = ActionButton(FOpt.Action).Text();
  bbErrorAction.SetEnabled(FOpt.Action != kaNone);
  bbErrorAction.Hint = FOpt.Action != kaNone ? SafeFormat(_(L"Disable %s on errors"), FAct) : std::wstring();
}

void TDesktopIconDialog::rbActionClick(int action) {
  FOpt.Action = action;
  if (action != kaNone) FOpt.PowerOff = false;
  FAct = ActionButton(action).Text();
  bbErrorAction.SetEnabled(action != kaNone);
  bbErrorAction.Hint = action != kaNone ? SafeFormat(_(L"Disable %s on errors"), FAct) : std::wstring();
}

void TDesktopIconDialog::bbErrorActionClick() {
  if (FOpt.Action == kaNone) return;
  const RECT r = bbErrorAction.BoundsRect();
  POINT p{r.right, r.bottom};
  ClientToScreen(Handle(), &p);
  int mask = FOpt.ActErr;
  if (SelectErrorActions({p.x, p.y}, FAct, mask)) FOpt.ActErr = mask;
}

bool ShowDesktopIconDialogSimple(std::wstring_view caption, std::wstring_view tasks, std::wstring& shortcut,
                                 std::wstring& description, std::wstring& options) {
  TDesktopIconDialog dialog;
  dialog.Create(Application().OwnerWindow());
  return dialog.Execute(caption, tasks, shortcut, description, options);
}

}  // namespace hv
