// Real hidden and shown windows under Wine, driven by messages.
#include <gtest/gtest.h>

#include <thread>

#include "support/GuiTest.h"
#include "support/TestSupport.h"
#include "winui/Errors.h"
#include "winui/Forms.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv {
namespace {

class TTestForm : public TForm {
 public:
  TButton btOk, btCancel;
  TEdit edName;
  TCheckBox cbOption;
  TLabel laName;
  int Clicks = 0;
  int CloseQueries = 0, RefuseCloses = 0;
  std::vector<WORD> Keys;

  TTestForm() {
    BorderStyle = TBorderStyle::bsDialog;
    ClientWidth96 = 300;
    ClientHeight96 = 120;
    KeyPreview = true;
  }

 protected:
  void FormCreate() override {
    SetCaption(L"Test form");
    laName.Create(*this, L"&Name:", {10, 12, 60, 16});
    edName.Create(*this, L"", {80, 10, 200, 22});
    edName.Hint = L"Type a name";
    cbOption.Create(*this, L"Option", {10, 40, 200, 20});
    btOk.Create(*this, L"OK", {120, 80, 80, 26});
    btOk.ModalResult = mrOk;
    btOk.SetDefault(true);
    btOk.OnClick = [this] { ++Clicks; };
    btCancel.Create(*this, L"Cancel", {210, 80, 80, 26});
    btCancel.ModalResult = mrCancel;
    btCancel.Cancel = true;
  }
  bool CloseQuery() override { return ++CloseQueries > RefuseCloses; }
  bool FormKeyDown(WORD key, bool shift, bool ctrl, bool alt) override {
    Keys.push_back(key);
    return TForm::FormKeyDown(key, shift, ctrl, alt);
  }
};

class FormsTest : public hvtest::GuiTest {};

void SendKey(HWND wnd, WORD key) {
  PostMessageW(wnd, WM_KEYDOWN, key, 0);
  PostMessageW(wnd, WM_KEYUP, key, 0xC0000000);
}

TEST_F(FormsTest, ButtonsGiveTheirModalResult) {
  TTestForm f;
  f.Create();
  ASSERT_TRUE(f.Handle());
  TTestHooks::OnFormShown = [&](TForm&) {
    f.edName.SetText(L"Anna");
    f.btOk.Click();
  };
  EXPECT_EQ(f.ShowModal(), mrOk);
  EXPECT_EQ(f.Clicks, 1);
  EXPECT_EQ(f.edName.Text(), L"Anna");
  EXPECT_FALSE(f.Visible());
}

TEST_F(FormsTest, EnterPressesTheDefaultAndEscapeTheCancelButton) {
  struct Case {
    WORD Key;
    int Result;
  } cases[] = {{VK_RETURN, mrOk}, {VK_ESCAPE, mrCancel}};
  for (const auto& c : cases) {
    TTestForm f;
    f.Create();
    TTestHooks::OnFormShown = [&](TForm&) {
      f.edName.SetFocus();
      SendKey(f.edName.Handle(), c.Key);
    };
    EXPECT_EQ(f.ShowModal(), c.Result) << c.Key;
    EXPECT_FALSE(f.Keys.empty());
  }
}

TEST_F(FormsTest, CloseQueryKeepsTheFormOpen) {
  TTestForm f;
  f.Create();
  f.RefuseCloses = 1;
  TTestHooks::OnFormShown = [&](TForm&) {
    f.btOk.Click();  // refused by CloseQuery
    PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(f.ShowModal(), mrCancel);
  EXPECT_EQ(f.CloseQueries, 2);
}

TEST_F(FormsTest, AnswerHookClosesModalForms) {
  TTestForm f;
  f.Create();
  TTestHooks::AnswerModal = [](TForm&) { return std::optional<int>(mrNo); };
  EXPECT_EQ(f.ShowModal(), mrNo);
}

TEST_F(FormsTest, F11ShowsTheHintOfTheFocusedControl) {
  TTestForm f;
  f.Create();
  std::wstring shownHint;
  Application().OnShowHint = [&](const std::wstring& h) { shownHint = h; };
  TTestHooks::OnFormShown = [&](TForm&) {
    f.edName.SetFocus();
    SendKey(f.edName.Handle(), VK_F11);
    PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
  };
  f.ShowModal();
  Application().OnShowHint = nullptr;
  EXPECT_EQ(shownHint, L"Type a name");
}

TEST_F(FormsTest, TranslatesTextsButNotData) {
  SetCatalog(L"default", {{L"Test form", L"Testformular"}, {L"Option", L"Wahl"}, {L"Type a name", L"Name eingeben"},
                          {L"Anna", L"Anne"}});
  TTestForm f;
  f.Create();
  EXPECT_EQ(f.Caption(), L"Testformular");
  EXPECT_EQ(f.cbOption.Text(), L"Wahl");
  EXPECT_EQ(f.edName.Hint, L"Name eingeben");
  EXPECT_EQ(f.btOk.Text(), L"OK");  // no entry: English
}

TEST_F(FormsTest, LayoutScalesWithTheDpi) {
  TTestForm f;
  f.Create();
  f.Relayout(144);
  RECT r = f.btOk.BoundsRect();
  EXPECT_EQ(r.left, 180);
  EXPECT_EQ(r.top, 120);
  EXPECT_EQ(r.right - r.left, 120);
  f.Relayout(96);
  EXPECT_EQ(f.btOk.BoundsRect().left, 120);
}

TEST_F(FormsTest, DpiChangeAppliesTheSuggestedRectangleFontAndLayout) {
  TTestForm f;
  f.Create();
  LOGFONTW before{}, after{};
  GetObjectW(f.Font(), sizeof(before), &before);
  RECT suggested{40, 50, 40 + 600, 50 + 300};
  SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(f.Dpi(), 192u);
  RECT r = f.BoundsRect();
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(r.right - r.left, 600);
  EXPECT_EQ(f.btOk.BoundsRect().left, 240);
  GetObjectW(f.Font(), sizeof(after), &after);
  EXPECT_EQ(after.lfHeight, 2 * before.lfHeight);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(f.btOk.Handle(), WM_GETFONT, 0, 0)), f.Font());
}

