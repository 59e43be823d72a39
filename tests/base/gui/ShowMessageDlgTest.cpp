// The message box driven through the test hooks.
#include "base/app/ShowMessageDlg.h"

#include <gtest/gtest.h>

#include "base/app/LangUtils.h"
#include "support/TestSupport.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv {
namespace {

class ShowMessageDlgTest : public testing::Test {
 protected:
  void SetUp() override { Application().Initialize(); }
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
    ClearCatalogs();
  }
};

void PostKey(HWND wnd, WORD key) {
  PostMessageW(wnd, WM_KEYDOWN, key, 0);
  PostMessageW(wnd, WM_KEYUP, key, 0xC0000000);
}

struct TSeen {
  std::wstring Caption, Message;
  std::vector<std::wstring> Buttons;  // visible ones, left to right
  std::wstring DefaultButton;
  bool Icon = false, RunTimer = false;
  UINT Interval = 0;
};

TSeen Look(TShowMsgDialog& d) {
  TSeen s;
  s.Caption = d.Caption();
  s.Message = d.stInfo.Text();
  for (TButton* b : {&d.btLeft, &d.btCenter, &d.btClose})
    if (b->Visible()) {
      s.Buttons.push_back(b->Text());
      if (b->Default()) s.DefaultButton = b->Text();
    }
  s.Icon = d.imgIcon.Visible();
  s.RunTimer = d.RunTimer;
  s.Interval = d.Timer.Interval();
  return s;
}

// Shows a box, looks at it, saves a screenshot and presses a key (0: none).
TSeen ShowAndPress(std::wstring_view text, TMsgDialogType type, TMsgDlgBtn def, WORD key, int& result,
                   const wchar_t* shot = nullptr, int delay = 0) {
  TSeen seen;
  TTestHooks::OnFormShown = [&](TForm& f) {
    auto& d = dynamic_cast<TShowMsgDialog&>(f);
    seen = Look(d);
    if (shot) {
      EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), shot));
    }
    if (key) PostKey(d.stInfo.Handle(), key);
  };
  result = MessageDialogEx({-1, 0}, text, delay, type, def, TDefaultMonitor::dmPrimary);
  TTestHooks::OnFormShown = nullptr;
  return seen;
}

TEST_F(ShowMessageDlgTest, TypesButtonsAndAnswers) {
  using enum TMsgDialogType;
  using enum TMsgDlgBtn;
  struct Case {
    TMsgDialogType Type;
    TMsgDlgBtn Default;
    const wchar_t* Shot;
    std::wstring Caption;
    std::vector<std::wstring> Buttons;
    std::wstring DefaultButton;
    bool Icon;
    int Enter, Escape;  // results; mrNone: the key does nothing
  } cases[] = {
      {mdtInformation, mbYes, L"msgbox-information", L"Information", {L"&Close"}, L"&Close", true, mrCancel, mrCancel},
      {mdtWarning, mbYes, L"msgbox-warning", L"Warning", {L"&Close"}, L"&Close", true, mrCancel, mrCancel},
      {mdtError, mbYes, L"msgbox-error", L"Error", {L"&Close"}, L"&Close", true, mrCancel, mrCancel},
      {mdtConfirm, mbYes, L"msgbox-confirm", L"Confirm", {L"&Yes", L"&No"}, L"&Yes", true, mrYes, mrNo},
      {mdtConfirm, mbNo, nullptr, L"Confirm", {L"&Yes", L"&No"}, L"&No", true, mrNo, mrNo},
      {mdtConfirmError, mbYes, L"msgbox-confirm-error", L"Error", {L"&Yes", L"Cancel"}, L"&Yes", true, mrOk, mrCancel},
      {mdtConfirmRetry, mbYes, L"msgbox-confirm-retry", L"Error", {L"&Retry", L"Cancel"}, L"", true, mrNone, mrCancel},
      {mdtConfirmRetry, mbRetry, nullptr, L"Error", {L"&Retry", L"Cancel"}, L"&Retry", true, mrRetry, mrCancel},
      {mdtConfirmCancel, mbYes, L"msgbox-confirm-cancel", L"Confirm", {L"&Yes", L"Cancel"}, L"&Yes", true, mrYes, mrCancel},
      {mdtConfirmYesNo, mbNo, L"msgbox-confirm-yesno", L"Confirm", {L"&Yes", L"&No", L"Cancel"}, L"&No", true, mrNo, mrCancel},
      {mdtConfirmYesNo, mbYes, nullptr, L"Confirm", {L"&Yes", L"&No", L"Cancel"}, L"&Yes", true, mrYes, mrCancel},
  };
  const std::wstring text = L"The destination directory is missing.\r\nInsert the medium and try again.";
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Shot ? c.Shot : L"") + " " + std::to_string(static_cast<int>(c.Type)));
    int result = -1;
    TSeen seen = ShowAndPress(text, c.Type, c.Default, c.Enter != mrNone ? VK_RETURN : VK_ESCAPE, result, c.Shot);
    EXPECT_EQ(seen.Caption, c.Caption);
    EXPECT_EQ(seen.Message, text);
    EXPECT_EQ(seen.Buttons, c.Buttons);
    EXPECT_EQ(seen.DefaultButton, c.DefaultButton);
    EXPECT_EQ(seen.Icon, c.Icon);
    EXPECT_FALSE(seen.RunTimer);
    if (c.Enter != mrNone) {
      EXPECT_EQ(result, c.Enter);
    }
    ShowAndPress(text, c.Type, c.Default, VK_ESCAPE, result);
    EXPECT_EQ(result, c.Escape);
  }
}

