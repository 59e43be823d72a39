#include "hvwatchdog/copy/FileSummary.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "hvwatchdog/copy/ExtFileTools.h"
#include "support/TestSupport.h"

namespace {

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;

const GUID kSummaryInfo = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
const GUID kDocSummaryInfo = {0xD5CDD502, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};

struct TCom {
  HRESULT Hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~TCom() {
    if (SUCCEEDED(Hr)) CoUninitialize();
  }
};

// A compound file, with a title and a page count in the summary and a company in the document summary.
HRESULT MakeCompoundFile(const std::wstring& name, bool withSets) {
  TCom com;
  IPropertySetStorage* pss = nullptr;
  HRESULT hr = StgCreateStorageEx(name.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STGFMT_STORAGE, 0,
                                  nullptr, nullptr, IID_IPropertySetStorage, reinterpret_cast<void**>(&pss));
  if (FAILED(hr)) return hr;
  if (withSets) {
    IPropertyStorage* ps = nullptr;
    hr = pss->Create(kSummaryInfo, &kSummaryInfo, PROPSETFLAG_DEFAULT,
                     STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, &ps);
    if (SUCCEEDED(hr)) {
      PROPSPEC spec[3] = {{PRSPEC_PROPID, {2}}, {PRSPEC_PROPID, {14}}, {PRSPEC_PROPID, {4}}};
      PROPVARIANT v[3];
      for (auto& p : v) PropVariantInit(&p);
      v[0].vt = VT_LPWSTR;
      v[0].pwszVal = const_cast<wchar_t*>(L"Quarterly report");
      v[1].vt = VT_I4;
      v[1].lVal = 42;
      v[2].vt = VT_LPSTR;
      v[2].pszVal = const_cast<char*>("Ann Author");
      hr = ps->WriteMultiple(3, spec, v, 2);
      if (SUCCEEDED(hr)) hr = ps->Commit(STGC_DEFAULT);
      ps->Release();
    }
    if (SUCCEEDED(hr))
      hr = pss->Create(kDocSummaryInfo, &kDocSummaryInfo, PROPSETFLAG_DEFAULT,
                       STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, &ps);
    if (SUCCEEDED(hr)) {
      PROPSPEC spec = {PRSPEC_PROPID, {15}};
      PROPVARIANT v;
      PropVariantInit(&v);
      v.vt = VT_LPWSTR;
      v.pwszVal = const_cast<wchar_t*>(L"Harvane Ltd");
      hr = ps->WriteMultiple(1, &spec, &v, 2);
      if (SUCCEEDED(hr)) hr = ps->Commit(STGC_DEFAULT);
      ps->Release();
    }
  }
  pss->Release();
  return hr;
}

// Wine's property sets give back ANSI strings shortened (half their length, measured on Wine 8).
bool OnWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

void ExpectAnsiString(const TFileProperty* p, const char* expected) {
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->PropVariant.vt, VT_LPSTR);
  const std::string got = p->PropVariant.pszVal;
  if (OnWine())
    EXPECT_TRUE(!got.empty() && std::string(expected).starts_with(got)) << got;
  else
    EXPECT_EQ(got, expected);
}

const TFileProperty* Find(const TFileSummary& s, const GUID& set, uint32_t id) {
  for (const auto& e : s)
    if (IsEqualGUID(e.FormatId, set))
      for (const auto& p : e.PropArray)
        if (p.PropId == id) return &p;
  return nullptr;
}

