#pragma once
// Structured-storage property sets of a file (the document summary and any other set it carries),
// read into a list and written into another file.
#include <objidl.h>
#include <propidl.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace hv {

// One property; the value is kept as read and written back unchanged.
struct TFileProperty {
  uint32_t PropId = 0;
  PROPVARIANT PropVariant;
  TFileProperty();
  TFileProperty(uint32_t id, const PROPVARIANT& value);  // copies the value
  TFileProperty(const TFileProperty& other);
  TFileProperty& operator=(const TFileProperty& other);
  ~TFileProperty();
};
using TFilePropertyArray = std::vector<TFileProperty>;

struct TFilePropertySet {
  GUID FormatId{};
  TFilePropertyArray PropArray;
};
using TFileSummary = std::vector<TFilePropertySet>;

// 0 or the failing COM result; a file without such storage gives the open failure.
long ReadFileSummary(std::wstring_view fileName, TFileSummary& summary);
// An empty summary is 0 without opening the file; sets missing in the file are created.
long WriteFileSummary(std::wstring_view fileName, const TFileSummary& summary);
// Read from source, written into dest: 0 or the first failure.
long CopyFileSummary(std::wstring_view source, std::wstring_view dest);

}  // namespace hv
