#include "base/os/WinUtils.h"

#include <gtest/gtest.h>

namespace hv {
namespace {

TEST(WinUtilsTest, AdjustToWorkAreaKeepsTheMargins) {
  const RECT work{0, 0, 1280, 984};
  struct Case {
    int Left, Top, Width, Height;
    UINT Dpi;
    int NewLeft, NewTop;
  } cases[] = {
      {780, 0, 500, 300, 96, 780, 0},           // inside, touching edges: not moved
      {980, 100, 500, 300, 96, 760, 100},       // right edge crossed: right - 520
      {980, 100, 500, 300, 144, 750, 100},      // margin 30 at 144 dpi
      {100, 685, 500, 300, 96, 100, 654},       // 1 px below the bottom: 30 px free
      {100, 685, 500, 300, 144, 100, 639},      // bottom margin 45 at 144 dpi
      {0, 0, 1400, 300, 96, 20, 0},             // wider than the work area: left margin
      {-10, -5, 500, 300, 96, 20, 20},          // left and top edges
      {100, 100, 500, 1200, 96, 100, 20},       // higher than the work area: top margin
  };
  for (const auto& c : cases) {
    int left = c.Left, top = c.Top;
    AdjustToWorkAreaIn(left, top, c.Width, c.Height, work, c.Dpi);
    EXPECT_EQ(left, c.NewLeft) << c.Left << "," << c.Top << " @" << c.Dpi;
    EXPECT_EQ(top, c.NewTop) << c.Left << "," << c.Top << " @" << c.Dpi;
  }
}

TEST(WinUtilsTest, BitmapsScaleFrom120Percent) {
  EXPECT_FALSE(NeedsBitmapScaling(96, 96));
  EXPECT_FALSE(NeedsBitmapScaling(96, 110));
  EXPECT_TRUE(NeedsBitmapScaling(96, 115));
  EXPECT_TRUE(NeedsBitmapScaling(96, 144));
  EXPECT_FALSE(NeedsBitmapScaling(144, 96));
}

TEST(WinUtilsTest, ImageListsGrowFrom120Percent) {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
  HICON icon = LoadIconW(nullptr, IDI_WARNING);
  ImageList_AddIcon(list, icon);
  ImageList_AddIcon(list, icon);
  int w = 0, h = 0;
  ScaleImageList(list, 96, 110);
  ImageList_GetIconSize(list, &w, &h);
  EXPECT_EQ(w, 16);
  ScaleImageList(list, 96, 192);
  ImageList_GetIconSize(list, &w, &h);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 32);
  EXPECT_EQ(ImageList_GetImageCount(list), 2);
  ImageList_Destroy(list);
}

TEST(WinUtilsTest, TextExtents) {
  EXPECT_EQ(CountLines(L""), 1);
  EXPECT_EQ(CountLines(L"a\r\n"), 2);
  EXPECT_EQ(CountLines(L"a\r\nb\r\nc"), 3);
  EXPECT_EQ(CountLines(L"a\nb"), 1);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  int wide = GetTextWidth(L"WWW", font);
  EXPECT_GT(wide, GetTextWidth(L"W", font));
  EXPECT_EQ(GetMaxLineWidthFont(L"W\r\nWWW", font), wide);
  EXPECT_EQ(GetMaxLineWidthFont(L"WWW\r\nW", font), wide);
  EXPECT_EQ(GetMaxLineWidthFont(L"", font), 0);
  EXPECT_EQ(GetMaxItemWidth({L"W", L"WWW"}, font), wide);
  EXPECT_EQ(GetMaxItemWidth({}, font), 0);
  SIZE one = GetTextSize(L"W", font), three = GetTextSize(L"W\r\nWWW\r\n", font);
  EXPECT_EQ(three.cx, wide);
  EXPECT_EQ(three.cy, 3 * one.cy);
}

TEST(WinUtilsTest, CodePageList) {
  std::vector<std::pair<std::wstring, UINT>> list{{L"old", 1}};
  ASSERT_TRUE(GetCodePageList(list, L"Default"));
  ASSERT_GT(list.size(), 2u);
  EXPECT_EQ(list[0].first, L" Default");
  EXPECT_EQ(list[0].second, 0u);
  bool has1252 = false;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].second == 1252) {
      has1252 = true;
      EXPECT_TRUE(list[i].first.ends_with(L" - (1252)")) << list[i].first;
      EXPECT_NE(list[i].first.find(L"1252"), 0u);  // the number itself is no longer in front
    }
    if (i > 0) {
      EXPECT_NE(CompareStringOrdinal(list[i - 1].first.c_str(), -1, list[i].first.c_str(), -1, TRUE), CSTR_GREATER_THAN);
    }
  }
  EXPECT_TRUE(has1252);
  ASSERT_TRUE(GetCodePageList(list, L""));
  EXPECT_NE(list[0].first[0], L' ');
}

TEST(WinUtilsTest, SafeFormatStrIsSafeFormat) {
  EXPECT_EQ(SafeFormatStr(L"%s: %u", L"a", 2u), L"a: 2");
  EXPECT_EQ(SafeFormatStr(L"%d", L"x"), L"Format error: %d");
}

}  // namespace
}  // namespace hv

namespace hv {
namespace {

// A token that cannot be opened, or a privilege that does not exist, is a failure.
TEST(WinUtilsTest, PrivilegeFailuresAreFailures) {
  EXPECT_FALSE(EnableProcessPrivilege(nullptr, L"SeShutdownPrivilege"));
  EXPECT_FALSE(EnableProcessPrivilege(GetCurrentProcess(), L"SeNoSuchPrivilege"));
}

}  // namespace
}  // namespace hv
