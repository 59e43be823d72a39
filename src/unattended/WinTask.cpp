#include "unattended/WinTask.h"

#include <oleauto.h>

#include <cmath>
#include <cwctype>

#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {

// ---- errors and small COM helpers ----

EOleSysError::EOleSysError(HRESULT code)
    : Exception(SystemErrorText(static_cast<uint32_t>(code))), FCode(code) {}

void OleCheck(HRESULT hr) {
  if (FAILED(hr)) throw EOleSysError(hr);
}

namespace {

class TBStr {
 public:
  TBStr() = default;
  explicit TBStr(std::wstring_view s) : FStr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  TBStr(const TBStr&) = delete;
  TBStr& operator=(const TBStr&) = delete;
  ~TBStr() { SysFreeString(FStr); }
  BSTR* Out() {
    SysFreeString(FStr);
    FStr = nullptr;
    return &FStr;
  }
  operator BSTR() const { return FStr; }
  std::wstring Str() const { return FStr ? std::wstring(FStr, SysStringLen(FStr)) : std::wstring(); }

 private:
  BSTR FStr = nullptr;
};

// A VARIANT that clears itself.
class TVariant {
 public:
  TVariant() { VariantInit(&V); }
  explicit TVariant(std::wstring_view s) : TVariant() {
    V.vt = VT_BSTR;
    V.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  }
  explicit TVariant(long n) : TVariant() {
    V.vt = VT_I4;
    V.lVal = n;
  }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  ~TVariant() { VariantClear(&V); }
  VARIANT V;
};

template <class I>
std::wstring GetStr(I* p, HRESULT (STDMETHODCALLTYPE I::*get)(BSTR*)) {
  TBStr b;
  OleCheck((p->*get)(b.Out()));
  return b.Str();
}

template <class I>
void PutStr(I* p, HRESULT (STDMETHODCALLTYPE I::*put)(BSTR), std::wstring_view v) {
  TBStr b(v);
  OleCheck((p->*put)(b));
}

template <class I>
bool GetBool(I* p, HRESULT (STDMETHODCALLTYPE I::*get)(VARIANT_BOOL*)) {
  VARIANT_BOOL b = VARIANT_FALSE;
  OleCheck((p->*get)(&b));
  return b != 0;
}

template <class I>
void PutBool(I* p, HRESULT (STDMETHODCALLTYPE I::*put)(VARIANT_BOOL), bool v) {
  OleCheck((p->*put)(v ? VARIANT_TRUE : VARIANT_FALSE));
}

std::wstring LocaleText(LCTYPE type) {
  wchar_t buf[100];
  int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buf, static_cast<int>(std::size(buf)));
  return n > 1 ? std::wstring(buf, n - 1) : std::wstring();
}

// ---- date-time values ----

int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

const int64_t kDelphiEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool TryEncodeDateTime(int y, int m, int d, int h, int n, int s, TDateTime& dt) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  if (d > kDays[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0)) return false;
  if (h > 23 || n > 59 || s > 59) return false;
  dt = static_cast<double>(DaysFromCivil(y, m, d) - kDelphiEpoch) + (h * 3600 + n * 60 + s) / 86400.0;
  return true;
}

SYSTEMTIME DecodeDateTime(TDateTime dt) {
  double day = std::floor(dt);
  int64_t ms = std::llround((dt - day) * 86400000.0);
  if (ms >= 86400000) {
    day += 1;
    ms = 0;
  }
  // civil from days
  int64_t z = static_cast<int64_t>(day) + kDelphiEpoch + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(yoe + era * 400 + (m <= 2));
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>((static_cast<int64_t>(day) % 7 + 13) % 7);  // 1899-12-30 was a Saturday
  st.wHour = static_cast<WORD>(ms / 3600000);
  st.wMinute = static_cast<WORD>(ms / 60000 % 60);
  st.wSecond = static_cast<WORD>(ms / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(ms % 1000);
  return st;
}

std::wstring TwoDigits(unsigned v) {
  wchar_t buf[4] = {static_cast<wchar_t>(L'0' + v / 10 % 10), static_cast<wchar_t>(L'0' + v % 10), 0};
  return buf;
}

std::wstring ShortDateText(TDateTime dt) {
  SYSTEMTIME st = DecodeDateTime(dt);
  wchar_t buf[80];
  int n = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, static_cast<int>(std::size(buf)), nullptr);
  return n > 1 ? std::wstring(buf, n - 1) : std::wstring();
}

std::wstring HourMinuteText(TDateTime dt) {
  SYSTEMTIME st = DecodeDateTime(dt);
  return TwoDigits(st.wHour) + L":" + TwoDigits(st.wMinute);
}

class TSystemTaskClock : public ITaskClock {
 public:
  TDateTime Now() override { return NowLocal(); }
  int UtcOffsetMinutes(TDateTime localTime) override {
    SYSTEMTIME local = DecodeDateTime(localTime), utc{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) return 0;
    FILETIME fl{}, fu{};
    if (!SystemTimeToFileTime(&local, &fl) || !SystemTimeToFileTime(&utc, &fu)) return 0;
    auto v = [](const FILETIME& f) { return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime); };
    return static_cast<int>((v(fl) - v(fu)) / 600000000LL);
  }
};

ITaskClock* gTaskClock = nullptr;

}  // namespace

ITaskClock& TaskClock() {
  static TSystemTaskClock system;
  return gTaskClock ? *gTaskClock : system;
}

void SetTaskClock(ITaskClock* clock) { gTaskClock = clock; }

// ---- texts ----

std::wstring PluralText(std::wstring_view singular, std::wstring_view plural, int count) {
  return SafeFormatTask(count == 1 ? singular : plural, count);
}

uint32_t GetServiceState(std::wstring_view machineName, std::wstring_view serviceName) {
  std::wstring machine(machineName), service(serviceName);
  SC_HANDLE scm = OpenSCManagerW(machine.empty() ? nullptr : machine.c_str(), nullptr, 0x15);
  if (!scm) return 0;
  uint32_t state = 0;
  if (SC_HANDLE svc = OpenServiceW(scm, service.c_str(), 0x80000080)) {
    SERVICE_STATUS status{};
    if (QueryServiceStatus(svc, &status)) state = status.dwCurrentState;
    CloseServiceHandle(svc);
  }
  CloseServiceHandle(scm);
  return state;
}

uint16_t ReadNextNumber(std::wstring& s) {
  size_t i = 0;
  while (i < s.size() && !(s[i] >= L'0' && s[i] <= L'9')) ++i;
  uint32_t n = 0;
  size_t j = i;
  while (j < s.size() && s[j] >= L'0' && s[j] <= L'9') {
    n = n * 10 + (s[j] - L'0');
    n &= 0xFFFFFu;  // only the low 16 bits are kept in the end
    ++j;
  }
  s.erase(0, j);
  return static_cast<uint16_t>(n & 0xFFFF);
}

TDateTime TaskTimeToDateTime(std::wstring_view text, bool& zone) {
  zone = false;
  if (text.empty()) return 0;
  std::wstring s(text);
  int v[6];
  for (int& x : v) x = ReadNextNumber(s);
  TDateTime dt = 0;
  if (!TryEncodeDateTime(v[0], v[1], v[2], v[3], v[4], v[5], dt)) return 0;
  zone = !s.empty();
  // fractional seconds, then "Z" or an offset
  size_t i = 0;
  if (i < s.size() && s[i] == L'.') {
    ++i;
    while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') ++i;
  }
  std::wstring_view rest = std::wstring_view(s).substr(i);
  int offset = 0;
  bool hasOffset = false;
  if (!rest.empty() && (rest[0] == L'Z' || rest[0] == L'z')) {
    hasOffset = true;
  } else if (rest.size() >= 3 && (rest[0] == L'+' || rest[0] == L'-')) {
    std::wstring r(rest.substr(1));
    int h = ReadNextNumber(r);
    int m = ReadNextNumber(r);
    offset = (rest[0] == L'-' ? -1 : 1) * (h * 60 + m);
    hasOffset = true;
  }
  if (hasOffset) {
    // to local time, in the offset that holds at that moment
    TDateTime utc = dt - offset / 1440.0;
    int local = TaskClock().UtcOffsetMinutes(utc + TaskClock().UtcOffsetMinutes(utc) / 1440.0);
    dt = utc + local / 1440.0;
    // keep whole seconds exact
    dt = std::round(dt * 86400.0) / 86400.0;
  }
  return dt;
}

