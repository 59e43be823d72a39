#pragma once
// Mask and regular-expression filters of the watchdog, and the sorted name list they work with.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/text/ExtSysUtils.h"

namespace hv {

// A mask list or regular expression that cannot be used.
class EFilterError : public Exception {
 public:
  using Exception::Exception;
};

// Masks with "*", "?" and "[set]" ("[!set]" negates, "a-z" ranges), case-insensitive. An unclosed
// set raises EFilterError.
bool MatchesMask(std::wstring_view text, std::wstring_view mask);

// Ordinal comparison without regard to case, as the file system compares names.
int CompareTextOrdinal(std::wstring_view a, std::wstring_view b);

// Sorted, case-insensitive, without duplicates; inserts and look-ups in O(log n).
class TMatchList {
 public:
  struct TLess {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const { return CompareTextOrdinal(a, b) < 0; }
  };
  using TItems = std::set<std::wstring, TLess>;
  using const_iterator = TItems::const_iterator;

  // False when the name was there already (in any case).
  bool Add(std::wstring_view s) { return FItems.emplace(s).second; }
  bool Remove(std::wstring_view s);
  // Removes the items that begin with prefix (in any case).
  void RemovePrefix(std::wstring_view prefix);
  bool Contains(std::wstring_view s) const { return FItems.find(s) != FItems.end(); }
  size_t Count() const { return FItems.size(); }
  bool Empty() const { return FItems.empty(); }
  void Clear() { FItems.clear(); }
  // Comma text: items separated by ",", blanks and empty items dropped.
  void SetCommaText(std::wstring_view text);
  std::wstring CommaText() const;
  std::vector<std::wstring> ToVector() const { return {FItems.begin(), FItems.end()}; }
  const_iterator begin() const { return FItems.begin(); }
  const_iterator end() const { return FItems.end(); }

 private:
  TItems FItems;
};

enum class TFilterMode : uint8_t { fmOff, fmInclude, fmExclude };

// Character reads one search of a regular expression may make: 15 times the 65,025 that a pattern
// backtracking over every pair of positions needs on a name of 255 characters, and some tens of
// milliseconds of work.
constexpr int64_t kRegexStepLimit = 1000000;

class TTextFilter {
 public:
  TTextFilter(bool isFileFilter, bool ignoreCase);
  ~TTextFilter();
  TTextFilter(const TTextFilter&) = delete;
  TTextFilter& operator=(const TTextFilter&) = delete;

  // Not regular, mode off, mask "*".
  void Reset();
  // Takes the regular flag, mode, mask and separator of another filter.
  void Assign(const TTextFilter& other);

  // The regular expression when Regular, else the mask list.
  std::wstring Filter() const;
  // Raises EFilterError "Illegal regular expression!" (the expression becomes ".") or
  // "Illegal mask!" (the mask becomes "*").
  void SetFilter(std::wstring_view value);
  TFilterMode Mode() const { return FMode; }
  void SetMode(TFilterMode mode) { FMode = mode; }
  bool Regular() const { return FRegExp; }
  void SetRegular(bool value) { FRegExp = value; }
  std::wstring MatchAll() const { return FRegExp ? L"." : L"*"; }
  wchar_t Separator() const { return FSep; }
  void SetSeparator(wchar_t sep) { FSep = sep; }
  bool IsFileFilter() const { return FIsFileFilter; }

  // A regular expression gives up on a text after kRegexStepLimit character reads; the result for
  // that text is then undecided (after the mode is applied), and the filter is stalled: it gives
  // every later text undecided without running, until SetFilter, Assign or Reset.
  bool MatchesFilter(std::wstring_view text, bool undecided = true) const;
  bool Stalled() const { return FStalled; }
  // The text on which the expression gave up.
  const std::wstring& StalledOn() const { return FStalledOn; }

 private:
  struct TRegex;
  bool FRegExp = false;
  bool FIsFileFilter;
  bool FIgnoreCase;
  TFilterMode FMode = TFilterMode::fmOff;
  std::wstring FMask = L"*";
  wchar_t FSep = L'|';
  std::wstring FExpression = L".";
  std::unique_ptr<TRegex> FRegex;
  mutable bool FStalled = false;
  mutable std::wstring FStalledOn;
};

}  // namespace hv
