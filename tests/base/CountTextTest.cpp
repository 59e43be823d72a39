#include <gtest/gtest.h>

#include "base/text/ExtSysUtils.h"
#include "base/text/StringUtils.h"

using namespace hv;

TEST(FormatCountText, Table) {
  const std::wstring sep(1, FormatSettings().ThousandSeparator);
  struct Case {
    std::wstring zero, one, pattern;
    int count;
    bool thousands;
    std::wstring expected;
  } cases[] = {
      {L"no errors", L"1 error", L"%u errors", 1, true, L"1 error"},
      {L"no errors", L"1 error", L"%u errors", 0, true, L"no errors"},
      {L"", L"1 error", L"%u errors", 0, true, L"0 errors"},
      {L"", L"1 error", L"%u errors", 3, true, L"3 errors"},
      {L"", L"1 error", L"%u errors", 9999, true, L"9999 errors"},
      {L"", L"1 error", L"%u errors", 10000, true, L"10" + sep + L"000 errors"},
      {L"", L"1 error", L"%u errors", 1234567, true, L"1" + sep + L"234" + sep + L"567 errors"},
      {L"", L"1 error", L"%u errors", 10000, false, L"10000 errors"},
      {L"", L"1 error", L"errors", 12345, true, L"errors"},
      {L"", L"1 error", L"%f errors", 7, true, L"Format error: %f errors"},
      {L"", L"1 error", L"%f errors", 70000, false, L"Format error: %f errors"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatCountText(c.zero, c.one, c.pattern, c.count, c.thousands), c.expected)
        << testing::PrintToString(c.pattern) << " " << c.count;
}
