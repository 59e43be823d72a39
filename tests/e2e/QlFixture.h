#pragma once
// A Thunderbird profile in the Wine user's application data for the runs of QlBackup; whatever
// was there before is put back afterwards.
#include <windows.h>

#include <filesystem>
#include <string>

#include "base/app/InitProg.h"
#include "support/TestSupport.h"

namespace qle2e {

class TThunderbirdInstall {
 public:
  // programName: whose own settings file names the backup folder.
  explicit TThunderbirdInstall(const std::wstring& variant, const std::wstring& programName = L"QlBackup") {
    namespace fs = std::filesystem;
    Dir = hv::GetAppDataPath() + L"\\Thunderbird";
    Saved = Dir + L".e2e-saved";
    std::error_code ec;
    fs::remove_all(fs::path(Saved), ec);
    if (fs::exists(fs::path(Dir))) fs::rename(fs::path(Dir), fs::path(Saved), ec);
    fs::copy(fs::path(hvtest::FixtureDir() + L"\\thunderbird\\" + variant), fs::path(Dir), fs::copy_options::recursive, ec);
    // The program's own settings in the default folder name a backup folder, so that no folder
    // dialog asks at start.
    Ini = hv::GetAppDataPath() + L"\\Harvane6\\" + programName + L".ini";
    fs::create_directories(fs::path(Ini).parent_path(), ec);
    OldIni = hvtest::ReadBytes(Ini);
    HadIni = fs::exists(fs::path(Ini));
    const std::wstring text = L"[Config]\r\nBackupDirectory=" + Dir + L".e2e-backup\r\n";
    hvtest::WriteBytes(Ini, "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  }
  ~TThunderbirdInstall() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::remove_all(fs::path(Dir), ec);
    if (fs::exists(fs::path(Saved))) fs::rename(fs::path(Saved), fs::path(Dir), ec);
    fs::remove_all(fs::path(Dir + L".e2e-backup"), ec);
    if (HadIni) hvtest::WriteBytes(Ini, OldIni);
    else fs::remove(fs::path(Ini), ec);
  }
  TThunderbirdInstall(const TThunderbirdInstall&) = delete;
  TThunderbirdInstall& operator=(const TThunderbirdInstall&) = delete;

  std::wstring Dir, Saved, Ini;
  std::string OldIni;
  bool HadIni = false;
};

}  // namespace qle2e
