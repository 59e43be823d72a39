#include "hvwatchdog/copy/FileSummary.h"

#include <windows.h>

#include <string>

namespace hv {

namespace {

constexpr DWORD kReadMode = STGM_READ | STGM_SHARE_DENY_WRITE;      // 0x20
constexpr DWORD kWriteMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;  // 0x12
constexpr DWORD kSetReadMode = STGM_READ | STGM_SHARE_EXCLUSIVE;     // 0x10

template <class T>
struct TComPtr {
  T* P = nullptr;
  ~TComPtr() {
    if (P) P->Release();
  }
  T** operator&() { return &P; }
  T* operator->() const { return P; }
};

// A plain name: the structured-storage functions do not take the long-path prefix.
std::wstring PlainName(std::wstring_view name) {
  if (name.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + std::wstring(name.substr(8));
  if (name.starts_with(L"\\\\?\\")) return std::wstring(name.substr(4));
  return std::wstring(name);
}

// Every set format is opened as "any": compound files keep their sets inside, and the file
// system's own property sets no longer exist on current Windows.
HRESULT OpenSetStorage(std::wstring_view fileName, DWORD mode, IPropertySetStorage** pss) {
  const std::wstring name = PlainName(fileName);
  *pss = nullptr;
  IUnknown* opened = nullptr;
  HRESULT hr = StgOpenStorageEx(name.c_str(), mode, STGFMT_ANY, 0, nullptr, nullptr, IID_IPropertySetStorage,
                                reinterpret_cast<void**>(&opened));
  if (SUCCEEDED(hr)) {
    // Some implementations hand back the storage whatever interface was asked for: ask it again.
    hr = opened->QueryInterface(IID_IPropertySetStorage, reinterpret_cast<void**>(pss));
    opened->Release();
    return hr;
  }
  if (hr != STG_E_INVALIDPARAMETER && hr != E_NOINTERFACE) return hr;
  // Systems whose extended open knows only the storage interface: the storage is asked for its sets.
  IStorage* storage = nullptr;
  hr = StgOpenStorage(name.c_str(), nullptr, mode, nullptr, 0, &storage);
  if (FAILED(hr)) return hr;
  hr = storage->QueryInterface(IID_IPropertySetStorage, reinterpret_cast<void**>(pss));
  storage->Release();
  return hr;
}

// COM for the calling thread while a summary is read or written.
struct TComScope {
  HRESULT Hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~TComScope() {
    if (SUCCEEDED(Hr)) CoUninitialize();
  }
};

}  // namespace

TFileProperty::TFileProperty() { PropVariantInit(&PropVariant); }

TFileProperty::TFileProperty(uint32_t id, const PROPVARIANT& value) : PropId(id) {
  PropVariantInit(&PropVariant);
  PropVariantCopy(&PropVariant, &value);
}

TFileProperty::TFileProperty(const TFileProperty& other) : TFileProperty(other.PropId, other.PropVariant) {}

TFileProperty& TFileProperty::operator=(const TFileProperty& other) {
  if (this != &other) {
    PropVariantClear(&PropVariant);
    PropId = other.PropId;
    PropVariantCopy(&PropVariant, &other.PropVariant);
  }
  return *this;
}

TFileProperty::~TFileProperty() { PropVariantClear(&PropVariant); }

long ReadFileSummary(std::wstring_view fileName, TFileSummary& summary) {
  summary.clear();
  TComScope com;
  TComPtr<IPropertySetStorage> pss;
  HRESULT hr = OpenSetStorage(fileName, kReadMode, &pss);
  if (FAILED(hr)) return hr;
  std::vector<FMTID> formats;
  TComPtr<IEnumSTATPROPSETSTG> sets;
  hr = pss->Enum(&sets);
  if (FAILED(hr)) return hr;
  STATPROPSETSTG set;
  while (sets->Next(1, &set, nullptr) == S_OK) formats.push_back(set.fmtid);
  for (const FMTID& format : formats) {
    TFilePropertySet entry;
    entry.FormatId = format;
    TComPtr<IPropertyStorage> ps;
    hr = pss->Open(format, kSetReadMode, &ps);
    if (FAILED(hr)) continue;
    TComPtr<IEnumSTATPROPSTG> props;
    if (FAILED(ps->Enum(&props))) continue;
    STATPROPSTG prop;
    while (props->Next(1, &prop, nullptr) == S_OK) {
      PROPSPEC spec;
      spec.ulKind = PRSPEC_PROPID;
      spec.propid = prop.propid;
      PROPVARIANT value;
      PropVariantInit(&value);
      // A value that cannot be read is kept as empty.
      if (FAILED(ps->ReadMultiple(1, &spec, &value))) PropVariantInit(&value);
      entry.PropArray.emplace_back(prop.propid, value);
      PropVariantClear(&value);
      if (prop.lpwstrName) CoTaskMemFree(prop.lpwstrName);
    }
    summary.push_back(std::move(entry));
  }
  return hr;
}

long WriteFileSummary(std::wstring_view fileName, const TFileSummary& summary) {
  if (summary.empty()) return 0;
  TComScope com;
  TComPtr<IPropertySetStorage> pss;
  HRESULT hr = OpenSetStorage(fileName, kWriteMode, &pss);
  if (FAILED(hr)) return hr;
  for (const auto& set : summary) {
    if (hr != S_OK) break;
    TComPtr<IPropertyStorage> ps;
    if (FAILED(pss->Open(set.FormatId, kWriteMode, &ps)) &&
        FAILED(pss->Create(set.FormatId, &set.FormatId, PROPSETFLAG_DEFAULT, STGM_CREATE | kWriteMode, &ps)))
      continue;
    std::vector<PROPSPEC> specs(set.PropArray.size());
    std::vector<PROPVARIANT> values(set.PropArray.size());
    for (size_t i = 0; i < set.PropArray.size(); ++i) {
      specs[i].ulKind = PRSPEC_PROPID;
      specs[i].propid = set.PropArray[i].PropId;
      values[i] = set.PropArray[i].PropVariant;
    }
    if (!specs.empty() && FAILED(ps->WriteMultiple(static_cast<ULONG>(specs.size()), specs.data(), values.data(), 2)))
      continue;
    hr = ps->Commit(STGC_DEFAULT);
  }
  return hr;
}

long CopyFileSummary(std::wstring_view source, std::wstring_view dest) {
  TFileSummary summary;
  const long hr = ReadFileSummary(source, summary);
  if (hr != 0) return hr;
  return WriteFileSummary(dest, summary);
}

}  // namespace hv
