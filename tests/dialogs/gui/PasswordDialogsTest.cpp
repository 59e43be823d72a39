// The new-password and password dialogs driven through their functions.
#include <deque>

#include "base/app/ShowMessageDlg.h"
#include "dialogs/NewPwdDlg.h"
#include "dialogs/PwdDlg.h"
#include "support/GuiTest.h"
#include "winui/Clipboard.h"

namespace hv {
namespace {

using namespace hvtest;
class PasswordDialogsTest : public GuiTest {};

const std::wstring kCyrillic = L"\u041f\u0430\u0440\u043e\u043b\u044c-2024";  // not in the ANSI code page here

// Fills both fields and presses OK; each error box the dialog shows is recorded and closed, and
// the next attempt follows.
struct TAttempts {
  std::deque<std::pair<std::wstring, std::wstring>> Tries;
  std::vector<std::wstring> Errors;
  TNewPwdDialog* Dialog = nullptr;
  void Next() {
    if (Tries.empty()) return;
    auto [a, b] = Tries.front();
    Tries.pop_front();
    Dialog->edtPwd.SetText(a);
    Dialog->edtRepPwd.SetText(b);
    PostMessageW(Dialog->OKBtn.Handle(), BM_CLICK, 0, 0);
  }
  void Install() {
    OnShown<TNewPwdDialog>(
        [this](TNewPwdDialog& d) {
          Dialog = &d;
          Next();
        },
        [this](TForm& f) {
          auto& box = dynamic_cast<TShowMsgDialog&>(f);
          Errors.push_back(box.Message());
          box.ModalResult = mrCancel;
          Next();
        });
  }
};

TEST_F(PasswordDialogsTest, NewPasswordClosesOnlyWhenBothFieldsAgree) {
  TAttempts t;
  t.Tries = {{L"abcde", L"abcde"}, {L"Abcdefgh12", L"Abcdefgh13"}, {L"Abcdefgh12", L"Abcdefgh12"}};
  t.Install();
  std::wstring pwd = L"old";
  ASSERT_TRUE(NewPasswordEx({-1, 0}, L"Mail password", pwd, true, false, 8));
  EXPECT_EQ(pwd, L"Abcdefgh12");
  EXPECT_EQ(t.Errors, (std::vector<std::wstring>{L"Minimum length of password is 8 characters", L"Passwords do not match!"}));

  t = {};
  t.Tries = {{L"", L""}};
  t.Install();
  ASSERT_TRUE(NewPasswordEx({-1, 0}, L"Mail password", pwd, true, false, 8));
  EXPECT_EQ(pwd, L"");
  EXPECT_TRUE(t.Errors.empty());
}

TEST_F(PasswordDialogsTest, BarShowButtonAndCancel) {
  int barShort = -1, barLong = -1;
  bool repeatVisible = true, masked = false, shownPlain = false;
  OnShown<TNewPwdDialog>([&](TNewPwdDialog& d) {
    repeatVisible = d.edtRepPwd.Visible();
    d.edtPwd.SetText(L"Abc!de1");
    barShort = d.imgBar.Value();
    d.edtPwd.SetText(L"Abc!def1");
    barLong = d.imgBar.Value();
    masked = SendMessageW(d.edtPwd.Handle(), EM_GETPASSWORDCHAR, 0, 0) == L'*';
    SendMessageW(d.btnShow.Handle(), BM_CLICK, 0, 0);
    shownPlain = SendMessageW(d.edtPwd.Handle(), EM_GETPASSWORDCHAR, 0, 0) == 0;
    SendMessageW(d.btnShow.Handle(), BM_CLICK, 0, 0);
    PostKey(d.edtPwd.Handle(), VK_ESCAPE);
  });
  std::wstring pwd = L"Secret-1";
  EXPECT_FALSE(NewPasswordEx({-1, 0}, L"Account password", pwd, false, true, 8));
  EXPECT_EQ(pwd, L"Secret-1");  // Cancel keeps the caller's password
  EXPECT_FALSE(repeatVisible);
  EXPECT_EQ(barShort, 0);  // shorter than the minimum
  EXPECT_GT(barLong, 0);
  EXPECT_TRUE(masked);
  EXPECT_TRUE(shownPlain);

  // Without confirmation a short password is accepted; the bar only shows 0 %.
  OnShown<TNewPwdDialog>([&](TNewPwdDialog& d) {
    EXPECT_EQ(d.edtPwd.Text(), L"");  // not shown: the fields start empty
    d.edtPwd.SetText(L"abc");
    barShort = d.imgBar.Value();
    d.OKBtn.Click();
  });
  ASSERT_TRUE(NewPassword({-1, 0}, L"Account password", pwd));
  EXPECT_EQ(pwd, L"abc");
  EXPECT_EQ(barShort, 0);
}

TEST_F(PasswordDialogsTest, NewPasswordStaysUtf16UnlessKeptAsSingleBytes) {
  TAttempts t;
  t.Tries = {{kCyrillic, kCyrillic}};
  t.Install();
  std::wstring pwd;
  ASSERT_TRUE(NewPasswordEx({-1, 0}, L"Logon", pwd, true, false, 8));
  EXPECT_EQ(pwd, kCyrillic);

  t = {};
  t.Tries = {{kCyrillic, L""}, {L"plain-2024", L""}};
  t.Install();
  ASSERT_TRUE(NewPassword({-1, 0}, L"Mail password", pwd));
  EXPECT_EQ(pwd, L"plain-2024");
  ASSERT_EQ(t.Errors.size(), 1u);
  EXPECT_NE(t.Errors[0].find(L"cannot be stored"), std::wstring::npos);
}

TEST_F(PasswordDialogsTest, NewPasswordScreenshots) {
  for (bool dark : {false, true}) {
    OnShown<TNewPwdDialog>([&](TNewPwdDialog& d) {
      d.edtPwd.SetText(L"Backup-2024");
      d.edtRepPwd.SetText(L"Backup-2024");
      Shot(d, dark ? L"dialogs-new-password-dark" : L"dialogs-new-password", dark);
      d.CancelBtn.Click();
    });
    std::wstring pwd;
    NewPasswordEx({-1, 0}, L"Password for the mail account", pwd, true, true, 8);
  }
}

TEST_F(PasswordDialogsTest, PasswordDialogPromptSkipPasteAndEncryption) {
  const std::wstring prompt = L"The group \"Nightly\" runs as another user.\r\nEnter the password of the account "
                              L"BACKUP\\operator to start it now.\r\nThe password is not kept.";
  RECT top{}, box{};
  int result = 0;
  OnShown<TPasswordDialog>([&](TPasswordDialog& d) {
    GetWindowRect(d.lblPrompt.Handle(), &top);
    GetClientRect(d.Handle(), &box);
    EXPECT_TRUE(d.btnSkip.Visible());
    EXPECT_FALSE(d.gbEncrypt.Visible());
    Shot(d, L"dialogs-password");
    d.edtPwd.SetText(L"typed");
    d.btnSkip.Click();
  });
  std::wstring pwd = L"kept";
  result = InputPassword(L"Start group", prompt, true, pwd);
  EXPECT_EQ(result, mrYes);
  EXPECT_EQ(pwd, L"kept");  // Skip leaves the password
  EXPECT_GE(top.bottom - top.top, 3 * 13);  // three lines
  EXPECT_GT(box.right, 380);  // the long line widened the dialog

  ASSERT_TRUE(SetClipboardText(L"from-clipboard"));
  OnShown<TPasswordDialog>([&](TPasswordDialog& d) {
    d.edtPwd.SetText(L"old text");
    d.bbPaste.Click();
    EXPECT_EQ(d.edtPwd.Text(), L"from-clipboard");
    EXPECT_TRUE(d.gbEncrypt.Visible());
    EXPECT_TRUE(d.rbEnc256.Checked());
    d.rbEncAuto.Click();
    Shot(d, L"dialogs-password-encryption");
    PostKey(d.edtPwd.Handle(), VK_RETURN);
  });
  TEncryptionMode mode = TEncryptionMode::emAes256;
  EXPECT_EQ(InputPasswordEx({-1, 0}, L"Password", L"Password of the archive:", false, true, pwd, mode), mrOk);
  EXPECT_EQ(pwd, L"from-clipboard");
  EXPECT_EQ(mode, TEncryptionMode::emAuto);

  OnShown<TPasswordDialog>([&](TPasswordDialog& d) { d.OKBtn.Click(); });
  EXPECT_TRUE(QueryPassword({-1, 0}, L"Logon", L"Password:", pwd));
  EXPECT_EQ(pwd, L"");  // an empty password is returned as empty
}

TEST_F(PasswordDialogsTest, PasswordDialogKeepsUtf16AndRefusesWhatSingleBytesCannotHold) {
  std::vector<std::wstring> errors;
  int tries = 0;
  TPasswordDialog* dlg = nullptr;
  OnShown<TPasswordDialog>(
      [&](TPasswordDialog& d) {
        dlg = &d;
        d.edtPwd.SetText(kCyrillic);
        PostMessageW(d.OKBtn.Handle(), BM_CLICK, 0, 0);
      },
      [&](TForm& f) {
        auto& box = dynamic_cast<TShowMsgDialog&>(f);
        errors.push_back(box.Message());
        box.ModalResult = mrCancel;
        if (++tries == 1) {
          dlg->edtPwd.SetText(L"ascii-pass");
          PostMessageW(dlg->OKBtn.Handle(), BM_CLICK, 0, 0);
        }
      });
  std::wstring pwd;
  EXPECT_EQ(InputPasswordAnsi({-1, 0}, L"Stored password", L"Password:", false, pwd), mrOk);
  EXPECT_EQ(pwd, L"ascii-pass");
  EXPECT_EQ(errors.size(), 1u);

  OnShown<TPasswordDialog>([&](TPasswordDialog& d) {
    d.edtPwd.SetText(kCyrillic);
    d.OKBtn.Click();
  });
  EXPECT_TRUE(QueryPassword({-1, 0}, L"Logon", L"Password:", pwd));
  EXPECT_EQ(pwd, kCyrillic);
}

}  // namespace
}  // namespace hv
