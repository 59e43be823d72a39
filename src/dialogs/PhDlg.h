#pragma once
// Picks one placeholder token for a text field: the page that fits the field opens, each radio
// item stands for one token, and cyclic counters get their modulus.
#include <cstdint>
#include <string>
#include <string_view>

#include "winui/ComCtrls.h"
#include "winui/Forms.h"

namespace hv {

enum class TPhType : uint8_t { ptTime, ptPath, ptMail, ptPreEx, ptPostEx, ptBuLog, ptOtherLog, ptPortable };

// Pages of the dialog, in the order they are made.
enum TPhPage : int { phDateTime, phTime, phPath, phSystem, phMail, phPreExec, phPostExec, phBuLog, phOtherLog,
                     phPortable, phPageCount };

// The largest modulus of a cyclic item of the time page (days, weeks, months, years, versions);
// 0 for the other items.
int CycleMaximum(int timeItem);
inline constexpr int kCycleMinimum = 2, kCycleDefault = 2;
// The token of an item of a page; "?" in a cyclic token becomes the modulus. Empty for items that
// only open another page.
std::wstring PlaceholderToken(int page, int item, int modulus);

class TPlaceHolderDialog : public TForm {
 public:
  TPlaceHolderDialog();
  std::wstring Execute(TPoint pos, TPhType pt, std::wstring_view action);
  void Relayout(UINT dpi) override;
  void ShowPage(int page);

  TPageControl PageControl;
  TRadioGroup Groups[phPageCount];
  TEdit reCycle;
  TUpDown udCycle;
  TButton OKBtn, CancelBtn;

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  void TimeItemClick();
  int GroupHeight96(int page) const;
};

// Empty when cancelled.
std::wstring SelectPlaceholder(TPoint pos, TPhType pt, std::wstring_view action);

}  // namespace hv
