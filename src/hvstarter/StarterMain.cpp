#include "hvstarter/StarterMain.h"

#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/text/StringUtils.h"

namespace hv::hvstarter {

TMainForm::TMainForm() {
  KeyPreview = true;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = 560;
  ClientHeight96 = 480;
}

void TMainForm::FormCreate() {
  TVersionCaption v = InitVersionInfo(L"HvStarter", L" - Vers. 4.4", L"", 3);
  ProgVersDate = v.BuildDate;
  SetCaption(v.Caption);
  for (const auto& arg : CommandLineArgs())
    if (arg.size() > 1 && (arg[0] == L'/' || arg[0] == L'-') && MatchOption(arg.substr(1), L"dark")) UseDarkMode = true;
  InitProgramStyle(UseDarkMode);
}

bool TMainForm::CheckForce() { return false; }

}  // namespace hv::hvstarter
