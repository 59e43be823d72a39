#pragma once
// Message texts of the file units (msgids; translated where they are used).

namespace hv {

inline constexpr const wchar_t* rsCannotCreateFile = L"Cannot create file \"%s\". %s";
inline constexpr const wchar_t* rsCannotOpenFile = L"Cannot open file \"%s\". %s";
inline constexpr const wchar_t* rsErrOpening = L"Error opening \"%s\"";
inline constexpr const wchar_t* rsErrCreating = L"Error creating \"%s\"";
inline constexpr const wchar_t* rsErrReading = L"Error reading from \"%s\"";
inline constexpr const wchar_t* rsErrWriting = L"Error writing to \"%s\"";
inline constexpr const wchar_t* rsErrSetAttr = L"Error setting attributes of \"%s\"";
inline constexpr const wchar_t* rsErrSetTime = L"Error setting timestamps of \"%s\"";
inline constexpr const wchar_t* rsFileNotFound = L"File not found: \"%s\"";

}  // namespace hv
