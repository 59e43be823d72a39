// The watchdog's monitoring, measured in one run:
//   change-to-pending: a file written in a watched folder until its name is pending (median);
//   a burst of 10,000 changed files: every name pending, then the run copies them, files per second
//   against CopyFileW of the same files;
//   100,000 and 200,000 pending names held, saved and read back (the ratio shows the growth).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/settings/IniFileUtils.h"
#include "hvwatchdog/BackupThread.h"
#include "hvwatchdog/Monitoring.h"
#include "hvwatchdog/WdSettings.h"

namespace {

using namespace hv;
using Clock = std::chrono::steady_clock;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "benchmark failed: %s (%lu)\n", what, GetLastError());
    std::exit(1);
  }
}

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

bool PumpUntil(const std::function<bool()>& done, double timeout) {
  const auto start = Clock::now();
  while (!done()) {
    if (Seconds(start, Clock::now()) > timeout) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    Pump();
  }
  return true;
}

void WriteSmall(const std::wstring& name, const std::string& data) {
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(h != INVALID_HANDLE_VALUE, "create file");
  DWORD put = 0;
  Check(WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &put, nullptr), "write file");
  CloseHandle(h);
}

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring n = fd.cFileName;
      if (n == L"." || n == L"..") continue;
      std::wstring p = dir + L"\\" + n;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(p);
      else
        DeleteFileW(p.c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

void WriteJob(const std::wstring& job, const std::wstring& src, const std::wstring& dest) {
  auto ini = TUnicodeIniFile::CreateForWrite(job, true);
  ini.WriteString(L"Global", L"Destination", dest);
  ini.WriteString(L"Global", L"DestMode", L"1");
  ini.WriteString(L"Global", L"DirCount", L"1");
  ini.WriteString(L"Dir000", L"Source", src);
  ini.WriteString(L"Dir000", L"BackupMode", L"1");  // the type list excludes: every type is admitted
  ini.UpdateFile();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void ChangeToPending(const std::wstring& work) {
  const std::wstring src = work + L"\\latency", dest = work + L"\\latency-dest", job = work + L"\\latency.buj";
  CreateDirectoryW(src.c_str(), nullptr);
  CreateDirectoryW(dest.c_str(), nullptr);
  WriteJob(job, src, dest);
  TWdMonitor m;
  m.Tasks.Add(std::make_unique<TMonTask>(job, src));
  std::wstring error;
  Check(m.StartMonitoring(error), "start monitoring");
  std::vector<double> ms;
  for (int i = 0; i < 200; ++i) {
    const size_t before = m.FileCount();
    const auto t0 = Clock::now();
    WriteSmall(src + L"\\f" + std::to_wstring(i) + L".txt", "x");
    Check(PumpUntil([&] { return m.FileCount() > before; }, 10), "change reaches the pending list");
    ms.push_back(Seconds(t0, Clock::now()) * 1000);
  }
  std::printf("change-to-pending: median %.2f ms, best %.2f ms, worst %.2f ms (200 files)\n", Median(ms),
              *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
  m.Close(false);
}

void Burst(const std::wstring& work, int files) {
  const std::wstring src = work + L"\\burst", dest = work + L"\\burst-dest", plain = work + L"\\burst-copyfile";
  const std::wstring job = work + L"\\burst.buj";
  CreateDirectoryW(src.c_str(), nullptr);
  CreateDirectoryW(dest.c_str(), nullptr);
  CreateDirectoryW(plain.c_str(), nullptr);
  WriteJob(job, src, dest);
  TWdMonitor m;
  m.Tasks.Add(std::make_unique<TMonTask>(job, src));
  int overflows = 0;
  m.OnNotice = [&](const std::wstring&) { ++overflows; };
  std::wstring error;
  Check(m.StartMonitoring(error), "start monitoring");
  const std::string data(2000, 'd');
  std::vector<std::wstring> names;
  const auto t0 = Clock::now();
  for (int i = 0; i < files; ++i) {
    const std::wstring sub = L"d" + std::to_wstring(i / 1000);
    if (i % 1000 == 0) CreateDirectoryW((src + L"\\" + sub).c_str(), nullptr);
    names.push_back(sub + L"\\f" + std::to_wstring(i) + L".dat");
    WriteSmall(src + L"\\" + names.back(), data);
    if (i % 64 == 0) Pump();
  }
  const auto t1 = Clock::now();
  const bool all = PumpUntil([&] { return m.FileCount() == static_cast<size_t>(files); }, 300);
  const auto t2 = Clock::now();
  std::printf("burst: %d files written in %.2f s; %s pending %.2f s after the last write (%d watch reports)\n", files,
              Seconds(t0, t1), all ? "all" : "NOT all", Seconds(t1, t2), overflows);
  Check(all, "every name pending");

  const auto c0 = Clock::now();
  m.RunBackup(false);
  Check(PumpUntil([&] { return !m.ReleaseDoneThreads(); }, 600), "run ends");
  const double run = Seconds(c0, Clock::now());
  // A late report of the last writes may make a name pending again: what counts is the copies.
  for (const auto& n : names)
    Check(GetFileAttributesW(BackupTargetName(dest + L"\\", L"", src + L"\\" + n, 0).c_str()) != INVALID_FILE_ATTRIBUTES,
          "every file copied");
  const size_t again = m.FileCount();

  const auto p0 = Clock::now();
  for (int d = 0; d <= (files - 1) / 1000; ++d) CreateDirectoryW((plain + L"\\d" + std::to_wstring(d)).c_str(), nullptr);
  for (const auto& n : names) Check(CopyFileW((src + L"\\" + n).c_str(), (plain + L"\\" + n).c_str(), FALSE), "CopyFileW");
  const double base = Seconds(p0, Clock::now());
  // The engine alone in the same layout, one copy at a time as the backup thread did.
  const std::wstring engine = work + L"\\burst-engine";
  CreateDirectoryW(engine.c_str(), nullptr);
  const auto e0 = Clock::now();
  {
    TCopyPool pool(1);
    for (int d = 0; d <= (files - 1) / 1000; ++d)
      CreateDirectoryW((engine + L"\\d" + std::to_wstring(d)).c_str(), nullptr);
    for (const auto& n : names) {
      TWinCopyThread t(src + L"\\" + n, engine + L"\\" + n, CopyOptions({coOverwrite, coAttributes, coTimeStamp}),
                       0x80000, kPriorityNormal);
      t.RunHere(pool);
      Check(t.ErrorCode() == 0, "engine copy");
    }
  }
  const double alone = Seconds(e0, Clock::now());
  std::printf("burst run: %.0f files/s; CopyFileW %.0f files/s; ratio %.2f (%zu pending again)\n", files / run,
              files / base, base / run, again);
  std::printf("burst, engine alone one at a time: %.0f files/s; ratio to CopyFileW %.2f\n", files / alone,
              base / alone);
  m.Close(false);
}

void PendingNames(const std::wstring& work, int count) {
  std::vector<std::wstring> names;
  std::mt19937 rng(7);
  for (int i = 0; i < count; ++i)
    names.push_back(L"folder" + std::to_wstring(rng() % 500) + L"\\file" + std::to_wstring(rng()) + L".txt");
  const std::wstring job = work + L"\\names.buj", ini = work + L"\\names.ini";
  WriteJob(job, work, work);
  TMonTaskList tasks;
  tasks.Add(std::make_unique<TMonTask>(job, work));
  const auto t0 = Clock::now();
  for (const auto& n : names) tasks[0].FileList.Add(n);
  const auto t1 = Clock::now();
  WriteWdSettings(ini, TWdSettings{}, tasks, L"HvWatchdog", L"1");
  const auto t2 = Clock::now();
  TWdSettings s;
  TMonTaskList back;
  ReadWdSettings(ini, 0, s, back);
  const auto t3 = Clock::now();
  Check(back.Count() == 1 && back[0].FileList.Count() == tasks[0].FileList.Count(), "names read back");
  std::printf("%d pending names: insert %.3f s, save %.3f s, reload %.3f s\n", count, Seconds(t0, t1),
              Seconds(t1, t2), Seconds(t2, t3));
}

}  // namespace

// wmain [work folder [parts]]: parts is any of l (change-to-pending), b (burst and run), n (pending names).
int wmain(int argc, wchar_t** argv) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring work = argc > 1 && *argv[1] ? argv[1] : std::wstring(tmp) + L"hvwatchbench-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring parts = argc > 2 ? argv[2] : L"lbn";
  auto part = [&](wchar_t c) { return parts.find(c) != std::wstring::npos; };
  while (!work.empty() && work.back() == L'\\') work.pop_back();
  CreateDirectoryW(work.c_str(), nullptr);
  if (part(L'l')) ChangeToPending(work);
  if (part(L'b')) Burst(work, 10000);
  if (part(L'n')) {
    PendingNames(work, 100000);
    PendingNames(work, 200000);
  }
  RemoveTree(work);
  return 0;
}