TEST_F(ShowMessageDlgTest, EnterWithoutDefaultButtonKeepsTheBoxOpen) {
  TShowMsgDialog* box = nullptr;
  TTimer later;
  later.SetInterval(300);
  later.OnTimer = [&] {
    if (box) box->ModalResult = mrAbort;
  };
  TTestHooks::OnFormShown = [&](TForm& f) {
    box = &dynamic_cast<TShowMsgDialog&>(f);
    PostKey(box->stInfo.Handle(), VK_RETURN);
    later.SetEnabled(true);
  };
  EXPECT_EQ(MessageDialogEx(kDefaultDialogPos, L"Retry?", 0, TMsgDialogType::mdtConfirmRetry, TMsgDlgBtn::mbYes,
                            TDefaultMonitor::dmActiveForm),
            mrAbort);
  later.SetEnabled(false);
}

TEST_F(ShowMessageDlgTest, TitleIsSplitAtTheFirstBar) {
  struct Case {
    std::wstring Text, Caption, Message;
  } cases[] = {{L"Backup|The destination is missing", L"Backup", L"The destination is missing"},
               {L"a|b|c", L"a", L"b|c"},
               {L"|no title", L"Information", L"no title"},
               {L"plain", L"Information", L"plain"}};
  for (const auto& c : cases) {
    int result = 0;
    TSeen seen = ShowAndPress(c.Text, TMsgDialogType::mdtInformation, TMsgDlgBtn::mbYes, VK_ESCAPE, result);
    EXPECT_EQ(seen.Caption, c.Caption) << testing::PrintToString(c.Text);
    EXPECT_EQ(seen.Message, c.Message) << testing::PrintToString(c.Text);
  }
}

TEST_F(ShowMessageDlgTest, SelfClosingTimerAndKeys) {
  int result = 0;
  // Custom: no buttons, no icon, 120 ms per character + 2 s.
  TSeen custom = ShowAndPress(std::wstring(40, L'x'), TMsgDialogType::mdtCustom, TMsgDlgBtn::mbYes, 'A', result,
                              L"msgbox-custom");
  EXPECT_TRUE(custom.Buttons.empty());
  EXPECT_FALSE(custom.Icon);
  EXPECT_EQ(custom.Caption, L"");
  EXPECT_TRUE(custom.RunTimer);
  EXPECT_EQ(custom.Interval, 6800u);
  EXPECT_EQ(result, mrCancel);  // any key closes a self-closing box

  TSeen delayed = ShowAndPress(L"Done", TMsgDialogType::mdtInformation, TMsgDlgBtn::mbYes, 0, result, nullptr, 1);
  EXPECT_TRUE(delayed.RunTimer);
  EXPECT_EQ(delayed.Interval, 1000u);
  EXPECT_EQ(result, mrCancel);  // closed by the timer, nobody pressed anything

  ShowAndPress(L"Sure?", TMsgDialogType::mdtConfirm, TMsgDlgBtn::mbYes, VK_F11, result);
  EXPECT_EQ(result, mrCancel);  // F11 closes every box with "cancel"
}