TEST_F(FormsTest, MainFormCloseEndsTheApplication) {
  auto& main = Application().CreateForm<TTestForm>();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f == &main) PostMessageW(main.Handle(), WM_CLOSE, 0, 0);
  };
  Application().Run();
  EXPECT_TRUE(Application().Terminated());
}

// What still stood when a kept form was freed.
struct TFreed {
  bool OwnWindow = false, MainWindow = false;
};

class TKeptForm : public TForm {
 public:
  TFreed* Freed = nullptr;
  ~TKeptForm() override {
    if (Freed) *Freed = {Handle() != nullptr, Application().MainForm() && IsWindow(Application().MainForm()->Handle())};
  }
};

// A kept form is made once; the dialog that first asked for it does not take its window along, and
// the application frees it before the main form.
TEST_F(FormsTest, KeptFormsOutliveTheirFirstCallerAndGoBeforeTheMainForm) {
  auto& main = Application().CreateForm<TTestForm>();
  main.Show();
  EXPECT_EQ(Application().KeptForm<TKeptForm>(), nullptr);
  TKeptForm* kept = nullptr;
  {
    TTestForm dialog;
    dialog.Create(main.Handle());
    dialog.Show();
    SetActiveWindow(dialog.Handle());
    ASSERT_EQ(Application().ActiveForm(), &dialog);
    kept = &Application().KeepForm<TKeptForm>();
  }
  EXPECT_EQ(&Application().KeepForm<TKeptForm>(), kept);
  EXPECT_EQ(Application().KeptForm<TKeptForm>(), kept);
  EXPECT_EQ(Application().MainForm(), &main);
  EXPECT_TRUE(IsWindow(kept->Handle()));
  TFreed freed;
  kept->Freed = &freed;
  Application().DestroyForms();
  EXPECT_TRUE(freed.OwnWindow);
  EXPECT_TRUE(freed.MainWindow);
}

TEST_F(FormsTest, TimerFiresInTheMessageLoop) {
  TTestForm f;
  f.Create();
  TTimer t;
  t.SetInterval(20);
  int fired = 0;
  t.OnTimer = [&] {
    if (++fired == 2) f.ModalResult = mrAbort;
  };
  t.SetEnabled(true);
  EXPECT_EQ(f.ShowModal(), mrAbort);
  t.SetEnabled(false);
  EXPECT_EQ(fired, 2);
}

// Errors reach the application once: a dialog on the loop's thread, the log elsewhere or while a
// report is open; the form goes on working.
TEST_F(FormsTest, ExceptionsFromHandlersAreReportedOnce) {
  std::vector<std::wstring> shown, logged;
  Application().OnLog = [&](const std::wstring& m) { logged.push_back(m); };
  TTestForm f;
  f.Create();
  int throws = 0;
  f.btOk.OnClick = [&] {
    ++throws;
    throw EOSError(L"CopyFileW", ERROR_ACCESS_DENIED, L"a.txt");
  };
  TTimer t;
  t.SetInterval(10);
  t.OnTimer = [&] {
    t.SetEnabled(false);
    throw std::runtime_error("timer failed");
  };
  TTestHooks::OnFormShown = [&](TForm&) {
    f.btOk.Click();
    t.SetEnabled(true);
  };
  Application().OnException = [&](const std::wstring& m) {
    shown.push_back(m);
    if (shown.size() == 1) f.btOk.Click();  // throws again while the report is open
    if (shown.size() == 2) f.btCancel.Click();
  };
  EXPECT_EQ(f.ShowModal(), mrCancel);  // the failed click gave no modal result
  EXPECT_EQ(throws, 2);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[0].starts_with(L"CopyFileW (a.txt): ")) << shown[0];
  EXPECT_EQ(shown[1], L"timer failed");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0], shown[0]);

  std::thread([] {
    try {
      throw Exception(L"from a worker");
    } catch (...) {
      Application().HandleException();
    }
  }).join();
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(logged.back(), L"from a worker");

  Application().ShowErrorDialogs = false;  // an unattended run
  Application().HandleException(L"unattended");
  Application().ShowErrorDialogs = true;
  Application().Terminate();  // no box would stay open
  Application().HandleException(L"at the end");
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(logged, (std::vector<std::wstring>{shown[0], L"from a worker", L"unattended", L"at the end"}));
}

