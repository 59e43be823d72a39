// The message box driven through the test hooks.
#include "base/app/ShowMessageDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "base/app/LangUtils.h"
#include "base/os/WinUtils.h"
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

// Every character 7 pixels wide, lines 13 high; with a width, the words of a line are wrapped.
SIZE FixedMeasure(const std::wstring& text, int width) {
  int widest = 0, lines = 0;
  std::wistringstream in(text);
  for (std::wstring line; std::getline(in, line, L'\n');) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (width <= 0) {
      widest = std::max(widest, static_cast<int>(line.size()) * 7);
      ++lines;
      continue;
    }
    std::wistringstream words(line);
    int current = -1;
    for (std::wstring w; words >> w;) {
      const int wide = static_cast<int>(w.size()) * 7, withBlank = current < 0 ? wide : current + 7 + wide;
      if (current >= 0 && withBlank <= width) {
        current = withBlank;
        continue;
      }
      if (current >= 0) widest = std::max(widest, current);
      current = wide;
      ++lines;
    }
    widest = std::max(widest, current);
    if (current < 0) ++lines;
  }
  return {widest, lines * 13};
}

TEST(MessageBoxLayout, LongLinesWrapAtHalfTheWorkArea) {
  using enum TMsgDialogType;
  std::wstring sentence;  // 1148 pixels on one line
  for (int i = 0; i < 20; ++i) sentence += L"restore ";
  sentence += L"mail";
  struct Case {
    TMsgDialogType type;
    UINT dpi;
    int workArea;
    std::wstring text;
    int wrap;  // 0: not wrapped
    SIZE client;
  } cases[] = {
      // The designed box: 2 x 15 + 45 + the wider of text and buttons (87 + 112); the icon's height at least.
      {mdtInformation, 96, 1280, L"Short", 0, {75 + 199, 47 + 45 + 32}},
      {mdtConfirmYesNo, 96, 1280, L"Short", 0, {75 + 286, 47 + 45 + 32}},
      {mdtCustom, 96, 1280, L"Short", 0, {75 + 199, 30 + 45 + 32}},
      {mdtInformation, 96, 1280, L"one\r\ntwo\r\nthree\r\nfour", 0, {75 + 199, 52 + 45 + 32}},
      // Wrapped at 640: 11 words (609 pixels) on the first line, two lines.
      {mdtConfirm, 96, 1280, sentence, 640, {75 + 609, 47 + 45 + 32}},
      {mdtConfirm, 96, 2560, sentence, 0, {75 + 1148, 47 + 45 + 32}},
      // A narrow work area: wrapped at the button row's width, 5 lines.
      {mdtConfirmYesNo, 96, 400, sentence, 286, {75 + 286, 65 + 45 + 32}},
      // 150 %: margins 23, text left 68, icon and buttons 48 high.
      {mdtInformation, 144, 1280, sentence, 640, {46 + 68 + 609, 71 + 69 + 48}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text.substr(0, 20)) + " dpi " + std::to_string(c.dpi) + " work area " +
                 std::to_string(c.workArea));
    const TMsgBoxLayout l = MessageBoxLayout(c.type, c.dpi, c.workArea, [&](int w) { return FixedMeasure(c.text, w); });
    EXPECT_EQ(l.WrapWidth, c.wrap);
    EXPECT_EQ(l.Client.cx, c.client.cx);
    EXPECT_EQ(l.Client.cy, c.client.cy);
    // The text lies right of the icon and holds the measured lines; the buttons end at the right margin below it.
    const SIZE text = FixedMeasure(c.text, l.WrapWidth);
    EXPECT_GE(l.Text.left, l.Icon.right);
    EXPECT_GE(l.Text.right - l.Text.left, text.cx);
    EXPECT_GE(l.Text.bottom - l.Text.top, text.cy);
    EXPECT_EQ(l.Close.right, l.Client.cx - MulDiv(15, static_cast<int>(c.dpi), 96));
    EXPECT_EQ(l.Close.top, l.Text.bottom + MulDiv(15, static_cast<int>(c.dpi), 96));
    EXPECT_LT(l.Center.right, l.Close.left);
    EXPECT_LT(l.Left.right, l.Center.left);
  }
}

// A sentence wider than half the work area wraps in the real box: every line shows.
TEST_F(ShowMessageDlgTest, ALongSentenceWrapsInsideTheWorkArea) {
  std::wstring text = L"Restoring mail data to";
  for (int i = 0; i < 12; ++i) text += L" \"C:\\Users\\Somebody\\AppData\"";
  text += L" will overwrite all existing mails!";
  RECT box{}, info{};
  SIZE needed{}, line{};
  TTestHooks::OnFormShown = [&](TForm& f) {
    auto& d = dynamic_cast<TShowMsgDialog&>(f);
    GetWindowRect(d.Handle(), &box);
    GetWindowRect(d.stInfo.Handle(), &info);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(d.stInfo.Handle(), WM_GETFONT, 0, 0));
    needed = GetWrappedTextSize(text, font, info.right - info.left);
    line = GetTextSize(L"X", font);
    EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"msgbox-long-sentence"));
    d.ModalResult = mrCancel;
  };
  MessageDialogEx({-1, 0}, text, 0, TMsgDialogType::mdtConfirm, TMsgDlgBtn::mbYes, TDefaultMonitor::dmPrimary);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(box.right - box.left, (work.right - work.left) / 2 + 150);
  EXPECT_GE(needed.cy, 3 * line.cy);
  EXPECT_GE(info.bottom - info.top, needed.cy);  // no line cut off
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
