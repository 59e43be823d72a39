#include "base/settings/IniFileUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "winui/Handles.h"
#include "base/text/StringUtils.h"
#include "support/TestSupport.h"

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;

namespace {

std::string Utf16LE(std::wstring_view text) {
  std::string b = "\xFF\xFE";
  for (wchar_t c : text) {
    b += static_cast<char>(c & 0xFF);
    b += static_cast<char>(c >> 8);
  }
  return b;
}

std::string Utf16BE(std::wstring_view text) {
  std::string b = "\xFE\xFF";
  for (wchar_t c : text) {
    b += static_cast<char>(c >> 8);
    b += static_cast<char>(c & 0xFF);
  }
  return b;
}

size_t FileCount(const std::wstring& dir) {
  size_t n = 0;
  WIN32_FIND_DATAW fd;
  TFindHandle h(FindFirstFileW((dir + L"\\*").c_str(), &fd));
  if (!h) return 0;
  do {
    if (fd.cFileName[0] != L'.') ++n;
  } while (FindNextFileW(h.Get(), &fd));
  return n;
}

// A job file as the main program may have it: keys the suite never writes, a comment.
const wchar_t kJob[] =
    L"[Unicode]\r\nEncoding=UTF-16LE\r\nProgram=Harvane\r\nVersion=6.2\r\n"
    L"[Global]\r\nDescription=Mail \x00FC\x0431\x4E2D\r\nEngineOnly=42\r\n; kept note\r\n"
    L"[Dir000]\r\nSourceDir=C:\\Daten\\\r\nSubDirs=1\r\n";

}  // namespace

TEST(UnicodeIniFile, NewFileHoldsOnlyTheEncodingKey) {
  TempDir dir;
  auto ini = TUnicodeIniFile::CreateForWrite(dir / L"new.buj", false);
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(dir / L"new.buj"), Utf16LE(L"[Unicode]\r\nEncoding=UTF-16LE\r\n"));
  EXPECT_EQ(FileCount(dir.Path()), 1u) << "no temporary file is left behind";
}

TEST(UnicodeIniFile, WritesTheJobLayoutByteExact) {
  TempDir dir;
  const std::wstring name = dir / L"job.buj";
  auto ini = TUnicodeIniFile::CreateForWrite(name, true);
  ini.WriteProgramInfo(L"Program", L"QlBackup");
  ini.WriteProgramInfo(L"Version", L"1.0");
  ini.WriteString(L"Global", L"Description", L"Profil \x00E4\x0431\x4E2D \"x=y\";z");
  ini.WriteBool(L"Global", L"Compress", true);
  ini.WriteInteger(L"Global", L"Mode", -3);
  ini.WriteInt64(L"Dir000", L"Size", 5000000000LL);
  ini.WriteString(L"global", L"mode", L"7");  // same key, other case: replaced in place
  ini.UpdateFile();
  const std::string expected =
      Utf16LE(L"[Unicode]\r\nEncoding=UTF-16LE\r\nProgram=QlBackup\r\nVersion=1.0\r\n"
              L"[Global]\r\nDescription=Profil \x00E4\x0431\x4E2D \"x=y\";z\r\nCompress=1\r\nMode=7\r\n"
              L"[Dir000]\r\nSize=5000000000\r\n");
  EXPECT_EQ(ReadBytes(name), expected);

  auto back = TUnicodeIniFile::CreateForRead(name);
  EXPECT_EQ(back.ReadString(L"GLOBAL", L"description", L""), L"Profil \x00E4\x0431\x4E2D \"x=y\";z");
  EXPECT_TRUE(back.ReadBool(L"Global", L"Compress", false));
  EXPECT_EQ(back.ReadInteger(L"Global", L"Mode", 0), 7);
  EXPECT_EQ(back.ReadInt64(L"Dir000", L"Size", 0), 5000000000LL);
  EXPECT_EQ(back.ReadSection(L"Global"), (std::vector<std::wstring>{L"Description", L"Compress", L"Mode"}));
  auto again = TUnicodeIniFile::CreateForWrite(name, false);
  again.UpdateFile();
  EXPECT_EQ(ReadBytes(name), expected) << "an unchanged rewrite is byte-exact";
}

