#include "hvwatchdog/WdSettings.h"

#include <algorithm>

#include "base/settings/IniFileUtils.h"
#include "hvwatchdog/copy/FilePropUtils.h"

namespace hv {

namespace {

const wchar_t kConfig[] = L"Config";

std::wstring MonitorSection(size_t i) {
  wchar_t buf[16];
  swprintf(buf, std::size(buf), L"Monitor%.2u", static_cast<unsigned>(i));
  return buf;
}

std::wstring FileKey(size_t j) {
  wchar_t buf[16];
  swprintf(buf, std::size(buf), L"File%.3u", static_cast<unsigned>(j));
  return buf;
}

}  // namespace

void ReadWdSettings(std::wstring_view iniName, int minHeight, TWdSettings& s, TMonTaskList& tasks) {
  auto ini = TUnicodeIniFile::CreateForRead(iniName);
  s.Top = ini.ReadInteger(kConfig, L"Top", s.Top);
  s.Left = ini.ReadInteger(kConfig, L"Left", s.Left);
  s.Height = std::max(ini.ReadInteger(kConfig, L"Height", s.Height), minHeight);
  s.Width = ini.ReadInteger(kConfig, L"Width", s.Width);
  s.JobDir = ini.ReadString(kConfig, L"JobDir", s.JobDir);
  s.Interval = ini.ReadInteger(kConfig, L"Interval", 1800);
  s.SysTray = ini.ReadBool(kConfig, L"SysTray", false);
  s.WriteLog = ini.ReadBool(kConfig, L"WriteLog", false);
  const int count = std::clamp(ini.ReadInteger(kConfig, L"Count", 0), 0, static_cast<int>(kMaxMonTasks));
  for (int i = 0; i < count; ++i) {
    const std::wstring section = MonitorSection(static_cast<size_t>(i));
    const std::wstring job = ini.ReadString(section, L"BackupTask", L"");
    if (job.empty() || !FileExistsXL(job, true)) continue;
    auto task = std::make_unique<TMonTask>(job, ini.ReadString(section, L"Directory", L""));
    task->RetainBak = std::clamp(ini.ReadInteger(section, L"RetainBak", 0), 0, 9);
    task->MonStatus = ini.ReadBool(section, L"Enabled", true) ? TMonTaskStatus::mtEnabled : TMonTaskStatus::mtDisabled;
    // One pass over the section: long lists of pending names stay linear.
    const int files = std::max(ini.ReadInteger(section, L"Count", 0), 0);
    for (const auto& [key, value] : ini.ReadSectionValues(section)) {
      if (value.empty() || key.size() < 5 || _wcsnicmp(key.c_str(), L"File", 4) != 0) continue;
      wchar_t* end = nullptr;
      const long j = wcstol(key.c_str() + 4, &end, 10);
      if (*end == 0 && j >= 0 && j < files) task->FileList.Add(value);
    }
    tasks.Add(std::move(task));
  }
}

void WriteWdSettings(std::wstring_view iniName, const TWdSettings& s, const TMonTaskList& tasks,
                     std::wstring_view program, std::wstring_view version) {
  auto ini = TUnicodeIniFile::CreateForWrite(iniName, false);
  ini.EraseSection(L"Global");
  ini.WriteProgramInfo(L"Program", program);
  ini.WriteProgramInfo(L"Version", version);
  ini.WriteInteger(kConfig, L"Top", s.Top);
  ini.WriteInteger(kConfig, L"Left", s.Left);
  ini.WriteInteger(kConfig, L"Height", s.Height);
  ini.WriteInteger(kConfig, L"Width", s.Width);
  ini.WriteString(kConfig, L"JobDir", s.JobDir);
  ini.WriteInteger(kConfig, L"Interval", s.Interval);
  ini.WriteBool(kConfig, L"SysTray", s.SysTray);
  ini.WriteBool(kConfig, L"WriteLog", s.WriteLog);
  const size_t count = std::min(tasks.Count(), kMaxMonTasks);
  ini.WriteInteger(kConfig, L"Count", static_cast<int>(tasks.Count()));
  for (size_t i = 0; i < kMaxMonTasks; ++i) {
    const std::wstring section = MonitorSection(i);
    ini.EraseSection(section);
    if (i >= count) continue;
    const TMonTask& t = tasks[i];
    std::vector<std::pair<std::wstring, std::wstring>> values;
    values.reserve(t.FileList.Count() + 5);
    values.emplace_back(L"BackupTask", t.BuTask);
    values.emplace_back(L"Directory", t.Dir);
    values.emplace_back(L"RetainBak", std::to_wstring(t.RetainBak));
    values.emplace_back(L"Enabled", t.MonStatus == TMonTaskStatus::mtEnabled ? L"1" : L"0");
    values.emplace_back(L"Count", std::to_wstring(t.FileList.Count()));
    size_t j = 0;
    for (const auto& name : t.FileList) values.emplace_back(FileKey(j++), name);
    ini.WriteSectionValues(section, values);
  }
  ini.UpdateFile();
}

}  // namespace hv