// Every set with all its properties, in enumeration order (Wine answers this too).
TEST(FileSummary, ReadsEverySetOfACompoundFileWhereSupported) {
  TempDir tmp;
  const std::wstring doc = tmp / L"report.doc";
  ASSERT_EQ(MakeCompoundFile(doc, true), S_OK);
  TFileSummary s;
  ASSERT_EQ(ReadFileSummary(doc, s), 0);
  ASSERT_EQ(s.size(), 2u);
  const TFileProperty* title = Find(s, kSummaryInfo, 2);
  ASSERT_NE(title, nullptr);
  ASSERT_EQ(title->PropVariant.vt, VT_LPWSTR);
  EXPECT_STREQ(title->PropVariant.pwszVal, L"Quarterly report");
  ASSERT_NE(Find(s, kSummaryInfo, 14), nullptr);
  EXPECT_EQ(Find(s, kSummaryInfo, 14)->PropVariant.lVal, 42);
  ExpectAnsiString(Find(s, kSummaryInfo, 4), "Ann Author");
  ASSERT_NE(Find(s, kDocSummaryInfo, 15), nullptr);
  EXPECT_STREQ(Find(s, kDocSummaryInfo, 15)->PropVariant.pwszVal, L"Harvane Ltd");
}

// Both sets written into a compound file that has none are created there and read back; the
// engine's storage option then carries them over without a warning.
TEST(FileSummary, WritesMissingSetsAndTheEngineCopiesThem) {
  TempDir tmp;
  const std::wstring doc = tmp / L"report.doc", empty = tmp / L"empty.doc";
  ASSERT_EQ(MakeCompoundFile(doc, true), S_OK);
  ASSERT_EQ(MakeCompoundFile(empty, false), S_OK);
  TFileSummary s;
  ASSERT_EQ(ReadFileSummary(doc, s), 0);
  ASSERT_EQ(WriteFileSummary(empty, s), 0);
  TFileSummary back;
  ASSERT_EQ(ReadFileSummary(empty, back), 0);
  ASSERT_EQ(back.size(), 2u);
  ASSERT_NE(Find(back, kDocSummaryInfo, 15), nullptr);
  ASSERT_EQ(Find(back, kDocSummaryInfo, 15)->PropVariant.vt, VT_LPWSTR);
  EXPECT_STREQ(Find(back, kDocSummaryInfo, 15)->PropVariant.pwszVal, L"Harvane Ltd");
  EXPECT_EQ(Find(back, kSummaryInfo, 14)->PropVariant.lVal, 42);

  TCopyPool pool(1);
  TWinCopyThread c(doc, tmp / L"copy.doc", CopyOptions({coOverwrite, coStorage}), 0x10000, kPriorityNormal);
  c.Start(pool);
  c.WaitFor();
  EXPECT_EQ(c.ErrorCode(), 0);
  ASSERT_EQ(ReadFileSummary(tmp / L"copy.doc", back), 0);
  ASSERT_NE(Find(back, kSummaryInfo, 2), nullptr);
  EXPECT_STREQ(Find(back, kSummaryInfo, 2)->PropVariant.pwszVal, L"Quarterly report");
}

TEST(FileSummary, PlainFilesHaveNoneAndAnEmptyListTouchesNothing) {
  TempDir tmp;
  const std::wstring plain = tmp / L"plain.txt";
  ASSERT_TRUE(WriteBytes(plain, "just text"));
  TFileSummary s;
  EXPECT_NE(ReadFileSummary(plain, s), 0);
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(WriteFileSummary(plain, s), 0);
  EXPECT_EQ(ReadBytes(plain), "just text");
}

TEST(FileSummary, TheEngineWarnsWhenASummaryCannotBeCopied) {
  TempDir tmp;
  const std::wstring plain = tmp / L"plain.txt";
  ASSERT_TRUE(WriteBytes(plain, "text"));
  TCopyPool pool(1);
  TWinCopyThread c(plain, tmp / L"out.txt", CopyOptions({coOverwrite, coStorage}), 0x10000, kPriorityNormal);
  c.Start(pool);
  c.WaitFor();
  // Warning 528, "Error copying document summary", in the copy operation; the copy itself is there.
  EXPECT_EQ(c.ErrorCode() & 0xFFF, 528);
  EXPECT_EQ(ReadBytes(tmp / L"out.txt"), "text");
}

}  // namespace
