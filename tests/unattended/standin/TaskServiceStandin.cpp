#include "standin/TaskServiceStandin.h"

#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cwctype>
#include <map>
#include <stdexcept>

#include "base/text/StringUtils.h"
#include "unattended/WinTask.h"

using Microsoft::WRL::ComPtr;

namespace hv::test {

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kAlreadyExists = static_cast<HRESULT>(0x800700B7);
constexpr HRESULT kDirNotEmpty = static_cast<HRESULT>(0x80070091);
constexpr HRESULT kInvalidName = static_cast<HRESULT>(0x8007007B);
constexpr HRESULT kMalformedXml = static_cast<HRESULT>(0x8004131A);
constexpr HRESULT kMissingNode = static_cast<HRESULT>(0x80041319);
constexpr HRESULT kInvalidValue = static_cast<HRESULT>(0x80041318);
constexpr HRESULT kNotConnected = static_cast<HRESULT>(0x800704CC);
constexpr HRESULT kTaskDisabled = static_cast<HRESULT>(0x80041326);
constexpr HRESULT kNoneMapped = static_cast<HRESULT>(0x80070534);
constexpr HRESULT kLogonFailure = static_cast<HRESULT>(0x8007052E);

std::wstring Lower(std::wstring_view s) { return AnsiLowerCase(s); }
bool SameText(std::wstring_view a, std::wstring_view b) { return Lower(a) == Lower(b); }

BSTR Bstr(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }
std::wstring FromBstr(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }
VARIANT_BOOL VBool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

HRESULT Out(BSTR* p, const std::wstring& s) {
  if (!p) return E_POINTER;
  *p = Bstr(s);
  return S_OK;
}
template <class T, class V>
HRESULT Out(T* p, V v) {
  if (!p) return E_POINTER;
  *p = static_cast<T>(v);
  return S_OK;
}

// ---- data ----

struct TriggerData {
  TASK_TRIGGER_TYPE2 Type = TASK_TRIGGER_TIME;
  std::wstring Id, Start, End, ExecLimit, Interval, Duration, Delay, RandomDelay, UserId, Subscription;
  bool StopAtEnd = false, Enabled = true, LastDay = false, LastWeek = false;
  short DaysInterval = 1, DaysOfWeek = 0, WeeksInterval = 1, MonthsOfYear = 0, WeeksOfMonth = 0;
  long DaysOfMonth = 0;
};

struct ActionData {
  TASK_ACTION_TYPE Type = TASK_ACTION_EXEC;
  std::wstring Id, Path, Args, WorkDir;
};

struct TaskData {
  std::wstring Description, Author, Version, Date, Documentation, URI, Source;
  std::wstring PrincipalId = L"Author", DisplayName, UserId, GroupId;
  TASK_LOGON_TYPE Logon = TASK_LOGON_NONE;
  TASK_RUNLEVEL_TYPE RunLevel = TASK_RUNLEVEL_LUA;
  bool AllowDemandStart = true, StopOnBatteries = true, DisallowOnBatteries = true, AllowHardTerminate = true;
  bool StartWhenAvailable = false, RunOnlyIfNetwork = false, Enabled = true, Hidden = false, RunOnlyIfIdle = false,
       WakeToRun = false;
  std::wstring RestartInterval, ExecLimit = L"PT72H", DeleteExpired;
  int RestartCount = 0, Priority = 7;
  TASK_INSTANCES_POLICY Instances = TASK_INSTANCES_IGNORE_NEW;
  TASK_COMPATIBILITY Compatibility = TASK_COMPATIBILITY_V2;
  std::wstring IdleDuration = L"PT10M", IdleWait = L"PT1H";
  bool StopOnIdleEnd = true, RestartOnIdle = false;
  std::wstring Data, Context = L"Author";
  std::vector<std::shared_ptr<TriggerData>> Triggers;
  std::vector<std::shared_ptr<ActionData>> Actions;

  std::shared_ptr<TaskData> Clone() const {
    auto c = std::make_shared<TaskData>(*this);
    for (auto& t : c->Triggers) t = std::make_shared<TriggerData>(*t);
    for (auto& a : c->Actions) a = std::make_shared<ActionData>(*a);
    return c;
  }
};

struct TaskEntry {
  std::wstring Name, Path;
  std::shared_ptr<TaskData> Data;
  TASK_STATE State = TASK_STATE_READY;
  DATE LastRun = 0;  // 1899-12-30: never ran
  LONG LastResult = hv::kTaskHasNotRun;
  bool Deleted = false;
};

struct FolderEntry {
  std::wstring Name, Path;
  std::vector<std::shared_ptr<TaskEntry>> Tasks;
  std::vector<std::shared_ptr<FolderEntry>> Folders;
  bool Deleted = false;
};

}  // namespace

struct TStandinState {
  std::shared_ptr<FolderEntry> Root = [] {
    auto f = std::make_shared<FolderEntry>();
    f->Name = L"\\";
    f->Path = L"\\";
    return f;
  }();
  std::wstring CurrentUser = L"TESTPC\\tester";
  std::vector<TStandinAccount> Accounts;
  bool Admin = true;
  HRESULT ConnectResult = S_OK;
  std::wstring LastUser, LastPassword;

  std::shared_ptr<FolderEntry> FindFolder(std::wstring_view path) {
    std::wstring p(path);
    if (p.empty() || p == L"\\") return Root;
    auto f = Root;
    std::wstring rest = p[0] == L'\\' ? p.substr(1) : p;
    while (!rest.empty()) {
      std::wstring part = ReadNextItem(rest, L'\\');
      auto it = std::find_if(f->Folders.begin(), f->Folders.end(), [&](auto& x) { return SameText(x->Name, part); });
      if (it == f->Folders.end()) return nullptr;
      f = *it;
    }
    return f;
  }

  std::shared_ptr<TaskEntry> FindTask(std::wstring_view path) {
    std::wstring p(path);
    size_t slash = p.rfind(L'\\');
    auto folder = FindFolder(slash == std::wstring::npos || slash == 0 ? L"\\" : p.substr(0, slash));
    std::wstring name = slash == std::wstring::npos ? p : p.substr(slash + 1);
    if (!folder) return nullptr;
    for (auto& t : folder->Tasks)
      if (SameText(t->Name, name)) return t;
    return nullptr;
  }

  const TStandinAccount* Account(std::wstring_view user) const {
    for (auto& a : Accounts) {
      std::wstring bare = a.User.substr(a.User.find(L'\\') == std::wstring::npos ? 0 : a.User.find(L'\\') + 1);
      if (SameText(a.User, user) || SameText(bare, user)) return &a;
    }
    return nullptr;
  }
  bool IsCurrentUser(std::wstring_view user) const {
    std::wstring bare = CurrentUser.substr(CurrentUser.find(L'\\') + 1);
    return user.empty() || SameText(user, CurrentUser) || SameText(user, bare);
  }
};

namespace {

// ---- XML ----

std::wstring Escape(std::wstring_view s) {
  std::wstring r;
  for (wchar_t c : s) {
    switch (c) {
      case L'<': r += L"&lt;"; break;
      case L'>': r += L"&gt;"; break;
      case L'&': r += L"&amp;"; break;
      case L'"': r += L"&quot;"; break;
      default: r += c;
    }
  }
  return r;
}

struct XNode {
  std::wstring Name, Text;
  std::map<std::wstring, std::wstring> Attrs;
  std::vector<XNode> Children;
  const XNode* Child(std::wstring_view n) const {
    for (auto& c : Children)
      if (c.Name == n) return &c;
    return nullptr;
  }
  std::wstring ChildText(std::wstring_view n, std::wstring def = {}) const {
    const XNode* c = Child(n);
    return c ? c->Text : def;
  }
  bool ChildBool(std::wstring_view n, bool def) const {
    const XNode* c = Child(n);
    return c ? c->Text == L"true" : def;
  }
};

struct XmlError : std::runtime_error {
  XmlError() : std::runtime_error("xml") {}
};

class XmlReader {
 public:
  explicit XmlReader(std::wstring_view s) : S(s) {}
  XNode Document() {
    SkipMisc();
    XNode root = Element();
    SkipMisc();
    if (P != S.size()) throw XmlError();
    return root;
  }

