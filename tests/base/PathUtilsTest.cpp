#include "base/text/PathUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/TestSupport.h"

using namespace hv;

TEST(PathJoin, DelimitersAndJoining) {
  EXPECT_EQ(AddPathDelimiter(L""), L"");
  EXPECT_EQ(AddPathDelimiter(L"C:\\a\\"), L"C:\\a\\");
  EXPECT_EQ(AddPathDelimiter(L"C:"), L"C:\\");
  EXPECT_EQ(AddPath(L"C:\\a", L""), L"C:\\a");
  EXPECT_EQ(AddPath(L"", L"x"), L"x");
  EXPECT_EQ(AddPath(L"C:\\a", L"x"), L"C:\\a\\x");
  EXPECT_EQ(AddPath(L"C:\\a\\", L"\\x"), L"C:\\a\\\\x");
  EXPECT_EQ(AddPath(L"C:\\a", L"b/c"), L"C:\\a\\b/c") << "\"/\" is an ordinary character";
}

TEST(PathJoin, BuildFileName) {
  struct Case { const wchar_t *dir, *name, *ext, *result; } cases[] = {
      {L"C:\\jobs", L"x", L".buj", L"C:\\jobs\\x.buj"},
      {L"C:\\jobs\\", L"x", L"buj", L"C:\\jobs\\x.buj"},
      {L"C:\\jobs", L"D:\\y", L".buj", L"D:\\y.buj"},
      {L"", L"x", L".buj", L"x.buj"},
      {L"C:\\jobs", L"a.b\\x", L".buj", L"C:\\jobs\\a.b\\x"},
      {L"C:\\jobs", L"\\x", L"", L"\\x"},
      {L"C:\\jobs", L"x.ini", L".buj", L"C:\\jobs\\x.ini"},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildFileName(c.dir, c.name, c.ext), c.result) << c.name;
}

