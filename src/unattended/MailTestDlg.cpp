#include "unattended/MailTestDlg.h"

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/os/FileUtils.h"
#include "base/settings/BuConsts.h"
#include "base/os/WinUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/ShowMemo.h"
#include "winui/Dpi.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 10, kIconSize96 = 32, kIconGap96 = 10, kRightGap96 = 20, kMinTextWidth96 = 280;
constexpr int kGroupHeight96 = 56, kButtonWidth96 = 87, kButtonHeight96 = 28, kGroupPad96 = 12;

bool FileExists(const std::wstring& name) {
  DWORD attr = GetFileAttributesW(name.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TMailTestDialog::TMailTestDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  TextDomain = L"dialogs";
  ClientWidth96 = kMargin96 + kIconSize96 + kIconGap96 + kMinTextWidth96 + kRightGap96;
  ClientHeight96 = 160;
}

void TMailTestDialog::FormCreate() {
  SetCaption(L"Mail delivery status");
  SetWindowLongPtrW(Handle(), GWL_STYLE, GetWindowLongPtrW(Handle(), GWL_STYLE) & ~WS_SYSMENU);
  imgIcon.Create(*this, {kMargin96, kMargin96, kIconSize96, kIconSize96});
  stInfo.Create(*this, L"", {kMargin96 + kIconSize96 + kIconGap96, kMargin96, kMinTextWidth96, 40}, nullptr, true,
                ScreenReaderActive());
  stInfo.TranslateText = false;
  gbLog.Create(*this, L"SMTP communication log", {kMargin96, 60, 300, kGroupHeight96});
  btbShowLog.Create(*this, L"Show", {kGroupPad96, 20, kButtonWidth96, kButtonHeight96}, gbLog.Handle());
  btbDelLog.Create(*this, L"Delete", {kGroupPad96 + kButtonWidth96 + 8, 20, kButtonWidth96, kButtonHeight96},
                   gbLog.Handle());
  btbOK.Create(*this, L"OK", {200, 124, kButtonWidth96, kButtonHeight96});
  btbOK.ModalResult = mrOk;
  btbOK.SetDefault(true);
  btbOK.Cancel = true;
  btbShowLog.OnClick = [this] { btbShowLogClick(); };
  btbDelLog.OnClick = [this] { btbDelLogClick(); };
}

bool TMailTestDialog::Execute(std::wstring_view caption, std::wstring_view logFile, TMsgDlgType dlgType) {
  FType = dlgType;
  imgIcon.SetVisible(dlgType != TMsgDlgType::mtCustom);
  stInfo.SetText(caption);
  lfn = logFile;
  Relayout(Dpi());
  ShowModal();
  return true;
}

void TMailTestDialog::Relayout(UINT dpi) {
  const int margin = hv::Scale(kMargin96, dpi), icon = hv::Scale(kIconSize96, dpi);
  const int bw = hv::Scale(kButtonWidth96, dpi), bh = hv::Scale(kButtonHeight96, dpi);
  const int pad = hv::Scale(kGroupPad96, dpi), groupHeight = hv::Scale(kGroupHeight96, dpi);
  const int left = margin + icon + hv::Scale(kIconGap96, dpi);
  const std::wstring text = stInfo.Text();
  const int lines = std::max(CountLines(text), 1);
  const int textWidth = GetMaxLineWidthFont(text, Font()) * 11 / 10;
  const int textHeight = std::max<int>(lines * GetTextSize(L"X", Font()).cy, icon);
  // The group must hold its two buttons.
  const int clientWidth =
      std::max(textWidth + left + hv::Scale(kRightGap96, dpi), 2 * margin + 2 * pad + 2 * bw + hv::Scale(8, dpi));
  const int clientHeight = 3 * margin + textHeight + groupHeight + bh + margin;
  SetClientSize(clientWidth, clientHeight);
  imgIcon.SetBounds(margin, margin, icon, icon);
  if (const wchar_t* id = StandardIcon(FType)) imgIcon.SetSystemIcon(id);
  stInfo.SetBounds(left, margin, clientWidth - left - margin, textHeight);
  const int groupTop = 2 * margin + textHeight;
  gbLog.SetBounds(margin, groupTop, clientWidth - 2 * margin, groupHeight);
  const int buttonTop = (groupHeight - bh) / 2 + hv::Scale(4, dpi);  // inside the group
  btbShowLog.SetBounds(pad, buttonTop, bw, bh);
  btbDelLog.SetBounds(pad + bw + hv::Scale(8, dpi), buttonTop, bw, bh);
  btbOK.SetBounds(clientWidth - margin - bw, groupTop + groupHeight + margin, bw, bh);
}

void TMailTestDialog::FormShow() {
  UpdateLogButtons();
  btbOK.SetFocus();
}

void TMailTestDialog::UpdateLogButtons() {
  const bool exists = !lfn.empty() && FileExists(lfn);
  btbShowLog.SetEnabled(exists);
  btbDelLog.SetEnabled(exists);
}

void TMailTestDialog::btbShowLogClick() {
  // The mailer writes its log in UTF-8.
  if (FileExists(lfn))
    ShowTextFile(Caption(), lfn, kDefaultDialogPos, TShowDlgType::stModal, kMailLogButtons,
                 SuiteSettings.PrinterSettings, true, CP_UTF8);
  UpdateLogButtons();
}

void TMailTestDialog::btbDelLogClick() {
  if (FileExists(lfn) && ConfirmDialogAt(BottomRightPos(btbDelLog), SafeFormat(_(L"Delete log file \"%s\"?"), lfn),
                                         TMsgDlgBtn::mbNo, TDefaultMonitor::dmActiveForm)) {
    if (!DeleteFileW(lfn.c_str())) ErrorDialog(SystemErrorText(GetLastError()));
  }
  UpdateLogButtons();
  if (!btbDelLog.Enabled()) btbOK.SetFocus();
}

TMailTestDialog* MailStatusDialog() { return Application().KeptForm<TMailTestDialog>(); }

bool ShowMailStatus(std::wstring_view caption, std::wstring_view logFile, TMsgDlgType dlgType) {
  return Application().KeepForm<TMailTestDialog>().Execute(caption, logFile, dlgType);
}

}  // namespace hv
