#include "hvwatchdog/TextFilter.h"

#include <windows.h>

#include <compare>
#include <iterator>
#include <stdexcept>

#include <boost/regex.hpp>

#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {

namespace {

wchar_t FoldCase(wchar_t c) {
  if (c < 0x80) return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
  return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(c)))));
}

// Parses "[...]" at mask[pos] (pos after "["); returns the position after "]", or npos when unclosed.
size_t MatchSet(std::wstring_view mask, size_t pos, wchar_t c, bool& matched) {
  bool negate = false;
  if (pos < mask.size() && mask[pos] == L'!') {
    negate = true;
    ++pos;
  }
  bool hit = false;
  const wchar_t fc = FoldCase(c);
  while (pos < mask.size() && mask[pos] != L']') {
    wchar_t lo = FoldCase(mask[pos]);
    wchar_t hi = lo;
    if (pos + 2 < mask.size() && mask[pos + 1] == L'-' && mask[pos + 2] != L']') {
      hi = FoldCase(mask[pos + 2]);
      pos += 3;
    } else {
      ++pos;
    }
    if (fc >= lo && fc <= hi) hit = true;
  }
  if (pos >= mask.size()) return std::wstring_view::npos;
  matched = hit != negate;
  return pos + 1;
}

// Checks the mask for unclosed sets.
void ValidateMask(std::wstring_view mask) {
  for (size_t i = 0; i < mask.size(); ++i) {
    if (mask[i] != L'[') continue;
    bool dummy;
    size_t end = MatchSet(mask, i + 1, L'x', dummy);
    if (end == std::wstring_view::npos) throw EFilterError(_(L"Illegal mask!"));
    i = end - 1;
  }
}

bool MatchFrom(std::wstring_view text, size_t t, std::wstring_view mask, size_t m) {
  // Iterative with one backtrack point for the last "*".
  size_t starM = std::wstring_view::npos, starT = 0;
  while (t < text.size()) {
    if (m < mask.size()) {
      const wchar_t mc = mask[m];
      if (mc == L'*') {
        starM = m++;
        starT = t;
        continue;
      }
      if (mc == L'?') {
        ++m;
        ++t;
        continue;
      }
      if (mc == L'[') {
        bool hit = false;
        size_t next = MatchSet(mask, m + 1, text[t], hit);
        if (next != std::wstring_view::npos && hit) {
          m = next;
          ++t;
          continue;
        }
      } else if (FoldCase(mc) == FoldCase(text[t])) {
        ++m;
        ++t;
        continue;
      }
    }
    if (starM == std::wstring_view::npos) return false;
    m = starM + 1;
    t = ++starT;
  }
  while (m < mask.size() && mask[m] == L'*') ++m;
  return m == mask.size();
}

// Boost's own bound on the states of a search is checked only where a state fails; a search that
// fails through an assertion, as ".(a|a)*(?!)" does, unwinds past that check for ever. So the
// characters the matcher reads are counted through its iterator instead.
struct EStepLimit {};

struct TStepBudget {
  int64_t Left = kRegexStepLimit;
  bool Spent = false;
  void Step() {
    // Raised once: the matcher may read again while it unwinds.
    if (--Left < 0 && !Spent) {
      Spent = true;
      throw EStepLimit{};
    }
  }
};

class TCountingIterator {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = wchar_t;
  using difference_type = std::ptrdiff_t;
  using pointer = const wchar_t*;
  using reference = const wchar_t&;

  TCountingIterator() = default;
  TCountingIterator(const wchar_t* p, TStepBudget* budget) : FP(p), FBudget(budget) {}
  reference operator*() const {
    FBudget->Step();
    return *FP;
  }
  reference operator[](difference_type n) const {
    FBudget->Step();
    return FP[n];
  }
  pointer operator->() const { return FP; }
  TCountingIterator& operator++() {
    ++FP;
    return *this;
  }
  TCountingIterator operator++(int) {
    TCountingIterator t = *this;
    ++FP;
    return t;
  }
  TCountingIterator& operator--() {
    --FP;
    return *this;
  }
  TCountingIterator operator--(int) {
    TCountingIterator t = *this;
    --FP;
    return t;
  }
  TCountingIterator& operator+=(difference_type n) {
    FP += n;
    return *this;
  }
  TCountingIterator& operator-=(difference_type n) {
    FP -= n;
    return *this;
  }
  friend TCountingIterator operator+(TCountingIterator a, difference_type n) { return a += n; }
  friend TCountingIterator operator+(difference_type n, TCountingIterator a) { return a += n; }
  friend TCountingIterator operator-(TCountingIterator a, difference_type n) { return a -= n; }
  friend difference_type operator-(const TCountingIterator& a, const TCountingIterator& b) { return a.FP - b.FP; }
  friend bool operator==(const TCountingIterator& a, const TCountingIterator& b) { return a.FP == b.FP; }
  friend auto operator<=>(const TCountingIterator& a, const TCountingIterator& b) { return a.FP <=> b.FP; }

 private:
  const wchar_t* FP = nullptr;
  TStepBudget* FBudget = nullptr;
};

enum class TSearchResult : uint8_t { srNo, srYes, srGaveUp };

TSearchResult BoundedSearch(std::wstring_view text, const boost::wregex& expr) {
  TStepBudget budget;
  const TCountingIterator first(text.data(), &budget), last(text.data() + text.size(), &budget);
  try {
    return boost::regex_search(first, last, expr) ? TSearchResult::srYes : TSearchResult::srNo;
  } catch (const EStepLimit&) {
    return TSearchResult::srGaveUp;
  } catch (const std::runtime_error&) {
    // Boost's own complexity and stack bounds.
    return TSearchResult::srGaveUp;
  }
}

}  // namespace