TDateTime TaskTimeToDateTime(std::wstring_view s) {
  bool zone;
  return TaskTimeToDateTime(s, zone);
}

std::wstring DateTimeToTaskTime(TDateTime dt, bool withZone) {
  if (dt < 1) return {};
  SYSTEMTIME st = DecodeDateTime(dt);
  std::wstring r = std::to_wstring(st.wYear / 1000 % 10) + std::to_wstring(st.wYear / 100 % 10) + TwoDigits(st.wYear % 100) +
                   L"-" + TwoDigits(st.wMonth) + L"-" + TwoDigits(st.wDay) + L"T" + TwoDigits(st.wHour) + L":" +
                   TwoDigits(st.wMinute) + L":" + TwoDigits(st.wSecond);
  if (withZone) {
    int offset = TaskClock().UtcOffsetMinutes(dt);
    if (offset == 0) {
      r += L"Z";
    } else {
      r += offset < 0 ? L"-" : L"+";
      unsigned a = static_cast<unsigned>(std::abs(offset));
      r += TwoDigits(a / 60) + L":" + TwoDigits(a % 60);
    }
  }
  return r;
}

std::wstring DateTimeToText(TDateTime dt) {
  if (dt < 36526) return {};  // before 2000-01-01: never
  SYSTEMTIME st = DecodeDateTime(dt);
  std::wstring r = ShortDateText(dt);
  if (st.wHour || st.wMinute || st.wSecond) {
    wchar_t buf[80];
    int n = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, buf, static_cast<int>(std::size(buf)));
    if (n > 1) r += L" " + std::wstring(buf, n - 1);
  }
  return r;
}

TWinTaskCompatibility CompatibilityForVersion(bool nt, unsigned major, unsigned minor) {
  if (!nt) return TWinTaskCompatibility::tcAT;
  if (major == 5) return TWinTaskCompatibility::tcXP;
  if (major >= 10) return TWinTaskCompatibility::tcWin10;
  return minor == 0 ? TWinTaskCompatibility::tcVista : TWinTaskCompatibility::tcWin7;
}

TWinTaskCompatibility DefaultCompatibility() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (fn && fn(&vi) == 0)
      return CompatibilityForVersion(vi.dwPlatformId == VER_PLATFORM_WIN32_NT, vi.dwMajorVersion, vi.dwMinorVersion);
  }
  return TWinTaskCompatibility::tcWin7;
}

SYSTEMTIME DateTimeToSystemTime(TDateTime dt) { return DecodeDateTime(dt); }

TDateTime SystemTimeToDateTime(const SYSTEMTIME& st) {
  TDateTime dt = 0;
  if (!TryEncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, dt)) return 0;
  return dt + st.wMilliseconds / 86400000.0;
}

uint32_t DurationToSeconds(std::wstring_view text) {
  if (text.empty() || std::towupper(text[0]) != L'P') return 0;
  std::wstring s(text.substr(1));
  uint32_t r = 0;
  auto startsWith = [&s](wchar_t c) { return !s.empty() && std::towupper(s[0]) == c; };
  // date part: days count, other units are ignored
  while (!s.empty() && !startsWith(L'T')) {
    uint32_t n = ReadNextNumber(s);
    if (startsWith(L'D')) r += n * 86400;
    if (!s.empty()) s.erase(0, 1);
  }
  if (startsWith(L'T')) {
    s.erase(0, 1);
    while (!s.empty()) {
      uint32_t n = ReadNextNumber(s);
      if (startsWith(L'H'))
        r += n * 3600;
      else if (startsWith(L'M'))
        r += n * 60;
      else if (startsWith(L'S'))
        r += n;
      if (!s.empty()) s.erase(0, 1);
    }
  }
  return r;
}

std::wstring SecondsToDuration(uint32_t n) {
  if (n == 0) return {};
  std::wstring r = L"P";
  if (n >= 86400) r += std::to_wstring(n / 86400) + L"D";
  n %= 86400;
  if (n) {
    r += L"T";
    if (n / 3600) r += std::to_wstring(n / 3600) + L"H";
    if (n / 60 % 60) r += std::to_wstring(n / 60 % 60) + L"M";
    if (n % 60) r += std::to_wstring(n % 60) + L"S";
  }
  return r;
}

std::wstring StatusText(TWinTaskStatus status) {
  static const wchar_t* const kTexts[] = {L"Unknown", L"Ready", L"Queued", L"Running", L"Disabled"};
  return _(kTexts[static_cast<int>(status)]);
}

std::wstring CompatibilityText(TWinTaskCompatibility c) {
  static const wchar_t* const kTexts[] = {L"deprecated", L"Windows XP", L"Windows Vista", L"Windows 7", L"Windows 10"};
  return _(kTexts[static_cast<int>(c)]);
}

std::wstring TriggerTypeText(TWinTaskTriggerType t) {
  static const wchar_t* const kTexts[] = {
      L"On an event", L"One time", L"Daily", L"Weekly", L"Monthly", L"Monthly", L"On idle",
      L"On task creation/modification", L"At startup", L"At log on", L"On session state change", L"Custom trigger"};
  return _(kTexts[static_cast<int>(t)]);
}

std::wstring ActionTypeText(TWinTaskActionType t) {
  static const wchar_t* const kTexts[] = {L"Start a program", L"File handler", L"Send an email", L"Display a message"};
  return _(kTexts[static_cast<int>(t)]);
}

std::wstring RemoveQuotes(std::wstring_view s) {
  auto dequote = [](std::wstring_view t) -> std::wstring {
    if (t.empty() || t[0] != L'"') return std::wstring(t);
    std::wstring r;
    for (size_t i = 1; i < t.size(); ++i) {
      if (t[i] == L'"') {
        if (i + 1 < t.size() && t[i + 1] == L'"') {
          r += L'"';
          ++i;
        } else {
          return r;
        }
      } else {
        r += t[i];
      }
    }
    return r;
  };
  if (s.size() < 2 || s.front() != L'"' || s.back() != L'"') return std::wstring(s);
  std::wstring r = dequote(s);
  if (r.empty() && s.size() > 2) {
    std::wstring inner(s.substr(1, s.size() - 2)), quoted = L"\"";
    for (wchar_t c : inner) {
      if (c == L'"') quoted += L'"';
      quoted += c;
    }
    quoted += L'"';
    r = dequote(quoted);
  }
  return r;
}

// ---- triggers ----

namespace {

TWinTaskTriggerType TriggerTypeFromPlatform(int t) {
  if (t >= 0 && t <= 9) return static_cast<TWinTaskTriggerType>(t);
  if (t == 11) return TWinTaskTriggerType::ttSessionStateChange;
  return TWinTaskTriggerType::ttCustom;
}

TASK_TRIGGER_TYPE2 PlatformTriggerType(TWinTaskTriggerType t) {
  if (t == TWinTaskTriggerType::ttSessionStateChange) return TASK_TRIGGER_SESSION_STATE_CHANGE;
  if (t == TWinTaskTriggerType::ttCustom) return static_cast<TASK_TRIGGER_TYPE2>(12);
  return static_cast<TASK_TRIGGER_TYPE2>(static_cast<int>(t));
}

using TT = TWinTaskTriggerType;

}  // namespace

template <class I>
ComPtr<I> TWinTaskTrigger::As() const {
  ComPtr<I> p;
  OleCheck(pTrigger.As(&p));
  return p;
}

void TWinTaskTrigger::SetTaskTrigger(ITrigger* value) {
  pTrigger = value;
  TASK_TRIGGER_TYPE2 t{};
  OleCheck(pTrigger->get_Type(&t));
  FTriggerType = TriggerTypeFromPlatform(static_cast<int>(t));
  TaskTimeToDateTime(StartTimeBoundary(), UseTimeZone);
}

