// The text viewer and the directory dialog as real windows on temporary files and folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinShell.h"
#include "base/settings/IniFileUtils.h"
#include "dialogs/InputString.h"
#include "dialogs/SelectDlg.h"
#include "dialogs/ShellDirDlg.h"
#include "dialogs/ShowMemo.h"
#include "support/GuiTest.h"
#include "support/TestSupport.h"
#include "winui/ComScope.h"
#include "winui/Forms.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv {
namespace {

void Pump() { Application().ProcessMessages(); }

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class ViewerDirDialogTest : public hvtest::GuiTest {
 protected:
  void TearDown() override {
    TTestHooks::Clear();
    SetDirDialogIni(L"", L"");
    LoadPrinterSettings(L"", L"");
    GuiTest::TearDown();
  }
  // Message boxes: their texts are recorded and they are answered with answer.
  void AnswerBoxes(int answer) {
    TTestHooks::AnswerModal = [this, answer](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        Boxes.push_back(box->Message());
        return answer;
      }
      return std::nullopt;
    };
  }
  std::vector<std::wstring> Boxes;
  hvtest::TempDir Dir;
  TComScope Com;
};

constexpr TShowDlgButtons kAll = 255;

// Runs a modal viewer on the file and calls fn while it shows.
template <class F>
bool RunViewer(const std::wstring& file, int line, F fn, int codePage = 0, TPoint pos = {-1, -1}) {
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (auto* v = dynamic_cast<TShowTextDialog*>(&f)) {
      Pump();
      fn(*v);
      if (v->Modal() && v->ModalResult == mrNone) v->ModalResult = mrCancel;
    }
  };
  return ShowTextFileEx(L"Log", file, L"Previous run", L"Next run", L"== Run", L"Previous error", L"Next error",
                        L"error", L"Logs|*.log", pos, line, TShowDlgType::stModal, kAll, TPrinterSettings{}, codePage);
}

TEST_F(ViewerDirDialogTest, ViewerReadsEachEncodingAndADeletedSelectionKeepsIt) {
  const std::wstring lines = L"first line\r\nsecond gr\u00FC\u00DFe\r\nthird\r\n";
  struct Case {
    const wchar_t* name;
    TTextEncoding encoding;
  };
  const Case cases[] = {{L"utf8.log", {CP_UTF8, true}},
                        {L"utf16le.log", {1200, true}},
                        {L"utf16be.log", {1201, true}},
                        {L"ansi.log", {GetACP(), false}}};
  for (const Case& c : cases) {
    const std::wstring file = Dir / c.name;
    ASSERT_TRUE(hvtest::WriteBytes(file, EncodeTextBytes(lines, c.encoding)));
    AnswerBoxes(mrYes);
    bool shown = false;
    EXPECT_TRUE(RunViewer(file, 1, [&](TShowTextDialog& v) {
      shown = true;
      EXPECT_EQ(v.Memo.Text(), lines) << c.name;
      EXPECT_EQ(v.Caption(), L"Log [" + file + L"]");
      EXPECT_EQ(v.Encoding(), c.encoding) << c.name;
      EXPECT_EQ(v.Memo.CaretLine(), 0);
      EXPECT_EQ(v.StatusBar.PanelText(0), L" Line: 1 of 4");
      if (c.encoding.CodePage == CP_UTF8) hvtest::SaveScreenshot(v.Handle(), L"dialogs-text-viewer");
      v.Memo.SetSel(12, 7);  // "second "
      v.DeleteBtn.Click();
      EXPECT_EQ(v.Memo.Text(), L"first line\r\ngr\u00FC\u00DFe\r\nthird\r\n");
    }));
    EXPECT_TRUE(shown);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], L"Delete selected text?");
    Boxes.clear();
    EXPECT_EQ(hvtest::ReadBytes(file), EncodeTextBytes(L"first line\r\ngr\u00FC\u00DFe\r\nthird\r\n", c.encoding))
        << c.name;
  }
}

