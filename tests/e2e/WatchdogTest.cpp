// HvWatchdog as a process: started hidden in the tray with "/force", it copies the files changed in
// watched fixture folders as plain, .gz and .zip copies with versions, runs on "HvWatchdogForce",
// writes its daily log and shows itself from the tray icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "base/settings/IniFileUtils.h"
#include "base/text/StringUtils.h"
#include "support/TestSupport.h"
#include "support/TestWindows.h"

namespace {

using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::TSettingsKey;
using hvtest::WriteBytes;

std::wstring WindowText(HWND wnd) {
  wchar_t text[256] = L"";
  GetWindowTextW(wnd, text, 256);
  return text;
}

// A form of the watchdog whose caption holds the given text. A form gets its caption only after its
// window exists, so a form found without one may be any of them.
HWND WaitForForm(DWORD pid, bool visibleOnly, HWND skip, const std::wstring& caption) {
  return hvtest::WaitForProcessWindow(pid, L"HvForm", visibleOnly, skip, [&caption](HWND wnd) {
    return WindowText(wnd).find(caption) != std::wstring::npos;
  });
}

bool WaitFor(const std::function<bool()>& done, int seconds = 60) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

bool Exists(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A child of the window, at any depth, that shows the text.
bool HasChildText(HWND wnd, const std::wstring& text) {
  struct TSeek {
    const std::wstring& Text;
    bool Found = false;
  } seek{text};
  EnumChildWindows(
      wnd,
      [](HWND child, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<TSeek*>(lp);
        s->Found = WindowText(child) == s->Text;
        return !s->Found;
      },
      reinterpret_cast<LPARAM>(&seek));
  return seek.Found;
}

BOOL CALLBACK ClickButton(HWND wnd, LPARAM lp) {
  wchar_t text[64];
  GetWindowTextW(wnd, text, 64);
  if (lstrcmpW(text, reinterpret_cast<const wchar_t*>(lp)) == 0) {
    PostMessageW(wnd, BM_CLICK, 0, 0);
    return FALSE;
  }
  return TRUE;
}

TEST(WatchdogTest, MonitorsCopiesWithVersionsRunsOnRequestAndShowsFromTheTray) {
  TempDir tmp;
  const std::wstring settings = tmp / L"settings", logs = tmp / L"logs";
  CreateDirectoryW(settings.c_str(), nullptr);
  CreateDirectoryW(logs.c_str(), nullptr);
  {
    auto main = hv::TUnicodeIniFile::CreateForWrite(settings + L"\\Harvane.ini", true);
    main.WriteString(L"Config", L"ProtDir", logs);
    main.UpdateFile();
  }
  const wchar_t* modes[] = {L"plain", L"gzip", L"zip"};
  const wchar_t* suffix[] = {L"", L".gz", L".zip"};
  std::wstring src[3], dest[3];
  auto ini = hv::TUnicodeIniFile::CreateForWrite(settings + L"\\HvWatchdog.ini", true);
  ini.WriteString(L"Config", L"Interval", L"5");
  ini.WriteString(L"Config", L"WriteLog", L"1");
  ini.WriteString(L"Config", L"Count", L"3");
  for (int i = 0; i < 3; ++i) {
    src[i] = tmp / (std::wstring(L"src-") + modes[i]);
    dest[i] = tmp / (std::wstring(L"dest-") + modes[i]);
    CreateDirectoryW(src[i].c_str(), nullptr);
    CreateDirectoryW(dest[i].c_str(), nullptr);
    const std::wstring job = tmp / (std::wstring(modes[i]) + L".buj");
    auto j = hv::TUnicodeIniFile::CreateForWrite(job, true);
    j.WriteString(L"Global", L"Destination", dest[i]);
    j.WriteString(L"Global", L"DestMode", L"1");
    j.WriteString(L"Global", L"DirCount", L"1");
    j.WriteString(L"Global", L"Compress", i > 0 ? L"1" : L"0");
    j.WriteString(L"Global", L"CompressAsZip", i == 2 ? L"1" : L"0");
    j.WriteString(L"Dir000", L"Source", src[i]);
    j.WriteString(L"Dir000", L"BackupMode", L"1");
    j.UpdateFile();
    const std::wstring section = L"Monitor0" + std::to_wstring(i);
    ini.WriteString(section, L"BackupTask", job);
    ini.WriteString(section, L"Directory", src[i]);
    ini.WriteString(section, L"RetainBak", L"2");
  }
  ini.UpdateFile();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteBytes(src[i] + L"\\old.txt", "before the start"));

  TSettingsKey key(settings);
  const std::wstring exe = hvtest::BinaryDir() + L"\\bin\\HvWatchdog.exe";
  std::wstring cmd = L"\"" + exe + L"\" /lang:en /force /hide";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  struct TEnd {
    PROCESS_INFORMATION& Pi;
    ~TEnd() {
      TerminateProcess(Pi.hProcess, 0);
      WaitForSingleObject(Pi.hProcess, 10000);
      CloseHandle(Pi.hProcess);
      CloseHandle(Pi.hThread);
    }
  } end{pi};

  // Started hidden: the main window exists but is not shown; the start screen shows for a while.
  const HWND main = WaitForForm(pi.dwProcessId, false, nullptr, L"File change monitoring with direct backup");
  ASSERT_NE(main, nullptr) << hv::WideToUtf8(hvtest::ProcessWindowsText(pi.dwProcessId));
  const HWND start = WaitForForm(pi.dwProcessId, false, nullptr, L"StartScreen");
  ASSERT_NE(start, nullptr);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(start); }));
  EXPECT_FALSE(IsWindowVisible(main));

  // Files changed in the watched folders are copied after the interval of 5 seconds.
  auto target = [&](int i, const std::wstring& name) { return dest[i] + src[i].substr(2) + L"\\" + name + suffix[i]; };
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteBytes(src[i] + L"\\a.txt", "version 1"));
  ASSERT_TRUE(WaitFor([&] { return Exists(target(0, L"a.txt")) && Exists(target(1, L"a.txt")) && Exists(target(2, L"a.txt")); }));
  EXPECT_EQ(ReadBytes(target(0, L"a.txt")), "version 1");
  EXPECT_EQ(ReadBytes(target(1, L"a.txt")).substr(0, 2), "\x1F\x8B");
  EXPECT_EQ(ReadBytes(target(2, L"a.txt")).substr(0, 2), "PK");
  // A file that did not change is not copied.
  EXPECT_FALSE(Exists(target(0, L"old.txt")));

  // Changed again and a run requested through the registered message: the older copy becomes .bak-1.
  // The request goes out once the main window counts the three changes: a run asked for before
  // that finds nothing to copy.
  Sleep(1200);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteBytes(src[i] + L"\\a.txt", "version 2"));
  auto renamed = [&] {
    return Exists(target(0, L"a.bak-1.txt")) && Exists(target(1, L"a.bak-1.txt")) && Exists(target(2, L"a.bak-1.txt"));
  };
  ASSERT_TRUE(WaitFor([&] { return HasChildText(main, L"3 files") || renamed(); }));
  const UINT force = RegisterWindowMessageW(L"HvWatchdogForce");
  PostMessageW(main, force, 1, 0);
  ASSERT_TRUE(WaitFor([&] { return Exists(target(2, L"a.bak-1.txt")); }, 4));
  ASSERT_TRUE(WaitFor(renamed));
  EXPECT_EQ(ReadBytes(target(0, L"a.txt")), "version 2");
  EXPECT_EQ(ReadBytes(target(0, L"a.bak-1.txt")), "version 1");

  // The daily log: a byte-order mark, a header per run, a line per copied file.
  SYSTEMTIME st;
  GetLocalTime(&st);
  wchar_t logName[64];
  swprintf(logName, 64, L"\\HvWatchdog %.4u-%.2u-%.2u.log", st.wYear, st.wMonth, st.wDay);
  // Both runs are logged, the first one after the start included; each copy has its line, with the
  // versions renamed for the second one.
  auto copyLine = [&](int i, bool renamed) {
    return L"   => 0" + std::to_wstring(i + 1) + L": " + src[i] + L"\\a.txt => " + dest[i] + L"\\" +
           (renamed ? L" (+1)" : L"") + L" (" + modes[i] + L".buj)\r\n";
  };
  std::string log;
  std::wstring text;
  const bool complete = WaitFor([&] {
    log = ReadBytes(logs + logName);
    text = log.size() >= 3 ? hv::Utf8ToWide(log.substr(3)) : L"";
    for (int i = 0; i < 3; ++i)
      if (text.find(copyLine(i, false)) == std::wstring::npos || text.find(copyLine(i, true)) == std::wstring::npos)
        return false;
    return true;
  });
  EXPECT_TRUE(complete) << text;
  ASSERT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
  const std::wregex header(L"(^|\r\n)[^\r\n]+  ==> (1 file|[0-9]+ files) need to be backed up\r\n");
  EXPECT_GE(std::distance(std::wsregex_iterator(text.begin(), text.end(), header), std::wsregex_iterator()), 2)
      << text;

  // A click on the tray icon opens the status pop-up; "Edit monitoring" shows the main window.
  PostMessageW(main, WM_USER + 1, 2, WM_LBUTTONDOWN);
  const HWND popup = WaitForForm(pi.dwProcessId, true, main, L"HvWatchdog");
  ASSERT_NE(popup, nullptr) << hv::WideToUtf8(hvtest::ProcessWindowsText(pi.dwProcessId));
  EnumChildWindows(popup, ClickButton, reinterpret_cast<LPARAM>(L"Edit monitoring"));
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));

  // Closing keeps it running in the tray ("/hide"), with its settings saved.
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  auto saved = hv::TUnicodeIniFile::CreateForRead(settings + L"\\HvWatchdog.ini");
  EXPECT_EQ(saved.ReadInteger(L"Config", L"Count", 0), 3);
  EXPECT_EQ(saved.ReadString(L"Monitor01", L"Directory", L""), src[1]);
}

}  // namespace