void TWinTaskTrigger::SetTaskTrigger(ITrigger* value, TWinTaskTriggerType type) {
  pTrigger = value;
  FTriggerType = type;
  TaskTimeToDateTime(StartTimeBoundary(), UseTimeZone);
}

void TWinTaskTrigger::SetToDefault(std::wstring_view userId) {
  SetStartTime(TaskClock().Now());
  SetLogonUserId(userId);
}

std::wstring TWinTaskTrigger::Id() const { return GetStr(pTrigger.Get(), &ITrigger::get_Id); }
void TWinTaskTrigger::SetId(std::wstring_view v) { PutStr(pTrigger.Get(), &ITrigger::put_Id, v); }
bool TWinTaskTrigger::Enabled() const { return GetBool(pTrigger.Get(), &ITrigger::get_Enabled); }
void TWinTaskTrigger::SetEnabled(bool v) { PutBool(pTrigger.Get(), &ITrigger::put_Enabled, v); }
std::wstring TWinTaskTrigger::StartTimeBoundary() const { return GetStr(pTrigger.Get(), &ITrigger::get_StartBoundary); }
TDateTime TWinTaskTrigger::StartTime() const { return TaskTimeToDateTime(StartTimeBoundary()); }
void TWinTaskTrigger::SetStartTime(TDateTime v) {
  PutStr(pTrigger.Get(), &ITrigger::put_StartBoundary, DateTimeToTaskTime(v, UseTimeZone));
}
TDateTime TWinTaskTrigger::EndTime() const { return TaskTimeToDateTime(GetStr(pTrigger.Get(), &ITrigger::get_EndBoundary)); }
void TWinTaskTrigger::SetEndTime(TDateTime v) {
  PutStr(pTrigger.Get(), &ITrigger::put_EndBoundary, DateTimeToTaskTime(v, UseTimeZone));
}
uint32_t TWinTaskTrigger::ExecutionTimeLimit() const {
  return DurationToSeconds(GetStr(pTrigger.Get(), &ITrigger::get_ExecutionTimeLimit));
}
void TWinTaskTrigger::SetExecutionTimeLimit(uint32_t s) {
  PutStr(pTrigger.Get(), &ITrigger::put_ExecutionTimeLimit, SecondsToDuration(s));
}

ComPtr<IRepetitionPattern> TWinTaskTrigger::Repetition() const {
  ComPtr<IRepetitionPattern> r;
  OleCheck(pTrigger->get_Repetition(&r));
  return r;
}
uint32_t TWinTaskTrigger::Interval() const {
  return DurationToSeconds(GetStr(Repetition().Get(), &IRepetitionPattern::get_Interval));
}
void TWinTaskTrigger::SetInterval(uint32_t s) {
  PutStr(Repetition().Get(), &IRepetitionPattern::put_Interval, SecondsToDuration(s));
}
uint32_t TWinTaskTrigger::Duration() const {
  return DurationToSeconds(GetStr(Repetition().Get(), &IRepetitionPattern::get_Duration));
}
void TWinTaskTrigger::SetDuration(uint32_t s) {
  PutStr(Repetition().Get(), &IRepetitionPattern::put_Duration, SecondsToDuration(s));
}
bool TWinTaskTrigger::StopAtDurationEnd() const {
  return GetBool(Repetition().Get(), &IRepetitionPattern::get_StopAtDurationEnd);
}
void TWinTaskTrigger::SetStopAtDurationEnd(bool v) {
  PutBool(Repetition().Get(), &IRepetitionPattern::put_StopAtDurationEnd, v);
}

uint32_t TWinTaskTrigger::Delay() const {
  switch (FTriggerType) {
    case TT::ttEvent: return DurationToSeconds(GetStr(As<IEventTrigger>().Get(), &IEventTrigger::get_Delay));
    case TT::ttBoot: return DurationToSeconds(GetStr(As<IBootTrigger>().Get(), &IBootTrigger::get_Delay));
    case TT::ttLogon: return DurationToSeconds(GetStr(As<ILogonTrigger>().Get(), &ILogonTrigger::get_Delay));
    default: return 0;
  }
}
void TWinTaskTrigger::SetDelay(uint32_t s) {
  std::wstring d = SecondsToDuration(s);
  switch (FTriggerType) {
    case TT::ttEvent: PutStr(As<IEventTrigger>().Get(), &IEventTrigger::put_Delay, d); break;
    case TT::ttBoot: PutStr(As<IBootTrigger>().Get(), &IBootTrigger::put_Delay, d); break;
    case TT::ttLogon: PutStr(As<ILogonTrigger>().Get(), &ILogonTrigger::put_Delay, d); break;
    default: break;
  }
}

uint32_t TWinTaskTrigger::RandomDelay() const {
  switch (FTriggerType) {
    case TT::ttTime: return DurationToSeconds(GetStr(As<ITimeTrigger>().Get(), &ITimeTrigger::get_RandomDelay));
    case TT::ttDaily: return DurationToSeconds(GetStr(As<IDailyTrigger>().Get(), &IDailyTrigger::get_RandomDelay));
    case TT::ttWeekly: return DurationToSeconds(GetStr(As<IWeeklyTrigger>().Get(), &IWeeklyTrigger::get_RandomDelay));
    case TT::ttMonthly: return DurationToSeconds(GetStr(As<IMonthlyTrigger>().Get(), &IMonthlyTrigger::get_RandomDelay));
    case TT::ttMonthlyDow:
      return DurationToSeconds(GetStr(As<IMonthlyDOWTrigger>().Get(), &IMonthlyDOWTrigger::get_RandomDelay));
    default: return 0;
  }
}
void TWinTaskTrigger::SetRandomDelay(uint32_t s) {
  std::wstring d = SecondsToDuration(s);
  switch (FTriggerType) {
    case TT::ttTime: PutStr(As<ITimeTrigger>().Get(), &ITimeTrigger::put_RandomDelay, d); break;
    case TT::ttDaily: PutStr(As<IDailyTrigger>().Get(), &IDailyTrigger::put_RandomDelay, d); break;
    case TT::ttWeekly: PutStr(As<IWeeklyTrigger>().Get(), &IWeeklyTrigger::put_RandomDelay, d); break;
    case TT::ttMonthly: PutStr(As<IMonthlyTrigger>().Get(), &IMonthlyTrigger::put_RandomDelay, d); break;
    case TT::ttMonthlyDow: PutStr(As<IMonthlyDOWTrigger>().Get(), &IMonthlyDOWTrigger::put_RandomDelay, d); break;
    default: break;
  }
}

int16_t TWinTaskTrigger::DaysInterval() const {
  if (FTriggerType != TT::ttDaily) return 0;
  short v = 0;
  OleCheck(As<IDailyTrigger>()->get_DaysInterval(&v));
  return v;
}
void TWinTaskTrigger::SetDaysInterval(int16_t v) {
  if (FTriggerType == TT::ttDaily && v > 0) OleCheck(As<IDailyTrigger>()->put_DaysInterval(v));
}

int TWinTaskTrigger::DaysOfWeek() const {
  short v = 0;
  if (FTriggerType == TT::ttWeekly)
    OleCheck(As<IWeeklyTrigger>()->get_DaysOfWeek(&v));
  else if (FTriggerType == TT::ttMonthlyDow)
    OleCheck(As<IMonthlyDOWTrigger>()->get_DaysOfWeek(&v));
  return v & 0x7F;
}
void TWinTaskTrigger::SetDaysOfWeek(int v) {
  if (v < 1 || v > 127) return;
  if (FTriggerType == TT::ttWeekly)
    OleCheck(As<IWeeklyTrigger>()->put_DaysOfWeek(static_cast<short>(v)));
  else if (FTriggerType == TT::ttMonthlyDow)
    OleCheck(As<IMonthlyDOWTrigger>()->put_DaysOfWeek(static_cast<short>(v)));
}

int TWinTaskTrigger::WeeksInterval() const {
  if (FTriggerType != TT::ttWeekly) return 0;
  short v = 0;
  OleCheck(As<IWeeklyTrigger>()->get_WeeksInterval(&v));
  return v;
}
void TWinTaskTrigger::SetWeeksInterval(int v) {
  if (FTriggerType == TT::ttWeekly && v > 0) OleCheck(As<IWeeklyTrigger>()->put_WeeksInterval(static_cast<short>(v)));
}