TEST_F(ViewerDirDialogTest, ViewerSearchesAndJumpsBetweenSectionsAndErrors) {
  const std::wstring file = Dir / L"run.log";
  ASSERT_TRUE(hvtest::WriteBytes(file, "== Run 1\r\nok\r\nError: disk\r\n== Run 2\r\nan error here\r\nend\r\n"));
  AnswerBoxes(mrOk);
  RunViewer(file, -1, [&](TShowTextDialog& v) {
    const std::wstring text = v.Memo.Text();
    EXPECT_EQ(v.Memo.CaretLine(), 6);  // the end of the text
    // F3 right after opening searches upward from the end.
    v.FindDialog.SearchText = L"ok";
    PostMessageW(v.Memo.Handle(), WM_KEYDOWN, VK_F3, 0);
    Pump();
    EXPECT_EQ(v.Memo.SelText(), L"ok");
    EXPECT_EQ(v.Memo.CaretLine(), 1);
    v.NextSection(true);
    EXPECT_EQ(v.Memo.SelStart(), static_cast<int>(text.find(L"== Run 2")));
    v.NextSection(true);
    EXPECT_EQ(v.Memo.SelStart(), static_cast<int>(text.size()));
    EXPECT_EQ(v.StatusBar.PanelText(1), L"No further sections!");
    v.NextSection(false);
    EXPECT_EQ(v.Memo.SelStart(), static_cast<int>(text.find(L"== Run 2")));
    EXPECT_EQ(v.StatusBar.PanelText(1), L"");
    v.NextError(false);
    EXPECT_EQ(v.Memo.SelText(), L"Error");
    v.NextError(false);
    EXPECT_EQ(v.Memo.SelStart(), 0);
    EXPECT_EQ(v.StatusBar.PanelText(1), L"No further errors!");
    v.NextError(true);
    v.NextError(true);
    EXPECT_EQ(v.Memo.SelStart(), static_cast<int>(text.find(L"error here")));
    EXPECT_TRUE(v.SearchMemo(false, L"RUN", 0, false));  // upward, any case
    EXPECT_EQ(v.Memo.SelStart(), static_cast<int>(text.find(L"Run 2")));
    EXPECT_FALSE(v.SearchMemo(false, L"RUN", frMatchCase, false));
    v.FindDialog.SearchText = L"missing";
    PostMessageW(v.Memo.Handle(), WM_KEYDOWN, VK_F3, 0);
    Pump();
    // Lines 2 to 4 of a selection print as exactly those lines.
    v.Memo.SetSel(v.Memo.LineIndex(1) + 1, v.Memo.LineIndex(3) + 2 - v.Memo.LineIndex(1) - 1);
    EXPECT_EQ(v.PrintLines(true), (std::vector<std::wstring>{L"ok", L"Error: disk", L"== Run 2"}));
    EXPECT_EQ(v.PrintLines(false).size(), 6u);
  });
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0], L"\"missing\" not found!");
}

// Printing starts the print dialog on the printer of the settings; one that is not installed gives
// the default printer, and without any printer there is nothing to print on.
TEST_F(ViewerDirDialogTest, PrintStartsOnThePrinterOfTheSettings) {
  const std::wstring file = Dir / L"print.log";
  ASSERT_TRUE(hvtest::WriteBytes(file, "first line\r\nsecond line\r\n"));
  struct Case {
    std::vector<std::wstring> installed;
    const wchar_t* wanted;
    const wchar_t* start;  // null: printing is not offered
  };
  const Case cases[] = {
      {{L"Default Laser", L"Office"}, L"Office", L"Office"},
      {{L"Default Laser", L"Office"}, L"Gone", L"Default Laser"},
      {{}, L"Office", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.wanted)));
    TPrintDialog::TestPrinters = [&] { return c.installed; };
    std::optional<std::wstring> started;
    HDC emf = nullptr;
    TCommonDialog::TestAnswer = [&](TCommonDialog& d) -> std::optional<bool> {
      auto* print = dynamic_cast<TPrintDialog*>(&d);
      if (!print) return false;
      started = print->PrinterName;
      emf = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
      print->SetPrinterDC(emf, false);
      return true;
    };
    bool printable = false;
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (auto* v = dynamic_cast<TShowTextDialog*>(&f)) {
        Pump();
        printable = v->PrintBtn.Enabled();
        v->Memo.SetSel(0, 0);
        if (printable) v->PrintBtn.Click();
        v->ModalResult = mrCancel;
      }
    };
    TPrinterSettings settings;
    settings.PrtName = c.wanted;
    ShowTextFileEx(L"Log", file, L"", L"", L"", L"", L"", L"", L"", {-1, -1}, 0, TShowDlgType::stModal, kAll,
                   settings, 0);
    TCommonDialog::TestAnswer = nullptr;
    TPrintDialog::TestPrinters = nullptr;
    EXPECT_EQ(printable, c.start != nullptr);
    EXPECT_EQ(started, c.start ? std::optional<std::wstring>(c.start) : std::nullopt);
    if (emf) DeleteEnhMetaFile(CloseEnhMetaFile(emf));
  }
}

