#include "dialogs/DlgUtils.h"

namespace hv {

void CreateOkCancel(TForm& form, TButton& ok, TButton& cancel, const TRect96& okBounds, const TRect96& cancelBounds,
                    std::wstring_view okCaption) {
  ok.Create(form, okCaption, okBounds);
  ok.SetDefault(true);
  ok.ModalResult = mrOk;
  cancel.Create(form, L"Cancel", cancelBounds);
  cancel.Cancel = true;
  cancel.ModalResult = mrCancel;
}

void CreateOkCancel(TForm& form, TButton& ok, TButton& cancel, const TRect96& bounds, std::wstring_view okCaption) {
  CreateOkCancel(form, ok, cancel, bounds, bounds, okCaption);
}

void PlaceOkCancel(TButton& ok, TButton& cancel, int right, int top, int width, int height, int gap) {
  cancel.SetBounds(right - width, top, width, height);
  ok.SetBounds(right - 2 * width - gap, top, width, height);
}

TEXTMETRICW FontMetrics(HFONT font) {
  TEXTMETRICW tm{};
  TWindowDCHandle dc(nullptr);
  TSelectObject select(dc.Get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
  GetTextMetricsW(dc.Get(), &tm);
  return tm;
}

}  // namespace hv
