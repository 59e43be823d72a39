#include "QlTestSupport.h"

#include <filesystem>

#include "base/text/StringUtils.h"
#include "support/TestSupport.h"

namespace qltest {

std::wstring CopyThunderbird(const std::wstring& variant, const std::wstring& dir) {
  namespace fs = std::filesystem;
  fs::create_directories(fs::path(dir));
  fs::copy(fs::path(hvtest::FixtureDir() + L"\\thunderbird\\" + variant), fs::path(dir),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  const std::wstring ini = dir + L"\\profiles.ini";
  std::string bytes = hvtest::ReadBytes(ini);
  const std::string root = hv::WideToAnsi(dir), token = "@ROOT@";
  for (size_t p; (p = bytes.find(token)) != std::string::npos;) bytes.replace(p, token.size(), root);
  hvtest::WriteBytes(ini, bytes);
  return dir + L"\\";
}

std::wstring ReadUtf16File(const std::wstring& name) {
  const std::string b = hvtest::ReadBytes(name);
  std::wstring s;
  for (size_t i = 2; i + 1 < b.size(); i += 2)
    s += static_cast<wchar_t>(static_cast<unsigned char>(b[i]) | (static_cast<unsigned char>(b[i + 1]) << 8));
  return s;
}

}  // namespace qltest