TEST_F(ViewerDirDialogTest, ViewerSwitchesCodePageAndDropsZeroBytes) {
  const std::wstring file = Dir / L"plain.txt";
  ASSERT_TRUE(hvtest::WriteBytes(file, std::string("gr\x81\xE1" "e\0\r\nzwei\r\n", 14)));
  RunViewer(file, 1, [&](TShowTextDialog& v) {
    EXPECT_NE(v.Memo.Text().substr(0, 5), L"gr\u00FC\u00DFe");
    ASSERT_FALSE(v.CodePageList().empty());
    EXPECT_EQ(v.CodePageList()[0].second, 0u);
    const auto& list = v.CodePageList();
    const auto oem = std::find_if(list.begin(), list.end(), [](const auto& e) { return e.second == 850; });
    ASSERT_NE(oem, list.end());
    v.ShowCodePageList();
    Pump();
    ASSERT_NE(v.ListSelectDialog(), nullptr);
    EXPECT_TRUE(v.ListSelectDialog()->Visible());
    hvtest::SaveScreenshot(v.ListSelectDialog()->Handle(), L"dialogs-text-viewer-codepages");
    v.ChooseCodePage(static_cast<int>(oem - list.begin()));
    EXPECT_EQ(v.CodePage(), 850);
    EXPECT_EQ(v.Memo.Text(), L"gr\u00FC\u00DFe\r\nzwei\r\n");
  });
}

TEST_F(ViewerDirDialogTest, AModalCallLeavesTheKeptViewerOpenAndTheCaptionFollowsTheFile) {
  const std::wstring a = Dir / L"a.log", b = Dir / L"b.log";
  ASSERT_TRUE(hvtest::WriteBytes(a, "alpha\r\n"));
  ASSERT_TRUE(hvtest::WriteBytes(b, "beta\r\n"));
  EXPECT_TRUE(ShowTextFile(L"Log", a, {-1, -1}, TShowDlgType::stShow, kLogButtons, {}, true, 0));
  TShowTextDialog* kept = KeptViewer();
  ASSERT_NE(kept, nullptr);
  Pump();
  EXPECT_TRUE(kept->Visible());
  bool ran = false;
  RunViewer(b, 1, [&](TShowTextDialog& v) {
    ran = true;
    EXPECT_NE(&v, kept);
    EXPECT_TRUE(kept->Visible());
  });
  EXPECT_TRUE(ran);
  ASSERT_EQ(KeptViewer(), kept);
  EXPECT_TRUE(kept->Visible());
  EXPECT_EQ(kept->Memo.Text(), L"alpha\r\n");
  EXPECT_TRUE(ShowTextFile(L"Log", b, {-1, -1}, TShowDlgType::stShow, kLogButtons, {}, true, 0));
  EXPECT_EQ(kept->Memo.Text(), L"beta\r\n");
  EXPECT_EQ(kept->Caption(), L"Log [" + b + L"]");
  kept->EndeBtn.Click();
  Pump();
  EXPECT_FALSE(kept->Visible());

  AnswerBoxes(mrOk);
  EXPECT_FALSE(ShowTextFile(L"Log", Dir / L"none.log", {-1, -1}, TShowDlgType::stModal, kLogButtons, {}, true, 0));
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0], L"File: \"" + (Dir / L"none.log") + L"\" not found!");
}

TEST_F(ViewerDirDialogTest, ViewSettingsRoundTripUnlessThePositionSaysNotTo) {
  const std::wstring ini = Dir / L"Harvane.ini", file = Dir / L"v.log";
  ASSERT_TRUE(hvtest::WriteBytes(file, "text\r\n"));
  {
    TMemIniFile f(ini);
    f.WriteInteger(L"View", L"Top", 40);
    f.WriteInteger(L"View", L"Left", 60);
    f.WriteInteger(L"View", L"Width", 700);
    f.WriteInteger(L"View", L"Height", 420);
    f.WriteInteger(L"View", L"FontSize", 12);
    f.UpdateFile();
  }
  LoadPrinterSettings(ini, L"Printer");
  RunViewer(file, 1, [&](TShowTextDialog& v) {
    EXPECT_EQ(v.Width(), 700);
    EXPECT_EQ(v.MemoFontSize, 12);
    v.MemoFontSize = 11;
    v.MemoFontStyle = 1;
  });
  TMemIniFile after(ini);
  EXPECT_EQ(after.ReadInteger(L"View", L"FontSize", 0), 11);
  EXPECT_EQ(after.ReadInteger(L"View", L"FontStyle", 0), 1);
  EXPECT_EQ(after.ReadInteger(L"View", L"Width", 0), 700);
  EXPECT_EQ(after.ReadString(L"View", L"FontName", L""), L"Courier New");

  RunViewer(file, 1, [&](TShowTextDialog& v) {
    EXPECT_EQ(v.MemoFontSize, 10);
    v.MemoFontSize = 20;
  }, 0, {0, -1});
  EXPECT_EQ(TMemIniFile(ini).ReadInteger(L"View", L"FontSize", 0), 11);
}

