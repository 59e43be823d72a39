#pragma once
// A one-line text editor with a description above and an optional suffix to the right.
#include <string>
#include <string_view>

#include "winui/Forms.h"

namespace hv {

// Client width for a text of textWidth pixels: the text plus 20 pixels (scaled), at least the
// designed width.
int InputStringClientWidth(int textWidth, UINT dpi, int defWidth);

class TInputStringDialog : public TForm {
 public:
  TInputStringDialog();
  bool Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring_view suffix,
               std::wstring& text);
  void Relayout(UINT dpi) override;

  TLabel Descriptor, SuffixText;
  TEdit TextFeld;
  TButton OKBtn, CancelBtn;

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  int FDefWidth = 0;  // pixels at the form's dpi
};

bool EditString(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring_view suffix,
                std::wstring& text);
bool EditStringSimple(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring& text);

}  // namespace hv
