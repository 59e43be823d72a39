#include "base/security/AesLib.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "winui/Handles.h"

using namespace hv;

namespace {

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

std::string Encrypt(const std::string& password, int mode, const std::string& plain, size_t bufSize = 4096) {
  TEncryption enc(password, mode, bufSize);
  std::istringstream in(plain);
  std::ostringstream out;
  EXPECT_TRUE(enc.EncryptStream(in, out, false));
  return out.str();
}

TOpResult Decrypt(const std::string& password, const std::string& data, std::string* plain, size_t bufSize = 4096) {
  TEncryption dec(password, 0, bufSize);
  std::istringstream in(data);
  std::ostringstream out;
  TOpResult r = dec.DecryptStreamEx(in, plain ? &out : nullptr, static_cast<int64_t>(data.size()), false, nullptr);
  if (plain) *plain = out.str();
  return r;
}

}  // namespace

TEST(AesLib, EmptySourceGivesHeaderAndCodeOnly) {
  for (int mode = 1; mode <= 3; ++mode) {
    std::string data = Encrypt("secret", mode, "");
    EXPECT_EQ(data.size(), 20u + 4u * (mode - 1)) << mode;
    TEncryption dec("secret", mode, 4096);
    std::istringstream in(data);
    std::ostringstream out;
    EXPECT_EQ(dec.DecryptStreamEx(in, &out, static_cast<int64_t>(data.size()), false, nullptr), TOpResult::orOk);
    EXPECT_EQ(out.str(), "");
  }
}

TEST(AesLib, RoundTripsAcrossBlockAndBufferEdges) {
  for (size_t bufSize : {size_t(4096), size_t(7)})
    for (int mode = 1; mode <= 3; ++mode)
      for (size_t n : {1, 15, 16, 17, 31, 4095, 4096, 4097, 10000}) {
        const std::string plain = Pattern(n);
        TEncryption enc("pass word", mode, bufSize);
        std::string data = Encrypt("pass word", mode, plain, bufSize);
        ASSERT_EQ(data.size(), n + static_cast<size_t>(enc.GetHeaderSize() + TCrypt::GetTrailerSize()));
        // One byte of ciphertext equals its plaintext once in 256 runs: only longer texts show it is encrypted.
        if (n >= 15) {
          EXPECT_NE(data.substr(enc.GetHeaderSize(), n), plain);
        }
        std::string back;
        TEncryption dec("pass word", mode, bufSize);
        std::istringstream in(data);
        std::ostringstream out;
        EXPECT_EQ(dec.DecryptStreamEx(in, &out, static_cast<int64_t>(data.size()), false, nullptr), TOpResult::orOk)
            << "mode " << mode << " size " << n << " buffer " << bufSize;
        EXPECT_EQ(out.str(), plain) << "mode " << mode << " size " << n << " buffer " << bufSize;
      }
}

TEST(AesLib, NewSaltEachTimeAndOnlyChecking) {
  const std::string plain = "the same text";
  std::string a = Encrypt("pw", 1, plain), b = Encrypt("pw", 1, plain);
  EXPECT_NE(a, b);
  std::string back;
  EXPECT_EQ(Decrypt("pw", a, &back), TOpResult::orOk);
  EXPECT_EQ(back, plain);
  EXPECT_EQ(Decrypt("pw", b, &back), TOpResult::orOk);
  EXPECT_EQ(back, plain);
  EXPECT_EQ(Decrypt("pw", a, nullptr), TOpResult::orOk);
}

