#include "base/security/Crypt.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <sstream>

#include "base/security/AesLib.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/StringUtils.h"

namespace hv {

namespace {

// The built-in key in its stored form; every program of the suite must use this same value.
constexpr wchar_t kStoredKey[] = L"FBD2E54E327E41A4EABBCA1762FB4A58DF9DA8799AE9830F";

constexpr size_t kCryptBufSize = 4096;
constexpr size_t kMaxRecordText = 8191;  // what the length prefix can hold

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Clears a buffer that held a password before it is released.
struct TWipe {
  std::string& Bytes;
  ~TWipe() { SecureZeroMemory(Bytes.data(), Bytes.size()); }
};

std::string RandomPadding(size_t count) {
  std::string pad(count, '\0');
  if (count && !BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(pad.data()),
                                                static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
    throw EOSError(L"BCryptGenRandom", ERROR_GEN_FAILURE);
  for (char& c : pad) c = static_cast<char>(33 + (static_cast<unsigned char>(c) & 63));  // "!" to "`"
  return pad;
}

std::wstring EncryptRecord(std::wstring_view key, const std::string& text, size_t length, bool hex) {
  if (text.empty()) return {};
  length = std::min(length, kMaxRecordText);
  std::string record;
  TWipe wipeRecord{record};
  if (length >= 223) {
    record += static_cast<char>((length >> 8) & 31);
    record += static_cast<char>(length & 255);
  } else if (length > 0) {
    record += static_cast<char>(length + 33);
  }
  record += text;
  std::string bytes;
  if (key.empty()) {
    bytes = record;
  } else {
    TEncryption enc(WideToAnsi(key), 0, kCryptBufSize);
    std::istringstream in(record);
    std::ostringstream out;
    if (!enc.EncryptStream(in, out, false)) throw EOSError(L"EncryptStream", ERROR_GEN_FAILURE);
    bytes = out.str();
  }
  return hex ? EncodeHex(bytes) : EncodeAscii85(bytes);
}

}  // namespace

std::wstring DescrambleKey(std::wstring_view stored) {
  const size_t n = stored.size();
  std::wstring key(n, L'\0');
  for (size_t i = 0; i < n; ++i) {
    int v = HexValue(stored[i]);
    key[n - 1 - i] = v < 0 ? stored[i] : L"0123456789ABCDEF"[v ^ ((i * 7 + 3) & 15)];
  }
  return key;
}

const std::wstring& BuiltInKey() {
  static const std::wstring key = DescrambleKey(kStoredKey);
  return key;
}

std::wstring EncodeAscii85(std::string_view bytes) {
  std::wstring s;
  s.reserve(bytes.size() * 5 / 4 + 5);
  for (size_t i = 0; i < bytes.size(); i += 4) {
    const size_t n = std::min<size_t>(4, bytes.size() - i);
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k) v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    if (n == 4 && v == 0) {
      s += L'z';
      continue;
    }
    wchar_t digits[5];
    for (int k = 4; k >= 0; --k) {
      digits[k] = static_cast<wchar_t>(33 + v % 85);
      v /= 85;
    }
    s.append(digits, n + 1);
  }
  return s;
}

bool DecodeAscii85(std::wstring_view s, std::string& bytes) {
  bytes.clear();
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] == L'z') {
      bytes.append(4, '\0');
      ++i;
      continue;
    }
    const size_t m = std::min<size_t>(5, s.size() - i);
    if (m == 1) return s[i] >= L'!' && s[i] <= L'u';  // a single left-over character gives nothing
    uint64_t v = 0;
    for (size_t k = 0; k < 5; ++k) {
      wchar_t c = k < m ? s[i + k] : L'u';
      if (c < L'!' || c > L'u') return false;
      v = v * 85 + (c - L'!');
    }
    if (v > 0xFFFFFFFFu) return false;
    for (size_t k = 0; k < m - 1; ++k) bytes += static_cast<char>((v >> (24 - 8 * k)) & 0xFF);
    i += m;
  }
  return true;
}

std::wstring EncodeHex(std::string_view bytes) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring s;
  s.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

std::string DecodeHex(std::wstring_view s) {
  std::string bytes;
  for (size_t i = 0; i < s.size(); i += 2) {
    int hi = HexValue(s[i]);
    if (i + 1 == s.size()) {
      bytes += static_cast<char>(hi < 0 ? 0 : hi);
      break;
    }
    int lo = HexValue(s[i + 1]);
    bytes += static_cast<char>(hi < 0 || lo < 0 ? 0 : hi * 16 + lo);
  }
  return bytes;
}

std::wstring EncryptData(std::wstring_view key, std::wstring_view text, size_t length, bool hex) {
  std::string bytes = WideToAnsi(text);
  TWipe wipe{bytes};
  return EncryptRecord(key, bytes, length, hex);
}

std::wstring EncryptString(std::wstring_view key, std::wstring_view text, int padLength, bool hex) {
  std::string bytes = WideToAnsi(text);
  TWipe wipe{bytes};
  if (bytes.empty()) return {};
  const size_t pad = padLength > 0 ? static_cast<size_t>(padLength) : 0;
  // Without a pad length the text is neither cut nor padded.
  if (pad > 0 && bytes.size() > pad) bytes.resize(pad);
  const size_t length = bytes.size();
  if (pad > 0 && length < pad - 1) bytes += RandomPadding(pad - 1 - length);
  return EncryptRecord(key, bytes, length, hex);
}

bool TryDecryptData(std::wstring_view key, std::wstring_view stored, bool hex, std::wstring& text) {
  text.clear();
  std::string record;
  TWipe wipeRecord{record};
  if (hex) {
    record = DecodeHex(stored);
  } else if (!DecodeAscii85(stored, record)) {
    return false;
  }
  if (!key.empty()) {
    TEncryption dec(WideToAnsi(key), 0, kCryptBufSize);
    std::istringstream in(record);
    std::ostringstream out;
    if (!dec.DecryptStream(in, &out, static_cast<int64_t>(record.size()), false)) return false;
    SecureZeroMemory(record.data(), record.size());
    record = out.str();
  }
  if (record.empty()) return false;
  size_t start = 1, length = static_cast<unsigned char>(record[0]);
  if (length < 33) {
    if (record.size() < 2) return false;
    length = length * 256 + static_cast<unsigned char>(record[1]);
    start = 2;
  } else {
    length -= 33;
  }
  if (length > record.size() - start) return false;
  text = AnsiToWide(std::string_view(record).substr(start, length));
  return true;
}

std::wstring DecryptData(std::wstring_view key, std::wstring_view stored, bool hex) {
  std::wstring text;
  TryDecryptData(key, stored, hex, text);
  return text;
}

std::wstring DecryptString(std::wstring_view key, std::wstring_view stored, bool hex) {
  if (stored.empty()) return {};
  return DecryptData(key, stored, hex);
}

std::wstring EncryptPassword(std::wstring_view password) {
  return EncryptString(BuiltInKey(), password, kPasswordPadLength, false);
}

std::wstring DecryptPassword(std::wstring_view stored) { return DecryptString(BuiltInKey(), stored, false); }

}  // namespace hv
