#pragma once
// A multi-line text editor with a description above the text.
#include <string>
#include <string_view>

#include "winui/ComCtrls.h"
#include "winui/Forms.h"

namespace hv {

// Client width for a text whose widest line is lineWidth pixels: 110 % of it when that is more
// than clientWidth, but at most half the work area's width.
int MemoDialogClientWidth(int clientWidth, int lineWidth, int workAreaWidth);

class TMemoDialog : public TForm {
 public:
  TMemoDialog();
  // useCommaText: text is a comma-separated list, shown one item per line.
  bool Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring& text, bool useCommaText);
  void Relayout(UINT dpi) override;

  TLabel Descriptor;
  TMemo Memo;
  TButton OKBtn, CancelBtn;

 protected:
  void FormCreate() override;
  void FormShow() override;
  void OnSize(int width, int height) override { Relayout(Dpi()); }
};

bool EditMemoText(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring& text);

}  // namespace hv
