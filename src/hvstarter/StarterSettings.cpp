#include "hvstarter/StarterSettings.h"

#include <windows.h>

#include "base/app/InitProg.h"
#include "base/security/Crypt.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv::hvstarter {
namespace {

constexpr std::wstring_view kConfig = L"Config", kMail = L"Mail";

bool FileExists(const std::wstring& name) {
  const DWORD attr = GetFileAttributesW(name.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring TwoDigits(int i) { return i < 10 ? L"0" + std::to_wstring(i) : std::to_wstring(i); }

// An integer up to the first blank, 1 when it is not a number.
int LeadingInt(std::wstring_view s) {
  const std::wstring t(s.substr(0, s.find(L' ')));
  if (t.empty()) return 1;
  size_t pos = 0;
  try {
    const int v = std::stoi(t, &pos);
    return pos == t.size() ? v : 1;
  } catch (...) {
    return 1;
  }
}

}  // namespace

void TTaskProperties::Reset() {
  User.clear();
  Pwd.clear();
  AltLogDir.clear();
  PwdPrompt = true;
  NoSplash = PlaySound = ParProc = RunAs = false;
  Delay = 5;
  StartDelay = 0;
  Status = 1;
  Tasks.clear();
}

int TTaskProperties::AddTask(std::wstring_view file, bool checked) {
  TTaskEntry e;
  e.File = file;
  e.Checked = checked;
  Tasks.push_back(std::move(e));
  return static_cast<int>(Tasks.size()) - 1;
}

int TTaskProperties::CheckedCount() const {
  int n = 0;
  for (const auto& t : Tasks) n += t.Checked ? 1 : 0;
  return n;
}

TTaskProperties* FindGroup(const TGroupList& groups, std::wstring_view name) {
  for (const auto& g : groups)
    if (CompareStringOrdinal(g->Desc.data(), static_cast<int>(g->Desc.size()), name.data(),
                             static_cast<int>(name.size()), TRUE) == CSTR_EQUAL)
      return g.get();
  return nullptr;
}

TStarterOptions ParseStarterCommandLine(const std::vector<std::wstring>& args) {
  TStarterOptions o;
  for (const auto& arg : args) {
    if (!arg.empty() && (arg[0] == L'/' || arg[0] == L'-')) {
      std::wstring s = arg.substr(1);
      if (MatchOption(s, L"force")) o.Force = true;
      else if (MatchOption(s, L"term")) o.TermProgs = true;
      else if (MatchOptionValue(s, L"logmode")) o.WriteLog = LeadingInt(s) != 0;
      else if (MatchOption(s, L"prompt")) o.ActPrompt = true;
      else if (MatchOption(s, L"lockscreen")) o.LockScreen = true;
      else if (MatchOption(s, L"dark")) o.UseDarkMode = true;
      else if (MatchOptionValue(s, L"end")) {
        if (s.empty()) continue;
        if (MatchOption(s, L"shutdown")) o.LogOffMode = TDownMode::dmShutdown;
        else if (MatchOption(s, L"lockdown")) {
          o.LogOffMode = TDownMode::dmShutdown;
          o.LockScreen = true;
        } else if (MatchOption(s, L"logoff")) o.LogOffMode = TDownMode::dmLogOff;
        else if (MatchOption(s, L"restart")) o.LogOffMode = TDownMode::dmRestart;
        else if (MatchOption(s, L"poweroff")) o.LogOffMode = TDownMode::dmPowerOff;
      } else if (MatchOptionValue(s, L"suspend")) {
        if (s.empty()) continue;
        if (MatchOption(s, L"standby")) o.SuspendMode = TSuspendMode::smStandby;
        else if (MatchOption(s, L"hibernate")) o.SuspendMode = TSuspendMode::smHibernate;
      } else if (MatchOptionValue(s, L"ini")) o.IniOption = s;
    } else {
      if (o.LastTask.empty()) o.LastTask = arg;
      o.ConfigList += (o.ConfigList.empty() ? L"" : L",") + arg;
      o.Groups.push_back(arg);
    }
  }
  return o;
}

void ResolveIniOption(std::wstring_view value, std::wstring_view appPath, std::wstring_view programName,
                      std::wstring& iniName, std::wstring& aIniPath) {
  std::wstring v(value);
  aIniPath.clear();
  if (!v.empty() && (v[0] == L'\\' || v.find(L':') != std::wstring::npos)) {
    v = ExpandPath(v);
    if (v.back() == L'\\' || GetExtension(v).empty()) v = AddPath(v, std::wstring(programName) + L".ini");
    iniName = v;
    aIniPath = ExtractFilePath(v);
  } else {
    if (GetExtension(v).empty()) v += L".ini";
    iniName = AddPath(appPath, v);
  }
}

void ReadMailSettings(const TMemIniFile& ini, TMailData& m) {
  m = TMailData::DefaultValues();
  m.Server = ini.ReadString(kMail, L"SMTP", L"");
  m.Port = ini.ReadInteger(kMail, L"Port", 25);
  m.Username = ini.ReadString(kMail, L"Username", L"");
  m.Password = DecryptPassword(ini.ReadString(kMail, L"Password", L""));
  m.Sender = ini.ReadString(kMail, L"Sender", L"HvStarter");
  m.ReplyTo = ini.ReadString(kMail, L"ReplyTo", L"");
  m.Recipients = ini.ReadString(kMail, L"Recipients", L"");
  m.Subject = ini.ReadString(kMail, L"Subject", _(L"HvStarter error report"));
  const int sec = ini.ReadInteger(kMail, L"UseTLS", 0);
  m.SecureMode = sec >= 0 && sec <= 3 ? static_cast<TSecTransfer>(sec) : TSecTransfer::stNone;
  m.Enabled = ini.ReadBool(kMail, L"Enabled", false) && !m.Server.empty() && !m.Recipients.empty();
}

void WriteMailSettings(TMemIniFile& ini, const TMailData& m) {
  ini.EraseSection(kMail);
  ini.WriteString(kMail, L"SMTP", m.Server);
  ini.WriteInteger(kMail, L"Port", m.Port);
  ini.WriteString(kMail, L"Username", m.Username);
  ini.WriteString(kMail, L"Password", m.Password.empty() ? L"" : EncryptPassword(m.Password));
  ini.WriteString(kMail, L"Sender", m.Sender);
  ini.WriteString(kMail, L"ReplyTo", m.ReplyTo);
  ini.WriteString(kMail, L"Recipients", m.Recipients);
  ini.WriteString(kMail, L"Subject", m.Subject);
  ini.WriteInteger(kMail, L"UseTLS", static_cast<int>(m.SecureMode));
  ini.WriteBool(kMail, L"Enabled", m.Enabled);
}

std::wstring TaskSectionName(int index) { return L"Task" + TwoDigits(index); }

void LoadStarterSettings(std::wstring_view iniName, std::wstring_view lastTask, TStarterSettings& st) {
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(iniName);
  st.Top = ini.ReadInteger(kConfig, L"Top", -1);
  st.Left = ini.ReadInteger(kConfig, L"Left", -1);
  st.LastTask = ini.ReadString(kConfig, L"LastTask", lastTask);
  st.LastDir = ini.ReadString(kConfig, L"LastDir", ExtractFilePath(st.LastTask));
  ReadMailSettings(ini, st.Mail);

  st.Groups.clear();
  const int count = ini.ReadInteger(kConfig, L"TaskCount", 0);
  for (int i = 0; i < count; ++i) {
    const std::wstring sn = TaskSectionName(i);
    auto g = std::make_unique<TTaskProperties>(ini.ReadString(sn, L"Description", sn));
    g->AltLogDir = ini.ReadString(sn, L"LogDirectory", L"");
    g->User = ini.ReadString(sn, L"Username", L"");
    g->Pwd = DecryptPassword(ini.ReadString(sn, L"Password", L""));
    g->PwdPrompt = ini.ReadBool(sn, L"PasswordPrompt", true);
    g->NoSplash = ini.ReadBool(sn, L"NoSplash", false);
    g->PlaySound = ini.ReadBool(sn, L"PlaySound", true);
    g->ParProc = ini.ReadBool(sn, L"Parallel", false);
    g->RunAs = ini.ReadBool(sn, L"RunAs", false);
    g->StartDelay = ini.ReadInteger(sn, L"StartDelay", 0);
    g->Delay = ini.ReadInteger(sn, L"WaitTime", 5);
    g->Status = ini.ReadInteger(sn, L"StatusWindow", 1);
    const int n = ini.ReadInteger(sn, L"Count", 0);
    for (int j = 0; j < n; ++j) {
      std::wstring f = ini.ReadString(sn, L"TaskFile" + TwoDigits(j), L"");
      if (f.empty()) continue;
      const bool checked = f[0] != L'#';
      if (!checked) f.erase(0, 1);
      const int k = g->AddTask(f, checked);
      g->Tasks[static_cast<size_t>(k)].Missing = !FileExists(f);
    }
    g->Index = static_cast<int>(st.Groups.size());
    st.Groups.push_back(std::move(g));
  }
}

void SaveStarterSettings(std::wstring_view iniName, const TStarterSettings& st) {
  TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(iniName, false);
  ini.EraseSection(L"Global");
  ini.WriteProgramInfo(L"Program", ProgramName());
  ini.WriteProgramInfo(L"Version", ProgramVersionInfo().Version);
  ini.WriteInteger(kConfig, L"Top", st.Top);
  ini.WriteInteger(kConfig, L"Left", st.Left);
  ini.WriteInteger(kConfig, L"Height", st.Height);
  ini.WriteInteger(kConfig, L"Width", st.Width);
  WriteMailSettings(ini, st.Mail);
  ini.WriteString(kConfig, L"LastTask", st.LastTask);
  ini.WriteString(kConfig, L"LastDir", st.LastDir);
  ini.WriteInteger(kConfig, L"TaskCount", static_cast<int>(st.Groups.size()));
  for (size_t i = 0; i < st.Groups.size(); ++i) {
    const TTaskProperties& g = *st.Groups[i];
    const std::wstring sn = TaskSectionName(static_cast<int>(i));
    ini.EraseSection(sn);
    ini.WriteString(sn, L"Description", g.Desc.empty() ? sn : g.Desc);
    ini.WriteString(sn, L"LogDirectory", g.AltLogDir);
    ini.WriteString(sn, L"Username", g.User);
    ini.WriteString(sn, L"Password", g.Pwd.empty() ? L"" : EncryptPassword(g.Pwd));
    ini.WriteBool(sn, L"PasswordPrompt", g.PwdPrompt);
    ini.WriteBool(sn, L"NoSplash", g.NoSplash);
    ini.WriteBool(sn, L"PlaySound", g.PlaySound);
    ini.WriteBool(sn, L"Parallel", g.ParProc);
    ini.WriteBool(sn, L"RunAs", g.RunAs);
    ini.WriteInteger(sn, L"StartDelay", g.StartDelay);
    ini.WriteInteger(sn, L"WaitTime", g.Delay);
    ini.WriteInteger(sn, L"StatusWindow", g.Status);
    ini.WriteInteger(sn, L"Count", static_cast<int>(g.Tasks.size()));
    for (size_t j = 0; j < g.Tasks.size(); ++j)
      ini.WriteString(sn, L"TaskFile" + TwoDigits(static_cast<int>(j)),
                      (g.Tasks[j].Checked ? L"" : L"#") + g.Tasks[j].File);
  }
  // Groups deleted since: their sections (and stored passwords) go too.
  for (const std::wstring& sn : ini.ReadSections()) {
    if (sn.size() < 6 || CompareStringOrdinal(sn.c_str(), 4, L"Task", 4, TRUE) != CSTR_EQUAL ||
        sn.find_first_not_of(L"0123456789", 4) != std::wstring::npos)
      continue;
    if (std::stoll(sn.substr(4, 9)) >= static_cast<long long>(st.Groups.size())) ini.EraseSection(sn);
  }
  ini.UpdateFile();
}

}  // namespace hv::hvstarter