// The kept viewer writes its view when the program ends: the application frees it before the main
// form, whose window would otherwise take the viewer's along.
TEST_F(ViewerDirDialogTest, AKeptViewerSavesItsViewAtTheProgramsEnd) {
  const std::wstring ini = Dir / L"HvStarter.ini", file = Dir / L"v.log";
  ASSERT_TRUE(hvtest::WriteBytes(file, "text\r\n"));
  ASSERT_TRUE(hvtest::WriteBytes(ini, ""));
  LoadPrinterSettings(ini, L"Printer");
  Application().CreateForm<TForm>().Show();
  ASSERT_TRUE(ShowTextFile(L"Log", file, {-1, -1}, TShowDlgType::stShow, kLogButtons, {}, true, 0));
  TShowTextDialog* kept = KeptViewer();
  ASSERT_NE(kept, nullptr);
  kept->SetBounds(30, 40, 640, 380);
  kept->MemoFontSize = 11;
  kept->EndeBtn.Click();
  Pump();

  Application().DestroyForms();
  EXPECT_EQ(KeptViewer(), nullptr);
  TMemIniFile after(ini);
  EXPECT_EQ(after.ReadInteger(L"View", L"Top", 0), 40);
  EXPECT_EQ(after.ReadInteger(L"View", L"Left", 0), 30);
  EXPECT_EQ(after.ReadInteger(L"View", L"Height", 0), 380);
  EXPECT_EQ(after.ReadInteger(L"View", L"Width", 0), 640);
  EXPECT_EQ(after.ReadString(L"View", L"FontName", L""), L"Courier New");
  EXPECT_EQ(after.ReadInteger(L"View", L"FontSize", 0), 11);
  EXPECT_EQ(after.ReadString(L"View", L"FontStyle", L""), L"0");
}

// ---- directory dialog ----

// others: every other form shown meanwhile (the dialog's prompts).
template <class F>
bool RunDirDialog(std::wstring& dir, bool fileView, const std::wstring& home, F fn,
                  std::function<void(TForm&)> others = nullptr) {
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (auto* d = dynamic_cast<TShellDirDialog*>(&f)) {
      Pump();
      fn(*d);
      if (d->ModalResult == mrNone) d->ModalResult = mrCancel;
    } else if (others) {
      others(f);
    }
  };
  return SelectDirDialog(L"Backup folder", false, fileView, false, home, dir);
}

