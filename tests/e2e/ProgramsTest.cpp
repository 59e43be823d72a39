// The three programs started as processes: main window, caption, language, style, clean end.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "QlFixture.h"
#include "base/os/WinApiUtils.h"
#include "support/TestSupport.h"
#include "support/TestWindows.h"
#include "winui/TestHooks.h"

namespace {

namespace fs = std::filesystem;

std::wstring BinDir() { return hvtest::BinaryDir() + L"\\bin"; }

class TProgram {
 public:
  TProgram(const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    FStarted = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &FPi);
  }
  ~TProgram() {
    if (!FStarted) return;
    if (WaitForSingleObject(FPi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(FPi.hProcess, 99);
    CloseHandle(FPi.hProcess);
    CloseHandle(FPi.hThread);
  }
  bool Started() const { return FStarted; }
  DWORD Pid() const { return FPi.dwProcessId; }
  HANDLE Process() const { return FPi.hProcess; }
  // The program's visible main window once it waits for input; null when it does not get there
  // within 30 s. A program can wait for input before its main window shows, so it is waited for.
  HWND MainWindow() {
    if (!FStarted || WaitForInputIdle(FPi.hProcess, 30000) != 0) return nullptr;
    return hvtest::WaitForProcessWindow(FPi.dwProcessId);
  }
  // Closes the window like the user does and waits for the program to end; its exit code
  // (hvtest::kCrashed after an unhandled exception).
  DWORD CloseAndWait(HWND wnd) {
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    return hvtest::WaitForExit(FPi.hProcess, FPi.dwProcessId);
  }

 private:
  PROCESS_INFORMATION FPi{};
  bool FStarted = false;
};

std::wstring WindowText(HWND wnd) {
  wchar_t buf[512];
  int n = GetWindowTextW(wnd, buf, 512);
  return std::wstring(buf, static_cast<size_t>(n));
}

// "x.y.z" of the program file's version resource.
std::wstring Version3(const std::wstring& exe) {
  hv::TFileVersionInfo info;
  EXPECT_TRUE(hv::ReadFileVersionInfo(exe, info));
  std::wstring v = info.Version;
  return v.substr(0, v.rfind(L'.'));
}

// Runs a program, checks its caption, saves a screenshot and closes it; the window's client
// colour at its top-left corner.
COLORREF RunAndClose(const std::wstring& exe, const std::wstring& args, const std::wstring& caption,
                     const std::wstring& shot) {
  TProgram p(exe, args);
  EXPECT_TRUE(p.Started()) << testing::PrintToString(exe);
  HWND wnd = p.MainWindow();
  EXPECT_TRUE(wnd) << testing::PrintToString(exe + L" " + args);
  if (!wnd) return CLR_INVALID;
  EXPECT_EQ(WindowText(wnd), caption);
  if (!shot.empty()) {
    EXPECT_TRUE(hvtest::SaveScreenshot(wnd, shot));
  }
  POINT pt{5, 5};
  ClientToScreen(wnd, &pt);
  HDC dc = GetDC(nullptr);
  COLORREF c = 0;
  for (int i = 0; i < 600 && (c == 0 || c == CLR_INVALID); ++i) {  // until the window has painted
    Sleep(50);
    c = GetPixel(dc, pt.x, pt.y);
  }
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(p.CloseAndWait(wnd), 0u) << testing::PrintToString(exe);
  return c;
}

const std::wstring kWatchdogTitle = L"File change monitoring with direct backup";

TEST(ProgramsTest, EachProgramShowsItsMainWindowAndEndsCleanly) {
  qle2e::TThunderbirdInstall tb(L"single");
  struct Case {
    std::wstring Exe, Caption;
  } cases[] = {
      {L"QlBackup", L"QlBackup (Version %v)"},
      {L"HvStarter", L"HvStarter (Version %v)"},
      {L"HvWatchdog", kWatchdogTitle + L" (HvWatchdog - 64-bit Version %v)"},
  };
  for (const auto& c : cases) {
    std::wstring exe = BinDir() + L"\\" + c.Exe + L".exe";
    std::wstring caption = c.Caption;
    caption.replace(caption.find(L"%v"), 2, Version3(exe));
    RunAndClose(exe, L"/lang:en", caption, L"main-" + c.Exe);
  }
}

TEST(ProgramsTest, LanguageFromOptionOrCfgFile) {
  qle2e::TThunderbirdInstall tb(L"single");
  // A copy of the programs with the test catalogues ("xx") beside them.
  hvtest::TempDir dir;
  fs::path from(hvtest::BinaryDir() + L"\\fixtures\\locale"), to(dir.Path() + L"\\locale");
  fs::copy(from, to, fs::copy_options::recursive);
  for (const wchar_t* exe : {L"QlBackup.exe", L"HvWatchdog.exe", L"Harvane.exe"})
    fs::copy_file(fs::path(BinDir()) / exe, fs::path(dir.Path()) / exe);
  std::wstring ql = dir / L"QlBackup.exe", wd = dir / L"HvWatchdog.exe";

  RunAndClose(ql, L"/lang:xx", L"QlBackup (Fassung " + Version3(ql) + L")", L"");
  RunAndClose(wd, L"-L:xx", L"Wachhund (HvWatchdog - 64-bit Fassung " + Version3(wd) + L")", L"");
  // /portable takes Harvane.cfg from the program's folder; its LangID chooses the language.
  hvtest::WriteBytes(dir / L"Harvane.cfg", "[Language]\r\nLangID=xx\r\n");
  RunAndClose(ql, L"/portable", L"QlBackup (Fassung " + Version3(ql) + L")", L"");
  // No catalogue of the language: English.
  RunAndClose(ql, L"/lang:fr", L"QlBackup (Version " + Version3(ql) + L")", L"");
}

TEST(ProgramsTest, GermanCataloguesAreBuiltBesideThePrograms) {
  std::wstring wd = BinDir() + L"\\HvWatchdog.exe";
  RunAndClose(wd, L"/lang:de-DE",
              L"Datei\u00e4nderungs\u00fcberwachung mit direkter Sicherung (HvWatchdog - 64-bit Version " +
                  Version3(wd) + L")",
              L"main-HvWatchdog-de");
}

TEST(ProgramsTest, DarkOptionSwitchesTheColourScheme) {
  std::wstring exe = BinDir() + L"\\HvStarter.exe";
  std::wstring caption = L"HvStarter (Version " + Version3(exe) + L")";
  COLORREF light = RunAndClose(exe, L"/lang:en", caption, L"");
  COLORREF dark = RunAndClose(exe, L"/lang:en /dark", caption, L"main-HvStarter-dark");
  ASSERT_NE(light, CLR_INVALID);
  ASSERT_NE(dark, CLR_INVALID);
  EXPECT_GT(GetRValue(light) + GetGValue(light) + GetBValue(light), 3 * 0x80);
  EXPECT_LT(GetRValue(dark) + GetGValue(dark) + GetBValue(dark), 3 * 0x60);
}

}  // namespace

namespace {

// The button with the text on the row of the edit whose text holds part.
HWND ButtonBesideEdit(HWND wnd, const std::wstring& part, const wchar_t* text) {
  struct TSearch {
    const std::wstring& Part;
    const wchar_t* Text;
    RECT Row{};
    HWND Button = nullptr;
  } s{part, text};
  auto each = [](HWND parent, WNDENUMPROC proc, TSearch& s) { EnumChildWindows(parent, proc, reinterpret_cast<LPARAM>(&s)); };
  each(wnd, [](HWND child, LPARAM lp) -> BOOL {
    auto& s = *reinterpret_cast<TSearch*>(lp);
    wchar_t cls[32], t[MAX_PATH];
    if (GetClassNameW(child, cls, 32) && lstrcmpiW(cls, L"Edit") == 0 &&
        SendMessageW(child, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(t)) > 0 &&
        std::wstring(t).find(s.Part) != std::wstring::npos)
      GetWindowRect(child, &s.Row);
    return TRUE;
  }, s);
  each(wnd, [](HWND child, LPARAM lp) -> BOOL {
    auto& s = *reinterpret_cast<TSearch*>(lp);
    wchar_t cls[32], t[64];
    RECT r{};
    GetWindowRect(child, &r);
    const LONG middle = (r.top + r.bottom) / 2;
    if (GetClassNameW(child, cls, 32) && lstrcmpiW(cls, L"Button") == 0 && GetWindowTextW(child, t, 64) &&
        lstrcmpW(t, s.Text) == 0 && middle > s.Row.top && middle < s.Row.bottom) {
      s.Button = child;
      return FALSE;
    }
    return TRUE;
  }, s);
  return s.Button;
}

// The directory dialog is kept until the program ends: opened and cancelled, in English and German,
// the program still ends with 0.
TEST(ProgramsTest, QlBackupEndsCleanlyAfterItsDirectoryDialog) {
  qle2e::TThunderbirdInstall tb(L"single");
  const std::pair<std::wstring, std::wstring> cases[] = {{L"en", L"Select destination directory"},
                                                         {L"de", L"Zielverzeichnis ausw\u00e4hlen"}};
  for (const auto& [lang, title] : cases) {
    SCOPED_TRACE(testing::PrintToString(lang));
    TProgram p(BinDir() + L"\\QlBackup.exe", L"/lang:" + lang);
    const HWND wnd = p.MainWindow();
    ASSERT_TRUE(wnd);
    HWND dest = nullptr;  // once the edits are filled
    for (int i = 0; i < 400 && !dest; ++i, Sleep(50)) dest = ButtonBesideEdit(wnd, L".e2e-backup", L"...");
    ASSERT_TRUE(dest) << testing::PrintToString(hvtest::ProcessWindowsText(p.Pid()));
    PostMessageW(dest, BM_CLICK, 0, 0);
    const HWND dialog = hvtest::WaitForCaption(p.Pid(), title, p.Process());
    ASSERT_TRUE(dialog) << testing::PrintToString(hvtest::ProcessWindowsText(p.Pid()));
    EXPECT_TRUE(hvtest::SaveScreenshot(dialog, L"e2e-QlBackup-dirdialog-" + lang));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(hvtest::WaitHidden(dialog, p.Process()));
    EXPECT_EQ(p.CloseAndWait(wnd), 0u);
  }
}

}  // namespace
