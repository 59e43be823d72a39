#pragma once
// The start screen of the watchdog when it starts hidden: a borderless picture with the version.
#include <string_view>

#include "winui/Forms.h"

namespace hv {

class TStartScreen : public TForm {
 public:
  TStartScreen();
  // Shows the screen with the version text.
  void ShowMsg(std::wstring_view versInfo);
  void Relayout(UINT dpi) override;

  TLabel lblVers;

 protected:
  void FormCreate() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc);
  TFontHandle FVersFont, FTitleFont;
  TBrushHandle FBack;
};

}  // namespace hv
