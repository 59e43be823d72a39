#pragma once
// Stored-password strings: the text with its length and random padding, encrypted with AesLib
// under a key and written in Ascii85 (or hexadecimal). Every writer and reader of a password in
// an INI or job file uses EncryptPassword/DecryptPassword (built-in key, pad length 64, Ascii85).
#include <string>
#include <string_view>

namespace hv {

constexpr int kPasswordPadLength = 64;

// The key built into all programs of the suite.
const std::wstring& BuiltInKey();
// Turns the stored form of a key into the key; empty gives empty.
std::wstring DescrambleKey(std::wstring_view stored);

// Texts are stored as single-byte characters of the ANSI code page.
// An empty text gives an empty string. A longer text is cut to padLength; a shorter one is padded
// with random characters to padLength - 1. A padLength of 0 or below leaves the text as it is.
std::wstring EncryptString(std::wstring_view key, std::wstring_view text, int padLength, bool hex = false);
// Length prefix of length and text, encrypted when key is not empty.
std::wstring EncryptData(std::wstring_view key, std::wstring_view text, size_t length, bool hex);

// False for a string that does not decode, decrypt or hold its record; text is then empty.
bool TryDecryptData(std::wstring_view key, std::wstring_view stored, bool hex, std::wstring& text);
// The text, or an empty text for an empty or damaged string.
std::wstring DecryptData(std::wstring_view key, std::wstring_view stored, bool hex);
std::wstring DecryptString(std::wstring_view key, std::wstring_view stored, bool hex = false);

std::wstring EncryptPassword(std::wstring_view password);
std::wstring DecryptPassword(std::wstring_view stored);

// Ascii85 without delimiters ("z" for a group of four zero bytes) and upper-case hexadecimal.
std::wstring EncodeAscii85(std::string_view bytes);
// False for a character outside "!".."u" and "z", a "z" inside a group or a group above 2^32 - 1;
// a single character left over at the end gives nothing.
bool DecodeAscii85(std::wstring_view s, std::string& bytes);
std::wstring EncodeHex(std::string_view bytes);
// Pairs of digits; a pair that is not a number gives 0, a last single digit is read alone.
std::string DecodeHex(std::wstring_view s);

}  // namespace hv