TEST(UnicodeIniFile, UnknownKeysSurviveARewrite) {
  TempDir dir;
  const std::wstring name = dir / L"job.buj";
  ASSERT_TRUE(WriteBytes(name, Utf16LE(kJob)));
  {
    auto ini = TUnicodeIniFile::CreateForWrite(name, false);
    ini.WriteString(L"Global", L"Description", L"changed");
    ini.WriteString(L"Mail", L"Server", L"smtp.example.org");
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadBytes(name),
            Utf16LE(L"[Unicode]\r\nEncoding=UTF-16LE\r\nProgram=Harvane\r\nVersion=6.2\r\n"
                    L"[Global]\r\nDescription=changed\r\nEngineOnly=42\r\n; kept note\r\n"
                    L"[Dir000]\r\nSourceDir=C:\\Daten\\\r\nSubDirs=1\r\n"
                    L"[Mail]\r\nServer=smtp.example.org\r\n"));

  auto ini = TUnicodeIniFile::CreateForWrite(name, true);
  ini.WriteString(L"Global", L"Description", L"only");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(name), Utf16LE(L"[Unicode]\r\nEncoding=UTF-16LE\r\n[Global]\r\nDescription=only\r\n"));
}

TEST(UnicodeIniFile, ExistingEncodingValueStaysFileIsUtf16) {
  TempDir dir;
  const std::wstring name = dir / L"x.ini";
  ASSERT_TRUE(WriteBytes(name, "[Unicode]\r\nEncoding=ANSI\r\n[A]\r\nk=v\r\n"));
  auto ini = TUnicodeIniFile::CreateForWrite(name, false);
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(name), Utf16LE(L"[Unicode]\r\nEncoding=ANSI\r\n[A]\r\nk=v\r\n"));

  ASSERT_TRUE(WriteBytes(name, "[Unicode]\r\nProgram=X\r\n"));
  auto ini2 = TUnicodeIniFile::CreateForWrite(name, false);
  ini2.UpdateFile();
  EXPECT_EQ(ReadBytes(name), Utf16LE(L"[Unicode]\r\nProgram=X\r\nEncoding=UTF-16LE\r\n"));
}

TEST(UnicodeIniFile, ReadsEveryEncodingAndLineEnd) {
  const std::wstring text = L"[Sec]\r\n  Key  =  Value \x00E9\x4E2D \r\nEmpty=\n\n[Other]\rA=1\r";
  std::string ansi = "[Sec]\r\nKey=Value \xE9\r\nEmpty=\n[Other]\rA=1";
  wchar_t acpE9 = 0;
  MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, &acpE9, 1);
  struct Case {
    const char* what;
    std::string bytes;
    std::wstring value;
    TIniEncoding encoding;
  } cases[] = {
      {"utf-16le", Utf16LE(text), L"Value \x00E9\x4E2D", TIniEncoding::ieUtf16LE},
      {"utf-16be", Utf16BE(text), L"Value \x00E9\x4E2D", TIniEncoding::ieUtf16BE},
      {"utf-8", "\xEF\xBB\xBF" + WideToUtf8(text), L"Value \x00E9\x4E2D", TIniEncoding::ieUtf8},
      {"ansi", ansi, std::wstring(L"Value ") + acpE9, TIniEncoding::ieAnsi},
  };
  TempDir dir;
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteBytes(dir / L"enc.ini", c.bytes));
    auto ini = TUnicodeIniFile::CreateForRead(dir / L"enc.ini");
    EXPECT_EQ(ini.Encoding(), c.encoding) << c.what;
    EXPECT_EQ(ini.ReadString(L"sec", L"KEY", L"-"), c.value) << c.what;
    EXPECT_EQ(ini.ReadString(L"Sec", L"Empty", L"-"), L"") << c.what;
    EXPECT_EQ(ini.ReadInteger(L"Other", L"A", 0), 1) << c.what;
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::wstring>{L"Sec", L"Other"})) << c.what;
  }
}