int TWinTaskTrigger::WeeksOfMonth() const {
  if (FTriggerType != TT::ttMonthlyDow) return 0;
  short v = 0;
  OleCheck(As<IMonthlyDOWTrigger>()->get_WeeksOfMonth(&v));
  int r = v & 0x1F;
  if (RunOnLastWeekOfMonth()) r |= 16;
  return r;
}
void TWinTaskTrigger::SetWeeksOfMonth(int v) {
  if (FTriggerType != TT::ttMonthlyDow || v < 1 || v > 31) return;
  OleCheck(As<IMonthlyDOWTrigger>()->put_WeeksOfMonth(static_cast<short>(v)));
  SetRunOnLastWeekOfMonth((v & 16) != 0);
}
bool TWinTaskTrigger::RunOnLastWeekOfMonth() const {
  if (FTriggerType != TT::ttMonthlyDow) return false;
  return GetBool(As<IMonthlyDOWTrigger>().Get(), &IMonthlyDOWTrigger::get_RunOnLastWeekOfMonth);
}
void TWinTaskTrigger::SetRunOnLastWeekOfMonth(bool v) {
  if (FTriggerType == TT::ttMonthlyDow)
    PutBool(As<IMonthlyDOWTrigger>().Get(), &IMonthlyDOWTrigger::put_RunOnLastWeekOfMonth, v);
}

int TWinTaskTrigger::DaysOfMonth() const {
  if (FTriggerType != TT::ttMonthly) return 0;
  long v = 0;
  OleCheck(As<IMonthlyTrigger>()->get_DaysOfMonth(&v));
  uint32_t r = static_cast<uint32_t>(v) & 0x7FFFFFFFu;
  if (RunOnLastDayOfMonth()) r |= 0x80000000u;
  return static_cast<int>(r);
}
void TWinTaskTrigger::SetDaysOfMonth(int v) {
  if (FTriggerType != TT::ttMonthly || v == 0) return;
  // bit 31 is the last day, which the platform keeps as its own flag
  uint32_t mask = static_cast<uint32_t>(v);
  OleCheck(As<IMonthlyTrigger>()->put_DaysOfMonth(static_cast<long>(mask & 0x7FFFFFFFu)));
  SetRunOnLastDayOfMonth((mask & 0x80000000u) != 0);
}
bool TWinTaskTrigger::RunOnLastDayOfMonth() const {
  if (FTriggerType != TT::ttMonthly) return false;
  return GetBool(As<IMonthlyTrigger>().Get(), &IMonthlyTrigger::get_RunOnLastDayOfMonth);
}
void TWinTaskTrigger::SetRunOnLastDayOfMonth(bool v) {
  if (FTriggerType == TT::ttMonthly) PutBool(As<IMonthlyTrigger>().Get(), &IMonthlyTrigger::put_RunOnLastDayOfMonth, v);
}

int TWinTaskTrigger::MonthsOfYear() const {
  short v = 0;
  if (FTriggerType == TT::ttMonthly)
    OleCheck(As<IMonthlyTrigger>()->get_MonthsOfYear(&v));
  else if (FTriggerType == TT::ttMonthlyDow)
    OleCheck(As<IMonthlyDOWTrigger>()->get_MonthsOfYear(&v));
  return v & 0xFFF;
}
void TWinTaskTrigger::SetMonthsOfYear(int v) {
  if (v < 1 || v > 4095) return;
  if (FTriggerType == TT::ttMonthly)
    OleCheck(As<IMonthlyTrigger>()->put_MonthsOfYear(static_cast<short>(v)));
  else if (FTriggerType == TT::ttMonthlyDow)
    OleCheck(As<IMonthlyDOWTrigger>()->put_MonthsOfYear(static_cast<short>(v)));
}

std::wstring TWinTaskTrigger::LogonUserId() const {
  if (FTriggerType != TT::ttLogon) return {};
  return GetStr(As<ILogonTrigger>().Get(), &ILogonTrigger::get_UserId);
}
void TWinTaskTrigger::SetLogonUserId(std::wstring_view v) {
  if (FTriggerType == TT::ttLogon) PutStr(As<ILogonTrigger>().Get(), &ILogonTrigger::put_UserId, v);
}
std::wstring TWinTaskTrigger::Subscription() const {
  if (FTriggerType != TT::ttEvent) return {};
  return GetStr(As<IEventTrigger>().Get(), &IEventTrigger::get_Subscription);
}
void TWinTaskTrigger::SetSubscription(std::wstring_view v) {
  if (FTriggerType == TT::ttEvent) PutStr(As<IEventTrigger>().Get(), &IEventTrigger::put_Subscription, v);
}

namespace {

std::wstring JoinList(const std::vector<std::wstring>& items) {
  std::wstring r;
  for (const auto& s : items) {
    if (!r.empty()) r += L", ";
    r += s;
  }
  return r;
}

std::wstring DayList(int mask) {
  std::vector<std::wstring> r;
  for (int i = 0; i < 7; ++i)  // Sunday first; the locale numbers Monday as day 1
    if (mask & (1 << i)) r.push_back(LocaleText(i == 0 ? LOCALE_SDAYNAME7 : LOCALE_SDAYNAME1 + i - 1));
  return JoinList(r);
}

std::wstring MonthList(int mask) {
  std::vector<std::wstring> r;
  for (int i = 0; i < 12; ++i)
    if (mask & (1 << i)) r.push_back(LocaleText(LOCALE_SMONTHNAME1 + i));
  return JoinList(r);
}

std::wstring WeekList(int mask) {
  static const wchar_t* const kWeeks[] = {L"First", L"Second", L"Third", L"Fourth", L"Last"};
  std::vector<std::wstring> r;
  for (int i = 0; i < 5; ++i)
    if (mask & (1 << i)) r.push_back(_(kWeeks[i]));
  return JoinList(r);
}

std::wstring MonthDayList(uint32_t mask) {
  std::vector<std::wstring> r;
  for (int i = 0; i < 31; ++i)
    if (mask & (1u << i)) r.push_back(std::to_wstring(i + 1));
  if (mask & 0x80000000u) r.push_back(_(L"Last"));
  return JoinList(r);
}

std::wstring PeriodText(uint32_t s) {
  if (s >= 86400) return PluralText(_(L"every day"), _(L"every %u days"), static_cast<int>(s / 86400));
  if (s / 3600) return PluralText(_(L"every hour"), _(L"every %u hours"), static_cast<int>(s / 3600));
  if (s / 60) return PluralText(_(L"every minute"), _(L"every %u minutes"), static_cast<int>(s / 60));
  return PluralText(_(L"every second"), _(L"every %u seconds"), static_cast<int>(s));
}

// The length of a repetition, in its largest unit.
std::wstring AmountText(uint32_t s) {
  if (s >= 86400) return PluralText(_(L"1 day"), _(L"%u days"), static_cast<int>(s / 86400));
  if (s / 3600) return PluralText(_(L"1 hour"), _(L"%u hours"), static_cast<int>(s / 3600));
  if (s / 60) return PluralText(_(L"1 minute"), _(L"%u minutes"), static_cast<int>(s / 60));
  return PluralText(_(L"1 second"), _(L"%u seconds"), static_cast<int>(s));
}

}  // namespace

