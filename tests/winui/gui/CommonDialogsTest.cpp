// The common dialogs: answered through the test seam, and the system's own under Wine.
#include "winui/CommonDialogs.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "winui/Forms.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

class CommonDialogsTest : public testing::Test {
 protected:
  class TOwner : public TForm {
   public:
    TOwner() { BorderStyle = TBorderStyle::bsDialog; }
  };
  void SetUp() override {
    Application().Initialize();
    FOwner = std::make_unique<TOwner>();
    FOwner->Create();
    FOwner->Show();
  }
  void TearDown() override {
    TCommonDialog::TestAnswer = nullptr;
    FOwner.reset();  // before Reset, which empties the queue of a thread without windows
    Application().Reset();
  }
  HWND Owner() const { return FOwner->Handle(); }
  std::unique_ptr<TOwner> FOwner;
};

// The system dialog (class #32770) that the thread shows, null when none.
HWND FindSystemDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM lp) -> BOOL {
        wchar_t cls[16];
        if (IsWindowVisible(wnd) && GetClassNameW(wnd, cls, 16) && lstrcmpW(cls, L"#32770") == 0) {
          *reinterpret_cast<HWND*>(lp) = wnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Runs action on the system dialog once it shows (from a timer of the dialog's own loop).
class TWhenShown {
 public:
  explicit TWhenShown(std::function<void(HWND)> action) : FAction(std::move(action)) {
    FTimer.SetInterval(50);
    FTimer.OnTimer = [this] {
      if (HWND d = FindSystemDialog()) {
        FTimer.SetEnabled(false);
        FAction(d);
      }
    };
    FTimer.SetEnabled(true);
  }

 private:
  std::function<void(HWND)> FAction;
  TTimer FTimer;
};

TEST_F(CommonDialogsTest, SeamAnswersEachDialog) {
  std::vector<std::wstring> asked;
  TCommonDialog::TestAnswer = [&](TCommonDialog& d) -> std::optional<bool> {
    if (auto* open = dynamic_cast<TOpenDialog*>(&d)) {
      asked.push_back(open->Title);
      if (open->Title == L"cancel") return false;
      open->Files = {L"C:\\jobs\\a.buj", L"C:\\jobs\\b.buj"};
      return true;
    }
    if (auto* font = dynamic_cast<TFontDialog*>(&d)) {
      EXPECT_TRUE(font->FixedPitchOnly);
      font->FontName = L"Courier New";
      font->FontSize = 12;
      font->FontStyle = fsBold;
      return true;
    }
    if (auto* find = dynamic_cast<TFindDialog*>(&d)) {
      find->SearchText = L"*** ";
      find->Options = frMatchCase;
      return true;
    }
    if (auto* print = dynamic_cast<TPrintDialog*>(&d)) {
      print->SetPrinterDC(CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr), false);
      print->PrintSelection = true;
      return true;
    }
    return std::nullopt;
  };

  TOpenDialog open;
  open.Title = L"Select tasks to be executed";
  open.FileName = L"old.buj";
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(open.FileName, L"old.buj");  // the hook left the name: it stays
  open.FileName.clear();
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(open.FileName, L"C:\\jobs\\a.buj");
  EXPECT_EQ(open.Files.size(), 2u);
  open.Title = L"cancel";
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(open.LastError(), 0u);

  TFontDialog font;
  font.FixedPitchOnly = true;
  ASSERT_TRUE(font.Execute());
  EXPECT_EQ(font.FontName, L"Courier New");
  EXPECT_EQ(font.FontStyle, static_cast<unsigned>(fsBold));

  TFindDialog find;
  std::wstring found;
  find.OnFind = [&] { found = find.SearchText; };
  ASSERT_TRUE(find.Execute(Owner()));
  EXPECT_EQ(found, L"*** ");
  EXPECT_EQ(find.Handle(), nullptr);  // no window was opened

  TPrintDialog print;
  ASSERT_TRUE(print.Execute());
  ASSERT_NE(print.PrinterDC(), nullptr);
  EXPECT_TRUE(print.PrintSelection);
  DeleteEnhMetaFile(CloseEnhMetaFile(print.PrinterDC()));
  print.SetPrinterDC(nullptr, false);
}

// The print dialog starts on the printer named: its device names carry it. A name that is not
// installed gives the default printer, none without printers.
TEST_F(CommonDialogsTest, PrintDialogStartsOnTheNamedPrinter) {
  HGLOBAL names = MakeDevNames(L"winspool", L"Office Laser", L"LPT1:");
  ASSERT_NE(names, nullptr);
  const auto* dn = static_cast<const DEVNAMES*>(GlobalLock(names));
  const auto* text = reinterpret_cast<const wchar_t*>(dn);
  EXPECT_STREQ(text + dn->wDriverOffset, L"winspool");
  EXPECT_STREQ(text + dn->wDeviceOffset, L"Office Laser");
  EXPECT_STREQ(text + dn->wOutputOffset, L"LPT1:");
  EXPECT_GE(dn->wDriverOffset * sizeof(wchar_t), sizeof(DEVNAMES));
  GlobalUnlock(names);
  EXPECT_EQ(DevNamesDevice(names), L"Office Laser");
  GlobalFree(names);
  EXPECT_EQ(DevNamesDevice(nullptr), L"");

  struct Case {
    std::vector<std::wstring> installed;
    const wchar_t* wanted;
    const wchar_t* start;
  };
  const Case cases[] = {
      {{L"Default Laser", L"Office"}, L"Office", L"Office"},
      {{L"Default Laser", L"Office"}, L"OFFICE", L"OFFICE"},
      {{L"Default Laser", L"Office"}, L"Gone", L"Default Laser"},
      {{L"Default Laser", L"Office"}, L"", L"Default Laser"},
      {{}, L"Office", L""},
  };
  for (const Case& c : cases) {
    TPrintDialog::TestPrinters = [&] { return c.installed; };
    EXPECT_EQ(TPrintDialog::InstalledPrinter(c.wanted), c.start) << c.wanted;
  }
  TPrintDialog::TestPrinters = nullptr;

  // The system's dialog on a printer that is not there (Wine has none) gives no printer.
  TPrintDialog print;
  print.PrinterName = L"Office";
  bool shown = false;
  TWhenShown cancel([&](HWND d) {
    shown = true;
    PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(print.Execute(Owner()));
  EXPECT_TRUE(shown);
  EXPECT_EQ(print.PrinterDC(), nullptr);
}

TEST_F(CommonDialogsTest, SystemOpenDialogCancelAndChoose) {
  TOpenDialog open;
  open.Title = L"Select log file";
  open.Filter = L"Watchdog logs|*.log|all|*.*";
  {
    TWhenShown cancel([](HWND d) { PostMessageW(d, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_FALSE(open.Execute(Owner()));
    EXPECT_EQ(open.LastError(), 0u);
  }
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring title;
  {
    TWhenShown choose([&](HWND d) {
      wchar_t buf[256];
      GetWindowTextW(d, buf, 256);
      title = buf;
      SetDlgItemTextW(d, cmb13, exe);
      SetDlgItemTextW(d, edt1, exe);
      PostMessageW(d, WM_COMMAND, IDOK, 0);
    });
    open.Options |= ofFileMustExist;
    ASSERT_TRUE(open.Execute(Owner())) << open.LastError();
  }
  EXPECT_EQ(title, L"Select log file");
  EXPECT_EQ(lstrcmpiW(open.FileName.c_str(), exe), 0) << testing::PrintToString(open.FileName);
}

TEST_F(CommonDialogsTest, SystemFindDialogReportsEachSearch) {
  TFindDialog find;
  find.SearchText = L"Harvane -";
  find.Options = 0;  // upwards
  find.Position = POINT{40, 40};
  std::vector<std::wstring> searches;
  find.OnFind = [&] { searches.push_back(find.SearchText + ((find.Options & frDown) ? L" down" : L" up")); };
  ASSERT_TRUE(find.Execute(Owner()));
  HWND d = find.Handle();
  ASSERT_NE(d, nullptr);
  RECT r{};
  GetWindowRect(d, &r);
  EXPECT_EQ(r.left, 40);
  wchar_t buf[64];
  GetDlgItemTextW(d, edt1, buf, 64);
  EXPECT_STREQ(buf, L"Harvane -");
  hvtest::SaveScreenshot(d, L"winui-find-dialog");

  SetDlgItemTextW(d, edt1, L"error");
  SendMessageW(d, WM_COMMAND, IDOK, 0);  // "Find Next"
  EXPECT_EQ(searches, std::vector<std::wstring>{L"error up"});
  SendMessageW(d, WM_COMMAND, IDCANCEL, 0);
  Application().ProcessMessages();
  EXPECT_EQ(find.Handle(), nullptr);
  EXPECT_FALSE(IsWindow(d));
}

}  // namespace
}  // namespace hv
