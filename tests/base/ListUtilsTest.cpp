#include "base/settings/ListUtils.h"

#include <gtest/gtest.h>

#include "base/settings/IniFileUtils.h"
#include "support/TestSupport.h"

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;

namespace {

class FakeCombo : public IHistoryCombo {
 public:
  TStringList Items() const override { return FItems; }
  void SetItems(const TStringList& items) override { FItems = items; }
  int DropDownCount() const override { return Count; }
  void SetItemIndex(int index) override { ItemIndex = index; }
  bool IsDropDownList() const override { return DropDownList; }
  void SetDropDownStyle(bool dropDown) override { DropDown = dropDown; }

  TStringList FItems;
  int Count = 3;
  int ItemIndex = -1;
  bool DropDownList = false;
  bool DropDown = false;
};

std::string Utf16File(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

}  // namespace

TEST(HistoryList, AddMovesAndDrops) {
  TStringList list = {L"a", L"b", L"c", L"ABC"};
  AddToHistoryList(list, L"abc", 50);
  EXPECT_EQ(list, (TStringList{L"abc", L"a", L"b", L"c"})) << "moved to the top, newest spelling";
  AddToHistoryList(list, L"", 50);
  EXPECT_EQ(list.size(), 4u);
  AddToHistoryList(list, L"A", 50);
  EXPECT_EQ(list, (TStringList{L"A", L"abc", L"b", L"c"}));

  TStringList full;
  for (int i = 0; i < 50; ++i) full.push_back(L"x" + std::to_wstring(i));
  AddToHistory(full, L"new");
  EXPECT_EQ(full.size(), 50u);
  EXPECT_EQ(full.front(), L"new");
  EXPECT_EQ(full.back(), L"x48");
  AddToHistoryList(full, L"newer", 3);
  EXPECT_EQ(full.size(), 50u) << "only one item is dropped";
}

TEST(HistoryIni, LoadSkipsGapsEmptiesAndRepeats) {
  TempDir tmp;
  const std::wstring file = tmp / L"h.ini";
  ASSERT_TRUE(WriteBytes(file, Utf16File(L"[MailTo]\r\nAddress0=a@x\r\nAddress2=#b# c\r\nAddress3=A@X\r\n"
                                         L"Address4=\r\nAddress5=d\r\n[Empty]\r\n")));
  TStringList list = {L"keep"};
  LoadHistory(file, L"Missing", L"", list, false);
  EXPECT_EQ(list, TStringList{L"keep"}) << "missing section: list unchanged";
  LoadHistory(file, L"MailTo", L"Address", list, true);
  EXPECT_EQ(list, (TStringList{L"a@x", L"\"b\" c", L"d"}));
  LoadHistoryFile(file, L"MailTo", L"Address", list, 3, false);
  EXPECT_EQ(list, (TStringList{L"a@x", L"#b# c"}));
  LoadHistory(file, L"Empty", L"", list, false);
  EXPECT_TRUE(list.empty());
}

TEST(HistoryIni, SaveEraseSwapAndEncoding) {
  TempDir tmp;
  const std::wstring file = tmp / L"Harvane.ini";
  std::wstring text = L"[Unicode]\r\nEncoding=UTF-16LE\r\n[Subjects]\r\n";
  for (int i = 0; i < 10; ++i) text += L"History" + std::to_wstring(i) + L"=old" + std::to_wstring(i) + L"\r\n";
  text += L"[Config]\r\nProtDir=C:\\Logs\r\n";
  ASSERT_TRUE(WriteBytes(file, Utf16File(text)));

  SaveHistory(file, L"Subjects", L"", true, {L"\"a\" b", L"Grüße", L"x"}, true);
  const std::string bytes = ReadBytes(file);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "stays UTF-16LE with its byte-order mark";
  TMemIniFile ini(file);
  EXPECT_EQ(ini.Encoding(), TIniEncoding::ieUtf16LE);
  EXPECT_EQ(ini.ReadSection(L"Subjects").size(), 3u) << "erased first";
  EXPECT_EQ(ini.ReadString(L"Subjects", L"History0", L""), L"#a# b");
  EXPECT_EQ(ini.ReadString(L"Config", L"ProtDir", L""), L"C:\\Logs") << "other sections kept";

  TStringList back;
  LoadHistory(file, L"Subjects", L"", back, true);
  EXPECT_EQ(back, (TStringList{L"\"a\" b", L"Grüße", L"x"}));

  // Without erase, a longer earlier history keeps its tail.
  SaveHistoryFile(file, L"Subjects", L"", false, {L"n"}, 50, false);
  EXPECT_EQ(TMemIniFile(file).ReadSection(L"Subjects").size(), 3u);

  // A new file and an ANSI file become UTF-16LE.
  SaveHistory(tmp / L"new.ini", L"S", L"", true, {L"Grüße"}, false);
  EXPECT_EQ(ReadBytes(tmp / L"new.ini").substr(0, 2), "\xFF\xFE");
  ASSERT_TRUE(WriteBytes(tmp / L"ansi.ini", "[S]\r\nHistory0=a\r\n"));
  SaveHistory(tmp / L"ansi.ini", L"T", L"", true, {L"b"}, false);
  TMemIniFile ansi(tmp / L"ansi.ini");
  EXPECT_EQ(ansi.Encoding(), TIniEncoding::ieUtf16LE);
  EXPECT_EQ(ansi.ReadString(L"S", L"History0", L""), L"a");
}

TEST(HistoryIni, SaveToUnwritableFolderRaises) {
  EXPECT_THROW(SaveHistory(L"Q:\\missing\\x.ini", L"S", L"", true, {L"a"}, false), EWriteError);
}

TEST(HistoryCombo, LoadSaveAdd) {
  TempDir tmp;
  const std::wstring file = tmp / L"c.ini";
  FakeCombo combo;
  combo.FItems = {L"1", L"2", L"3", L"4", L"5"};
  SaveHistoryCombo(file, L"Srv", true, combo, -1, false);
  EXPECT_EQ(TMemIniFile(file).ReadSection(L"Srv").size(), 3u) << "at most the drop-down count";

  FakeCombo loaded;
  LoadHistoryCombo(file, L"Srv", loaded, -1, false);
  EXPECT_EQ(loaded.FItems, (TStringList{L"1", L"2", L"3"}));
  EXPECT_EQ(loaded.ItemIndex, 0);
  EXPECT_TRUE(loaded.DropDown);

  FakeCombo single;
  AddToHistoryCombo(single, L"only");
  EXPECT_EQ(single.ItemIndex, 0);
  EXPECT_FALSE(single.DropDown) << "one item: simple style";
  AddToHistoryCombo(loaded, L"new");
  EXPECT_EQ(loaded.FItems, (TStringList{L"new", L"1", L"2"}));

  FakeCombo list;
  list.DropDownList = true;
  AddToHistoryCombo(list, L"a");
  AddToHistoryCombo(list, L"b");
  EXPECT_FALSE(list.DropDown) << "a drop-down list keeps its style";
}