std::wstring TWinTaskTrigger::TriggerString() const {
  TDateTime start = TaskTimeToDateTime(StartTimeBoundary());
  std::wstring time = HourMinuteText(start), date = ShortDateText(start);
  TASK_TRIGGER_TYPE2 t{};
  OleCheck(pTrigger->get_Type(&t));
  auto startSuffix = [&]() -> std::wstring {
    return start >= 1 ? SafeFormatTask(_(L", starting at %0:s on %1:s"), time, date) : std::wstring();
  };
  switch (static_cast<int>(t)) {
    case 0: return _(L"On an event") + startSuffix();
    case 1: return SafeFormatTask(_(L"At %0:s on %1:s"), time, date);
    case 2: {
      int days = DaysInterval();
      if (days < 2) return SafeFormatTask(_(L"At %s every day"), time);
      std::wstring r = SafeFormatTask(_(L"At %0:s every %1:u days"), time, days);
      if (!GetStr(Repetition().Get(), &IRepetitionPattern::get_Interval).empty())
        r += SafeFormatTask(_(L" - After triggered, repeat %0:s for a duration of %1:s"), PeriodText(Interval()),
                            AmountText(Duration()));
      return r;
    }
    case 3: {
      int weeks = WeeksInterval();
      if (weeks < 2) return SafeFormatTask(_(L"At %0:s every %1:s of every week, starting %2:s"), time, DayList(DaysOfWeek()), date);
      return SafeFormatTask(_(L"At %0:s every %1:s of every %2:u weeks, starting %3:s"), time, DayList(DaysOfWeek()), weeks, date);
    }
    case 4:
      return SafeFormatTask(_(L"At %0:s on %1:s of %2:s, starting %3:s"), time,
                            MonthDayList(static_cast<uint32_t>(DaysOfMonth())), MonthList(MonthsOfYear()), date);
    case 5:
      return SafeFormatTask(_(L"Runs on the %0:s %1:s, each %2:s starting %3:s"), WeekList(WeeksOfMonth()),
                            DayList(DaysOfWeek()), MonthList(MonthsOfYear()), date);
    case 6: return _(L"When computer is idle");
    case 7: return _(L"When task is created or modified");
    case 8: return _(L"At system startup") + startSuffix();
    case 9: {
      std::wstring user = LogonUserId();
      return (user.empty() ? _(L"At logon of any user") : SafeFormatTask(_(L"At logon of %s"), user)) + startSuffix();
    }
    default: return _(L"Unknown");
  }
}

// ---- actions ----

void TWinTaskAction::SetTaskAction(IAction* value) {
  pAction = value;
  FActionType = ActionType();
}

TWinTaskActionType TWinTaskAction::ActionType() const {
  TASK_ACTION_TYPE t{};
  OleCheck(pAction->get_Type(&t));
  switch (static_cast<int>(t)) {
    case 5: return TWinTaskActionType::taCom;
    case 6: return TWinTaskActionType::taMail;
    case 7: return TWinTaskActionType::taMessage;
    default: return TWinTaskActionType::taExec;
  }
}

std::wstring TWinTaskAction::Id() const { return GetStr(pAction.Get(), &IAction::get_Id); }
void TWinTaskAction::SetId(std::wstring_view v) { PutStr(pAction.Get(), &IAction::put_Id, v); }

ComPtr<IExecAction> TWinTaskAction::Exec() const {
  ComPtr<IExecAction> e;
  OleCheck(pAction.As(&e));
  return e;
}
std::wstring TWinTaskAction::ApplicationPath() const { return RemoveQuotes(GetStr(Exec().Get(), &IExecAction::get_Path)); }
void TWinTaskAction::SetApplicationPath(std::wstring_view v) { PutStr(Exec().Get(), &IExecAction::put_Path, v); }
std::wstring TWinTaskAction::Arguments() const { return GetStr(Exec().Get(), &IExecAction::get_Arguments); }
void TWinTaskAction::SetArguments(std::wstring_view v) { PutStr(Exec().Get(), &IExecAction::put_Arguments, v); }
std::wstring TWinTaskAction::WorkingDirectory() const { return GetStr(Exec().Get(), &IExecAction::get_WorkingDirectory); }
void TWinTaskAction::SetWorkingDirectory(std::wstring_view v) { PutStr(Exec().Get(), &IExecAction::put_WorkingDirectory, v); }

// ---- collections ----

namespace {

ComPtr<ITriggerCollection> TriggerCollection(ITaskDefinition* d) {
  ComPtr<ITriggerCollection> c;
  OleCheck(d->get_Triggers(&c));
  return c;
}

ComPtr<IActionCollection> ActionCollection(ITaskDefinition* d) {
  ComPtr<IActionCollection> c;
  OleCheck(d->get_Actions(&c));
  return c;
}

}  // namespace

TWinTaskTrigger& TWinTaskTriggers::New(TWinTaskTriggerType type) {
  ComPtr<ITrigger> t;
  OleCheck(TriggerCollection(FTask.Definition())->Create(PlatformTriggerType(type), &t));
  return Add(t.Get(), type);
}

TWinTaskTrigger& TWinTaskTriggers::Add(ITrigger* trigger, TWinTaskTriggerType type) {
  auto item = std::make_unique<TWinTaskTrigger>();
  item->SetTaskTrigger(trigger, type);
  FItems.push_back(std::move(item));
  return *FItems.back();
}

TWinTaskTrigger& TWinTaskTriggers::Add(ITrigger* trigger) {
  auto item = std::make_unique<TWinTaskTrigger>();
  item->SetTaskTrigger(trigger);
  FItems.push_back(std::move(item));
  return *FItems.back();
}

void TWinTaskTriggers::ClearAll() {
  OleCheck(TriggerCollection(FTask.Definition())->Clear());
  FItems.clear();
}

void TWinTaskTriggers::Remove(int index) {
  TVariant v(static_cast<long>(index + 1));
  OleCheck(TriggerCollection(FTask.Definition())->Remove(v.V));
  FItems.erase(FItems.begin() + index);
}

TWinTaskTrigger& TWinTaskTriggers::operator[](int index) const {
  if (index < 0 || index >= Count()) throw EListError(SafeFormat(L"List index out of bounds (%d)", index));
  return *FItems[index];
}

TWinTaskAction& TWinTaskActions::New(TWinTaskActionType type) {
  static const int kPlatform[] = {0, 5, 6, 7};
  ComPtr<IAction> a;
  OleCheck(ActionCollection(FTask.Definition())->Create(static_cast<TASK_ACTION_TYPE>(kPlatform[static_cast<int>(type)]), &a));
  return Add(a.Get());
}

TWinTaskAction& TWinTaskActions::Add(IAction* action) {
  auto item = std::make_unique<TWinTaskAction>();
  item->SetTaskAction(action);
  FItems.push_back(std::move(item));
  return *FItems.back();
}

void TWinTaskActions::ClearAll() {
  OleCheck(ActionCollection(FTask.Definition())->Clear());
  FItems.clear();
}

void TWinTaskActions::Remove(int index) {
  TVariant v(static_cast<long>(index + 1));
  OleCheck(ActionCollection(FTask.Definition())->Remove(v.V));
  FItems.erase(FItems.begin() + index);
}

TWinTaskAction& TWinTaskActions::operator[](int index) const {
  if (index < 0 || index >= Count()) throw EListError(SafeFormat(L"List index out of bounds (%d)", index));
  return *FItems[index];
}

// ---- settings ----

uint32_t TWinTaskIdleSettings::IdleDuration() const {
  return DurationToSeconds(GetStr(pIdleSettings.Get(), &IIdleSettings::get_IdleDuration));
}
void TWinTaskIdleSettings::SetIdleDuration(uint32_t s) { PutStr(pIdleSettings.Get(), &IIdleSettings::put_IdleDuration, SecondsToDuration(s)); }
uint32_t TWinTaskIdleSettings::WaitTimeout() const {
  return DurationToSeconds(GetStr(pIdleSettings.Get(), &IIdleSettings::get_WaitTimeout));
}
void TWinTaskIdleSettings::SetWaitTimeout(uint32_t s) { PutStr(pIdleSettings.Get(), &IIdleSettings::put_WaitTimeout, SecondsToDuration(s)); }
bool TWinTaskIdleSettings::RestartOnIdle() const { return GetBool(pIdleSettings.Get(), &IIdleSettings::get_RestartOnIdle); }
void TWinTaskIdleSettings::SetRestartOnIdle(bool v) { PutBool(pIdleSettings.Get(), &IIdleSettings::put_RestartOnIdle, v); }
bool TWinTaskIdleSettings::StopOnIdleEnd() const { return GetBool(pIdleSettings.Get(), &IIdleSettings::get_StopOnIdleEnd); }
void TWinTaskIdleSettings::SetStopOnIdleEnd(bool v) { PutBool(pIdleSettings.Get(), &IIdleSettings::put_StopOnIdleEnd, v); }

