#include "hvwatchdog/InfoDlg.h"

#include <algorithm>

#include "dialogs/ListSelectDlg.h"
#include "winui/Translate.h"

namespace hv {

namespace {

constexpr int kDefaultWidth96 = 384;
constexpr int kMargin96 = 10;
constexpr int kLine96 = 18;
constexpr int kBottom96 = 51;

class TShowInfoDialog : public TForm {
 public:
  TShowInfoDialog(std::wstring_view info, std::wstring_view button, bool openButton, bool status, TGetStrings list)
      : FInfo(info), FButton(button), FOpen(openButton), FStatus(status), FList(std::move(list)) {
    BorderStyle = TBorderStyle::bsDialog;
    Position = TPosition::poScreenCenter;
    int lines = 1;
    for (wchar_t c : FInfo) lines += c == L'\n';
    FInfoHeight96 = kMargin96 + lines * kLine96;
    ClientWidth96 = kDefaultWidth96;
    ClientHeight96 = 15 + kBottom96 + kMargin96 + FInfoHeight96 + (FStatus ? 2 * kLine96 + kMargin96 : 0);
  }
  void ShowStatus(std::wstring_view time, std::wstring_view files) {
    laStatus.SetText(time);
    laFiles.SetText(files);
    laStatus.SetVisible(true);
    laFiles.SetVisible(true);
  }

 protected:
  void FormCreate() override {
    const int width = WidestLine96();
    // Room for all four buttons in one row.
    const int buttons96 = FList && FOpen ? 480 : kDefaultWidth96;
    ClientWidth96 = std::max(buttons96, width + 2 * kMargin96 + 8);
    laInfo.Create(*this, FInfo, {kMargin96, kMargin96, ClientWidth96 - 2 * kMargin96, FInfoHeight96}, nullptr, true);
    laInfo.TranslateText = false;
    const int statusTop = kMargin96 + FInfoHeight96 + kMargin96 / 2;
    laStatus.Create(*this, L"", {kMargin96, statusTop, ClientWidth96 - 2 * kMargin96, kLine96});
    laFiles.Create(*this, L"", {kMargin96, statusTop + kLine96, ClientWidth96 - 2 * kMargin96, kLine96});
    for (auto* l : {&laStatus, &laFiles}) {
      l->TranslateText = false;
      l->SetVisible(false);
    }
    const int top = ClientHeight96 - kBottom96 + 12;
    int x = ClientWidth96 - kMargin96 - 80;
    btClose.Create(*this, L"Close", {x, top, 80, 28});
    btClose.ModalResult = mrCancel;
    btClose.Cancel = true;
    btClose.SetDefault(true);
    if (FOpen) {
      x -= 8 + 120;
      btOpen.Create(*this, FButton, {x, top, 120, 28});
      btOpen.TranslateText = false;
      btOpen.ModalResult = mrYes;
    }
    if (FList) {
      btShowList.Create(*this, L"Show files", {kMargin96, top, 84, 28});
      btShowList.Hint = L"Show files";
      btShowList.OnClick = [this] { ShowList(); };
      btStart.Create(*this, L"Start immediate backup", {kMargin96 + 90, top, 150, 28});
      btStart.Hint = L"Start immediate backup";
      btStart.ModalResult = kInfoStart;
    }
  }

 private:
  int WidestLine96() const {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
    TFontHandle font(CreateFontIndirectW(&ncm.lfMessageFont));
    TWindowDCHandle dc(nullptr);
    TSelectObject select(dc.Get(), font.Get());
    int widest = 0;
    size_t start = 0;
    while (start <= FInfo.size()) {
      size_t end = FInfo.find(L'\n', start);
      if (end == std::wstring::npos) end = FInfo.size();
      std::wstring line = FInfo.substr(start, end - start);
      if (!line.empty() && line.back() == L'\r') line.pop_back();
      SIZE sz{};
      GetTextExtentPoint32W(dc.Get(), line.c_str(), static_cast<int>(line.size()), &sz);
      widest = std::max<int>(widest, sz.cx);
      start = end + 1;
    }
    const int dpi = GetDeviceCaps(dc.Get(), LOGPIXELSX);
    return MulDiv(widest, 96, dpi ? dpi : 96);
  }
  void ShowList() {
    std::vector<std::wstring> lines;
    FList(lines);
    if (!FileListDlg.Handle()) {
      FileListDlg.Create(Handle());
      FileListDlg.SetBakColor(GetSysColor(COLOR_INFOBK));
      FileListDlg.SetSorted(false);
    }
    FileListDlg.Assign(lines, -1);
    RECT r = btShowList.BoundsRect();
    POINT pt{r.right + Scale(5), r.top - Scale(15)};
    ClientToScreen(Handle(), &pt);
    FileListDlg.ShowList(TPoint{pt.x, pt.y}, 0);
  }

 public:
  TListSelectDialog FileListDlg;

 private:

  std::wstring FInfo, FButton;
  bool FOpen, FStatus;
  TGetStrings FList;
  int FInfoHeight96 = 0;
  TLabel laInfo, laStatus, laFiles;
  TButton btClose, btOpen, btShowList, btStart;
};

TShowInfoDialog* gInfoDialog = nullptr;

}  // namespace

int ShowInfoDialog(std::wstring_view title, std::wstring_view infoText, std::wstring_view buttonText, TPoint pos,
                   bool bottomRight, bool showOpenButton, bool showStatus, TGetStrings getFileList) {
  if (gInfoDialog) return mrCancel;
  TShowInfoDialog dlg(infoText, buttonText, showOpenButton, showStatus, std::move(getFileList));
  dlg.Create(Application().OwnerWindow());
  dlg.SetCaption(title);
  if (pos.X >= 0 || pos.Y >= 0) {
    int x = pos.X, y = pos.Y;
    if (bottomRight) {
      x -= dlg.Width();
      y -= dlg.Height();
    }
    MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromPoint(POINT{pos.X, pos.Y}, MONITOR_DEFAULTTONEAREST), &mi);
    x = std::clamp<int>(x, mi.rcWork.left, std::max<int>(mi.rcWork.left, mi.rcWork.right - dlg.Width()));
    y = std::clamp<int>(y, mi.rcWork.top, std::max<int>(mi.rcWork.top, mi.rcWork.bottom - dlg.Height()));
    dlg.Position = TPosition::poDesigned;
    dlg.SetPos(x, y);
  }
  gInfoDialog = &dlg;
  int r = mrCancel;
  try {
    r = dlg.ShowModal();
  } catch (...) {
    gInfoDialog = nullptr;
    throw;
  }
  gInfoDialog = nullptr;
  return r;
}

void UpdateInfoStatus(std::wstring_view timeStatus, std::wstring_view fileStatus) {
  if (gInfoDialog) gInfoDialog->ShowStatus(timeStatus, fileStatus);
}

bool InfoDialogShown() { return gInfoDialog != nullptr; }

TForm* InfoDialogForm() { return gInfoDialog; }

}  // namespace hv
