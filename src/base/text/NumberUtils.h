#pragma once
// Integer texts in several bases, grouped by blanks, their parsers, and short size texts.
#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

enum class TNumMode { nmDecimal, nmHex, nmOctal, nmBin, nmZeroDec };

// Decimal text with at least digits digits, zero-padded after a minus sign.
std::wstring IntToStrZero(int64_t value, int digits);
std::wstring IntToStrGrouped(int64_t value, uint16_t width, int group, bool zeroPad);
std::wstring IntToHexGrouped(uint32_t value, int digits, int group);
std::wstring IntToOctGrouped(uint32_t value, int digits, int group);
std::wstring IntToBinGrouped(uint32_t value, int digits, int group);
// A blank before every block of group characters counted from the right end; group <= 0: unchanged.
std::wstring GroupText(std::wstring_view s, int group);

// Parsers: optional "-", optional prefix ("$", "%", "!"), digits of the base; blanks are ignored.
bool TryHexStrToInt(std::wstring_view s, int64_t& value);
bool TryOctStrToInt(std::wstring_view s, int64_t& value);
bool TryBinStrToInt(std::wstring_view s, int64_t& value);
// The same, raising EConvertError for an invalid text.
int64_t HexStrToInt(std::wstring_view s);
int64_t OctStrToInt(std::wstring_view s);
int64_t BinStrToInt(std::wstring_view s);

// "512 B", "1.50 KiB", "10.0 MB" ...: units of 1024 (KiB, MiB, GiB) or, with decimal, of 1000
// (kB, MB, GB). trimZeros drops the decimals of a value that is nearly whole; decSep replaces the
// locale's decimal separator unless it is L'\0'.
std::wstring SizeToStr(int64_t size, bool decimal = false, bool trimZeros = false, wchar_t decSep = L'\0');

}  // namespace hv