TEST(UnicodeIniFile, AnsiFileIsWrittenBackAsUtf16) {
  TempDir dir;
  const std::wstring name = dir / L"old.ini";
  ASSERT_TRUE(WriteBytes(name, "[Config]\r\nTop=10\r\n"));
  auto ini = TUnicodeIniFile::CreateForWrite(name, false);
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(name), Utf16LE(L"[Config]\r\nTop=10\r\n[Unicode]\r\nEncoding=UTF-16LE\r\n"));
}

TEST(UnicodeIniFile, ReadInt64) {
  struct Case {
    const wchar_t* value;
    int64_t result;
  } cases[] = {{L"0xFF", 255}, {L"0XFF", 255}, {L"255", 255}, {L"$ff", 255}, {L"-12", -12},
               {L"0x", -1},    {L"abc", -1},   {L"", -1},      {L"12a", -1},  {L"9223372036854775807", INT64_MAX}};
  TempDir dir;
  auto ini = TUnicodeIniFile::CreateForRead(dir / L"none.ini");
  for (const auto& c : cases) {
    ini.WriteString(L"S", L"K", c.value);
    EXPECT_EQ(ini.ReadInt64(L"S", L"K", -1), c.result) << c.value;
  }
  EXPECT_EQ(ini.ReadInt64(L"S", L"Missing", 7), 7);
}

TEST(UnicodeIniFile, EraseSectionValuesKeepsTheHeader) {
  TempDir dir;
  auto ini = TUnicodeIniFile::CreateForWrite(dir / L"e.ini", true);
  ini.WriteString(L"A", L"k1", L"1");
  ini.WriteString(L"A", L"k2", L"2");
  ini.WriteString(L"B", L"k", L"3");
  ini.WriteString(L"C", L"k", L"4");
  ini.EraseSectionValues(L"a");
  ini.EraseSection(L"b");
  ini.DeleteKey(L"C", L"K");
  EXPECT_TRUE(ini.SectionExists(L"A"));
  EXPECT_FALSE(ini.SectionExists(L"B"));
  EXPECT_FALSE(ini.ValueExists(L"C", L"k"));
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(dir / L"e.ini"), Utf16LE(L"[Unicode]\r\nEncoding=UTF-16LE\r\n[A]\r\n[C]\r\n"));
}