TEST_F(ViewerDirDialogTest, DirDialogNavigatesReturnsTheFolderAndKeepsHistoryAndLayout) {
  const std::wstring tree = Dir / L"tree", a = tree + L"\\alpha", b = a + L"\\beta";
  ASSERT_TRUE(CreateDirectoryW(tree.c_str(), nullptr) && CreateDirectoryW(a.c_str(), nullptr) &&
              CreateDirectoryW(b.c_str(), nullptr));
  ASSERT_TRUE(hvtest::WriteBytes(a + L"\\notes.txt", "hello"));
  const std::wstring ini = Dir / L"dirs.ini";
  ASSERT_TRUE(hvtest::WriteBytes(ini, ""));
  SetDirDialogIni(ini, L"Directories");

  std::wstring dir = a;
  int narrow = 0;
  EXPECT_TRUE(RunDirDialog(dir, true, L"", [&](TShellDirDialog& d) {
    EXPECT_TRUE(SameText(d.ShellTreeView.Path(), a)) << d.ShellTreeView.Path();
    EXPECT_TRUE(SameText(d.cbxSelectedDir.Text(), a));
    EXPECT_NE(d.laVolHint.Text().find(L" free of "), std::wstring::npos) << d.laVolHint.Text();
    EXPECT_TRUE(d.btbOK.Enabled());
    EXPECT_TRUE(d.spbComputer.Checked());
    EXPECT_TRUE(d.cbxFiles.Visible());
    EXPECT_FALSE(d.FileViewShown());
    narrow = d.ClientSize().cx;
    hvtest::SaveScreenshot(d.Handle(), L"dialogs-directory");
    d.cbxFiles.SetChecked(true);
    d.cbxFiles.OnClick();
    EXPECT_TRUE(d.FileViewShown());
    EXPECT_GT(d.ClientSize().cx, narrow + 300);
    EXPECT_EQ(d.ShellListView.Count(), 1);
    EXPECT_TRUE(d.ShellListView.ItemText(0).starts_with(L"notes")) << d.ShellListView.ItemText(0);
    hvtest::SaveScreenshot(d.Handle(), L"dialogs-directory-files");
    d.ShellTreeView.GoTo(b);
    EXPECT_EQ(d.ShellListView.Count(), 0);
    d.spbUpClick();
    EXPECT_TRUE(SameText(d.cbxSelectedDir.Text(), a));
    d.btbOK.Click();
  }));
  EXPECT_TRUE(SameText(dir, a + L"\\"));
  TShellDirDialog* kept = DirDialog();
  ASSERT_NE(kept, nullptr);
  EXPECT_TRUE(SameText(kept->History().front(), a));
  {
    TMemIniFile f(ini);
    EXPECT_TRUE(SameText(f.ReadString(L"Directories", L"History0", L""), a));
    EXPECT_TRUE(f.ReadBool(L"Directories", L"Fileview", false));
    EXPECT_GT(f.ReadInteger(L"Directories", L"DirWidth", 0), 0);
  }

  // Kept: the same dialog, its file view and history carry over; the history keeps 15 entries.
  for (int i = 0; i < 16; ++i) kept->AddDirToHistory(L"C:\\dir" + std::to_wstring(i));
  kept->AddDirToHistory(L"c:\\DIR3");
  EXPECT_EQ(kept->History().size(), 15u);
  EXPECT_EQ(kept->History().front(), L"c:\\DIR3");
  EXPECT_EQ(std::count_if(kept->History().begin(), kept->History().end(),
                          [](const std::wstring& h) { return SameText(h, L"C:\\dir3"); }),
            1);
  EXPECT_EQ(std::find(kept->History().begin(), kept->History().end(), L"C:\\dir0"), kept->History().end());

  dir = L"";
  EXPECT_FALSE(RunDirDialog(dir, false, L"", [&](TShellDirDialog& d) {
    EXPECT_EQ(&d, kept);
    EXPECT_TRUE(d.spbDesktop.Checked());
    EXPECT_EQ(d.ShellTreeView.RootName(), L"rfDesktop");
    EXPECT_FALSE(d.cbxFiles.Visible());
    EXPECT_FALSE(d.FileViewShown());
  }));
  EXPECT_EQ(dir, L"");
}

