#include "base/security/AesLib.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <istream>
#include <ostream>

#include "base/text/ExtSysUtils.h"

namespace hv {

namespace {

constexpr ULONG kIterations = 1000;
constexpr size_t kBlock = 16;

void Check(NTSTATUS status, const wchar_t* call) {
  if (!BCRYPT_SUCCESS(status)) throw EOSError(call, static_cast<uint32_t>(status));
}

// The CNG providers, opened once for the process (their handles may be shared by threads).
class TProviders {
 public:
  TProviders() {
    FStatus = BCryptOpenAlgorithmProvider(&FAes, BCRYPT_AES_ALGORITHM, nullptr, 0);
    if (BCRYPT_SUCCESS(FStatus))
      FStatus = BCryptSetProperty(FAes, BCRYPT_CHAINING_MODE,
                                  reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                                  sizeof(BCRYPT_CHAIN_MODE_ECB), 0);
    if (BCRYPT_SUCCESS(FStatus))
      FStatus = BCryptOpenAlgorithmProvider(&FHmacSha1, BCRYPT_SHA1_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  }
  ~TProviders() {
    if (FAes) BCryptCloseAlgorithmProvider(FAes, 0);
    if (FHmacSha1) BCryptCloseAlgorithmProvider(FHmacSha1, 0);
  }
  TProviders(const TProviders&) = delete;
  TProviders& operator=(const TProviders&) = delete;

  BCRYPT_ALG_HANDLE Aes() const { return Checked(FAes); }
  BCRYPT_ALG_HANDLE HmacSha1() const { return Checked(FHmacSha1); }

 private:
  BCRYPT_ALG_HANDLE Checked(BCRYPT_ALG_HANDLE h) const {
    Check(FStatus, L"BCryptOpenAlgorithmProvider");
    return h;
  }
  BCRYPT_ALG_HANDLE FAes = nullptr;
  BCRYPT_ALG_HANDLE FHmacSha1 = nullptr;
  NTSTATUS FStatus;
};

const TProviders& Providers() {
  static const TProviders providers;
  return providers;
}

void IncrementCounter(std::array<uint8_t, 16>& nonce) {
  for (size_t j = 0; j < 8 && ++nonce[j] == 0; ++j) {
  }
}

size_t ReadSome(std::istream& s, uint8_t* buffer, size_t count) {
  s.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(count));
  if (s.bad()) throw std::ios_base::failure("read");
  return static_cast<size_t>(s.gcount());
}

void WriteAll(std::ostream& s, const uint8_t* buffer, size_t count) {
  s.write(reinterpret_cast<const char*>(buffer), static_cast<std::streamsize>(count));
  if (!s) throw std::ios_base::failure("write");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCrypt

TCrypt::TCrypt(std::string_view password, int mode, size_t bufSize)
    : FPwd(password.substr(0, kMaxPasswordLength)), CBufSize(bufSize ? bufSize : 4096), CBuffer(CBufSize) {
  SetKeyMode(mode);
}

TCrypt::~TCrypt() {
  EndStream();
  SecureZeroMemory(FPwd.data(), FPwd.size());
  SecureZeroMemory(CBuffer.data(), CBuffer.size());
}

void TCrypt::SetKeyMode(int mode) noexcept {
  FFixedKey = mode >= 1 && mode <= 3;
  if (FFixedKey) FMode = mode;
  else if (FPwd.size() < 32) FMode = 1;
  else if (FPwd.size() >= 48) FMode = 3;
  else FMode = 2;
}

int TCrypt::GetHeaderSize() const noexcept { return SaltLength() + 2; }

std::array<uint8_t, 2> TCrypt::StartStream(const uint8_t* salt) {
  EndStream();
  const size_t keyLen = KeyLength();
  std::array<uint8_t, 2 * 32 + 2> derived{};
  const ULONG derivedLen = static_cast<ULONG>(2 * keyLen + 2);
  std::array<uint8_t, 2> verifier{};
  try {
    Check(BCryptDeriveKeyPBKDF2(Providers().HmacSha1(), reinterpret_cast<PUCHAR>(FPwd.data()),
                                static_cast<ULONG>(FPwd.size()), const_cast<PUCHAR>(salt),
                                static_cast<ULONG>(SaltLength()), kIterations, derived.data(), derivedLen, 0),
          L"BCryptDeriveKeyPBKDF2");
    BCRYPT_KEY_HANDLE key = nullptr;
    Check(BCryptGenerateSymmetricKey(Providers().Aes(), &key, nullptr, 0, derived.data(), static_cast<ULONG>(keyLen), 0),
          L"BCryptGenerateSymmetricKey");
    FCryptCtx.AesKey = key;
    BCRYPT_HASH_HANDLE hash = nullptr;
    Check(BCryptCreateHash(Providers().HmacSha1(), &hash, nullptr, 0, derived.data() + keyLen,
                           static_cast<ULONG>(keyLen), 0),
          L"BCryptCreateHash");
    FCryptCtx.Hmac = hash;
  } catch (...) {
    SecureZeroMemory(derived.data(), derived.size());
    EndStream();
    throw;
  }
  verifier = {derived[2 * keyLen], derived[2 * keyLen + 1]};
  SecureZeroMemory(derived.data(), derived.size());
  FCryptCtx.Nonce.fill(0);
  FCryptCtx.Pos = kBlock;
  FCryptCtx.Mode = FMode;
  FCryptCtx.PwdLen = FPwd.size();
  return verifier;
}

void TCrypt::EndStream() noexcept {
  if (FCryptCtx.Hmac) BCryptDestroyHash(FCryptCtx.Hmac);
  if (FCryptCtx.AesKey) BCryptDestroyKey(FCryptCtx.AesKey);
  FCryptCtx.Hmac = nullptr;
  FCryptCtx.AesKey = nullptr;
  SecureZeroMemory(FCryptCtx.KeyStream.data(), FCryptCtx.KeyStream.size());
  FCryptCtx.Pos = kBlock;
}

void TCrypt::XorKeyStream(uint8_t* buffer, size_t len) {
  if (!FCryptCtx.AesKey) throw EOSError(L"BCryptEncrypt", ERROR_INVALID_HANDLE);
  auto& ctx = FCryptCtx;
  uint8_t stream[4096];
  size_t i = 0;
  while (i < len) {
    if (ctx.Pos == kBlock) {
      // Whole blocks of key stream at once: one call for up to 256 counter blocks.
      size_t blocks = std::clamp<size_t>((len - i) / kBlock, 1, sizeof(stream) / kBlock);
      for (size_t b = 0; b < blocks; ++b) {
        IncrementCounter(ctx.Nonce);
        std::copy(ctx.Nonce.begin(), ctx.Nonce.end(), stream + b * kBlock);
      }
      ULONG done = 0;
      const ULONG n = static_cast<ULONG>(blocks * kBlock);
      Check(BCryptEncrypt(ctx.AesKey, stream, n, nullptr, nullptr, 0, stream, n, &done, 0), L"BCryptEncrypt");
      const size_t full = std::min(len - i, static_cast<size_t>(n));
      for (size_t k = 0; k < full; ++k) buffer[i + k] ^= stream[k];
      i += full;
      if (full < n) {  // a part block is left over for the next call
        std::copy(stream + n - kBlock, stream + n, ctx.KeyStream.begin());
        ctx.Pos = static_cast<unsigned>(full % kBlock);
      }
      continue;
    }
    buffer[i++] ^= ctx.KeyStream[ctx.Pos++];
  }
  SecureZeroMemory(stream, sizeof(stream));
}

void TCrypt::HmacData(const uint8_t* buffer, size_t len) {
  if (!FCryptCtx.Hmac) throw EOSError(L"BCryptHashData", ERROR_INVALID_HANDLE);
  if (len) Check(BCryptHashData(FCryptCtx.Hmac, const_cast<PUCHAR>(buffer), static_cast<ULONG>(len), 0), L"BCryptHashData");
}

std::array<uint8_t, TCrypt::kTrailerSize> TCrypt::HmacCode() {
  if (!FCryptCtx.Hmac) throw EOSError(L"BCryptFinishHash", ERROR_INVALID_HANDLE);
  uint8_t digest[20];
  Check(BCryptFinishHash(FCryptCtx.Hmac, digest, sizeof(digest), 0), L"BCryptFinishHash");
  EndStream();
  std::array<uint8_t, kTrailerSize> code;
  std::copy(digest, digest + kTrailerSize, code.begin());
  return code;
}

// ---------------------------------------------------------------------------------------------
// TEncryption

TEncryption::TEncryption(std::string_view password, int mode, size_t bufSize) : TCrypt(password, mode, bufSize) {}

void TEncryption::WaitAtGate() const {
  if (FEvent) WaitForSingleObject(FEvent, INFINITE);
}

bool TEncryption::WriteHeader(std::ostream& dest) {
  try {
    uint8_t header[16 + 2];
    const size_t saltLen = SaltLength();
    Check(BCryptGenRandom(nullptr, header, static_cast<ULONG>(saltLen), BCRYPT_USE_SYSTEM_PREFERRED_RNG),
          L"BCryptGenRandom");
    auto verifier = StartStream(header);
    header[saltLen] = verifier[0];
    header[saltLen + 1] = verifier[1];
    WriteAll(dest, header, saltLen + 2);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TEncryption::EncryptBlock(uint8_t* buffer, size_t len) {
  XorKeyStream(buffer, len);
  HmacData(buffer, len);
}

bool TEncryption::WriteTrailer(std::ostream& dest) {
  try {
    auto code = HmacCode();
    WriteAll(dest, code.data(), code.size());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

TOpResult TEncryption::EncryptStreamEx(std::istream& source, std::ostream& dest, bool speedLimit,
                                       const TStatusEvent& cancelEncryption) {
  if (!WriteHeader(dest)) return TOpResult::orError;
  int64_t total = 0;
  try {
    for (;;) {
      WaitAtGate();
      const size_t got = ReadSome(source, CBuffer.data(), CBufSize);
      total += static_cast<int64_t>(got);
      if (OnProgress) OnProgress(TFileAction::acEncrypt, total, speedLimit);
      EncryptBlock(CBuffer.data(), got);
      WriteAll(dest, CBuffer.data(), got);
      if (cancelEncryption && cancelEncryption()) {
        EndStream();
        return TOpResult::orUserBreak;
      }
      if (got < CBufSize) break;
    }
  } catch (const std::exception&) {
    EndStream();
    return TOpResult::orError;
  }
  return WriteTrailer(dest) ? TOpResult::orOk : TOpResult::orError;
}

bool TEncryption::EncryptStream(std::istream& source, std::ostream& dest, bool speedLimit) {
  return EncryptStreamEx(source, dest, speedLimit, nullptr) == TOpResult::orOk;
}

bool TEncryption::ReadHeader(std::istream& source) {
  try {
    uint8_t header[16 + 2];
    const size_t len = GetHeaderSize();
    if (ReadSome(source, header, len) != len) return false;
    auto verifier = StartStream(header);
    if (verifier[0] == header[len - 2] && verifier[1] == header[len - 1]) return true;
    EndStream();
    return false;
  } catch (const std::exception&) {
    EndStream();
    return false;
  }
}

void TEncryption::DecryptBlock(uint8_t* buffer, size_t len) {
  HmacData(buffer, len);
  XorKeyStream(buffer, len);
}

bool TEncryption::ReadTrailer(std::istream& source) {
  try {
    uint8_t stored[kTrailerSize];
    const bool complete = ReadSome(source, stored, kTrailerSize) == kTrailerSize;
    auto code = HmacCode();
    uint8_t diff = 0;
    for (int i = 0; i < kTrailerSize; ++i) diff |= static_cast<uint8_t>(code[i] ^ stored[i]);
    return complete && diff == 0;
  } catch (const std::exception&) {
    EndStream();
    return false;
  }
}

TOpResult TEncryption::DecryptStreamEx(std::istream& source, std::ostream* dest, int64_t sLength, bool speedLimit,
                                       const TStatusEvent& cancelDecryption) {
  int64_t remaining = sLength - GetHeaderSize() - kTrailerSize;
  if (remaining < 0) return TOpResult::orError;  // shorter than header and trailer
  if (!ReadHeader(source)) return TOpResult::orError;
  int64_t total = 0;
  try {
    while (remaining > 0) {
      WaitAtGate();
      const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(CBufSize), remaining));
      const size_t got = ReadSome(source, CBuffer.data(), want);
      total += static_cast<int64_t>(got);
      if (OnProgress) OnProgress(TFileAction::acDecrypt, total, speedLimit);
      DecryptBlock(CBuffer.data(), got);
      if (got > 0) {
        if (dest) WriteAll(*dest, CBuffer.data(), got);
        remaining -= static_cast<int64_t>(got);
      }
      if (cancelDecryption && cancelDecryption()) {
        EndStream();
        return TOpResult::orUserBreak;
      }
      if (got == 0) {
        EndStream();
        return TOpResult::orError;
      }
    }
  } catch (const std::exception&) {
    EndStream();
    return TOpResult::orError;
  }
  return ReadTrailer(source) ? TOpResult::orOk : TOpResult::orError;
}

bool TEncryption::DecryptStream(std::istream& source, std::ostream* dest, int64_t sLength, bool speedLimit) {
  return DecryptStreamEx(source, dest, sLength, speedLimit, nullptr) == TOpResult::orOk;
}

}  // namespace hv
