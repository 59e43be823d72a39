#include "hvwatchdog/ShowHint.h"

#include <algorithm>

#include "base/os/WinUtils.h"
#include "base/text/ExtSysUtils.h"
#include "winui/Dpi.h"
#include "winui/Translate.h"

namespace hv {

namespace {

constexpr int kMargin96 = 10, kTextLeft96 = 52, kIconSize96 = 32, kIconLeft96 = 10;
constexpr int kButtonWidth96 = 96, kButtonHeight96 = 28;

const wchar_t* HintIcon(int type) {
  switch (type) {
    case htWarning: return IDI_WARNING;
    case htError: return IDI_ERROR;
    case htQuestion: return IDI_QUESTION;
    case htNone: return nullptr;
    default: return IDI_INFORMATION;
  }
}

}  // namespace

TfrmShowHint::TfrmShowHint() {
  BorderStyle = TBorderStyle::bsDialog;
  ClientWidth96 = 300;
  ClientHeight96 = 100;
}

void TfrmShowHint::FormCreate() {
  SetCaption(L"Show text");
  imgIcon.Create(*this, {kIconLeft96, kMargin96, kIconSize96, kIconSize96});
  stInfo.Create(*this, L"", {kTextLeft96, kMargin96, 200, 40}, nullptr, true, true);
  stInfo.TranslateText = false;
  btClose.Create(*this, L"Close", {100, 60, kButtonWidth96, kButtonHeight96});
  btClose.Cancel = true;
  btClose.SetDefault(true);
  btClose.OnClick = [this] { Close(); };
  Timer.OnTimer = [this] {
    Timer.SetEnabled(false);
    Close();
  };
}

void TfrmShowHint::Relayout(UINT dpi) {
  TForm::Relayout(dpi);
  if (!Handle()) return;
  LOGFONTW lf{};
  GetObjectW(Font(), sizeof(lf), &lf);
  lf.lfWeight = FW_BOLD;
  TFontHandle bold(CreateFontIndirectW(&lf));
  SendMessageW(stInfo.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(bold.Get()), FALSE);
  FBold = std::move(bold);
  const bool icon = FHintType != htNone;
  const int m = hv::Scale(kMargin96, dpi), iconSize = hv::Scale(kIconSize96, dpi);
  const int left = icon ? hv::Scale(kTextLeft96, dpi) : m;
  const int bw = hv::Scale(kButtonWidth96, dpi), bh = hv::Scale(kButtonHeight96, dpi);
  const SIZE text = GetTextSize(FHint, FBold.Get());
  const int h = std::max<int>(text.cy, icon ? iconSize : m);
  const int width = left + std::max<int>(text.cx, bw) + 2 * m;
  SetClientSize(width, h + 3 * m + bh);
  imgIcon.SetBounds(hv::Scale(kIconLeft96, dpi), m, iconSize, iconSize);
  imgIcon.SetVisible(icon);
  if (const wchar_t* id = HintIcon(FHintType)) imgIcon.SetSystemIcon(id);
  stInfo.SetBounds(left, m, width - left - m, h);
  btClose.SetBounds(width - m - bw, 2 * m + h, bw, bh);
}

void TfrmShowHint::FormShow() { Relayout(Dpi()); }

void TfrmShowHint::Execute(TPoint pos, int hintType, std::wstring_view title, std::wstring_view hint, int delay) {
  if (hint.empty()) return;
  Timer.SetEnabled(false);
  SetCaption(title);
  FHint = hint;
  FHintType = hintType;
  stInfo.SetText(FHint);
  // Hidden first, so that a new notice is laid out and placed anew.
  Hide();
  Relayout(Dpi());
  PlaceForm(*this, pos);
  Show();
  if (delay > 0) {
    Timer.SetInterval(static_cast<UINT>(delay) * 1000);
    Timer.SetEnabled(true);
  }
}

void ShowHintWindow(TPoint pos, int hintType, std::wstring_view title, std::wstring_view hint, int delay) {
  if (!HintWindow() && hint.empty()) return;
  Application().KeepForm<TfrmShowHint>().Execute(pos, hintType, title, hint, delay);
}

TfrmShowHint* HintWindow() { return Application().KeptForm<TfrmShowHint>(); }

std::wstring DestinationNoticeText(const TMonTaskList& tasks, int limit) {
  const TMonTask* worst = nullptr;
  size_t worstPos = 0;
  int count = 0;
  for (size_t i = 0; i < tasks.Count(); ++i) {
    const TMonTask& t = tasks[i];
    if (t.MonStatus == TMonTaskStatus::mtEnabled && t.ErrCount > count) {
      count = t.ErrCount;
      worst = &t;
      worstPos = i;
    }
  }
  if (!worst || limit >= count) return {};
  std::wstring text = SafeFormat(_(L"Backup destination \"%s\" not available!"), worst->DestDir) + L"\r\n" +
                      SafeFormat(_(L"Monitored directory \"%s\""), TMonTaskList::ItemText(worstPos, *worst)) + L"\r\n";
  if (limit > 0) text += SafeFormat(_(L"This was the case with the last %u backups."), count) + L"\r\n";
  return text + _(L"Please check that the backup medium is connected correctly!");
}

}  // namespace hv
