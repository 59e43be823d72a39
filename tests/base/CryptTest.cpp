#include "base/security/Crypt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "base/security/AesLib.h"
#include "base/text/StringUtils.h"

using namespace hv;

namespace {

// The plain record behind a stored string.
std::string Record(const std::wstring& key, const std::wstring& stored) {
  std::string bytes;
  EXPECT_TRUE(DecodeAscii85(stored, bytes));
  TEncryption dec(WideToAnsi(key), 0, 4096);
  std::istringstream in(bytes);
  std::ostringstream out;
  EXPECT_TRUE(dec.DecryptStream(in, &out, static_cast<int64_t>(bytes.size()), false));
  return out.str();
}

std::wstring Ascii85OfRecord(const std::wstring& key, const std::string& record) {
  TEncryption enc(WideToAnsi(key), 0, 4096);
  std::istringstream in(record);
  std::ostringstream out;
  EXPECT_TRUE(enc.EncryptStream(in, out, false));
  return EncodeAscii85(out.str());
}

}  // namespace

TEST(Ascii85, EncodesAndDecodes) {
  struct Case {
    std::string bytes;
    const wchar_t* text;
  } cases[] = {{"Man ", L"9jqo^"},
               {std::string(4, '\0'), L"z"},
               {"M", L"9`"},
               {"Ma", L"9jn"},
               {"Man", L"9jqo"},
               {std::string(1, '\0'), L"!!"},
               {std::string(5, '\0'), L"z!!"},
               {"\xFF\xFF\xFF\xFF", L"s8W-!"},
               {"sure.", L"F*2M7/c"},
               {"", L""}};
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeAscii85(c.bytes), c.text);
    std::string back;
    EXPECT_TRUE(DecodeAscii85(c.text, back)) << c.text;
    EXPECT_EQ(back, c.bytes) << c.text;
  }
  std::string z, full;
  EXPECT_TRUE(DecodeAscii85(L"zz", z));
  EXPECT_TRUE(DecodeAscii85(L"!!!!!!!!!!", full));
  EXPECT_EQ(z, full);
  std::string stray;
  EXPECT_TRUE(DecodeAscii85(L"9jqo^9", stray)) << "a single left-over character gives nothing";
  EXPECT_EQ(stray, "Man ");
}

TEST(Ascii85, DamagedTextIsRefused) {
  for (const wchar_t* bad : {L"9jqo^v", L"9jq o^", L"9j~o^", L"9jzo^", L"uuuuu", L"s8W-\"", L"\x00e4!!!!"}) {
    std::string bytes;
    EXPECT_FALSE(DecodeAscii85(bad, bytes)) << bad;
  }
}

TEST(Hex, PairsAndOddDigit) {
  EXPECT_EQ(EncodeHex("\x01\xAB\xFF"), L"01ABFF");
  EXPECT_EQ(DecodeHex(L"01abFF"), "\x01\xAB\xFF");
  EXPECT_EQ(DecodeHex(L"4G7"), std::string("\0\x07", 2));
}

TEST(Crypt, EmptyPasswordIsAnEmptyString) {
  EXPECT_EQ(EncryptPassword(L""), L"");
  EXPECT_EQ(DecryptPassword(L""), L"");
}

TEST(Crypt, RoundTripsWithNewPaddingAndSalt) {
  for (const wchar_t* pwd : {L"a", L"secret", L"pass \"word\" =; \x00E4\x00F6\x00FC", L"x"}) {
    std::wstring a = EncryptPassword(pwd), b = EncryptPassword(pwd);
    EXPECT_NE(a, b);
    EXPECT_EQ(DecryptPassword(a), pwd);
    EXPECT_EQ(DecryptPassword(b), pwd);
  }
}