TEST(UnicodeIniFile, ReadOnlyObjectNeverWrites) {
  TempDir dir;
  const std::wstring name = dir / L"ro.ini";
  ASSERT_TRUE(WriteBytes(name, "[A]\r\nk=v\r\n"));
  {
    auto ini = TUnicodeIniFile::CreateForRead(name);
    ini.WriteString(L"A", L"k", L"changed");
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadBytes(name), "[A]\r\nk=v\r\n");
  auto missing = TUnicodeIniFile::CreateForRead(dir / L"missing.ini");
  missing.WriteString(L"A", L"k", L"v");
  missing.UpdateFile();
  EXPECT_EQ(GetFileAttributesW((dir / L"missing.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(UnicodeIniFile, MissingFolderRaisesWriteError) {
  TempDir dir;
  const std::wstring name = dir / L"no-such-folder\\job.buj";
  auto ini = TUnicodeIniFile::CreateForWrite(name, false);  // a missing folder reads as empty
  try {
    ini.UpdateFile();
    FAIL() << "no error";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), L"Error writing to \"" + name + L"\"");
    EXPECT_NE(e.ErrorCode(), 0u);
  }
}

TEST(UnicodeIniFile, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  const std::wstring name = dir / L"locked.ini";
  const std::string old = Utf16LE(L"[A]\r\nk=old\r\n");
  ASSERT_TRUE(WriteBytes(name, old));
  auto ini = TUnicodeIniFile::CreateForWrite(name, false);
  ini.WriteString(L"A", L"k", L"new");
  {
    // Another process holds the file open for reading and allows no one to change it.
    TFileHandle lock(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.Valid());
    EXPECT_THROW(ini.UpdateFile(), EWriteError);
  }
  EXPECT_EQ(ReadBytes(name), old);
  EXPECT_EQ(FileCount(dir.Path()), 1u);

  ASSERT_TRUE(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_THROW(ini.UpdateFile(), EWriteError);
  EXPECT_EQ(ReadBytes(name), old);
  EXPECT_EQ(FileCount(dir.Path()), 1u);

  ASSERT_TRUE(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ini.UpdateFile();
  EXPECT_EQ(GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(ReadBytes(name), Utf16LE(L"[A]\r\nk=new\r\n[Unicode]\r\nEncoding=UTF-16LE\r\n"));
}

TEST(UnicodeIniFile, UnreadableFileIsNotTakenForEmpty) {
  TempDir dir;
  const std::wstring name = dir / L"busy.ini";
  ASSERT_TRUE(WriteBytes(name, "[A]\r\nk=v\r\n"));
  TFileHandle lock(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock.Valid());
  EXPECT_THROW(TUnicodeIniFile::CreateForWrite(name, false), EOSError);
}

TEST(ReadIniBool, NumbersOnly) {
  TempDir dir;
  const std::wstring name = dir / L"Harvane.cfg";
  ASSERT_TRUE(WriteBytes(name, Utf16LE(L"[Config]\r\nZero=0\r\nOne=1\r\nMinus=-5\r\nWord=true\r\nNone=\r\n")));
  struct Case {
    const wchar_t* ident;
    bool def, result;
  } cases[] = {{L"zero", true, false}, {L"One", false, true},  {L"Minus", false, true},
               {L"Word", false, false}, {L"Word", true, true}, {L"None", true, true}, {L"Missing", true, true}};
  for (const auto& c : cases) EXPECT_EQ(ReadIniBool(name, L"Config", c.ident, c.def), c.result) << c.ident;
  EXPECT_TRUE(ReadIniBool(dir / L"missing.cfg", L"Config", L"DarkMode", true));
}

// What a load reads, a rewrite keeps: an ANSI file whose first line, once the blank lines before
// it are gone, would begin with the bytes of a byte-order mark.
TEST(MemIniFile, AnsiRewriteReadsTheSame) {
  TempDir dir;
  for (std::string start : {"\r\n\xFF\xFE", "\n\n\xFE\xFF", "\r\n\xEF\xBB\xBF"}) {
    const std::string bytes = start + "Lead=1\r\n[Sec]\r\nKey=Value\r\n";
    ASSERT_TRUE(WriteBytes(dir / L"ansi.ini", bytes));
    TMemIniFile first(dir / L"ansi.ini");
    ASSERT_EQ(first.Encoding(), TIniEncoding::ieAnsi);
    first.UpdateFile();
    TMemIniFile second(dir / L"ansi.ini");
    EXPECT_EQ(second.Encoding(), TIniEncoding::ieAnsi);
    EXPECT_EQ(second.GetText(), first.GetText());
    EXPECT_EQ(second.ReadString(L"Sec", L"Key", L""), L"Value");
  }
}

TEST(MemIniFile, OddByteOfUtf16IsKept) {
  TempDir dir;
  for (bool be : {false, true}) {
    const std::string bytes = (be ? Utf16BE(L"[S]\r\nK=V") : Utf16LE(L"[S]\r\nK=V")) + "x";
    ASSERT_TRUE(WriteBytes(dir / L"odd.ini", bytes));
    TMemIniFile ini(dir / L"odd.ini");
    ini.UpdateFile();
    EXPECT_TRUE(ReadBytes(dir / L"odd.ini").starts_with(bytes)) << be;
  }
}

// Bytes that are no valid UTF-8 come back as they were when the file is written in UTF-8 again,
// whatever else the program changed; the valid text around them reads as before.
TEST(MemIniFile, InvalidUtf8BytesSurviveARewrite) {
  const char* invalid[] = {"\xFC",          "\x80",          "\xE2\x82",          "\xC0\xAF",
                           "\xED\xA0\x80",  "\xF5\x80\x80\x80", "\xF4\x90\x80\x80", "\xF0\x9F\x98"};
  TempDir dir;
  const std::wstring name = dir / L"bytes.ini";
  for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
    for (const char* bad : invalid) {
      SCOPED_TRACE(testing::PrintToString(bom + bad));
      const std::string kept = "[Mail]\r\nServer=old\r\nUser=M" + std::string(bad) + "ller \xC3\xA4\xF0\x9F\x98\x80\r\n";
      ASSERT_TRUE(WriteBytes(name, bom + kept));
      TMemIniFile ini(name, TIniEncoding::ieUtf8NoBom);
      EXPECT_EQ(ini.Encoding(), bom.empty() ? TIniEncoding::ieUtf8NoBom : TIniEncoding::ieUtf8);
      const std::wstring user = ini.ReadString(L"Mail", L"User", L"");
      EXPECT_TRUE(user.starts_with(L"M") && user.ends_with(L"ller \u00E4\U0001F600")) << WideToUtf8(user);
      ini.WriteString(L"Mail", L"Server", L"new \u00FC");
      ini.UpdateFile();
      std::string expected = kept;
      expected.replace(expected.find("old"), 3, "new \xC3\xBC");
      EXPECT_EQ(ReadBytes(name), bom + expected);
    }
  }
}

// An edit changes the value or adds its line and leaves every other character alone.
TEST(IniTextEdit, ChangesOnlyWhatItSets) {
  struct Case {
    const char* What;
    std::wstring Text, Section, Key, Value, Expected;
  } cases[] = {
      {"in place", L"; c\n[A]\n  path = old  \n\n[B]\nPath=b\n", L"a", L"PATH", L"new",
       L"; c\n[A]\n  path = new  \n\n[B]\nPath=b\n"},
      {"empty value", L"[A]\r\nK=\r\n", L"A", L"K", L"v", L"[A]\r\nK=v\r\n"},
      {"new key after the section's last line", L"[A]\nX=1\n; note\n\n[B]\n", L"A", L"K", L"v",
       L"[A]\nX=1\n; note\nK=v\n\n[B]\n"},
      {"new key, last line without break", L"[A]\rX=1", L"A", L"K", L"v", L"[A]\rX=1\rK=v"},
      {"key of a repeated section", L"[A]\r\nX=1\r\n[B]\r\n[A]\r\nK=old\r\n", L"A", L"K", L"v",
       L"[A]\r\nX=1\r\n[B]\r\n[A]\r\nK=v\r\n"},
      {"comment and preamble are no keys", L"K=p\n[A]\n;K=c\n", L"A", L"K", L"v", L"K=p\n[A]\n;K=c\nK=v\n"},
      {"new section", L"[A]\nX=1", L"B", L"K", L"v", L"[A]\nX=1\n\n[B]\nK=v\n"},
      {"empty text", L"", L"B", L"K", L"v", L"[B]\r\nK=v\r\n"},
  };
  for (const auto& c : cases) {
    TIniTextEdit edit(c.Text);
    edit.Set(c.Section, c.Key, c.Value);
    EXPECT_EQ(edit.Text(), c.Expected) << c.What;
    std::wstring value;
    EXPECT_TRUE(edit.Find(c.Section, c.Key, value)) << c.What;
    EXPECT_EQ(value, c.Value) << c.What;
  }
}

// 100,000 short sections (about 1 MiB): loading stays near linear (quadratic took minutes).
TEST(MemIniFile, ManySections) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += "[s" + std::to_string(i) + "]\r\n";
  bytes += "k=v\r\n";
  ASSERT_TRUE(WriteBytes(dir / L"many.ini", bytes));
  TMemIniFile ini(dir / L"many.ini");
  EXPECT_EQ(ini.ReadSections().size(), 100000u);
  EXPECT_EQ(ini.ReadString(L"S99999", L"K", L""), L"v");
  ini.EraseSection(L"s5");
  EXPECT_FALSE(ini.SectionExists(L"s5"));
  EXPECT_TRUE(ini.SectionExists(L"s6"));
  ini.WriteString(L"s5", L"k", L"again");
  EXPECT_EQ(ini.ReadSections().back(), L"s5");
  ini.UpdateFile();
  EXPECT_EQ(TMemIniFile(dir / L"many.ini").ReadString(L"S99999", L"K", L""), L"v");
}
