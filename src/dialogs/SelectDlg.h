#pragma once
// Asks the user to choose one of several actions: a message with an icon, a row or grid of
// buttons made from captions, an optional check box and a cancel button. The answer is the index
// of the caption pressed (from 0), -1 for the cancel button, plus 256 when the box is ticked.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "winui/Forms.h"

namespace hv {

using TButtonArray = std::vector<std::wstring>;
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
// The system icon of a message kind (IDI_WARNING ...), null for mtCustom.
const wchar_t* StandardIcon(TMsgDlgType t);

inline constexpr int kSelectOptionTicked = 256;

// Pixel layout of the dialog (the design values are at 96 dpi, scaled).
struct TSelectLayoutIn {
  int ButtonCount = 1;  // captions + the cancel button
  int ButtonWidth96 = 0;  // 0: 105
  int TextWidth = 0, TextLines = 1, FontHeight = 0;
  bool Bold = false, Option = false;
  UINT Dpi = 96;
};
struct TSelectLayout {
  RECT Text{}, Option{};
  std::vector<RECT> Buttons;
  int ClientWidth = 0, ClientHeight = 0;
};
TSelectLayout SelectDialogLayout(const TSelectLayoutIn& in);

class TSelectDialog : public TForm {
 public:
  TSelectDialog();
  int Execute(TPoint pos, std::wstring_view title, std::wstring_view caption, TMsgDlgType dlgType, bool boldCaption,
              const TButtonArray& buttons, std::wstring_view option, int buttonWidth, int preSelection,
              std::wstring_view defaultButton);
  void Relayout(UINT dpi) override;

  TImage imgIcon;
  TLabel stCaption;
  TCheckBox cbOption;
  std::vector<std::unique_ptr<TButton>> Buttons;
  int Selection = -1;

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  std::wstring FCaption;
  int FBw = 0, FPreSel = 0;
  bool FBold = false, FScreenReader = false;
  TFontHandle FBoldFont;

 public:
  ~TSelectDialog() override;
};

int ShowSelectDialog(std::wstring_view title, std::wstring_view caption, TMsgDlgType dlgType, bool boldCaption,
                     const TButtonArray& buttons, std::wstring_view option, int buttonWidth, int preSelection,
                     std::wstring_view defaultButton);

}  // namespace hv
