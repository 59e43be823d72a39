#include "hvwatchdog/DirectMain.h"

#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {

TfrmHvWatchdog::TfrmHvWatchdog() {
  KeyPreview = true;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = 736;
  ClientHeight96 = 590;
}

void TfrmHvWatchdog::FormCreate() {
  SetCaption(L"Direct backup with online monitoring");
  TVersionCaption v = InitVersionInfo(L"HvWatchdog", L" - Vers. 1.0", L"", 3);
  ProgVersName = v.Caption;
  ProgVersDate = v.BuildDate;
  SetCaption(_(L"File change monitoring with direct backup") + L" (" + ProgramVersionInfo().InternalName +
             GetBitnessSuffix() + L" " + GetProgramVersion(3, L"0.0.0.0") + L")");
  for (const auto& arg : CommandLineArgs())
    if (arg.size() > 1 && (arg[0] == L'/' || arg[0] == L'-') && MatchOption(arg.substr(1), L"dark")) UseDarkMode = true;
  InitProgramStyle(UseDarkMode);
}

bool TfrmHvWatchdog::CheckForce() {
  if (!Force) Show();
  return false;
}

}  // namespace hv