 private:
  std::wstring_view S;
  size_t P = 0;
  bool At(std::wstring_view t) const { return S.substr(P, t.size()) == t; }
  void SkipWs() {
    while (P < S.size() && std::iswspace(S[P])) ++P;
  }
  void SkipMisc() {
    for (;;) {
      SkipWs();
      if (At(L"<?")) {
        size_t e = S.find(L"?>", P);
        if (e == std::wstring_view::npos) throw XmlError();
        P = e + 2;
      } else if (At(L"<!--")) {
        size_t e = S.find(L"-->", P);
        if (e == std::wstring_view::npos) throw XmlError();
        P = e + 3;
      } else {
        return;
      }
    }
  }
  std::wstring Name() {
    size_t b = P;
    while (P < S.size() && (std::iswalnum(S[P]) || S[P] == L'_' || S[P] == L':' || S[P] == L'-' || S[P] == L'.')) ++P;
    if (P == b) throw XmlError();
    return std::wstring(S.substr(b, P - b));
  }
  std::wstring Decode(std::wstring_view t) {
    std::wstring r;
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i] != L'&') {
        r += t[i];
        continue;
      }
      size_t e = t.find(L';', i);
      if (e == std::wstring_view::npos) throw XmlError();
      std::wstring_view ent = t.substr(i + 1, e - i - 1);
      if (ent == L"lt") r += L'<';
      else if (ent == L"gt") r += L'>';
      else if (ent == L"amp") r += L'&';
      else if (ent == L"quot") r += L'"';
      else if (ent == L"apos") r += L'\'';
      else if (!ent.empty() && ent[0] == L'#') {
        r += static_cast<wchar_t>(ent.size() > 1 && ent[1] == L'x' ? std::stoul(std::wstring(ent.substr(2)), nullptr, 16)
                                                                   : std::stoul(std::wstring(ent.substr(1))));
      } else {
        throw XmlError();
      }
      i = e;
    }
    return r;
  }
  XNode Element() {
    if (!At(L"<")) throw XmlError();
    ++P;
    XNode n;
    n.Name = Name();
    for (;;) {
      SkipWs();
      if (At(L"/>")) {
        P += 2;
        return n;
      }
      if (At(L">")) {
        ++P;
        break;
      }
      std::wstring a = Name();
      SkipWs();
      if (!At(L"=")) throw XmlError();
      ++P;
      SkipWs();
      if (P >= S.size() || (S[P] != L'"' && S[P] != L'\'')) throw XmlError();
      wchar_t q = S[P++];
      size_t e = S.find(q, P);
      if (e == std::wstring_view::npos) throw XmlError();
      n.Attrs[a] = Decode(S.substr(P, e - P));
      P = e + 1;
    }
    std::wstring text;
    for (;;) {
      if (P >= S.size()) throw XmlError();
      if (At(L"<!--")) {
        SkipMisc();
      } else if (At(L"</")) {
        P += 2;
        if (Name() != n.Name) throw XmlError();
        SkipWs();
        if (!At(L">")) throw XmlError();
        ++P;
        break;
      } else if (At(L"<")) {
        n.Children.push_back(Element());
      } else {
        size_t e = S.find(L'<', P);
        if (e == std::wstring_view::npos) throw XmlError();
        text += S.substr(P, e - P);
        P = e;
      }
    }
    n.Text = Decode(text);
    if (!n.Children.empty()) n.Text.clear();
    return n;
  }
};

class XmlWriter {
 public:
  std::wstring Out;
  int Depth = 0;
  void Open(std::wstring_view name, std::wstring_view attrs = {}) {
    Indent();
    Out += L"<" + std::wstring(name) + (attrs.empty() ? L"" : L" " + std::wstring(attrs)) + L">\r\n";
    ++Depth;
  }
  void Close(std::wstring_view name) {
    --Depth;
    Indent();
    Out += L"</" + std::wstring(name) + L">\r\n";
  }
  void Text(std::wstring_view name, std::wstring_view value, bool always = false) {
    if (value.empty() && !always) return;
    Indent();
    Out += L"<" + std::wstring(name) + L">" + Escape(value) + L"</" + std::wstring(name) + L">\r\n";
  }
  void Empty(std::wstring_view name) {
    Indent();
    Out += L"<" + std::wstring(name) + L" />\r\n";
  }
  void Bool(std::wstring_view name, bool v) { Text(name, v ? L"true" : L"false"); }

 private:
  void Indent() { Out.append(Depth * 2, L' '); }
};

