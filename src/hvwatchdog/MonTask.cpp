#include "hvwatchdog/MonTask.h"

#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "hvwatchdog/BackupThread.h"
#include "hvwatchdog/copy/FilePropUtils.h"
#include "winui/Translate.h"

namespace hv {

namespace {

std::wstring DirSection(int i) {
  wchar_t buf[16];
  swprintf(buf, std::size(buf), L"Dir%.3d", i);
  return buf;
}

std::wstring RemoveHourPlaceholders(std::wstring s) {
  for (size_t p; (p = TextPos(L"%hour%", s)) != std::wstring::npos;) s.erase(p, 6);
  return s;
}

}  // namespace

TMonTask::TMonTask(std::wstring_view buTask, std::wstring_view dir) : BuTask(buTask), Dir(dir) {}

TMonTask::~TMonTask() = default;

int TMonTask::GetRunStatus() const {
  if (!DirWatch || !DirWatch->Running()) return 0;
  return BuThread ? 2 : 1;
}

bool HasPlaceholders(std::wstring_view destination) {
  const std::wstring dest = AddPathDelimiter(destination);
  if (!MatchesMask(dest, L"*%*%*")) return false;
  return MatchesMask(RemoveHourPlaceholders(dest), L"*%*%*");
}

int CheckTaskFile(std::wstring_view fileName, std::vector<std::pair<std::wstring, int>>* sources) {
  if (!FileExistsXL(fileName, true)) return 2;
  try {
    auto ini = TUnicodeIniFile::CreateForRead(fileName);
    bool usable = !ini.ReadBool(L"Global", L"FtpBackup", false) && ini.ReadInteger(L"Global", L"DestMode", 0) <= 1 &&
                  ini.ReadInteger(L"Global", L"Encrypt", 0) == 0;
    if (usable && HasPlaceholders(ini.ReadString(L"Global", L"Destination", L""))) usable = false;
    if (usable && sources) {
      const int count = ini.ReadInteger(L"Global", L"DirCount", 0);
      if (count == 0) usable = false;
      for (int i = 0; i < count; ++i) {
        const std::wstring section = DirSection(i);
        if (!ini.SectionExists(section)) continue;
        std::wstring src = ini.ReadString(section, L"Source", L"");
        if (!src.empty() && IsDirectory(src)) sources->emplace_back(src, i);
      }
    }
    return usable ? 0 : 1;
  } catch (const std::exception&) {
    return 3;
  }
}

std::wstring TaskConditionsText(std::wstring_view fileName) {
  return SafeFormat(_(L"The backup task \"%s\" has invalid settings!"), fileName) + L"\r\n" +
         _(L"The following conditions must be met for HvWatchdog:") + L"\r\n" + _(L"Backup method") + L": " +
         _(L"Separate files") + L" - " + _(L"Separate directories for drives") + L"\r\n" + _(L"or") + L" " +
         _(L"Original full directory structure") + L", " + _(L"no FTP, no encryption, no placeholders");
}

int LoadTaskSettings(TMonTask& task, const TTaskDefaults& defaults, const TLogLine& log) {
  auto fail = [&](const std::wstring& line) {
    if (log) log(line);
    task.MonStatus = TMonTaskStatus::mtInvalid;
    return 2;
  };
  try {
    auto ini = TUnicodeIniFile::CreateForRead(task.BuTask);
    const int count = ini.ReadInteger(L"Global", L"DirCount", 0);
    int k = -1;
    for (int i = 0; i < count && k < 0; ++i) {
      const std::wstring section = DirSection(i);
      if (ini.SectionExists(section) && SameFileName(ini.ReadString(section, L"Source", L""), task.Dir)) k = i;
    }
    if (k < 0) return fail(SafeFormat(_(L"Directory \"%s\" not specified in %s!"), task.Dir, task.BuTask));
    if (!IsDirectory(task.Dir)) return fail(SafeFormat(_(L"Directory \"%s\" not found!"), task.Dir));

    task.DestDir = AddPathDelimiter(ini.ReadString(L"Global", L"Destination", L""));
    task.DestMode = ini.ReadInteger(L"Global", L"DestMode", 0);
    task.DrvId = task.DestMode != 0 ? L"" : ini.ReadString(L"Global", L"DriveId", defaults.DriveId);
    if (!ini.ReadBool(L"Global", L"Compress", false))
      task.Compress = 0;
    else
      task.Compress = ini.ReadBool(L"Global", L"CompressAsZip", false) ? 2 : 1;
    const std::wstring noComp = ini.ReadString(L"Global", L"NoCompTypes", L"");
    task.NoCompCommaText = noComp == L"#" ? L"" : (noComp.empty() ? defaults.NoCompress : noComp);

    const std::wstring section = DirSection(k);
    TMonFilter& f = task.MonFilter;
    f.FileFilter.SetRegular(ini.ReadBool(section, L"Regular", false));
    const int mode = ini.ReadInteger(section, L"FilterMode", 0) & 0xFF;
    f.FileFilter.SetMode(mode == 0 ? TFilterMode::fmOff : (mode == 2 ? TFilterMode::fmExclude : TFilterMode::fmInclude));
    std::wstring filter = ini.ReadString(section, L"Filter", f.FileFilter.MatchAll());
    for (size_t p; (p = filter.find(L"*.*")) != std::wstring::npos;) filter.replace(p, 3, f.FileFilter.MatchAll());
    try {
      f.FileFilter.SetFilter(filter);
    } catch (const EFilterError&) {
    }
    if (!f.FileFilter.Regular() && f.FileFilter.Filter() == L"*") f.FileFilter.SetMode(TFilterMode::fmOff);

    f.IncludeExts = ini.ReadInteger(section, L"BackupMode", 0) == 0;
    f.ExtList.SetCommaText(ini.ReadString(section, f.IncludeExts ? L"Include" : L"Exclude", L""));
    f.IncludeSubDirs = ini.ReadBool(section, L"IncludeDirs", false);

    const int subCount = ini.ReadInteger(section, L"SubCount", 0);
    if (subCount > 0) {
      f.SubDirList.Clear();
      for (int j = 0; j < subCount; ++j) {
        wchar_t key[16];
        swprintf(key, std::size(key), L"SubDir%.3d", j);
        std::wstring sub = ini.ReadString(section, key, L"");
        if (sub.size() >= 2 && sub.front() == L'"' && sub.back() == L'"') sub = sub.substr(1, sub.size() - 2);
        if (!sub.empty() && !IsAbsolutePath(sub)) f.SubDirList.Add(sub);
      }
    }

    const std::wstring dirFilter = ini.ReadString(section, L"DirFilter", L"");
    f.SubDirFilter.SetRegular(false);
    if (dirFilter.empty()) {
      f.SubDirFilter.SetMode(TFilterMode::fmOff);
    } else {
      std::wstring text = dirFilter;
      if (dirFilter[0] == L'#') {
        text = dirFilter.substr(1);
        f.SubDirFilter.SetRegular(dirFilter.size() > 1 && dirFilter[1] != L'#');
      }
      for (auto& c : text)
        if (c == L',') c = L'|';
      f.SubDirFilter.SetMode(TFilterMode::fmInclude);
      try {
        f.SubDirFilter.SetFilter(text);
      } catch (const EFilterError&) {
      }
    }
    return 0;
  } catch (const Exception& e) {
    return fail(task.BuTask + L": " + e.Message());
  } catch (const std::exception& e) {
    return fail(task.BuTask + L": " + Utf8ToWide(e.what()));
  }
}

TMonTaskList::TAddResult TMonTaskList::Add(std::unique_ptr<TMonTask> task) {
  for (const auto& t : FItems)
    if (SameFileName(t->BuTask, task->BuTask) && IsSameDir(t->Dir, task->Dir)) return arDuplicate;
  if (FItems.size() >= kMaxMonTasks) return arFull;
  FItems.push_back(std::move(task));
  return arAdded;
}

std::wstring TMonTaskList::RefusedText(TAddResult result, const TMonTask& task) {
  if (result == arDuplicate)
    return SafeFormat(_(L"The directory \"%s\" of the backup task \"%s\" is already monitored!"), task.Dir,
                      task.BuTask);
  if (result == arFull)
    return SafeFormat(_(L"No more than %u directories can be monitored!"), static_cast<unsigned>(kMaxMonTasks));
  return {};
}

void TMonTaskList::Remove(size_t index) {
  if (index < FItems.size()) FItems.erase(FItems.begin() + static_cast<ptrdiff_t>(index));
}

std::wstring TMonTaskList::ItemText(size_t index, const TMonTask& task) {
  wchar_t buf[16];
  swprintf(buf, std::size(buf), L"%.2u: ", static_cast<unsigned>(index + 1));
  return buf + task.Dir;
}

}  // namespace hv
