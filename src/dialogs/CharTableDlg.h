#pragma once
// Shows the characters of the codes 0 to 255 in a grid and returns the one the user picks.
#include <optional>
#include <string>
#include <string_view>

#include "winui/ExtCtrls.h"
#include "winui/Forms.h"
#include "winui/Handles.h"

namespace hv {

// The code typed into "Hex value:" (hexadecimal, as TryHexStrToInt reads it); nothing unless it is
// 0..255.
std::optional<int> HexCharCode(std::wstring_view text);

class TCharTableDialog : public TForm {
 public:
  TCharTableDialog();
  // The chosen character, or 0 when cancelled.
  wchar_t Execute(TPoint pos, std::wstring_view fontName);
  // The code of the selected cell.
  int SelectedCode() const;
  void SelectCode(int code);
  void Relayout(UINT dpi) override;

  TDrawGrid CharGrid;
  TLabel lbValue;
  TEdit leValue;
  TButton OKBtn, CancelBtn;
  std::wstring DefFontName, GridFontName;

 protected:
  void FormCreate() override;
  void FormShow() override;
  void OnSize(int, int) override { Relayout(Dpi()); }

 private:
  void CharGridDrawCell(HDC dc, int col, int row, const RECT& rect);
  void leValueChange();
  void MakeFonts(UINT dpi);
  TFontHandle FHeaderFont, FCharFont;
  UINT FFontDpi = 0;
};

// fontName: the font of the characters (empty: the dialog's own).
wchar_t SelectCharacter(TPoint pos, std::wstring_view fontName);

}  // namespace hv