const wchar_t* const kDayNames[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
const wchar_t* const kMonthNames[] = {L"January", L"February", L"March", L"April", L"May", L"June", L"July",
                                      L"August", L"September", L"October", L"November", L"December"};
const wchar_t* const kLogonNames[] = {L"None", L"Password", L"S4U", L"InteractiveToken", L"Group", L"ServiceAccount",
                                      L"InteractiveTokenOrPassword"};
const wchar_t* const kInstanceNames[] = {L"Parallel", L"Queue", L"IgnoreNew", L"StopExisting"};

std::wstring TaskXml(const TaskData& d) {
  XmlWriter w;
  w.Out = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
  w.Open(L"Task", L"version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"");
  w.Open(L"RegistrationInfo");
  w.Text(L"Date", d.Date);
  w.Text(L"Author", d.Author);
  w.Text(L"Version", d.Version);
  w.Text(L"Description", d.Description);
  w.Text(L"Documentation", d.Documentation);
  w.Text(L"URI", d.URI);
  w.Text(L"Source", d.Source);
  w.Close(L"RegistrationInfo");
  w.Open(L"Triggers");
  for (auto& tp : d.Triggers) {
    const TriggerData& t = *tp;
    static const wchar_t* const kNames[] = {L"EventTrigger", L"TimeTrigger", L"CalendarTrigger", L"CalendarTrigger",
                                            L"CalendarTrigger", L"CalendarTrigger", L"IdleTrigger", L"RegistrationTrigger",
                                            L"BootTrigger", L"LogonTrigger", L"", L"SessionStateChangeTrigger"};
    std::wstring name = kNames[t.Type];
    w.Open(name, t.Id.empty() ? L"" : L"id=\"" + Escape(t.Id) + L"\"");
    if (!t.Interval.empty() || !t.Duration.empty()) {
      w.Open(L"Repetition");
      w.Text(L"Interval", t.Interval);
      w.Text(L"Duration", t.Duration);
      w.Bool(L"StopAtDurationEnd", t.StopAtEnd);
      w.Close(L"Repetition");
    }
    w.Text(L"StartBoundary", t.Start);
    w.Text(L"EndBoundary", t.End);
    w.Text(L"ExecutionTimeLimit", t.ExecLimit);
    w.Bool(L"Enabled", t.Enabled);
    w.Text(L"Delay", t.Delay);
    w.Text(L"RandomDelay", t.RandomDelay);
    w.Text(L"UserId", t.UserId);
    w.Text(L"Subscription", t.Subscription);
    auto days = [&](short mask) {
      w.Open(L"DaysOfWeek");
      for (int i = 0; i < 7; ++i)
        if (mask & (1 << i)) w.Empty(kDayNames[i]);
      w.Close(L"DaysOfWeek");
    };
    auto months = [&](short mask) {
      w.Open(L"Months");
      for (int i = 0; i < 12; ++i)
        if (mask & (1 << i)) w.Empty(kMonthNames[i]);
      w.Close(L"Months");
    };
    if (t.Type == TASK_TRIGGER_DAILY) {
      w.Open(L"ScheduleByDay");
      w.Text(L"DaysInterval", std::to_wstring(t.DaysInterval));
      w.Close(L"ScheduleByDay");
    } else if (t.Type == TASK_TRIGGER_WEEKLY) {
      w.Open(L"ScheduleByWeek");
      w.Text(L"WeeksInterval", std::to_wstring(t.WeeksInterval));
      days(t.DaysOfWeek);
      w.Close(L"ScheduleByWeek");
    } else if (t.Type == TASK_TRIGGER_MONTHLY) {
      w.Open(L"ScheduleByMonth");
      w.Open(L"DaysOfMonth");
      for (int i = 0; i < 31; ++i)
        if (t.DaysOfMonth & (1L << i)) w.Text(L"Day", std::to_wstring(i + 1));
      if (t.LastDay) w.Text(L"Day", L"Last");
      w.Close(L"DaysOfMonth");
      months(t.MonthsOfYear);
      w.Close(L"ScheduleByMonth");
    } else if (t.Type == TASK_TRIGGER_MONTHLYDOW) {
      w.Open(L"ScheduleByMonthDayOfWeek");
      w.Open(L"Weeks");
      for (int i = 0; i < 4; ++i)
        if (t.WeeksOfMonth & (1 << i)) w.Text(L"Week", std::to_wstring(i + 1));
      if (t.LastWeek) w.Text(L"Week", L"Last");
      w.Close(L"Weeks");
      days(t.DaysOfWeek);
      months(t.MonthsOfYear);
      w.Close(L"ScheduleByMonthDayOfWeek");
    }
    w.Close(name);
  }
  w.Close(L"Triggers");
  w.Open(L"Principals");
  w.Open(L"Principal", L"id=\"" + Escape(d.PrincipalId) + L"\"");
  w.Text(L"UserId", d.UserId);
  w.Text(L"GroupId", d.GroupId);
  w.Text(L"DisplayName", d.DisplayName);
  w.Text(L"LogonType", kLogonNames[d.Logon]);
  w.Text(L"RunLevel", d.RunLevel == TASK_RUNLEVEL_HIGHEST ? L"HighestAvailable" : L"LeastPrivilege");
  w.Close(L"Principal");
  w.Close(L"Principals");
  w.Open(L"Settings");
  w.Text(L"MultipleInstancesPolicy", kInstanceNames[d.Instances]);
  w.Bool(L"DisallowStartIfOnBatteries", d.DisallowOnBatteries);
  w.Bool(L"StopIfGoingOnBatteries", d.StopOnBatteries);
  w.Bool(L"AllowHardTerminate", d.AllowHardTerminate);
  w.Bool(L"StartWhenAvailable", d.StartWhenAvailable);
  w.Bool(L"RunOnlyIfNetworkAvailable", d.RunOnlyIfNetwork);
  w.Open(L"IdleSettings");
  w.Text(L"Duration", d.IdleDuration);
  w.Text(L"WaitTimeout", d.IdleWait);
  w.Bool(L"StopOnIdleEnd", d.StopOnIdleEnd);
  w.Bool(L"RestartOnIdle", d.RestartOnIdle);
  w.Close(L"IdleSettings");
  w.Bool(L"AllowStartOnDemand", d.AllowDemandStart);
  w.Bool(L"Enabled", d.Enabled);
  w.Bool(L"Hidden", d.Hidden);
  w.Bool(L"RunOnlyIfIdle", d.RunOnlyIfIdle);
  w.Bool(L"WakeToRun", d.WakeToRun);
  w.Text(L"ExecutionTimeLimit", d.ExecLimit, true);
  w.Text(L"DeleteExpiredTaskAfter", d.DeleteExpired);
  w.Text(L"Priority", std::to_wstring(d.Priority));
  w.Text(L"Compatibility", std::to_wstring(static_cast<int>(d.Compatibility)));
  if (!d.RestartInterval.empty()) {
    w.Open(L"RestartOnFailure");
    w.Text(L"Interval", d.RestartInterval);
    w.Text(L"Count", std::to_wstring(d.RestartCount));
    w.Close(L"RestartOnFailure");
  }
  w.Close(L"Settings");
  w.Text(L"Data", d.Data);
  w.Open(L"Actions", L"Context=\"" + Escape(d.Context) + L"\"");
  for (auto& ap : d.Actions) {
    const ActionData& a = *ap;
    std::wstring id = a.Id.empty() ? L"" : L"id=\"" + Escape(a.Id) + L"\"";
    switch (a.Type) {
      case TASK_ACTION_EXEC:
        w.Open(L"Exec", id);
        w.Text(L"Command", a.Path);
        w.Text(L"Arguments", a.Args);
        w.Text(L"WorkingDirectory", a.WorkDir);
        w.Close(L"Exec");
        break;
      case TASK_ACTION_COM_HANDLER: w.Open(L"ComHandler", id); w.Close(L"ComHandler"); break;
      case TASK_ACTION_SEND_EMAIL: w.Open(L"SendEmail", id); w.Close(L"SendEmail"); break;
      default: w.Open(L"ShowMessage", id); w.Close(L"ShowMessage"); break;
    }
  }
  w.Close(L"Actions");
  w.Close(L"Task");
  return w.Out;
}

int IndexOfName(const wchar_t* const* names, int count, std::wstring_view name) {
  for (int i = 0; i < count; ++i)
    if (name == names[i]) return i;
  return -1;
}

short Mask(const XNode* n, const wchar_t* const* names, int count) {
  short m = 0;
  if (n)
    for (auto& c : n->Children) {
      int i = IndexOfName(names, count, c.Name);
      if (i < 0) throw XmlError();
      m |= static_cast<short>(1 << i);
    }
  return m;
}

int Number(const std::wstring& s, int def) {
  if (s.empty()) return def;
  int64_t v = 0;
  if (!TryStrToInt64(s, v)) throw XmlError();
  return static_cast<int>(v);
}

// Parses task XML into d; throws XmlError for what the platform would refuse.
void ParseTaskXml(std::wstring_view xml, TaskData& d) {
  XNode root = XmlReader(xml).Document();
  if (root.Name != L"Task") throw XmlError();
  d = TaskData();
  d.ExecLimit.clear();
  if (const XNode* r = root.Child(L"RegistrationInfo")) {
    d.Date = r->ChildText(L"Date");
    d.Author = r->ChildText(L"Author");
    d.Version = r->ChildText(L"Version");
    d.Description = r->ChildText(L"Description");
    d.Documentation = r->ChildText(L"Documentation");
    d.URI = r->ChildText(L"URI");
    d.Source = r->ChildText(L"Source");
  }
  if (const XNode* ts = root.Child(L"Triggers")) {
    for (auto& n : ts->Children) {
      auto t = std::make_shared<TriggerData>();
      static const wchar_t* const kNames[] = {L"EventTrigger", L"TimeTrigger", L"CalendarTrigger", L"", L"", L"",
                                              L"IdleTrigger", L"RegistrationTrigger", L"BootTrigger", L"LogonTrigger",
                                              L"", L"SessionStateChangeTrigger"};
      int type = IndexOfName(kNames, 12, n.Name);
      if (type < 0) throw XmlError();
      t->Type = static_cast<TASK_TRIGGER_TYPE2>(type);
      auto id = n.Attrs.find(L"id");
      if (id != n.Attrs.end()) t->Id = id->second;
      if (const XNode* rep = n.Child(L"Repetition")) {
        t->Interval = rep->ChildText(L"Interval");
        t->Duration = rep->ChildText(L"Duration");
        t->StopAtEnd = rep->ChildBool(L"StopAtDurationEnd", false);
      }
      t->Start = n.ChildText(L"StartBoundary");
      t->End = n.ChildText(L"EndBoundary");
      t->ExecLimit = n.ChildText(L"ExecutionTimeLimit");
      t->Enabled = n.ChildBool(L"Enabled", true);
      t->Delay = n.ChildText(L"Delay");
      t->RandomDelay = n.ChildText(L"RandomDelay");
      t->UserId = n.ChildText(L"UserId");
      t->Subscription = n.ChildText(L"Subscription");
      if (type == TASK_TRIGGER_DAILY) {
        if (const XNode* s = n.Child(L"ScheduleByDay")) {
          t->DaysInterval = static_cast<short>(Number(s->ChildText(L"DaysInterval"), 1));
        } else if (const XNode* s = n.Child(L"ScheduleByWeek")) {
          t->Type = TASK_TRIGGER_WEEKLY;
          t->WeeksInterval = static_cast<short>(Number(s->ChildText(L"WeeksInterval"), 1));
          t->DaysOfWeek = Mask(s->Child(L"DaysOfWeek"), kDayNames, 7);
        } else if (const XNode* s = n.Child(L"ScheduleByMonth")) {
          t->Type = TASK_TRIGGER_MONTHLY;
          if (const XNode* dm = s->Child(L"DaysOfMonth"))
            for (auto& day : dm->Children) {
              if (day.Text == L"Last")
                t->LastDay = true;
              else {
                int v = Number(day.Text, 0);
                if (v < 1 || v > 31) throw XmlError();
                t->DaysOfMonth |= 1L << (v - 1);
              }
            }
          t->MonthsOfYear = Mask(s->Child(L"Months"), kMonthNames, 12);
        } else if (const XNode* s = n.Child(L"ScheduleByMonthDayOfWeek")) {
          t->Type = TASK_TRIGGER_MONTHLYDOW;
          if (const XNode* wk = s->Child(L"Weeks"))
            for (auto& week : wk->Children) {
              if (week.Text == L"Last")
                t->LastWeek = true;
              else {
                int v = Number(week.Text, 0);
                if (v < 1 || v > 4) throw XmlError();
                t->WeeksOfMonth |= static_cast<short>(1 << (v - 1));
              }
            }
          t->DaysOfWeek = Mask(s->Child(L"DaysOfWeek"), kDayNames, 7);
          t->MonthsOfYear = Mask(s->Child(L"Months"), kMonthNames, 12);
        } else {
          throw XmlError();
        }
      }
      d.Triggers.push_back(t);
    }
  }
  if (const XNode* ps = root.Child(L"Principals"))
    if (const XNode* p = ps->Child(L"Principal")) {
      auto id = p->Attrs.find(L"id");
      if (id != p->Attrs.end()) d.PrincipalId = id->second;
      d.UserId = p->ChildText(L"UserId");
      d.GroupId = p->ChildText(L"GroupId");
      d.DisplayName = p->ChildText(L"DisplayName");
      int logon = IndexOfName(kLogonNames, 7, p->ChildText(L"LogonType", L"None"));
      if (logon < 0) throw XmlError();
      d.Logon = static_cast<TASK_LOGON_TYPE>(logon);
      d.RunLevel = p->ChildText(L"RunLevel") == L"HighestAvailable" ? TASK_RUNLEVEL_HIGHEST : TASK_RUNLEVEL_LUA;
    }
  if (const XNode* s = root.Child(L"Settings")) {
    int inst = IndexOfName(kInstanceNames, 4, s->ChildText(L"MultipleInstancesPolicy", L"IgnoreNew"));
    if (inst < 0) throw XmlError();
    d.Instances = static_cast<TASK_INSTANCES_POLICY>(inst);
    d.DisallowOnBatteries = s->ChildBool(L"DisallowStartIfOnBatteries", true);
    d.StopOnBatteries = s->ChildBool(L"StopIfGoingOnBatteries", true);
    d.AllowHardTerminate = s->ChildBool(L"AllowHardTerminate", true);
    d.StartWhenAvailable = s->ChildBool(L"StartWhenAvailable", false);
    d.RunOnlyIfNetwork = s->ChildBool(L"RunOnlyIfNetworkAvailable", false);
    if (const XNode* i = s->Child(L"IdleSettings")) {
      d.IdleDuration = i->ChildText(L"Duration");
      d.IdleWait = i->ChildText(L"WaitTimeout");
      d.StopOnIdleEnd = i->ChildBool(L"StopOnIdleEnd", true);
      d.RestartOnIdle = i->ChildBool(L"RestartOnIdle", false);
    }
    d.AllowDemandStart = s->ChildBool(L"AllowStartOnDemand", true);
    d.Enabled = s->ChildBool(L"Enabled", true);
    d.Hidden = s->ChildBool(L"Hidden", false);
    d.RunOnlyIfIdle = s->ChildBool(L"RunOnlyIfIdle", false);
    d.WakeToRun = s->ChildBool(L"WakeToRun", false);
    d.ExecLimit = s->ChildText(L"ExecutionTimeLimit", L"PT72H");
    d.DeleteExpired = s->ChildText(L"DeleteExpiredTaskAfter");
    d.Priority = Number(s->ChildText(L"Priority"), 7);
    d.Compatibility = static_cast<TASK_COMPATIBILITY>(Number(s->ChildText(L"Compatibility"), 2));
    if (const XNode* r = s->Child(L"RestartOnFailure")) {
      d.RestartInterval = r->ChildText(L"Interval");
      d.RestartCount = Number(r->ChildText(L"Count"), 0);
    }
  }
  d.Data = root.ChildText(L"Data");
  const XNode* as = root.Child(L"Actions");
  if (!as) throw XmlError();
  auto ctx = as->Attrs.find(L"Context");
  if (ctx != as->Attrs.end()) d.Context = ctx->second;
  for (auto& n : as->Children) {
    auto a = std::make_shared<ActionData>();
    auto id = n.Attrs.find(L"id");
    if (id != n.Attrs.end()) a->Id = id->second;
    if (n.Name == L"Exec") {
      a->Type = TASK_ACTION_EXEC;
      a->Path = n.ChildText(L"Command");
      a->Args = n.ChildText(L"Arguments");
      a->WorkDir = n.ChildText(L"WorkingDirectory");
    } else if (n.Name == L"ComHandler") {
      a->Type = TASK_ACTION_COM_HANDLER;
    } else if (n.Name == L"SendEmail") {
      a->Type = TASK_ACTION_SEND_EMAIL;
    } else if (n.Name == L"ShowMessage") {
      a->Type = TASK_ACTION_SHOW_MESSAGE;
    } else {
      throw XmlError();
    }
    d.Actions.push_back(a);
  }
}

// ---- COM objects ----

template <class I, class... Bases>
class TObject : public I {
 public:
  virtual ~TObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(I) || ((riid == __uuidof(Bases)) || ...)) {
      *ppv = static_cast<I*>(this);
      this->AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --FRefs;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return Out(n, 0); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 private:
  std::atomic<ULONG> FRefs{0};
};

template <class T, class I, class... A>
HRESULT Make(I** out, A&&... args) {
  if (!out) return E_POINTER;
  auto* o = new T(std::forward<A>(args)...);
  o->AddRef();
  *out = o;
  return S_OK;
}

// Repetition of a trigger.
class TRepetition : public TObject<IRepetitionPattern> {
 public:
  explicit TRepetition(std::shared_ptr<TriggerData> t) : T(std::move(t)) {}
  HRESULT STDMETHODCALLTYPE get_Interval(BSTR* v) override { return Out(v, T->Interval); }
  HRESULT STDMETHODCALLTYPE put_Interval(BSTR v) override { T->Interval = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Duration(BSTR* v) override { return Out(v, T->Duration); }
  HRESULT STDMETHODCALLTYPE put_Duration(BSTR v) override { T->Duration = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_StopAtDurationEnd(VARIANT_BOOL* v) override { return Out(v, VBool(T->StopAtEnd)); }
  HRESULT STDMETHODCALLTYPE put_StopAtDurationEnd(VARIANT_BOOL v) override { T->StopAtEnd = v != 0; return S_OK; }

 private:
  std::shared_ptr<TriggerData> T;
};

// One class for every trigger kind: the methods that I does not declare are simply not reachable.
template <class I, class... Bases>
class TTrigger : public TObject<I, ITrigger, Bases...> {
 public:
  explicit TTrigger(std::shared_ptr<TriggerData> t) : T(std::move(t)) {}
  HRESULT STDMETHODCALLTYPE get_Type(TASK_TRIGGER_TYPE2* v) override { return Out(v, T->Type); }
  HRESULT STDMETHODCALLTYPE get_Id(BSTR* v) override { return Out(v, T->Id); }
  HRESULT STDMETHODCALLTYPE put_Id(BSTR v) override { T->Id = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Repetition(IRepetitionPattern** v) override { return Make<TRepetition>(v, T); }
  HRESULT STDMETHODCALLTYPE put_Repetition(IRepetitionPattern* v) override {
    if (!v) return E_POINTER;
    BSTR b = nullptr;
    v->get_Interval(&b);
    T->Interval = FromBstr(b);
    SysFreeString(b);
    b = nullptr;
    v->get_Duration(&b);
    T->Duration = FromBstr(b);
    SysFreeString(b);
    VARIANT_BOOL s = 0;
    v->get_StopAtDurationEnd(&s);
    T->StopAtEnd = s != 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ExecutionTimeLimit(BSTR* v) override { return Out(v, T->ExecLimit); }
  HRESULT STDMETHODCALLTYPE put_ExecutionTimeLimit(BSTR v) override { T->ExecLimit = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_StartBoundary(BSTR* v) override { return Out(v, T->Start); }
  HRESULT STDMETHODCALLTYPE put_StartBoundary(BSTR v) override { T->Start = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_EndBoundary(BSTR* v) override { return Out(v, T->End); }
  HRESULT STDMETHODCALLTYPE put_EndBoundary(BSTR v) override { T->End = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* v) override { return Out(v, VBool(T->Enabled)); }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL v) override { T->Enabled = v != 0; return S_OK; }

  HRESULT STDMETHODCALLTYPE get_DaysInterval(short* v) { return Out(v, T->DaysInterval); }
  HRESULT STDMETHODCALLTYPE put_DaysInterval(short v) { return v < 1 ? E_INVALIDARG : (T->DaysInterval = v, S_OK); }
  HRESULT STDMETHODCALLTYPE get_RandomDelay(BSTR* v) { return Out(v, T->RandomDelay); }
  HRESULT STDMETHODCALLTYPE put_RandomDelay(BSTR v) { T->RandomDelay = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_DaysOfWeek(short* v) { return Out(v, T->DaysOfWeek); }
  HRESULT STDMETHODCALLTYPE put_DaysOfWeek(short v) { T->DaysOfWeek = v; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_WeeksInterval(short* v) { return Out(v, T->WeeksInterval); }
  HRESULT STDMETHODCALLTYPE put_WeeksInterval(short v) { T->WeeksInterval = v; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_DaysOfMonth(long* v) { return Out(v, T->DaysOfMonth); }
  HRESULT STDMETHODCALLTYPE put_DaysOfMonth(long v) { T->DaysOfMonth = v; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_MonthsOfYear(short* v) { return Out(v, T->MonthsOfYear); }
  HRESULT STDMETHODCALLTYPE put_MonthsOfYear(short v) { T->MonthsOfYear = v; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_RunOnLastDayOfMonth(VARIANT_BOOL* v) { return Out(v, VBool(T->LastDay)); }
  HRESULT STDMETHODCALLTYPE put_RunOnLastDayOfMonth(VARIANT_BOOL v) { T->LastDay = v != 0; return S_OK; }
  // the last week is bit 4 of the mask and the flag at the same time
  HRESULT STDMETHODCALLTYPE get_WeeksOfMonth(short* v) { return Out(v, (T->WeeksOfMonth & 15) | (T->LastWeek ? 16 : 0)); }
  HRESULT STDMETHODCALLTYPE put_WeeksOfMonth(short v) {
    T->WeeksOfMonth = v & 15;
    T->LastWeek = (v & 16) != 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_RunOnLastWeekOfMonth(VARIANT_BOOL* v) { return Out(v, VBool(T->LastWeek)); }
  HRESULT STDMETHODCALLTYPE put_RunOnLastWeekOfMonth(VARIANT_BOOL v) { T->LastWeek = v != 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Delay(BSTR* v) { return Out(v, T->Delay); }
  HRESULT STDMETHODCALLTYPE put_Delay(BSTR v) { T->Delay = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_UserId(BSTR* v) { return Out(v, T->UserId); }
  HRESULT STDMETHODCALLTYPE put_UserId(BSTR v) { T->UserId = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Subscription(BSTR* v) { return Out(v, T->Subscription); }
  HRESULT STDMETHODCALLTYPE put_Subscription(BSTR v) { T->Subscription = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_ValueQueries(ITaskNamedValueCollection** v) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ValueQueries(ITaskNamedValueCollection* v) { return E_NOTIMPL; }

 private:
  std::shared_ptr<TriggerData> T;
};

HRESULT WrapTrigger(const std::shared_ptr<TriggerData>& t, ITrigger** out) {
  if (!out) return E_POINTER;
  IUnknown* u = nullptr;
  switch (t->Type) {
    case TASK_TRIGGER_EVENT: u = new TTrigger<IEventTrigger>(t); break;
    case TASK_TRIGGER_TIME: u = new TTrigger<ITimeTrigger>(t); break;
    case TASK_TRIGGER_DAILY: u = new TTrigger<IDailyTrigger>(t); break;
    case TASK_TRIGGER_WEEKLY: u = new TTrigger<IWeeklyTrigger>(t); break;
    case TASK_TRIGGER_MONTHLY: u = new TTrigger<IMonthlyTrigger>(t); break;
    case TASK_TRIGGER_MONTHLYDOW: u = new TTrigger<IMonthlyDOWTrigger>(t); break;
    case TASK_TRIGGER_BOOT: u = new TTrigger<IBootTrigger>(t); break;
    case TASK_TRIGGER_LOGON: u = new TTrigger<ILogonTrigger>(t); break;
    case TASK_TRIGGER_REGISTRATION: u = new TTrigger<IRegistrationTrigger>(t); break;
    default: u = new TTrigger<ITrigger>(t); break;
  }
  return u->QueryInterface(__uuidof(ITrigger), reinterpret_cast<void**>(out));
}

HRESULT IndexFromVariant(const VARIANT& v, LONG& index) {
  VARIANT c;
  VariantInit(&c);
  if (FAILED(VariantChangeType(&c, const_cast<VARIANT*>(&v), 0, VT_I4))) return E_INVALIDARG;
  index = c.lVal;
  return S_OK;
}

class TTriggers : public TObject<ITriggerCollection> {
 public:
  explicit TTriggers(std::shared_ptr<TaskData> d) : D(std::move(d)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* v) override { return Out(v, D->Triggers.size()); }
  HRESULT STDMETHODCALLTYPE get_Item(LONG i, ITrigger** v) override {
    if (i < 1 || i > static_cast<LONG>(D->Triggers.size())) return E_INVALIDARG;
    return WrapTrigger(D->Triggers[i - 1], v);
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger** v) override {
    int t = static_cast<int>(type);
    if (t < 0 || t > 11 || t == 10) return E_INVALIDARG;
    auto data = std::make_shared<TriggerData>();
    data->Type = type;
    D->Triggers.push_back(data);
    return WrapTrigger(data, v);
  }
  HRESULT STDMETHODCALLTYPE Remove(VARIANT index) override {
    if (index.vt == VT_BSTR) {
      auto it = std::find_if(D->Triggers.begin(), D->Triggers.end(), [&](auto& t) { return t->Id == FromBstr(index.bstrVal); });
      if (it == D->Triggers.end()) return E_INVALIDARG;
      D->Triggers.erase(it);
      return S_OK;
    }
    LONG i = 0;
    if (FAILED(IndexFromVariant(index, i)) || i < 1 || i > static_cast<LONG>(D->Triggers.size())) return E_INVALIDARG;
    D->Triggers.erase(D->Triggers.begin() + (i - 1));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clear() override {
    D->Triggers.clear();
    return S_OK;
  }

 private:
  std::shared_ptr<TaskData> D;
};

template <class I, class... Bases>
class TAction : public TObject<I, IAction, Bases...> {
 public:
  explicit TAction(std::shared_ptr<ActionData> a) : A(std::move(a)) {}
  HRESULT STDMETHODCALLTYPE get_Id(BSTR* v) override { return Out(v, A->Id); }
  HRESULT STDMETHODCALLTYPE put_Id(BSTR v) override { A->Id = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Type(TASK_ACTION_TYPE* v) override { return Out(v, A->Type); }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* v) { return Out(v, A->Path); }
  HRESULT STDMETHODCALLTYPE put_Path(BSTR v) { A->Path = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Arguments(BSTR* v) { return Out(v, A->Args); }
  HRESULT STDMETHODCALLTYPE put_Arguments(BSTR v) { A->Args = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_WorkingDirectory(BSTR* v) { return Out(v, A->WorkDir); }
  HRESULT STDMETHODCALLTYPE put_WorkingDirectory(BSTR v) { A->WorkDir = FromBstr(v); return S_OK; }

 private:
  std::shared_ptr<ActionData> A;
};

HRESULT WrapAction(const std::shared_ptr<ActionData>& a, IAction** out) {
  if (!out) return E_POINTER;
  IUnknown* u = a->Type == TASK_ACTION_EXEC ? static_cast<IUnknown*>(new TAction<IExecAction>(a))
                                            : static_cast<IUnknown*>(new TAction<IAction>(a));
  return u->QueryInterface(__uuidof(IAction), reinterpret_cast<void**>(out));
}

class TActions : public TObject<IActionCollection> {
 public:
  explicit TActions(std::shared_ptr<TaskData> d) : D(std::move(d)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* v) override { return Out(v, D->Actions.size()); }
  HRESULT STDMETHODCALLTYPE get_Item(LONG i, IAction** v) override {
    if (i < 1 || i > static_cast<LONG>(D->Actions.size())) return E_INVALIDARG;
    return WrapAction(D->Actions[i - 1], v);
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_XmlText(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_XmlText(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE type, IAction** v) override {
    int t = static_cast<int>(type);
    if (t != 0 && (t < 5 || t > 7)) return E_INVALIDARG;
    auto a = std::make_shared<ActionData>();
    a->Type = type;
    D->Actions.push_back(a);
    return WrapAction(a, v);
  }
  HRESULT STDMETHODCALLTYPE Remove(VARIANT index) override {
    LONG i = 0;
    if (FAILED(IndexFromVariant(index, i)) || i < 1 || i > static_cast<LONG>(D->Actions.size())) return E_INVALIDARG;
    D->Actions.erase(D->Actions.begin() + (i - 1));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clear() override {
    D->Actions.clear();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Context(BSTR* v) override { return Out(v, D->Context); }
  HRESULT STDMETHODCALLTYPE put_Context(BSTR v) override { D->Context = FromBstr(v); return S_OK; }

 private:
  std::shared_ptr<TaskData> D;
};

class TRegInfo : public TObject<IRegistrationInfo> {
 public:
  explicit TRegInfo(std::shared_ptr<TaskData> d) : D(std::move(d)) {}
#define HV_STR(Name, Field)                                                              \
  HRESULT STDMETHODCALLTYPE get_##Name(BSTR* v) override { return Out(v, D->Field); } \
  HRESULT STDMETHODCALLTYPE put_##Name(BSTR v) override { D->Field = FromBstr(v); return S_OK; }
  HV_STR(Description, Description)
  HV_STR(Author, Author)
  HV_STR(Version, Version)
  HV_STR(Date, Date)
  HV_STR(Documentation, Documentation)
  HV_STR(URI, URI)
  HV_STR(Source, Source)
  HRESULT STDMETHODCALLTYPE get_XmlText(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_XmlText(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SecurityDescriptor(VARIANT* v) override { VariantInit(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE put_SecurityDescriptor(VARIANT) override { return S_OK; }

 private:
  std::shared_ptr<TaskData> D;
};

class TPrincipal : public TObject<IPrincipal> {
 public:
  explicit TPrincipal(std::shared_ptr<TaskData> d) : D(std::move(d)) {}
  HV_STR(Id, PrincipalId)
  HV_STR(DisplayName, DisplayName)
  HV_STR(UserId, UserId)
  HV_STR(GroupId, GroupId)
  HRESULT STDMETHODCALLTYPE get_LogonType(TASK_LOGON_TYPE* v) override { return Out(v, D->Logon); }
  HRESULT STDMETHODCALLTYPE put_LogonType(TASK_LOGON_TYPE v) override {
    if (v < 0 || v > 6) return E_INVALIDARG;
    D->Logon = v;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_RunLevel(TASK_RUNLEVEL_TYPE* v) override { return Out(v, D->RunLevel); }
  HRESULT STDMETHODCALLTYPE put_RunLevel(TASK_RUNLEVEL_TYPE v) override { D->RunLevel = v; return S_OK; }

 private:
  std::shared_ptr<TaskData> D;
};

class TIdleSettings : public TObject<IIdleSettings> {
 public:
  explicit TIdleSettings(std::shared_ptr<TaskData> d) : D(std::move(d)) {}
  HV_STR(IdleDuration, IdleDuration)
  HV_STR(WaitTimeout, IdleWait)
  HRESULT STDMETHODCALLTYPE get_StopOnIdleEnd(VARIANT_BOOL* v) override { return Out(v, VBool(D->StopOnIdleEnd)); }
  HRESULT STDMETHODCALLTYPE put_StopOnIdleEnd(VARIANT_BOOL v) override { D->StopOnIdleEnd = v != 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_RestartOnIdle(VARIANT_BOOL* v) override { return Out(v, VBool(D->RestartOnIdle)); }
  HRESULT STDMETHODCALLTYPE put_RestartOnIdle(VARIANT_BOOL v) override { D->RestartOnIdle = v != 0; return S_OK; }

 private:
  std::shared_ptr<TaskData> D;
};

class TSettings : public TObject<ITaskSettings> {
 public:
  explicit TSettings(std::shared_ptr<TaskData> d) : D(std::move(d)) {}
#define HV_BOOL(Name, Field)                                                                       \
  HRESULT STDMETHODCALLTYPE get_##Name(VARIANT_BOOL* v) override { return Out(v, VBool(D->Field)); } \
  HRESULT STDMETHODCALLTYPE put_##Name(VARIANT_BOOL v) override { D->Field = v != 0; return S_OK; }
  HV_BOOL(AllowDemandStart, AllowDemandStart)
  HV_BOOL(StopIfGoingOnBatteries, StopOnBatteries)
  HV_BOOL(DisallowStartIfOnBatteries, DisallowOnBatteries)
  HV_BOOL(AllowHardTerminate, AllowHardTerminate)
  HV_BOOL(StartWhenAvailable, StartWhenAvailable)
  HV_BOOL(RunOnlyIfNetworkAvailable, RunOnlyIfNetwork)
  HV_BOOL(Enabled, Enabled)
  HV_BOOL(Hidden, Hidden)
  HV_BOOL(RunOnlyIfIdle, RunOnlyIfIdle)
  HV_BOOL(WakeToRun, WakeToRun)
  HV_STR(RestartInterval, RestartInterval)
  HV_STR(ExecutionTimeLimit, ExecLimit)
  HV_STR(DeleteExpiredTaskAfter, DeleteExpired)
  HRESULT STDMETHODCALLTYPE get_RestartCount(INT* v) override { return Out(v, D->RestartCount); }
  HRESULT STDMETHODCALLTYPE put_RestartCount(INT v) override { D->RestartCount = v; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_MultipleInstances(TASK_INSTANCES_POLICY* v) override { return Out(v, D->Instances); }
  HRESULT STDMETHODCALLTYPE put_MultipleInstances(TASK_INSTANCES_POLICY v) override {
    if (v < 0 || v > 3) return E_INVALIDARG;
    D->Instances = v;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_XmlText(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_XmlText(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Priority(INT* v) override { return Out(v, D->Priority); }
  HRESULT STDMETHODCALLTYPE put_Priority(INT v) override {
    if (v < 0 || v > 10) return E_INVALIDARG;
    D->Priority = v;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Compatibility(TASK_COMPATIBILITY* v) override { return Out(v, D->Compatibility); }
  HRESULT STDMETHODCALLTYPE put_Compatibility(TASK_COMPATIBILITY v) override { D->Compatibility = v; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_IdleSettings(IIdleSettings** v) override { return Make<TIdleSettings>(v, D); }
  HRESULT STDMETHODCALLTYPE put_IdleSettings(IIdleSettings*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NetworkSettings(INetworkSettings**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NetworkSettings(INetworkSettings*) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<TaskData> D;
};
#undef HV_BOOL
#undef HV_STR

class TDefinition : public TObject<ITaskDefinition> {
 public:
  explicit TDefinition(std::shared_ptr<TaskData> d) : D(std::move(d)) {}
  std::shared_ptr<TaskData> D;
  HRESULT STDMETHODCALLTYPE get_RegistrationInfo(IRegistrationInfo** v) override { return Make<TRegInfo>(v, D); }
  HRESULT STDMETHODCALLTYPE put_RegistrationInfo(IRegistrationInfo*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection** v) override { return Make<TTriggers>(v, D); }
  HRESULT STDMETHODCALLTYPE put_Triggers(ITriggerCollection*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** v) override { return Make<TSettings>(v, D); }
  HRESULT STDMETHODCALLTYPE put_Settings(ITaskSettings*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Data(BSTR* v) override { return Out(v, D->Data); }
  HRESULT STDMETHODCALLTYPE put_Data(BSTR v) override { D->Data = FromBstr(v); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal** v) override { return Make<TPrincipal>(v, D); }
  HRESULT STDMETHODCALLTYPE put_Principal(IPrincipal*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** v) override { return Make<TActions>(v, D); }
  HRESULT STDMETHODCALLTYPE put_Actions(IActionCollection*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_XmlText(BSTR* v) override { return Out(v, TaskXml(*D)); }
  HRESULT STDMETHODCALLTYPE put_XmlText(BSTR v) override {
    TaskData parsed;
    try {
      ParseTaskXml(FromBstr(v), parsed);
    } catch (...) {
      return kMalformedXml;
    }
    *D = parsed;
    return S_OK;
  }
};

class TRunningTask : public TObject<IRunningTask> {
 public:
  explicit TRunningTask(std::shared_ptr<TaskEntry> t) : T(std::move(t)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return Out(v, T->Name); }
  HRESULT STDMETHODCALLTYPE get_InstanceGuid(BSTR* v) override { return Out(v, std::wstring(L"{00000000-0000-0000-0000-000000000001}")); }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* v) override { return Out(v, T->Path); }
  HRESULT STDMETHODCALLTYPE get_State(TASK_STATE* v) override { return Out(v, T->State); }
  HRESULT STDMETHODCALLTYPE get_CurrentAction(BSTR* v) override { return Out(v, std::wstring()); }
  HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Refresh() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_EnginePID(DWORD* v) override { return Out(v, 0); }

 private:
  std::shared_ptr<TaskEntry> T;
};

// Run takes no parameters (empty or null), one string or an array of strings.
bool ValidRunParameters(const VARIANT& p) {
  switch (p.vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_BSTR:
    case VT_ARRAY | VT_BSTR:
      return true;
    default:
      return false;
  }
}

void StartRun(TaskEntry& t) {
  t.State = TASK_STATE_RUNNING;
  t.LastRun = hv::TaskClock().Now();
  t.LastResult = hv::kTaskIsRunning;
}

DATE NextRun(const TaskEntry& t) {
  if (t.State == TASK_STATE_DISABLED) return 0;
  DATE now = hv::TaskClock().Now(), best = 0;
  for (auto& tr : t.Data->Triggers) {
    if (!tr->Enabled || tr->Start.empty()) continue;
    DATE start = hv::TaskTimeToDateTime(tr->Start), next = 0;
    if (tr->Type == TASK_TRIGGER_TIME) {
      if (start > now) next = start;
    } else if (tr->Type == TASK_TRIGGER_DAILY) {
      int step = tr->DaysInterval > 0 ? tr->DaysInterval : 1;
      next = start;
      if (next <= now) next += step * std::ceil((now - start) / step + 1e-9);
    } else {
      continue;
    }
    DATE end = hv::TaskTimeToDateTime(tr->End);
    if (next > 0 && (end < 1 || next <= end) && (best == 0 || next < best)) best = next;
  }
  return best;
}

class TRegisteredTask : public TObject<IRegisteredTask> {
 public:
  explicit TRegisteredTask(std::shared_ptr<TaskEntry> t) : T(std::move(t)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return Out(v, T->Name); }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* v) override { return Out(v, T->Path); }
  HRESULT STDMETHODCALLTYPE get_State(TASK_STATE* v) override { return T->Deleted ? kNotFound : Out(v, T->State); }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* v) override {
    return T->Deleted ? kNotFound : Out(v, VBool(T->Data->Enabled));
  }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL v) override {
    if (T->Deleted) return kNotFound;
    T->Data->Enabled = v != 0;
    if (!T->Data->Enabled && T->State != TASK_STATE_RUNNING) T->State = TASK_STATE_DISABLED;
    if (T->Data->Enabled && T->State == TASK_STATE_DISABLED) T->State = TASK_STATE_READY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Run(VARIANT p, IRunningTask** v) override {
    if (T->Deleted) return kNotFound;
    if (!ValidRunParameters(p)) return E_INVALIDARG;
    if (T->State == TASK_STATE_DISABLED) return kTaskDisabled;
    if (!T->Data->AllowDemandStart) return E_ACCESSDENIED;
    StartRun(*T);
    return v ? Make<TRunningTask>(v, T) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE RunEx(VARIANT p, LONG, LONG, BSTR, IRunningTask** v) override { return Run(p, v); }
  HRESULT STDMETHODCALLTYPE GetInstances(LONG, IRunningTaskCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LastRunTime(DATE* v) override { return T->Deleted ? kNotFound : Out(v, T->LastRun); }
  HRESULT STDMETHODCALLTYPE get_LastTaskResult(LONG* v) override { return T->Deleted ? kNotFound : Out(v, T->LastResult); }
  HRESULT STDMETHODCALLTYPE get_NumberOfMissedRuns(LONG* v) override { return Out(v, 0); }
  HRESULT STDMETHODCALLTYPE get_NextRunTime(DATE* v) override { return T->Deleted ? kNotFound : Out(v, NextRun(*T)); }
  HRESULT STDMETHODCALLTYPE get_Definition(ITaskDefinition** v) override {
    if (T->Deleted) return kNotFound;
    return Make<TDefinition>(v, T->Data->Clone());
  }
  HRESULT STDMETHODCALLTYPE get_Xml(BSTR* v) override { return T->Deleted ? kNotFound : Out(v, TaskXml(*T->Data)); }
  HRESULT STDMETHODCALLTYPE GetSecurityDescriptor(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSecurityDescriptor(BSTR, LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop(LONG) override {
    if (T->Deleted) return kNotFound;
    if (T->State == TASK_STATE_RUNNING) {
      T->State = T->Data->Enabled ? TASK_STATE_READY : TASK_STATE_DISABLED;
      T->LastResult = 0x41306;  // terminated by the user
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRunTimes(const LPSYSTEMTIME, const LPSYSTEMTIME, DWORD*, LPSYSTEMTIME*) override {
    return E_NOTIMPL;
  }

 private:
  std::shared_ptr<TaskEntry> T;
};

class TTaskCollection : public TObject<IRegisteredTaskCollection> {
 public:
  explicit TTaskCollection(std::vector<std::shared_ptr<TaskEntry>> t) : T(std::move(t)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* v) override { return Out(v, T.size()); }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IRegisteredTask** v) override {
    if (index.vt == VT_BSTR) {
      for (auto& t : T)
        if (SameText(t->Name, FromBstr(index.bstrVal))) return Make<TRegisteredTask>(v, t);
      return kNotFound;
    }
    LONG i = 0;
    if (FAILED(IndexFromVariant(index, i)) || i < 1 || i > static_cast<LONG>(T.size())) return E_INVALIDARG;
    return Make<TRegisteredTask>(v, T[i - 1]);
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

 private:
  std::vector<std::shared_ptr<TaskEntry>> T;
};

class TFolder;

class TFolderCollection : public TObject<ITaskFolderCollection> {
 public:
  TFolderCollection(std::shared_ptr<TStandinState> s, std::vector<std::shared_ptr<FolderEntry>> f)
      : S(std::move(s)), F(std::move(f)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* v) override { return Out(v, F.size()); }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, ITaskFolder** v) override;
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<TStandinState> S;
  std::vector<std::shared_ptr<FolderEntry>> F;
};

bool ValidName(std::wstring_view name) {
  if (name.empty()) return false;
  for (wchar_t c : name)
    if (c < 32 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) return false;
  return true;
}

bool IsCalendar(TASK_TRIGGER_TYPE2 t) {
  return t == TASK_TRIGGER_TIME || t == TASK_TRIGGER_DAILY || t == TASK_TRIGGER_WEEKLY || t == TASK_TRIGGER_MONTHLY ||
         t == TASK_TRIGGER_MONTHLYDOW;
}

// What the service checks when a definition is registered.
HRESULT Validate(const TaskData& d) {
  if (d.Actions.empty()) return kMissingNode;
  for (auto& t : d.Triggers) {
    if (IsCalendar(t->Type) && t->Start.empty()) return kMissingNode;
    for (const std::wstring* s : {&t->Start, &t->End})
      if (!s->empty() && hv::TaskTimeToDateTime(*s) == 0) return kInvalidValue;
    uint32_t interval = hv::DurationToSeconds(t->Interval), duration = hv::DurationToSeconds(t->Duration);
    if (!t->Interval.empty() && (interval < 60 || interval > 31 * 86400)) return kInvalidValue;
    if (!t->Duration.empty() && duration < interval) return kInvalidValue;
    if (t->Interval.empty() && !t->Duration.empty()) return kInvalidValue;
    if (t->Type == TASK_TRIGGER_WEEKLY && (t->DaysOfWeek & 0x7F) == 0) return kInvalidValue;
    if (t->Type == TASK_TRIGGER_MONTHLY && t->DaysOfMonth == 0 && !t->LastDay) return kInvalidValue;
    if (t->Type == TASK_TRIGGER_MONTHLYDOW && ((t->WeeksOfMonth & 15) == 0 && !t->LastWeek)) return kInvalidValue;
  }
  for (auto& a : d.Actions)
    if (a->Type == TASK_ACTION_EXEC && a->Path.empty()) return kMissingNode;
  return S_OK;
}

std::wstring VariantText(const VARIANT& v) {
  if (v.vt == VT_BSTR) return FromBstr(v.bstrVal);
  return {};
}

class TFolder : public TObject<ITaskFolder> {
 public:
  TFolder(std::shared_ptr<TStandinState> s, std::shared_ptr<FolderEntry> f) : S(std::move(s)), F(std::move(f)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return Out(v, F->Name); }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* v) override { return Out(v, F->Path); }
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** v) override {
    std::wstring p = FromBstr(path);
    auto f = S->FindFolder(!p.empty() && p[0] == L'\\' ? p : (F->Path == L"\\" ? L"\\" : F->Path + L"\\") + p);
    if (!f) return kNotFound;
    return Make<TFolder>(v, S, f);
  }
  HRESULT STDMETHODCALLTYPE GetFolders(LONG, ITaskFolderCollection** v) override {
    return Make<TFolderCollection>(v, S, F->Folders);
  }
  HRESULT STDMETHODCALLTYPE CreateFolder(BSTR name, VARIANT, ITaskFolder** v) override {
    std::wstring n = FromBstr(name);
    if (!ValidName(n)) return kInvalidName;
    for (auto& f : F->Folders)
      if (SameText(f->Name, n)) return kAlreadyExists;
    auto f = std::make_shared<FolderEntry>();
    f->Name = n;
    f->Path = (F->Path == L"\\" ? L"" : F->Path) + L"\\" + n;
    F->Folders.push_back(f);
    return v ? Make<TFolder>(v, S, f) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteFolder(BSTR name, LONG) override {
    std::wstring n = FromBstr(name);
    auto it = std::find_if(F->Folders.begin(), F->Folders.end(), [&](auto& f) { return SameText(f->Name, n); });
    if (it == F->Folders.end()) return kNotFound;
    if (!(*it)->Tasks.empty() || !(*it)->Folders.empty()) return kDirNotEmpty;
    F->Folders.erase(it);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTask(BSTR path, IRegisteredTask** v) override {
    auto t = Find(FromBstr(path));
    if (!t) return kNotFound;
    return Make<TRegisteredTask>(v, t);
  }
  HRESULT STDMETHODCALLTYPE GetTasks(LONG flags, IRegisteredTaskCollection** v) override {
    std::vector<std::shared_ptr<TaskEntry>> list;
    for (auto& t : F->Tasks)
      if (!t->Data->Hidden || (flags & TASK_ENUM_HIDDEN)) list.push_back(t);
    return Make<TTaskCollection>(v, list);
  }
  HRESULT STDMETHODCALLTYPE DeleteTask(BSTR name, LONG) override {
    std::wstring n = FromBstr(name);
    auto it = std::find_if(F->Tasks.begin(), F->Tasks.end(), [&](auto& t) { return SameText(t->Name, n); });
    if (it == F->Tasks.end()) return kNotFound;
    (*it)->Deleted = true;
    F->Tasks.erase(it);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RegisterTask(BSTR path, BSTR xml, LONG flags, VARIANT user, VARIANT password,
                                         TASK_LOGON_TYPE logon, VARIANT sddl, IRegisteredTask** v) override {
    auto d = std::make_shared<TaskData>();
    try {
      ParseTaskXml(FromBstr(xml), *d);
    } catch (...) {
      return kMalformedXml;
    }
    return Register(FromBstr(path), d, flags, user, password, logon, v);
  }
  HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR path, ITaskDefinition* definition, LONG flags, VARIANT user,
                                                   VARIANT password, TASK_LOGON_TYPE logon, VARIANT,
                                                   IRegisteredTask** v) override {
    auto* def = dynamic_cast<TDefinition*>(definition);
    if (!def) return E_INVALIDARG;
    return Register(FromBstr(path), def->D->Clone(), flags, user, password, logon, v);
  }
  HRESULT STDMETHODCALLTYPE GetSecurityDescriptor(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSecurityDescriptor(BSTR, LONG) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<TaskEntry> Find(const std::wstring& name) {
    for (auto& t : F->Tasks)
      if (SameText(t->Name, name)) return t;
    return nullptr;
  }

  HRESULT CheckAccount(TaskData& d, const std::wstring& user, const std::wstring& password, TASK_LOGON_TYPE logon) {
    switch (logon) {
      case TASK_LOGON_INTERACTIVE_TOKEN:
      case TASK_LOGON_S4U:
        if (!password.empty() && logon == TASK_LOGON_INTERACTIVE_TOKEN) return E_INVALIDARG;
        if (user.empty() || S->IsCurrentUser(user)) break;
        if (!S->Account(user)) return kNoneMapped;
        if (!S->Admin) return E_ACCESSDENIED;
        break;
      case TASK_LOGON_PASSWORD:
      case TASK_LOGON_INTERACTIVE_TOKEN_OR_PASSWORD: {
        if (user.empty()) return E_INVALIDARG;
        const TStandinAccount* a = S->Account(user);
        if (!a) return kNoneMapped;
        if (a->Password != password) return kLogonFailure;
        if (a->LogonError) return HRESULT_FROM_WIN32(a->LogonError);
        if (!S->Admin && !S->IsCurrentUser(user)) return E_ACCESSDENIED;
        break;
      }
      case TASK_LOGON_SERVICE_ACCOUNT: {
        std::wstring u = Lower(user);
        if (u != L"system" && u != L"nt authority\\system" && u != L"local service" && u != L"network service")
          return kNoneMapped;
        if (!S->Admin) return E_ACCESSDENIED;
        break;
      }
      case TASK_LOGON_NONE:
      case TASK_LOGON_GROUP: break;
      default: return E_INVALIDARG;
    }
    if (d.RunLevel == TASK_RUNLEVEL_HIGHEST && !S->Admin) return E_ACCESSDENIED;
    d.Logon = logon;
    if (!user.empty())
      d.UserId = user;
    else if (logon == TASK_LOGON_INTERACTIVE_TOKEN && d.UserId.empty())
      d.UserId = S->CurrentUser;
    return S_OK;
  }

  HRESULT Register(const std::wstring& name, std::shared_ptr<TaskData> d, LONG flags, const VARIANT& user,
                   const VARIANT& password, TASK_LOGON_TYPE logon, IRegisteredTask** v) {
    if (flags != TASK_CREATE && flags != TASK_UPDATE && flags != TASK_CREATE_OR_UPDATE) return E_INVALIDARG;
    if (!ValidName(name)) return kInvalidName;
    auto existing = Find(name);
    if (existing && flags == TASK_CREATE) return kAlreadyExists;
    if (!existing && flags == TASK_UPDATE) return kNotFound;
    if (HRESULT hr = Validate(*d); FAILED(hr)) return hr;
    S->LastUser = VariantText(user);
    S->LastPassword = VariantText(password);
    if (HRESULT hr = CheckAccount(*d, S->LastUser, S->LastPassword, logon); FAILED(hr)) return hr;
    if (!existing) {
      existing = std::make_shared<TaskEntry>();
      existing->Name = name;
      existing->Path = (F->Path == L"\\" ? L"" : F->Path) + L"\\" + name;
      auto pos = std::find_if(F->Tasks.begin(), F->Tasks.end(), [&](auto& t) { return Lower(t->Name) > Lower(name); });
      F->Tasks.insert(pos, existing);
    }
    existing->Data = d;
    if (existing->State != TASK_STATE_RUNNING) existing->State = d->Enabled ? TASK_STATE_READY : TASK_STATE_DISABLED;
    return v ? Make<TRegisteredTask>(v, existing) : S_OK;
  }

  std::shared_ptr<TStandinState> S;
  std::shared_ptr<FolderEntry> F;
};

HRESULT TFolderCollection::get_Item(VARIANT index, ITaskFolder** v) {
  LONG i = 0;
  if (FAILED(IndexFromVariant(index, i)) || i < 1 || i > static_cast<LONG>(F.size())) return E_INVALIDARG;
  return Make<TFolder>(v, S, F[i - 1]);
}

class TService : public TObject<ITaskService> {
 public:
  explicit TService(std::shared_ptr<TStandinState> s) : S(std::move(s)) {}
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** v) override {
    if (!FConnected) return kNotConnected;
    auto f = S->FindFolder(FromBstr(path));
    if (!f) return kNotFound;
    return Make<TFolder>(v, S, f);
  }
  HRESULT STDMETHODCALLTYPE GetRunningTasks(LONG, IRunningTaskCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition** v) override {
    if (!FConnected) return kNotConnected;
    if (flags != 0) return E_INVALIDARG;
    return Make<TDefinition>(v, std::make_shared<TaskData>());
  }
  HRESULT STDMETHODCALLTYPE Connect(VARIANT, VARIANT, VARIANT, VARIANT) override {
    if (FAILED(S->ConnectResult)) return S->ConnectResult;
    FConnected = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Connected(VARIANT_BOOL* v) override { return Out(v, VBool(FConnected)); }
  HRESULT STDMETHODCALLTYPE get_TargetServer(BSTR* v) override { return Out(v, std::wstring(L"TESTPC")); }
  HRESULT STDMETHODCALLTYPE get_ConnectedUser(BSTR* v) override {
    return Out(v, S->CurrentUser.substr(S->CurrentUser.find(L'\\') + 1));
  }
  HRESULT STDMETHODCALLTYPE get_ConnectedDomain(BSTR* v) override {
    return Out(v, S->CurrentUser.substr(0, S->CurrentUser.find(L'\\')));
  }
  HRESULT STDMETHODCALLTYPE get_HighestVersion(DWORD* v) override { return Out(v, 0x00010006); }

 private:
  std::shared_ptr<TStandinState> S;
  bool FConnected = false;
};

}  // namespace

TTaskServiceStandin::TTaskServiceStandin() : FState(std::make_shared<TStandinState>()) {}
TTaskServiceStandin::~TTaskServiceStandin() = default;

ComPtr<ITaskService> TTaskServiceStandin::NewService() {
  ComPtr<ITaskService> s;
  Make<TService>(s.GetAddressOf(), FState);
  return s;
}

void TTaskServiceStandin::SetCurrentUser(std::wstring_view user) { FState->CurrentUser = user; }
void TTaskServiceStandin::AddAccount(TStandinAccount account) { FState->Accounts.push_back(std::move(account)); }
void TTaskServiceStandin::SetAdmin(bool admin) { FState->Admin = admin; }
void TTaskServiceStandin::SetConnectResult(HRESULT hr) { FState->ConnectResult = hr; }

void TTaskServiceStandin::FinishRun(std::wstring_view taskPath, LONG result) {
  if (auto t = FState->FindTask(taskPath)) {
    if (t->LastRun == 0) t->LastRun = hv::TaskClock().Now();
    t->LastResult = result;
    t->State = t->Data->Enabled ? TASK_STATE_READY : TASK_STATE_DISABLED;
  }
}

bool TTaskServiceStandin::DeleteOutside(std::wstring_view taskPath) {
  auto t = FState->FindTask(taskPath);
  if (!t) return false;
  std::wstring p(taskPath);
  size_t slash = p.rfind(L'\\');
  auto folder = FState->FindFolder(slash == std::wstring::npos || slash == 0 ? L"\\" : p.substr(0, slash));
  t->Deleted = true;
  folder->Tasks.erase(std::find(folder->Tasks.begin(), folder->Tasks.end(), t));
  return true;
}

bool TTaskServiceStandin::RunOutside(std::wstring_view taskPath) {
  auto t = FState->FindTask(taskPath);
  if (!t || t->State == TASK_STATE_DISABLED) return false;
  StartRun(*t);
  return true;
}

std::wstring TTaskServiceStandin::StoredXml(std::wstring_view taskPath) {
  auto t = FState->FindTask(taskPath);
  return t ? TaskXml(*t->Data) : std::wstring();
}

std::wstring TTaskServiceStandin::LastUser() const { return FState->LastUser; }
std::wstring TTaskServiceStandin::LastPassword() const { return FState->LastPassword; }

int TTaskServiceStandin::TaskCount(std::wstring_view folderPath) {
  auto f = FState->FindFolder(folderPath);
  return f ? static_cast<int>(f->Tasks.size()) : -1;
}

}  // namespace hv::test