// An error that leaves the modal loop gives the other windows back.
TEST_F(FormsTest, ModalLoopLeftByAnErrorEnablesTheOtherWindows) {
  struct TFailingClose : TTestForm {
    bool CloseQuery() override { throw Exception(L"no close"); }
  };
  TTestForm main;
  main.Create();
  main.Show();
  TFailingClose dialog;
  dialog.Create();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f == &dialog) {
      EXPECT_FALSE(IsWindowEnabled(main.Handle()));
      dialog.btOk.Click();
    }
  };
  EXPECT_THROW(dialog.ShowModal(), Exception);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  EXPECT_FALSE(dialog.Visible());
  EXPECT_FALSE(dialog.Modal());
}

TEST_F(FormsTest, AFormWithoutWindowIsAnError) {
  TTestForm f;
  EXPECT_THROW(f.ShowModal(), EOSError);
  try {
    f.Create(reinterpret_cast<HWND>(static_cast<intptr_t>(0x7FFF0)));  // no such owner
    ADD_FAILURE() << "created";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.Call(), L"CreateWindowExW");
    EXPECT_NE(e.ErrorCode(), 0u);
  }
  EXPECT_EQ(f.Handle(), nullptr);
}

TEST_F(FormsTest, DarkSchemeSwitchesAndScreenshotsAreWritten) {
  EXPECT_TRUE(TStyleManager::IsSystemStyle());
  EXPECT_FALSE(TStyleManager::TrySetStyle(L"No such style"));
  for (bool dark : {false, true}) {
    ASSERT_TRUE(TStyleManager::TrySetStyle(dark ? L"windows10 dark" : L"Windows"));
    EXPECT_EQ(TStyleManager::Active().Dark, dark);
    TTestForm f;
    f.Create();
    bool saved = false;
    TTestHooks::OnFormShown = [&](TForm&) {
      f.cbOption.SetChecked(true);
      saved = hvtest::SaveScreenshot(f.Handle(), dark ? L"winui-test-form-dark" : L"winui-test-form");
      f.btCancel.Click();
    };
    f.ShowModal();
    EXPECT_TRUE(saved);
    if (dark) {
      EXPECT_EQ(TStyleManager::SysColor(COLOR_BTNFACE), TStyleManager::Active().Face);
    }
  }
}

TEST(ReadingOrderTest, RowsTopToBottomLeftToRightWithinARow) {
  struct TCase {
    const char* Name;
    std::vector<RECT> Rects;
    std::vector<size_t> Order;
  };
  const TCase cases[] = {
      {"empty", {}, {}},
      // A label three pixels below the top of its edit, the edit's button made first.
      {"label, edit and button on one line",
       {{300, -2, 328, 24}, {10, 3, 100, 21}, {104, 0, 296, 22}},
       {1, 2, 0}},
      {"the next line after the whole row",
       {{10, 40, 100, 62}, {200, 0, 290, 22}, {10, 0, 100, 22}},
       {2, 1, 0}},
      // Buttons stacked beside a tall list: each starts a new row once the one above ends.
      {"buttons beside a tall list",
       {{200, 60, 280, 85}, {200, 30, 280, 55}, {10, 30, 190, 200}, {10, 210, 100, 230}},
       {2, 1, 0, 3}},
      // A group box beside two lines of check box and edit: both lines first.
      {"tall box beside two lines",
       {{300, 0, 500, 80}, {10, 0, 100, 20}, {110, 0, 200, 22}, {10, 40, 100, 60}, {110, 40, 200, 62}},
       {1, 2, 3, 4, 0}},
      {"same place keeps the order made",
       {{10, 10, 50, 30}, {10, 10, 50, 30}},
       {0, 1}},
  };
  for (const TCase& c : cases) EXPECT_EQ(ReadingOrder(c.Rects), c.Order) << c.Name;
}

}  // namespace
}  // namespace hv