TWinTaskSettings::TWinTaskSettings(ITaskSettings* s) : pSettings(s) {}

TWinTaskIdleSettings& TWinTaskSettings::IdleSettings() {
  // taken on first use, so that a service without idle settings still serves the rest
  if (!FIdleSettings) {
    ComPtr<IIdleSettings> idle;
    OleCheck(pSettings->get_IdleSettings(&idle));
    FIdleSettings = std::make_unique<TWinTaskIdleSettings>(idle.Get());
  }
  return *FIdleSettings;
}

#define HV_BOOL_SETTING(Name, Platform)                                                                    \
  bool TWinTaskSettings::Name() const { return GetBool(pSettings.Get(), &ITaskSettings::get_##Platform); } \
  void TWinTaskSettings::Set##Name(bool v) { PutBool(pSettings.Get(), &ITaskSettings::put_##Platform, v); }
HV_BOOL_SETTING(AllowDemandStart, AllowDemandStart)
HV_BOOL_SETTING(AllowHardTerminate, AllowHardTerminate)
HV_BOOL_SETTING(DisallowOnBatteries, DisallowStartIfOnBatteries)
HV_BOOL_SETTING(Hidden, Hidden)
HV_BOOL_SETTING(RunIfMissed, StartWhenAvailable)
HV_BOOL_SETTING(RunOnlyIfIdle, RunOnlyIfIdle)
HV_BOOL_SETTING(RunOnlyIfNetwork, RunOnlyIfNetworkAvailable)
HV_BOOL_SETTING(StopOnBatteries, StopIfGoingOnBatteries)
HV_BOOL_SETTING(WakeToRun, WakeToRun)
#undef HV_BOOL_SETTING

TWinTaskCompatibility TWinTaskSettings::Compatibility() const {
  TASK_COMPATIBILITY c{};
  OleCheck(pSettings->get_Compatibility(&c));
  int v = static_cast<int>(c);
  return static_cast<TWinTaskCompatibility>(v < 0 ? 0 : v > 4 ? 4 : v);
}
void TWinTaskSettings::SetCompatibility(TWinTaskCompatibility v) {
  OleCheck(pSettings->put_Compatibility(static_cast<TASK_COMPATIBILITY>(static_cast<int>(v))));
}

int TWinTaskSettings::DeleteExpiredTaskAfter() const {
  std::wstring s = GetStr(pSettings.Get(), &ITaskSettings::get_DeleteExpiredTaskAfter);
  return s.empty() ? -1 : static_cast<int>(DurationToSeconds(s) / 3600);
}
void TWinTaskSettings::SetDeleteExpiredTaskAfter(int hours) {
  std::wstring s = hours < 0 ? std::wstring() : hours == 0 ? std::wstring(L"PT0S") : SecondsToDuration(static_cast<uint32_t>(hours) * 3600);
  PutStr(pSettings.Get(), &ITaskSettings::put_DeleteExpiredTaskAfter, s);
}

uint32_t TWinTaskSettings::ExecutionTimeLimit() const {
  return DurationToSeconds(GetStr(pSettings.Get(), &ITaskSettings::get_ExecutionTimeLimit)) / 3600;
}
void TWinTaskSettings::SetExecutionTimeLimit(uint32_t hours) {
  PutStr(pSettings.Get(), &ITaskSettings::put_ExecutionTimeLimit, SecondsToDuration(hours * 3600));
}

TMultipleInstances TWinTaskSettings::MultipleInstances() const {
  TASK_INSTANCES_POLICY p{};
  OleCheck(pSettings->get_MultipleInstances(&p));
  int v = static_cast<int>(p);
  return v >= 0 && v <= 3 ? static_cast<TMultipleInstances>(v) : TMultipleInstances::miParallel;
}
void TWinTaskSettings::SetMultipleInstances(TMultipleInstances v) {
  OleCheck(pSettings->put_MultipleInstances(static_cast<TASK_INSTANCES_POLICY>(static_cast<int>(v))));
}

TThreadPriority TWinTaskSettings::Priority() const {
  INT p = 0;
  OleCheck(pSettings->get_Priority(&p));
  using P = TThreadPriority;
  static const P kRead[] = {P::tpTimeCritical, P::tpHighest, P::tpHigher, P::tpHigher, P::tpNormal, P::tpNormal,
                            P::tpNormal, P::tpLower, P::tpLower, P::tpLowest, P::tpIdle};
  return p >= 0 && p <= 10 ? kRead[p] : P::tpNormal;
}
void TWinTaskSettings::SetPriority(TThreadPriority v) {
  static const INT kWrite[] = {10, 9, 7, 5, 3, 1, 0};
  OleCheck(pSettings->put_Priority(kWrite[static_cast<int>(v)]));
}

uint32_t TWinTaskSettings::RestartCount() const {
  INT n = 0;
  OleCheck(pSettings->get_RestartCount(&n));
  return static_cast<uint32_t>(n);
}
void TWinTaskSettings::SetRestartCount(uint32_t v) { OleCheck(pSettings->put_RestartCount(static_cast<INT>(v))); }
uint32_t TWinTaskSettings::RestartInterval() const {
  return DurationToSeconds(GetStr(pSettings.Get(), &ITaskSettings::get_RestartInterval)) / 60;
}
void TWinTaskSettings::SetRestartInterval(uint32_t minutes) {
  PutStr(pSettings.Get(), &ITaskSettings::put_RestartInterval, SecondsToDuration(minutes * 60));
}

// ---- definitions ----

TWinTask::TWinTask(ITaskDefinition* definition) : pDefinition(definition), FActions(*this), FTriggers(*this) {
  ComPtr<ITaskSettings> s;
  OleCheck(pDefinition->get_Settings(&s));
  FSettings = std::make_unique<TWinTaskSettings>(s.Get());
}

void TWinTask::Refresh() {
  FTriggers.ClearWrappers();
  FActions.ClearWrappers();
  auto triggers = TriggerCollection(pDefinition.Get());
  LONG n = 0;
  OleCheck(triggers->get_Count(&n));
  for (LONG i = 1; i <= n; ++i) {
    ComPtr<ITrigger> t;
    OleCheck(triggers->get_Item(i, &t));
    FTriggers.Add(t.Get());
  }
  auto actions = ActionCollection(pDefinition.Get());
  OleCheck(actions->get_Count(&n));
  for (LONG i = 1; i <= n; ++i) {
    ComPtr<IAction> a;
    OleCheck(actions->get_Item(i, &a));
    FActions.Add(a.Get());
  }
}

TWinTaskAction& TWinTask::NewAction(TWinTaskActionType type) {
  TWinTaskAction& a = FActions.New(type);
  SelectedAction = FActions.Count() - 1;
  return a;
}

bool TWinTask::DeleteAction(int index) {
  if (index < 0 || index >= FActions.Count()) return true;
  try {
    FActions.Remove(index);
    return true;
  } catch (...) {
    return false;
  }
}

bool TWinTask::DeleteTrigger(int index) {
  if (index < 0 || index >= FTriggers.Count()) return true;
  try {
    FTriggers.Remove(index);
    return true;
  } catch (...) {
    return false;
  }
}

TWinTaskTrigger& TWinTask::NewTrigger(TWinTaskTriggerType type) {
  TWinTaskTrigger& t = FTriggers.New(type);
  t.SetToDefault(type == TWinTaskTriggerType::ttLogon ? UserId() : std::wstring());
  return t;
}

int TWinTask::IndexOfApp(std::wstring_view appFilter) {
  SelectedAction = -1;
  if (appFilter.empty()) return -1;
  std::wstring filter = AnsiLowerCase(appFilter);
  for (int i = 0; i < FActions.Count(); ++i) {
    if (FActions[i].ActionType() != TWinTaskActionType::taExec) continue;
    std::wstring path = AnsiLowerCase(FActions[i].ApplicationPath());
    if (path.size() >= filter.size() && path.compare(path.size() - filter.size(), filter.size(), filter) == 0) {
      SelectedAction = i;
      return i;
    }
  }
  return -1;
}

int TWinTask::IndexOfNextExecAction(int fromIndex) {
  SelectedAction = -1;
  for (int i = fromIndex < 0 ? 0 : fromIndex; i < FActions.Count(); ++i)
    if (FActions[i].ActionType() == TWinTaskActionType::taExec) {
      SelectedAction = i;
      break;
    }
  return SelectedAction;
}

ComPtr<IRegistrationInfo> TWinTask::RegInfo() const {
  ComPtr<IRegistrationInfo> r;
  OleCheck(pDefinition->get_RegistrationInfo(&r));
  return r;
}

ComPtr<IPrincipal> TWinTask::Principal() const {
  ComPtr<IPrincipal> p;
  OleCheck(pDefinition->get_Principal(&p));
  return p;
}

std::wstring TWinTask::Author() const { return GetStr(RegInfo().Get(), &IRegistrationInfo::get_Author); }
void TWinTask::SetAuthor(std::wstring_view v) { PutStr(RegInfo().Get(), &IRegistrationInfo::put_Author, v); }
std::wstring TWinTask::Description() const { return GetStr(RegInfo().Get(), &IRegistrationInfo::get_Description); }
void TWinTask::SetDescription(std::wstring_view v) { PutStr(RegInfo().Get(), &IRegistrationInfo::put_Description, v); }
std::wstring TWinTask::Documentation() const { return GetStr(RegInfo().Get(), &IRegistrationInfo::get_Documentation); }
void TWinTask::SetDocumentation(std::wstring_view v) { PutStr(RegInfo().Get(), &IRegistrationInfo::put_Documentation, v); }
TDateTime TWinTask::Date() const {
  // the registration date is written without a zone; a suffix is ignored
  std::wstring s = GetStr(RegInfo().Get(), &IRegistrationInfo::get_Date);
  size_t t = s.find(L'T');
  if (t != std::wstring::npos && s.size() > t + 9) s.resize(t + 9);
  return TaskTimeToDateTime(s);
}
void TWinTask::SetDate(TDateTime v) { PutStr(RegInfo().Get(), &IRegistrationInfo::put_Date, DateTimeToTaskTime(v, false)); }
std::wstring TWinTask::DisplayName() const { return GetStr(Principal().Get(), &IPrincipal::get_DisplayName); }
void TWinTask::SetDisplayName(std::wstring_view v) { PutStr(Principal().Get(), &IPrincipal::put_DisplayName, v); }
std::wstring TWinTask::GroupId() const { return GetStr(Principal().Get(), &IPrincipal::get_GroupId); }
void TWinTask::SetGroupId(std::wstring_view v) { PutStr(Principal().Get(), &IPrincipal::put_GroupId, v); }
std::wstring TWinTask::Id() const { return GetStr(Principal().Get(), &IPrincipal::get_Id); }
void TWinTask::SetId(std::wstring_view v) { PutStr(Principal().Get(), &IPrincipal::put_Id, v); }
std::wstring TWinTask::UserId() const { return GetStr(Principal().Get(), &IPrincipal::get_UserId); }
void TWinTask::SetUserId(std::wstring_view v) { PutStr(Principal().Get(), &IPrincipal::put_UserId, v); }
TLogonType TWinTask::LogonType() const {
  TASK_LOGON_TYPE t{};
  OleCheck(Principal()->get_LogonType(&t));
  int v = static_cast<int>(t);
  return v >= 0 && v <= 6 ? static_cast<TLogonType>(v) : TLogonType::ltNone;
}
void TWinTask::SetLogonType(TLogonType v) { OleCheck(Principal()->put_LogonType(static_cast<TASK_LOGON_TYPE>(static_cast<int>(v)))); }
bool TWinTask::HighestRunLevel() const {
  TASK_RUNLEVEL_TYPE r{};
  OleCheck(Principal()->get_RunLevel(&r));
  return r == TASK_RUNLEVEL_HIGHEST;
}
void TWinTask::SetHighestRunLevel(bool v) { OleCheck(Principal()->put_RunLevel(v ? TASK_RUNLEVEL_HIGHEST : TASK_RUNLEVEL_LUA)); }
std::wstring TWinTask::UserData() const { return GetStr(pDefinition.Get(), &ITaskDefinition::get_Data); }
void TWinTask::SetUserData(std::wstring_view v) { PutStr(pDefinition.Get(), &ITaskDefinition::put_Data, v); }
std::wstring TWinTask::XmlText() const { return GetStr(pDefinition.Get(), &ITaskDefinition::get_XmlText); }
void TWinTask::SetXmlText(std::wstring_view v) {
  PutStr(pDefinition.Get(), &ITaskDefinition::put_XmlText, v);
  Refresh();
}

// ---- registered tasks ----

TWinRegisteredTask::TWinRegisteredTask(IRegisteredTask* task) : pRegisteredTask(task) {
  FTaskName = GetStr(task, &IRegisteredTask::get_Name);
  ComPtr<ITaskDefinition> d;
  OleCheck(task->get_Definition(&d));
  FTask = std::make_unique<TWinTask>(d.Get());
  FTask->Refresh();
}

bool TWinRegisteredTask::Enabled() const { return GetBool(pRegisteredTask.Get(), &IRegisteredTask::get_Enabled); }
void TWinRegisteredTask::SetEnabled(bool v) { PutBool(pRegisteredTask.Get(), &IRegisteredTask::put_Enabled, v); }

TWinTaskStatus TWinRegisteredTask::Status() const {
  TASK_STATE s{};
  OleCheck(pRegisteredTask->get_State(&s));
  switch (static_cast<int>(s)) {
    case 1: return TWinTaskStatus::tsDisabled;
    case 2: return TWinTaskStatus::tsQueued;
    case 3: return TWinTaskStatus::tsReady;
    case 4: return TWinTaskStatus::tsRunning;
    default: return TWinTaskStatus::tsUnknown;
  }
}

TDateTime TWinRegisteredTask::LastRunTime() const {
  DATE d = 0;
  OleCheck(pRegisteredTask->get_LastRunTime(&d));
  return d;
}
TDateTime TWinRegisteredTask::NextRunTime() const {
  DATE d = 0;
  OleCheck(pRegisteredTask->get_NextRunTime(&d));
  return d;
}
int TWinRegisteredTask::LastResult() const {
  LONG r = 0;
  OleCheck(pRegisteredTask->get_LastTaskResult(&r));
  return r;
}
int TWinRegisteredTask::NumberOfMissedRuns() const {
  LONG r = 0;
  OleCheck(pRegisteredTask->get_NumberOfMissedRuns(&r));
  return r;
}
std::wstring TWinRegisteredTask::Path() const { return RemoveQuotes(GetStr(pRegisteredTask.Get(), &IRegisteredTask::get_Path)); }
std::wstring TWinRegisteredTask::Xml() const { return GetStr(pRegisteredTask.Get(), &IRegisteredTask::get_Xml); }

void TWinRegisteredTask::Run() {
  TVariant params;  // no parameters
  ComPtr<IRunningTask> running;
  OleCheck(pRegisteredTask->Run(params.V, &running));
}

void TWinRegisteredTask::Stop() { OleCheck(pRegisteredTask->Stop(0)); }

// ---- folders ----

std::wstring TWinTaskSubFolder::Name() const { return GetStr(pTaskFolder.Get(), &ITaskFolder::get_Name); }
std::wstring TWinTaskSubFolder::Path() const { return GetStr(pTaskFolder.Get(), &ITaskFolder::get_Path); }

void TWinTaskFolder::SetError(const EOleSysError& e) {
  FErrMsg = e.Message();
  FErrorCode = static_cast<uint32_t>(e.ErrorCode());
}

void TWinTaskFolder::ClearError() {
  FErrMsg.clear();
  FErrorCode = 0;
}

uint32_t TWinTaskFolder::Refresh() {
  try {
    ComPtr<IRegisteredTaskCollection> tasks;
    FTasks.clear();
    OleCheck(pRootFolder->GetTasks(0, &tasks));
    LONG n = 0;
    OleCheck(tasks->get_Count(&n));
    for (LONG i = 1; i <= n; ++i) {
      TVariant index(i);
      ComPtr<IRegisteredTask> t;
      OleCheck(tasks->get_Item(index.V, &t));
      auto task = std::make_unique<TWinRegisteredTask>(t.Get());
      task->Refresh();
      task->TaskIndex = static_cast<int>(FTasks.size());
      FTasks.push_back(std::move(task));
    }
    ComPtr<ITaskFolderCollection> folders;
    FFolders.clear();
    OleCheck(pRootFolder->GetFolders(0, &folders));
    OleCheck(folders->get_Count(&n));
    for (LONG i = 1; i <= n; ++i) {
      TVariant index(i);
      ComPtr<ITaskFolder> f;
      OleCheck(folders->get_Item(index.V, &f));
      FFolders.push_back(std::make_unique<TWinTaskSubFolder>(f.Get()));
    }
    FErrorCode = 0;
    return 0;
  } catch (const EOleSysError& e) {
    SetError(e);
    return FErrorCode;
  }
}

int TWinTaskFolder::IndexOfTask(std::wstring_view taskName) const {
  for (size_t i = 0; i < FTasks.size(); ++i)
    if (CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, FTasks[i]->TaskName().data(),
                        static_cast<int>(FTasks[i]->TaskName().size()), taskName.data(), static_cast<int>(taskName.size()),
                        nullptr, nullptr, 0) == CSTR_EQUAL)
      return static_cast<int>(i);
  return -1;
}

int TWinTaskFolder::IndexOfFolder(std::wstring_view folderName) const {
  for (size_t i = 0; i < FFolders.size(); ++i) {
    std::wstring name = FFolders[i]->Name();
    if (CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, name.data(), static_cast<int>(name.size()),
                        folderName.data(), static_cast<int>(folderName.size()), nullptr, nullptr, 0) == CSTR_EQUAL)
      return static_cast<int>(i);
  }
  return -1;
}