TEST(PathJoin, GetParentDir) {
  struct Case { const wchar_t *path, *parent; } cases[] = {
      {L"C:\\a\\b\\", L"C:\\a"}, {L"C:\\a", L"C:"}, {L"C:", L"C:"}, {L"\\a", L"\\a"},
      {L"a", L"a"}, {L"\\\\srv\\share\\x", L"\\\\srv\\share"}, {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(GetParentDir(c.path), c.parent) << c.path;
}

TEST(PathCompare, SameSubRelativeAbsolute) {
  EXPECT_TRUE(IsSameDir(L"C:\\A", L"c:\\a\\"));
  EXPECT_TRUE(IsSameDir(L"", L""));
  EXPECT_FALSE(IsSameDirNonEmpty(L"", L""));
  EXPECT_FALSE(IsSameDir(L"C:\\a", L"C:\\ab"));
  EXPECT_TRUE(IsSubDir(L"C:\\a", L"c:\\A\\b"));
  EXPECT_TRUE(IsSubDir(L"C:\\a", L"C:\\a"));
  EXPECT_FALSE(IsSubDir(L"C:\\a", L"C:\\ab"));
  EXPECT_FALSE(IsSubDir(L"", L"C:\\a"));
  EXPECT_TRUE(IsAbsolutePath(L"\\x"));
  EXPECT_TRUE(IsAbsolutePath(L"x:y"));
  EXPECT_FALSE(IsAbsolutePath(L"a\\b"));
  EXPECT_FALSE(IsAbsolutePath(L""));
  EXPECT_EQ(MakeRelativePath(L"C:\\a", L"C:\\A\\"), L"");
  EXPECT_EQ(MakeRelativePath(L"C:\\a\\", L"C:\\a\\b\\c.txt"), L"b\\c.txt");
  EXPECT_EQ(MakeRelativePath(L"C:\\a", L"D:\\b"), L"D:\\b");
  EXPECT_EQ(MakeAbsolutePath(L"C:\\a", L"b"), L"C:\\a\\b");
  EXPECT_EQ(MakeAbsolutePath(L"", L"b"), L"b");
  EXPECT_EQ(MakeAbsolutePath(L"C:\\a", L"D:\\b"), L"D:\\b");
}

TEST(PathExtensions, Table) {
  EXPECT_EQ(GetExtension(L"C:\\a.b\\file"), L"");
  EXPECT_EQ(GetExtension(L"file."), L"");
  EXPECT_EQ(GetExtension(L".cfg"), L"cfg");
  EXPECT_EQ(GetExtension(L"a.tar.gz"), L"gz");
  EXPECT_EQ(DeleteExtension(L"C:\\a.b\\f.txt"), L"C:\\a.b\\f");
  EXPECT_EQ(DeleteExtension(L"C:\\a.b\\f"), L"C:\\a.b\\f");
  EXPECT_EQ(ReplaceExtension(L"a.txt", L".log"), L"a.log");
  EXPECT_EQ(ReplaceExtension(L"a.txt", L"log"), L"a.log");
  EXPECT_EQ(ReplaceExtension(L"a.txt", L""), L"a");
  EXPECT_EQ(ReplaceExtension(L"", L"log"), L"");
  EXPECT_EQ(ApplyExtension(L"a.TXT", L"txt", 0), L"a.TXT");
  EXPECT_EQ(ApplyExtension(L"a.log", L"txt", 0), L"a.log.txt");
  EXPECT_EQ(ApplyExtension(L"a.txt", L".txt", 0), L"a.txt.txt");
  EXPECT_EQ(ApplyExtension(L"a.log", L"txt", 1), L"a.txt");
  EXPECT_EQ(ApplyExtension(L"a.", L"txt", 2), L"a.txt");
  EXPECT_EQ(ApplyExtension(L"a.txt", L"txt", 2), L"a.txt.txt");
  EXPECT_EQ(ApplyExtension(L"", L"txt", 2), L"");
  EXPECT_EQ(ApplyExtension(L"a", L"", 2), L"a");
}

TEST(PathDisplay, AbbreviatePath) {
  const wchar_t* p = L"C:\\one\\two\\three\\file.txt";  // 25 characters
  EXPECT_EQ(AbbreviatePath(p, 20), L"C:\\one\\...\\file.txt");
  EXPECT_EQ(AbbreviatePath(p, 30), p);
  EXPECT_EQ(AbbreviatePath(p, 23), L"C:\\one\\two\\...\\file.txt");
  EXPECT_EQ(AbbreviatePath(p, 3), p);
  EXPECT_EQ(AbbreviatePath(p, 10), L"...file.txt") << "no candidate fits: the tail";
  EXPECT_EQ(AbbreviatePath(L"abcdefghij", 5), L"...hij") << "no delimiter: MaxLen + 1 characters";
  EXPECT_EQ(AbbreviatePath(L"C:\\abcdefg\\", 11), L"...\\abcdefg\\") << "a trailing delimiter does not count";
}

TEST(PathNames, ValidityAndDotEntries) {
  EXPECT_FALSE(IsValidFileName(L"a:b"));
  EXPECT_FALSE(IsValidFileName(L"a\tb"));
  for (const wchar_t* bad : {L"\"", L"*", L"/", L":", L"<", L">", L"?", L"\\", L"|"}) EXPECT_FALSE(IsValidFileName(bad)) << bad;
  EXPECT_TRUE(IsValidFileName(L"\u0100\u20AC name.txt"));
  EXPECT_TRUE(IsValidFileName(L""));
  EXPECT_EQ(ReplaceInvalidChars(L"a:b?c\u0101", L'_'), L"a_b_c\u0101");
  EXPECT_FALSE(IsNotDotEntry(L"."));
  EXPECT_FALSE(IsNotDotEntry(L".."));
  EXPECT_TRUE(IsNotDotEntry(L"...") );
  EXPECT_FALSE(IsNotDotEntry(L"~tmp", L"~$"));
  EXPECT_TRUE(IsNotDotEntry(L"tmp", L"~$"));
}

TEST(PathFileSystem, FindExistingDir) {
  hvtest::TempDir tmp;
  const std::wstring sub = tmp / L"sub";
  ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));

  EXPECT_EQ(FindExistingDir(sub, L"D"), sub);
  EXPECT_EQ(FindExistingDir(sub + L"\\x\\y\\", L"D"), sub);
  EXPECT_EQ(FindExistingDir(tmp / L"missing", L"D"), tmp.Path());
  EXPECT_EQ(FindExistingDir(L"relative\\x", L"D"), L"D");
  EXPECT_EQ(FindExistingDir(L"", L"D"), L"D");
  EXPECT_EQ(FindExistingDir(L"\\\\nosuchserver\\share\\x", L"D"), L"D");

  // The first drive letter that Wine does not map.
  std::wstring missingDrive;
  for (wchar_t d = L'Q'; d <= L'Y' && missingDrive.empty(); ++d)
    if (GetDriveTypeW((std::wstring(1, d) + L":\\").c_str()) == DRIVE_NO_ROOT_DIR) missingDrive = std::wstring(1, d) + L":";
  ASSERT_FALSE(missingDrive.empty());
  EXPECT_EQ(FindExistingDir(missingDrive + L"\\a\\b", L"D"), L"D");

  wchar_t sys[MAX_PATH];
  GetSystemWindowsDirectoryW(sys, MAX_PATH);
  std::wstring drive(sys, 2);
  EXPECT_EQ(FindExistingDir(drive + L"\\no-such-dir-1\\no-such-dir-2", L"D"), drive);
}

TEST(PathFileSystem, DirectoryExistsOnlyForFolders) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"file.txt";
  ASSERT_TRUE(hvtest::WriteBytes(file, "x"));
  struct Case { std::wstring path; bool exists; } cases[] = {
      {tmp.Path(), true}, {tmp.Path() + L"\\", true}, {file, false}, {tmp / L"missing", false}, {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(DirectoryExists(c.path), c.exists) << c.path;
}

TEST(PathFileSystem, ExpandPathUsesTheCurrentFolder) {
  hvtest::TempDir tmp;
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(tmp.Path().c_str()));
  std::wstring expanded = ExpandPath(L"a\\..\\b\\.\\c.txt");
  SetCurrentDirectoryW(saved);
  EXPECT_TRUE(SameFileName(expanded, tmp / L"b\\c.txt")) << testing::PrintToString(expanded);
  EXPECT_EQ(ExpandPath(L"C:\\x\\..\\y"), L"C:\\x\\..\\y") << "absolute paths stay as given";
}
