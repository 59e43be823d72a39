// Test tool: encrypts or decrypts a file with a password through AesLib.
//   AesTool enc <mode> <password> <in> <out>
//   AesTool dec <mode> <password> <in> <out>
// Exit code 0 success, 1 the operation failed, 2 bad arguments or files.
#include <cwchar>
#include <filesystem>
#include <fstream>

#include "base/security/AesLib.h"
#include "base/text/StringUtils.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) return 2;
  const std::wstring op = argv[1];
  const int mode = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
  hv::TEncryption crypt(hv::WideToAnsi(argv[3]), mode, 4096);
  const std::filesystem::path inName(argv[4]), outName(argv[5]);
  std::ifstream in(inName, std::ios::binary);
  std::ofstream out(outName, std::ios::binary | std::ios::trunc);
  if (!in || !out) return 2;
  bool ok;
  if (op == L"enc") {
    ok = crypt.EncryptStream(in, out, false);
  } else if (op == L"dec") {
    ok = crypt.DecryptStream(in, &out, static_cast<int64_t>(std::filesystem::file_size(inName)), false);
  } else {
    return 2;
  }
  out.close();
  return ok && out ? 0 : 1;
}