TEST_F(ShowMessageDlgTest, WrappersAndEmptyText) {
  bool shown = false;
  TTestHooks::OnFormShown = [&](TForm&) { shown = true; };
  EXPECT_EQ(InfoDialog(L""), mrNone);
  EXPECT_FALSE(ConfirmDialog(L""));
  EXPECT_FALSE(shown);

  for (int answer : {mrYes, mrNo, mrCancel}) {
    TTestHooks::AnswerModal = [answer](TForm&) { return std::optional<int>(answer); };
    EXPECT_EQ(ConfirmDialog(L"Sure?"), answer == mrYes);
    EXPECT_EQ(ConfirmDialogAt({10, 10}, L"Sure?", TMsgDlgBtn::mbNo, TDefaultMonitor::dmPrimary), answer == mrYes);
  }
  TTestHooks::AnswerModal = [](TForm&) { return std::optional<int>(mrRetry); };
  EXPECT_TRUE(ConfirmRetryDialog(L"Again?"));
  EXPECT_EQ(ErrorDialogAt({10, 10}, L"Failed", TDefaultMonitor::dmPrimary), mrRetry);
}

TEST_F(ShowMessageDlgTest, SizeFollowsTheTextAndStaysInTheWorkArea) {
  const std::wstring longLine(80, L'M');
  RECT box{}, info{}, close{};
  TTestHooks::OnFormShown = [&](TForm& f) {
    auto& d = dynamic_cast<TShowMsgDialog&>(f);
    GetWindowRect(d.Handle(), &box);
    GetWindowRect(d.stInfo.Handle(), &info);
    GetWindowRect(d.btClose.Handle(), &close);
    d.ModalResult = mrCancel;
  };
  MessageDialogEx({5000, 5000}, longLine, 0, TMsgDialogType::mdtError, TMsgDlgBtn::mbYes, TDefaultMonitor::dmPrimary);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(box.right, work.right);
  EXPECT_LE(box.bottom, work.bottom);
  EXPECT_GE(box.left, work.left);
  EXPECT_GT(info.right - info.left, 500);  // wider than the designed text for a long line
  EXPECT_LE(close.right, box.right);
  EXPECT_GE(close.top, info.bottom);
}

TEST_F(ShowMessageDlgTest, TranslatedBoxAndDarkScheme) {
  AddDomainForResourceString(L"winui");
  AddDomainForResourceString(L"Units");
  ASSERT_TRUE(LoadLanguageCatalogs(hvtest::BinaryDir() + L"\\fixtures\\locale", L"xx"));
  int result = 0;
  TSeen seen = ShowAndPress(L"Translated", TMsgDialogType::mdtInformation, TMsgDlgBtn::mbYes, VK_ESCAPE, result);
  EXPECT_EQ(seen.Caption, L"Auskunft");
  EXPECT_EQ(seen.Buttons, std::vector<std::wstring>{L"&Zumachen"});
  ClearCatalogs();
  ASSERT_TRUE(TStyleManager::TrySetStyle(TStyleManager::kDarkStyle));
  ShowAndPress(L"Delete the old backups?", TMsgDialogType::mdtConfirmYesNo, TMsgDlgBtn::mbYes, VK_ESCAPE, result,
               L"msgbox-confirm-yesno-dark");
  TStyleManager::TrySetStyle(TStyleManager::kSystemStyle);
}

}  // namespace
}  // namespace hv
