// Text through the real clipboard.
#include "winui/Clipboard.h"

#include <gtest/gtest.h>

namespace hv {
namespace {

TEST(ClipboardTest, TextRoundTrips) {
  for (std::wstring text : {std::wstring(L"C:\\Backup\\%date%"), std::wstring(L"Kennwort \u00e4\u00f6\u00fc \u20ac\r\nline 2"),
                            std::wstring()}) {
    ASSERT_TRUE(SetClipboardText(text));
    EXPECT_TRUE(ClipboardHasText());
    std::wstring back = L"old";
    ASSERT_TRUE(GetClipboardText(back));
    EXPECT_EQ(back, text);
  }
}

}  // namespace
}  // namespace hv