TEST_F(ViewerDirDialogTest, DirDialogCreatesAndDeletesFoldersAndGuardsItsKeys) {
  const std::wstring base = Dir / L"work";
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
  AnswerBoxes(mrOk);
  // The suite's text input asks for the name, the option dialog how to delete.
  std::wstring promptTitle, promptText, deleteTitle, deleteText;
  std::vector<std::wstring> deleteChoices;
  int deleteChoice = 0;
  auto prompts = [&](TForm& f) {
    if (auto* q = dynamic_cast<TInputStringDialog*>(&f)) {
      promptTitle = q->Caption();
      promptText = q->Descriptor.Text();
      EXPECT_TRUE(hvtest::SaveScreenshot(q->Handle(), L"dialogs-dir-newfolder"));
      q->TextFeld.SetText(L"made");
      q->OKBtn.Click();
    } else if (auto* s = dynamic_cast<TSelectDialog*>(&f)) {
      deleteTitle = s->Caption();
      deleteText = s->stCaption.Text();
      deleteChoices.clear();
      for (auto& b : s->Buttons) deleteChoices.push_back(b->Text());
      EXPECT_TRUE(hvtest::SaveScreenshot(s->Handle(), L"dialogs-dir-delete"));
      s->Buttons[static_cast<size_t>(deleteChoice)]->Click();
    }
  };
  std::wstring dir = base;
  RunDirDialog(dir, false, base, [&](TShellDirDialog& d) {
    d.spbNewClick();
    const std::wstring made = base + L"\\made";
    EXPECT_TRUE(SameText(promptTitle, base));
    EXPECT_EQ(promptText, L"New subdirectory:");
    EXPECT_NE(GetFileAttributesW(made.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(SameText(d.ShellTreeView.Path(), made));
    ASSERT_TRUE(hvtest::WriteBytes(made + L"\\ro.txt", "x"));
    SetFileAttributesW((made + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    deleteChoice = 2;  // Cancel keeps the folder
    d.itmDeleteClick();
    EXPECT_EQ(deleteTitle, L"Delete directory");
    EXPECT_TRUE(SameText(deleteText, L"Delete \"" + made + L"\""));
    EXPECT_EQ(deleteChoices, (std::vector<std::wstring>{L"Definitely", L"To recycle bin", L"Cancel"}));
    EXPECT_NE(GetFileAttributesW(made.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(Boxes.empty());
    deleteChoice = 0;
    d.itmDeleteClick();
    EXPECT_EQ(GetFileAttributesW(made.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], L"1 directories with 1 files deleted!");

    // Typing: only existing folders are followed, and the box keeps what was typed.
    d.cbxSelectedDir.SetText(base + L"\\nowhere");
    d.cbxSelectedDir.OnChange();
    EXPECT_FALSE(d.btbOK.Enabled());
    EXPECT_EQ(d.cbxSelectedDir.Text(), base + L"\\nowhere");
    auto& probe = d;
    EXPECT_TRUE(probe.FormKeyDown(VK_RETURN, false, false, false));
    EXPECT_EQ(d.ModalResult, mrNone);
    std::wstring upper = base;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    d.cbxSelectedDir.SetText(upper);
    d.cbxSelectedDir.OnChange();
    EXPECT_TRUE(d.btbOK.Enabled());
    EXPECT_EQ(d.cbxSelectedDir.Text(), upper);
    EXPECT_TRUE(SameText(d.ShellTreeView.Path(), base));

    // Ctrl with a number-pad key that shares a letter's lower-case code does nothing.
    d.spbDesktopClick();
    probe.FormKeyDown(VK_NUMPAD3, false, true, false);
    EXPECT_EQ(d.ShellTreeView.RootName(), L"rfDesktop");
    probe.FormKeyDown('C', false, true, false);
    EXPECT_EQ(d.ShellTreeView.RootName(), L"rfMyComputer");
    EXPECT_TRUE(d.spbComputer.Checked());

    // Home: an existing default folder is shown without the process's folder changing.
    wchar_t before[MAX_PATH]{}, after[MAX_PATH]{};
    GetCurrentDirectoryW(MAX_PATH, before);
    d.spbHomeClick();
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(before, after);
    EXPECT_TRUE(SameText(d.ShellTreeView.Path(), base));
  }, prompts);
  RemoveDirectoryW(base.c_str());
  Boxes.clear();
  dir = L"";
  RunDirDialog(dir, false, base, [&](TShellDirDialog& d) {
    d.AddDirToHistory(base);
    d.spbHomeClick();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], L"Directory not found:\r\n" + base + L"!");
    EXPECT_EQ(d.History().size(), 0u);
  });
}

TEST_F(ViewerDirDialogTest, DeleteDirTreeLeavesAFolderWhoseFileStaysOpen) {
  const std::wstring top = Dir / L"del", sub = top + L"\\sub";
  ASSERT_TRUE(CreateDirectoryW(top.c_str(), nullptr) && CreateDirectoryW(sub.c_str(), nullptr));
  ASSERT_TRUE(hvtest::WriteBytes(top + L"\\a.txt", "a"));
  ASSERT_TRUE(hvtest::WriteBytes(sub + L"\\locked.txt", "b"));
  HANDLE h = CreateFileW((sub + L"\\locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  TDeleteCounts counts;
  DeleteDirTree(top, L"", true, counts);
  CloseHandle(h);
  EXPECT_EQ(counts.Files, 1);
  EXPECT_GE(counts.Errors, 1);
  EXPECT_NE(GetFileAttributesW(sub.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW((top + L"\\a.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  counts = {};
  DeleteDirTree(top, L"", false, counts);
  EXPECT_EQ(counts.Errors, 0);
  EXPECT_EQ(counts.Dirs, 1);
  EXPECT_NE(GetFileAttributesW(top.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace hv