int TWinTaskFolder::RegisterTask(std::wstring_view taskName, TWinTask& task, std::wstring_view userName,
                                 std::wstring_view password) {
  ClearError();
  try {
    TLogonType logon = task.LogonType();
    std::wstring user(userName), pwd(password);
    if (logon == TLogonType::ltToken) {
      user.clear();
      pwd.clear();
    } else if (logon == TLogonType::ltService) {
      pwd.clear();
    }
    TBStr name(taskName);
    TVariant vUser(user), vPwd(pwd), sddl(std::wstring_view{});
    ComPtr<IRegisteredTask> registered;
    OleCheck(pRootFolder->RegisterTaskDefinition(name, task.Definition(), TASK_CREATE_OR_UPDATE, vUser.V, vPwd.V,
                                                 static_cast<TASK_LOGON_TYPE>(static_cast<int>(logon)), sddl.V, &registered));
    registered.Reset();
    uint32_t r = Refresh();
    if (static_cast<int32_t>(r) < 0) return -1;
    return IndexOfTask(taskName);
  } catch (const EOleSysError& e) {
    SetError(e);
    return -1;
  }
}

bool TWinTaskFolder::DeleteTask(std::wstring_view taskName) {
  ClearError();
  try {
    TBStr name(taskName);
    OleCheck(pRootFolder->DeleteTask(name, 0));
    return static_cast<int32_t>(Refresh()) >= 0;
  } catch (const EOleSysError& e) {
    SetError(e);
    return false;
  }
}

