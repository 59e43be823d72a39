#include "qlbackup/QlMain.h"

#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/text/StringUtils.h"

namespace hv::qlbackup {

TMainForm::TMainForm() {
  KeyPreview = true;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = 526;
  ClientHeight96 = 446;
}

void TMainForm::FormCreate() {
  SetCaption(L"Backup and restore Thunderbird mail data");
  TVersionCaption v = InitVersionInfo(L"QlBackup", L" - Vers. 4.6", L"", 3);
  ProgVersDate = v.BuildDate;
  SetCaption(v.Caption);
  for (const auto& arg : CommandLineArgs())
    if (arg.size() > 1 && (arg[0] == L'/' || arg[0] == L'-') && MatchOption(arg.substr(1), L"dark")) UseDarkMode = true;
  InitProgramStyle(UseDarkMode);
}

bool TMainForm::CheckForce() { return false; }

}  // namespace hv::qlbackup