TEST(Crypt, PaddingAndCutting) {
  struct Case {
    size_t length, recordSize, textBytes;
  } cases[] = {{3, 64, 3}, {62, 64, 62}, {63, 64, 63}, {64, 65, 64}, {80, 65, 64}};
  for (const auto& c : cases) {
    std::wstring text;
    for (size_t i = 0; i < c.length; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
    std::wstring stored = EncryptString(L"short key", text, kPasswordPadLength);
    std::string record = Record(L"short key", stored);
    ASSERT_EQ(record.size(), c.recordSize) << c.length;
    EXPECT_EQ(static_cast<unsigned char>(record[0]), c.textBytes + 33) << c.length;
    EXPECT_EQ(record.substr(1, c.textBytes), WideToAnsi(text.substr(0, c.textBytes)));
    for (size_t i = 1 + c.textBytes; i < record.size(); ++i) {
      EXPECT_GE(record[i], 33);
      EXPECT_LE(record[i], 96);
    }
    EXPECT_EQ(DecryptString(L"short key", stored), text.substr(0, c.textBytes));
  }
}

TEST(Crypt, NoPadLengthKeepsTheWholeText) {
  for (int pad : {0, -1}) {
    const std::wstring stored = EncryptString(L"short key", L"secret", pad);
    EXPECT_EQ(Record(L"short key", stored), std::string(1, char(6 + 33)) + "secret") << pad;
    EXPECT_EQ(DecryptString(L"short key", stored), L"secret") << pad;
  }
}

TEST(Crypt, StoredLengths) {
  // Mode-1 key: 84 bytes; the built-in key gives AES-256: 92 bytes. "z" may shorten either.
  std::wstring shortKey = EncryptString(L"short key", L"0123456789", kPasswordPadLength);
  auto zeroGroups = [](const std::wstring& s) { return static_cast<size_t>(std::count(s.begin(), s.end(), L'z')); };
  EXPECT_EQ(shortKey.size() + 4 * zeroGroups(shortKey), 105u);
  EXPECT_EQ(shortKey.find_first_not_of(L"!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuz"),
            std::wstring::npos);
  EXPECT_EQ(BuiltInKey().size(), 48u);
  std::wstring builtIn = EncryptPassword(L"0123456789");
  EXPECT_EQ(builtIn.size() + 4 * zeroGroups(builtIn), 115u);
  EXPECT_EQ(Record(BuiltInKey(), builtIn).size(), 64u);
}

TEST(Crypt, OtherKeyGivesEmptyText) {
  std::wstring stored = EncryptString(L"key one", L"secret", kPasswordPadLength);
  std::wstring text = L"x";
  EXPECT_FALSE(TryDecryptData(L"key two", stored, false, text));
  EXPECT_EQ(text, L"");
  EXPECT_EQ(DecryptString(L"key two", stored), L"");
}

TEST(Crypt, KnownStoredValueStaysReadable) {
  // Written once with the built-in key: values in existing files must keep decrypting.
  const std::wstring kKnownStored =
      LR"(-?9\D!UO4'eEF#7R:PM'lOknCa/-d[)_*T<fu9R$WLrc%i4X.VGSF4dbmaLg;I5>?Y:[3cAZhN;TMSGe3[C22gBdL`0&]Ao>s2fC+]<3V13DVFGMG?M)";
  EXPECT_EQ(DecryptPassword(kKnownStored), L"Known pass 1");
  EXPECT_EQ(DecryptPassword(kKnownStored + L"!"), L"Known pass 1") << "one stray character";
}

TEST(Crypt, DamagedStringsFailClearly) {
  const std::wstring key = L"short key";
  const std::wstring good = EncryptString(key, L"secret", kPasswordPadLength);
  struct Case {
    const char* what;
    std::wstring stored;
  } cases[] = {
      {"character outside Ascii85", good.substr(0, 20) + L"~" + good.substr(21)},
      {"cut short", good.substr(0, good.size() - 7)},
      {"changed character", good.substr(0, 40) + (good[40] == L'!' ? L'"' : L'!') + good.substr(41)},
      {"length byte past the data", Ascii85OfRecord(key, "\x7Fshort")},
      {"two-byte length past the data", Ascii85OfRecord(key, std::string("\x01\x00", 2) + "abc")},
      {"one byte of a two-byte length", Ascii85OfRecord(key, std::string(1, '\x05'))},
  };
  for (const auto& c : cases) {
    std::wstring text = L"x";
    EXPECT_FALSE(TryDecryptData(key, c.stored, false, text)) << c.what;
    EXPECT_EQ(text, L"") << c.what;
    EXPECT_EQ(DecryptString(key, c.stored), L"") << c.what;
  }
  // Without a key the record is read as it stands: the same checks hold.
  std::wstring text;
  EXPECT_FALSE(TryDecryptData(L"", EncodeAscii85("\x7Fshort"), false, text));
  EXPECT_TRUE(TryDecryptData(L"", EncodeAscii85("$abcpadding"), false, text));
  EXPECT_EQ(text, L"abc");
}

TEST(Crypt, LongTextsUseTheTwoByteLength) {
  std::wstring text(300, L'q');
  std::wstring stored = EncryptString(L"k", text, 1000, true);
  EXPECT_EQ(stored.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
  EXPECT_EQ(DecryptString(L"k", stored, true), text);
}

TEST(Crypt, DescrambleKey) {
  EXPECT_EQ(DescrambleKey(L""), L"");
  EXPECT_EQ(BuiltInKey().find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
  EXPECT_NE(DescrambleKey(L"0000"), L"0000");
}