bool MatchesMask(std::wstring_view text, std::wstring_view mask) {
  ValidateMask(mask);
  return MatchFrom(text, 0, mask, 0);
}

int CompareTextOrdinal(std::wstring_view a, std::wstring_view b) {
  // Plain ASCII names are compared here; the system decides the rest.
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= 0x80 || y >= 0x80) {
      int r = CompareStringOrdinal(a.data() + i, static_cast<int>(a.size() - i), b.data() + i,
                                   static_cast<int>(b.size() - i), TRUE);
      return r - CSTR_EQUAL;
    }
    if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - 32);
    if (y >= L'a' && y <= L'z') y = static_cast<wchar_t>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool TMatchList::Remove(std::wstring_view s) {
  auto it = FItems.find(s);
  if (it == FItems.end()) return false;
  FItems.erase(it);
  return true;
}

void TMatchList::RemovePrefix(std::wstring_view prefix) {
  // The items with one prefix stand together in the order.
  auto it = FItems.lower_bound(prefix);
  while (it != FItems.end() && it->size() >= prefix.size() &&
         CompareTextOrdinal(std::wstring_view(*it).substr(0, prefix.size()), prefix) == 0)
    it = FItems.erase(it);
}

void TMatchList::SetCommaText(std::wstring_view text) {
  FItems.clear();
  std::wstring rest(text);
  while (!rest.empty()) {
    std::wstring item = ReadNextItem(rest, L',');
    size_t b = item.find_first_not_of(L' ');
    size_t e = item.find_last_not_of(L' ');
    if (b != std::wstring::npos) Add(item.substr(b, e - b + 1));
  }
}

std::wstring TMatchList::CommaText() const {
  std::wstring s;
  for (const auto& item : FItems) {
    if (!s.empty()) s += L',';
    s += item;
  }
  return s;
}

struct TTextFilter::TRegex {
  boost::wregex Expr;
};

TTextFilter::TTextFilter(bool isFileFilter, bool ignoreCase)
    : FIsFileFilter(isFileFilter), FIgnoreCase(ignoreCase), FRegex(std::make_unique<TRegex>()) {
  Reset();
  FRegex->Expr.assign(L".", boost::regex_constants::perl | (FIgnoreCase ? boost::regex_constants::icase : 0));
}

TTextFilter::~TTextFilter() = default;

void TTextFilter::Reset() {
  FStalled = false;
  FRegExp = false;
  FMode = TFilterMode::fmOff;
  FMask = L"*";
}

void TTextFilter::Assign(const TTextFilter& other) {
  FStalled = false;
  FRegExp = other.FRegExp;
  FMode = other.FMode;
  FMask = other.FMask;
  FSep = other.FSep;
}

std::wstring TTextFilter::Filter() const { return FRegExp ? FExpression : FMask; }

void TTextFilter::SetFilter(std::wstring_view value) {
  FStalled = false;
  const auto flags = boost::regex_constants::perl | (FIgnoreCase ? boost::regex_constants::icase : 0);
  if (FRegExp) {
    std::wstring expr = value.empty() ? L"." : std::wstring(value);
    try {
      FRegex->Expr.assign(expr, flags);
      BoundedSearch(L"xyz", FRegex->Expr);
      FExpression = expr;
    } catch (const std::exception&) {
      FExpression = L".";
      FRegex->Expr.assign(FExpression, flags);
      throw EFilterError(_(L"Illegal regular expression!"));
    }
    return;
  }
  if (value.empty()) {
    FMask = L"*";
    return;
  }
  std::wstring list(value), result;
  bool first = true;
  while (!list.empty() || first) {
    std::wstring item = ReadNextItem(list, FSep);
    if (FIsFileFilter && GetExtension(item).empty() && (item.empty() || item.back() != L'.')) item += L".*";
    if (!first) result += FSep;
    result += item;
    first = false;
  }
  FMask = result;
  try {
    std::wstring check = FMask;
    while (!check.empty()) {
      std::wstring item = ReadNextItem(check, FSep);
      MatchesMask(L"xyz", item);
    }
  } catch (const EFilterError&) {
    FMask = L"*";
    throw EFilterError(_(L"Illegal mask!"));
  }
}

bool TTextFilter::MatchesFilter(std::wstring_view text, bool undecided) const {
  if (FMode == TFilterMode::fmOff) return true;
  bool result = true;
  if (FRegExp) {
    if (FStalled) return undecided;
    const TSearchResult r = BoundedSearch(text, FRegex->Expr);
    if (r == TSearchResult::srGaveUp) {
      FStalled = true;
      FStalledOn = text;
      return undecided;
    }
    result = r == TSearchResult::srYes;
  } else if (!FMask.empty()) {
    std::wstring list = FMask;
    bool allMode = false;
    if (list[0] == L'+') {
      allMode = true;
      list.erase(0, 1);
    }
    const bool noExt = GetExtension(text).empty();
    do {
      std::wstring item = ReadNextItem(list, FSep);
      if (item.empty()) continue;
      bool negate = false;
      if (item[0] == L'!') {
        negate = true;
        item.erase(0, 1);
      }
      std::wstring name(text);
      if (FIsFileFilter && !item.empty() && item.back() == L'.' && noExt) name += L'.';
      bool m;
      try {
        m = MatchesMask(name, item);
      } catch (const EFilterError&) {
        m = false;
      }
      const bool r = negate != m;
      result = allMode ? (result && r) : r;
    } while (result == allMode && !list.empty());
  }
  if (FMode == TFilterMode::fmExclude) result = !result;
  return result;
}

}  // namespace hv
