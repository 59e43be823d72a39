#pragma once
// Password-based AES stream encryption (salt, password verifier, AES counter mode, HMAC-SHA1
// code) and the result, cancel and progress types shared with the copy engine.
//
// Stream layout: salt (8, 12 or 16 bytes for key mode 1, 2, 3), 2-byte password verifier, the
// data XORed with the AES counter-mode key stream, the first 10 bytes of HMAC-SHA1 over the
// encrypted data. Keys: PBKDF2-HMAC-SHA1, 1000 iterations, giving AES key, HMAC key and verifier.
#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace hv {

enum class TOpResult : uint8_t { orOk, orError, orUserBreak };

// Asked between blocks; true stops the running operation.
using TStatusEvent = std::function<bool()>;

enum class TFileAction : uint8_t {
  acNone, acCopy, acCompress, acUnCompress, acEncrypt, acDecrypt, acVerify, acZipVerify, acAddVerify,
  acFtpWrite, acFtpRead, acScan, acZipCopy, acSegmentCopy, acPrepare
};

// Bytes done so far; a negative count announces the total of a phase. speedLimit is passed
// through from the caller.
using TFileProgressEvent = std::function<void(TFileAction action, int64_t count, bool speedLimit)>;

// Counter-mode and HMAC state of one stream.
struct TFCryptContext {
  std::array<uint8_t, 16> Nonce{};     // counter block
  std::array<uint8_t, 16> KeyStream{};  // AES of the counter block
  unsigned Pos = 16;                    // used bytes of KeyStream
  void* AesKey = nullptr;               // BCRYPT_KEY_HANDLE
  void* Hmac = nullptr;                 // BCRYPT_HASH_HANDLE
  int Mode = 0;
  size_t PwdLen = 0;
};

class TCrypt {
 public:
  static constexpr size_t kMaxPasswordLength = 128;
  static constexpr int kTrailerSize = 10;

  // password: single-byte characters, only the first 128 are used. mode 1..3 (AES-128, -192,
  // -256) or any other value for a mode chosen by the password's length.
  TCrypt(std::string_view password, int mode, size_t bufSize);
  virtual ~TCrypt();
  TCrypt(const TCrypt&) = delete;
  TCrypt& operator=(const TCrypt&) = delete;

  int KeyMode() const noexcept { return FMode; }
  void SetKeyMode(int mode) noexcept;
  bool FixedKey() const noexcept { return FFixedKey; }
  int GetHeaderSize() const noexcept;
  static constexpr int GetTrailerSize() noexcept { return kTrailerSize; }

 protected:
  int SaltLength() const noexcept { return 4 * (FMode + 1); }
  int KeyLength() const noexcept { return 8 * (FMode + 1); }
  // Derives the keys for salt, starts a fresh counter and HMAC; returns the verifier.
  std::array<uint8_t, 2> StartStream(const uint8_t* salt);
  void EndStream() noexcept;
  void XorKeyStream(uint8_t* buffer, size_t len);
  void HmacData(const uint8_t* buffer, size_t len);
  // The first 10 bytes of the HMAC of the stream.
  std::array<uint8_t, kTrailerSize> HmacCode();

  int FMode = 1;
  bool FFixedKey = false;
  TFCryptContext FCryptCtx;
  std::string FPwd;
  size_t CBufSize;
  std::vector<uint8_t> CBuffer;
  void* FEvent = nullptr;  // pause gate (an event handle), borrowed
};

class TEncryption : public TCrypt {
 public:
  TEncryption(std::string_view password, int mode, size_t bufSize);

  // While set, every block waits until the event is signalled. The handle stays the caller's.
  void SetEvent(void* event) noexcept { FEvent = event; }
  TFileProgressEvent OnProgress;

  // A fresh random salt, keys and verifier; false when writing fails.
  bool WriteHeader(std::ostream& dest);
  void EncryptBlock(uint8_t* buffer, size_t len);
  bool WriteTrailer(std::ostream& dest);
  // Encrypts the rest of source into dest.
  TOpResult EncryptStreamEx(std::istream& source, std::ostream& dest, bool speedLimit,
                            const TStatusEvent& cancelEncryption);
  bool EncryptStream(std::istream& source, std::ostream& dest, bool speedLimit);

  // Reads the salt and checks the verifier: false for a wrong password or a short source.
  bool ReadHeader(std::istream& source);
  void DecryptBlock(uint8_t* buffer, size_t len);
  // Reads and checks the authentication code.
  bool ReadTrailer(std::istream& source);
  // sLength: length of the encrypted stream with header and trailer. Without dest the data is
  // only checked. On orError data already written must be discarded by the caller.
  TOpResult DecryptStreamEx(std::istream& source, std::ostream* dest, int64_t sLength, bool speedLimit,
                            const TStatusEvent& cancelDecryption);
  bool DecryptStream(std::istream& source, std::ostream* dest, int64_t sLength, bool speedLimit);

 private:
  void WaitAtGate() const;
};

}  // namespace hv