TEST(AesLib, WrongPasswordAndDamagedDataFail) {
  const std::string plain = Pattern(100);
  std::string data = Encrypt("right", 1, plain);
  std::string back = "untouched";
  EXPECT_EQ(Decrypt("wrong", data, &back), TOpResult::orError);
  if (!back.empty()) {
    // The 2-byte verifier matches a wrong password once in 65536 salts; then the code fails.
    std::string again = Encrypt("right", 1, plain);
    EXPECT_EQ(Decrypt("wrong", again, &back), TOpResult::orError);
  }
  EXPECT_EQ(back, "");

  struct Case {
    const char* what;
    std::string data;
  } cases[] = {
      {"changed data byte", data.substr(0, 30) + char(data[30] ^ 1) + data.substr(31)},
      {"changed code byte", data.substr(0, data.size() - 1) + char(data.back() ^ 0x80)},
      {"truncated", data.substr(0, data.size() - 3)},
      {"shorter than header and trailer", data.substr(0, 15)},
      {"empty", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Decrypt("right", c.data, &back), TOpResult::orError) << c.what;

  // The stream ends before the length given.
  TEncryption dec("right", 0, 4096);
  std::istringstream in(data);
  EXPECT_EQ(dec.DecryptStreamEx(in, nullptr, static_cast<int64_t>(data.size()) + 50, false, nullptr),
            TOpResult::orError);
}

TEST(AesLib, CancelAfterFirstBlockWritesNoTrailer) {
  const std::string plain = Pattern(100);
  TEncryption enc("pw", 1, 16);
  std::istringstream in(plain);
  std::ostringstream out;
  int asked = 0;
  EXPECT_EQ(enc.EncryptStreamEx(in, out, false, [&] { return ++asked == 1; }), TOpResult::orUserBreak);
  EXPECT_EQ(out.str().size(), 10u + 16u);

  std::string data = Encrypt("pw", 1, plain);
  TEncryption dec("pw", 1, 16);
  std::istringstream din(data);
  std::ostringstream dout;
  EXPECT_EQ(dec.DecryptStreamEx(din, &dout, static_cast<int64_t>(data.size()), false, [] { return true; }),
            TOpResult::orUserBreak);
  EXPECT_EQ(dout.str(), plain.substr(0, 16));
}

TEST(AesLib, KeyModeFromPasswordLength) {
  struct Case {
    size_t pwdLen;
    int mode, result;
    bool fixed;
  } cases[] = {{10, 0, 1, false}, {31, 0, 1, false}, {32, 0, 2, false}, {40, 0, 2, false}, {47, -1, 2, false},
               {48, 0, 3, false}, {60, 0, 3, false}, {200, 4, 3, false}, {60, 1, 1, true},  {10, 3, 3, true}};
  for (const auto& c : cases) {
    TEncryption enc(std::string(c.pwdLen, 'p'), c.mode, 4096);
    EXPECT_EQ(enc.KeyMode(), c.result) << c.pwdLen << " " << c.mode;
    EXPECT_EQ(enc.FixedKey(), c.fixed) << c.pwdLen << " " << c.mode;
    EXPECT_EQ(enc.GetHeaderSize(), 4 * (c.result + 1) + 2);
  }
  TEncryption enc(std::string(40, 'p'), 1, 4096);
  enc.SetKeyMode(0);
  EXPECT_EQ(enc.KeyMode(), 2);
  EXPECT_FALSE(enc.FixedKey());
}

TEST(AesLib, OnlyTheFirst128PasswordBytesCount) {
  const std::string longPwd = std::string(128, 'k') + "tail";
  std::string data = Encrypt(longPwd, 3, "abc");
  std::string back;
  TEncryption dec(std::string(128, 'k'), 3, 4096);
  std::istringstream in(data);
  std::ostringstream out;
  EXPECT_EQ(dec.DecryptStreamEx(in, &out, static_cast<int64_t>(data.size()), false, nullptr), TOpResult::orOk);
  EXPECT_EQ(out.str(), "abc");
}

TEST(AesLib, ProgressReportsRunningTotals) {
  TEncryption enc("pw", 1, 1000);
  std::vector<int64_t> totals;
  enc.OnProgress = [&](TFileAction a, int64_t count, bool speedLimit) {
    EXPECT_EQ(a, TFileAction::acEncrypt);
    EXPECT_TRUE(speedLimit);
    totals.push_back(count);
  };
  std::istringstream in(Pattern(2000));
  std::ostringstream out;
  EXPECT_EQ(enc.EncryptStreamEx(in, out, true, nullptr), TOpResult::orOk);
  EXPECT_EQ(totals, (std::vector<int64_t>{1000, 2000, 2000})) << "a multiple of the buffer ends with a read of 0";
}

// An output that signals once the header is written: the worker then stands at the gate.
class THeaderSignal : public std::stringbuf {
 public:
  explicit THeaderSignal(HANDLE event) : FEvent(event) {}

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::streamsize r = std::stringbuf::xsputn(s, n);
    SetEvent(FEvent);
    return r;
  }

 private:
  HANDLE FEvent;
};

TEST(AesLib, PauseGateHoldsUntilSignalled) {
  TKernelHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  TKernelHandle header(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(gate.Valid() && header.Valid());
  TEncryption enc("pw", 1, 64);
  enc.SetEvent(gate.Get());
  std::atomic<int> blocks{0};
  TKernelHandle firstBlock(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  enc.OnProgress = [&](TFileAction, int64_t, bool) {
    ++blocks;
    SetEvent(firstBlock.Get());
  };
  std::istringstream in(Pattern(200));
  THeaderSignal buf(header.Get());
  std::ostream out(&buf);
  TOpResult result = TOpResult::orError;
  std::thread worker([&] { result = enc.EncryptStreamEx(in, out, false, nullptr); });
  ASSERT_EQ(WaitForSingleObject(header.Get(), 10000), WAIT_OBJECT_0);
  // Past the header, an open gate gives the first block at once.
  EXPECT_EQ(WaitForSingleObject(firstBlock.Get(), 200), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(blocks.load(), 0);
  SetEvent(gate.Get());
  worker.join();
  EXPECT_EQ(result, TOpResult::orOk);
  EXPECT_EQ(blocks.load(), 4);
}

TEST(AesLib, WriteFailureIsAnError) {
  TEncryption enc("pw", 1, 16);
  std::istringstream in(Pattern(100));
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  EXPECT_EQ(enc.EncryptStreamEx(in, out, false, nullptr), TOpResult::orError);
}