int TWinTaskFolder::CreateFolder(std::wstring_view folderName) {
  ClearError();
  try {
    TBStr name(folderName);
    TVariant sddl(std::wstring_view{});
    ComPtr<ITaskFolder> folder;
    OleCheck(pRootFolder->CreateFolder(name, sddl.V, &folder));
    if (static_cast<int32_t>(Refresh()) < 0) return -1;
    return IndexOfFolder(folderName);
  } catch (const EOleSysError& e) {
    SetError(e);
    return -1;
  }
}

bool TWinTaskFolder::DeleteFolder(std::wstring_view folderName) {
  ClearError();
  try {
    TBStr name(folderName);
    OleCheck(pRootFolder->DeleteFolder(name, 0));
    return static_cast<int32_t>(Refresh()) >= 0;
  } catch (const EOleSysError& e) {
    SetError(e);
    return false;
  }
}

TWinRegisteredTask& TWinTaskFolder::Tasks(int index) const {
  if (index < 0 || index >= TaskCount()) throw EListError(SafeFormat(L"List index out of bounds (%d)", index));
  return *FTasks[index];
}

TWinTaskSubFolder& TWinTaskFolder::Folders(int index) const {
  if (index < 0 || index >= FolderCount()) throw EListError(SafeFormat(L"List index out of bounds (%d)", index));
  return *FFolders[index];
}

std::wstring TWinTaskFolder::FolderName() const {
  std::wstring n = GetStr(pRootFolder.Get(), &ITaskFolder::get_Name);
  return n == L"\\" ? std::wstring() : n;
}

std::wstring TWinTaskFolder::FolderPath() const { return GetStr(pRootFolder.Get(), &ITaskFolder::get_Path); }

// ---- the scheduler ----

unsigned ITaskPlatform::MajorVersion() { return WindowsMajorVersion(); }
bool ITaskPlatform::ServiceRunning() { return GetServiceState(L"", L"schedule") == SERVICE_RUNNING; }
HRESULT ITaskPlatform::InitSecurity() {
  return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE,
                              nullptr, EOAC_NONE, nullptr);
}
HRESULT ITaskPlatform::CreateService(ITaskService** service) {
  return CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                          reinterpret_cast<void**>(service));
}

namespace {
ITaskPlatform* gTaskPlatform = nullptr;
}

ITaskPlatform& TaskPlatform() {
  static ITaskPlatform system;
  return gTaskPlatform ? *gTaskPlatform : system;
}

void SetTaskPlatform(ITaskPlatform* platform) { gTaskPlatform = platform; }

TWinTaskScheduler::TWinTaskScheduler() {
  FResult = TaskPlatform().InitSecurity();
  if (FResult == kTaskSecurityAlreadySet) FResult = S_OK;
  if (SUCCEEDED(FResult)) {
    HRESULT hr = TaskPlatform().CreateService(&pService);
    FResult = SUCCEEDED(hr) ? S_OK : hr;
  }
}

HRESULT TWinTaskScheduler::Init() {
  if (FAILED(FResult)) return FResult;
  TVariant empty1, empty2, empty3, empty4;
  // a refused connection is a result, not an exception
  HRESULT hr = pService->Connect(empty1.V, empty2.V, empty3.V, empty4.V);
  if (FAILED(hr)) return hr;
  return Refresh();
}

HRESULT TWinTaskScheduler::Refresh() {
  FTaskFolder.reset();
  try {
    TBStr path(FFolder);
    ComPtr<ITaskFolder> folder;
    OleCheck(pService->GetFolder(path, &folder));
    auto f = std::make_unique<TWinTaskFolder>(folder.Get());
    HRESULT r = static_cast<HRESULT>(f->Refresh());
    FTaskFolder = std::move(f);
    return r;
  } catch (const EOleSysError& e) {
    return e.ErrorCode();
  }
}

std::unique_ptr<TWinTask> TWinTaskScheduler::NewTask() {
  ComPtr<ITaskDefinition> d;
  OleCheck(pService->NewTask(0, &d));
  auto task = std::make_unique<TWinTask>(d.Get());
  task->Settings().SetCompatibility(DefaultCompatibility());
  return task;
}

bool TWinTaskScheduler::IsRunning() { return TaskPlatform().ServiceRunning(); }

void TWinTaskScheduler::SetPath(std::wstring_view path) {
  FFolder = path;
  Refresh();
}

HRESULT ConnectTaskScheduler(std::unique_ptr<TWinTaskScheduler>& scheduler) {
  if (TaskPlatform().MajorVersion() < 6) return kTaskErrNoScheduler2;
  if (!TWinTaskScheduler::IsRunning()) return kTaskErrServiceNotRunning;
  HRESULT hr = TaskPlatform().InitSecurity();
  if (FAILED(hr) && hr != kTaskSecurityAlreadySet) return hr;
  auto s = std::make_unique<TWinTaskScheduler>();
  hr = s->Init();
  if (FAILED(hr)) return hr;
  scheduler = std::move(s);
  return hr;
}

}  // namespace hv
