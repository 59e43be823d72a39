// The starter's mail dialog driven as a user would: histories from the main program's INI file,
// password dots, the port that follows the security choice, the checks of OK and the histories
// written back.
#include <gtest/gtest.h>

#include "base/app/ShowMessageDlg.h"
#include "base/settings/IniFileUtils.h"
#include "dialogs/InpText.h"
#include "dialogs/NewPwdDlg.h"
#include "hvstarter/MailDlg.h"
#include "support/TestSupport.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv::hvstarter {
namespace {

class StarterMailDlgTest : public testing::Test {
 protected:
  void SetUp() override { Application().Initialize(); }
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
};

TEST_F(StarterMailDlgTest, EditedStoredAndHistoriesKept) {
  hvtest::TempDir dir;
  const std::wstring iniName = dir / L"Harvane.ini";
  ASSERT_TRUE(hvtest::WriteBytes(iniName, "[SmtpServer]\r\nHistory0=smtp.one\r\nHistory1=smtp.two\r\n"
                                          "[MailTo]\r\nAddress0=old@example.org\r\n"));
  TMailData data;
  data.Server = L"smtp.one";
  data.Password = L"abc";
  data.Sender = L"Backup Box";
  data.Subject = L"Report";
  std::vector<std::wstring> messages;
  {
    TMailDialog d;
    d.Create();
    d.LoadFromIni(iniName);
    d.LoadFromIni(dir / L"other.ini");  // only once
    TTestHooks::AnswerModal = [&](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        messages.push_back(box->Message());
        return mrOk;
      }
      return std::nullopt;
    };
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (auto* in = dynamic_cast<TInputTextDialog*>(&f)) {
        // The address history is offered.
        EXPECT_EQ(in->Caption(), L"New mail recipient");
        EXPECT_EQ(in->Descriptor.Text(), L"Address:");
        EXPECT_EQ(in->TextFeld.Items(), (std::vector<std::wstring>{L"old@example.org"}));
        in->TextFeld.SetText(L" new@example.org ");
        in->OKBtn.Click();
        return;
      }
      if (auto* pw = dynamic_cast<TNewPwdDialog*>(&f)) {
        pw->edtPwd.SetText(L"longer secret");
        pw->OKBtn.Click();
        return;
      }
      if (&f != &d) return;
      EXPECT_EQ(d.cbServer.Items(), (std::vector<std::wstring>{L"smtp.one", L"smtp.two"}));
      EXPECT_EQ(d.cbSender.Items(), (std::vector<std::wstring>{L"old@example.org"}));
      EXPECT_EQ(d.edSmtpPwd.Text(), L"\u25CF\u25CF\u25CF");
      EXPECT_TRUE(d.cbMail.Visible());
      EXPECT_EQ(d.cbMail.Text(), L"Send mail on errors");
      d.cbShowPwd.SetChecked(true);
      d.cbShowPwd.OnClick();
      EXPECT_EQ(d.edSmtpPwd.Text(), L"abc");
      d.cbShowPwd.SetChecked(false);
      d.cbShowPwd.OnClick();
      d.edPort.SetValue(2525);
      d.cbSecure.SetItemIndex(3);
      d.cbSecure.OnCloseUp();
      EXPECT_EQ(d.edPort.Value(), 465);
      d.cbSecure.SetItemIndex(3);  // the same choice again keeps the port
      d.edPort.SetValue(4650);
      d.cbSecure.OnCloseUp();
      EXPECT_EQ(d.edPort.Value(), 4650);
      d.cbSecure.SetItemIndex(0);
      d.cbSecure.OnCloseUp();
      EXPECT_EQ(d.edPort.Value(), 25);
      // Chosen with the keyboard while the list is closed: the choice is stored and sets the port.
      d.cbSecure.SetFocus();
      SendMessageW(d.cbSecure.Handle(), WM_KEYDOWN, VK_END, 0);
      EXPECT_EQ(d.cbSecure.ItemIndex(), 3);
      EXPECT_EQ(d.edPort.Value(), 465);
      d.bbPassword.Click();
      EXPECT_EQ(d.edSmtpPwd.Text(), std::wstring(13, L'\u25CF'));
      d.cbMail.SetChecked(true);
      EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"StarterMailDialog"));

      d.cbServer.SetText(L"");
      d.ModalResult = mrOk;
      EXPECT_FALSE(d.CloseQuery());
      d.cbServer.SetText(L"smtp.three");
      EXPECT_FALSE(d.CloseQuery());  // no recipient: the address is asked for at once
      EXPECT_EQ(d.lbRecipients.Items(), (std::vector<std::wstring>{L"new@example.org"}));
      d.ModalResult = mrNone;
      d.OKBtn.Click();
    };
    ASSERT_TRUE(d.Execute(L"Send mail on errors", true, data));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"Please specify an SMTP server!",
                                                   L"Please specify at least one recipient!"}));
    EXPECT_EQ(data.Server, L"smtp.three");
    EXPECT_EQ(data.Port, 465);
    EXPECT_EQ(data.Password, L"longer secret");
    EXPECT_EQ(data.Recipients, L"new@example.org");
    EXPECT_EQ(data.SecureMode, TSecTransfer::stImplicit);
    EXPECT_TRUE(data.Enabled);
    // A plain sender name goes into the address history as well.
    EXPECT_EQ(d.History().front(), L"Backup Box");

    // Cancel leaves the record as it was.
    const TMailData before = data;
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (&f != &d) return;
      EXPECT_FALSE(d.cbMail.Visible());
      EXPECT_FALSE(d.cbShowPwd.Visible());
      d.cbServer.SetText(L"changed");
      d.CancelBtn.Click();
    };
    EXPECT_FALSE(d.Execute(L"", false, data));
    EXPECT_EQ(data.Server, before.Server);

    // "Edit" (and a double click) asks with the selected address; its texts come from the dialogs' catalogue.
    SetCatalog(L"dialogs", {{L"Edit mail recipient", L"Mail-Empf\u00E4nger bearbeiten"}, {L"Address:", L"Adresse:"}});
    std::vector<std::wstring> asked;
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (auto* in = dynamic_cast<TInputTextDialog*>(&f)) {
        asked = {in->Caption(), in->Descriptor.Text(), in->TextFeld.Text()};
        EXPECT_TRUE(hvtest::SaveScreenshot(in->Handle(), L"StarterEditRecipient"));
        in->TextFeld.SetText(L"changed@example.org");
        in->OKBtn.Click();
        return;
      }
      if (&f != &d) return;
      d.lbRecipients.SetItemIndex(0);
      d.btnEdit.Click();
      EXPECT_EQ(d.lbRecipients.Items(), (std::vector<std::wstring>{L"changed@example.org"}));
      d.CancelBtn.Click();
    };
    EXPECT_FALSE(d.Execute(L"", false, data));
    ClearCatalogs();
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"Mail-Empf\u00E4nger bearbeiten", L"Adresse:", L"new@example.org"}));
    EXPECT_EQ(d.History().front(), L"changed@example.org");
  }
  // The dialog wrote its histories when it went away.
  const auto ini = TUnicodeIniFile::CreateForRead(iniName);
  EXPECT_EQ(ini.ReadString(L"SmtpServer", L"History0", L""), L"smtp.three");
  EXPECT_EQ(ini.ReadString(L"SmtpServer", L"History1", L""), L"smtp.one");
  EXPECT_EQ(ini.ReadString(L"MailTo", L"Address0", L""), L"changed@example.org");
  EXPECT_EQ(ini.ReadString(L"MailTo", L"Address1", L""), L"Backup Box");
  EXPECT_EQ(ini.ReadString(L"MailTo", L"Address2", L""), L"new@example.org");
}

}  // namespace
}  // namespace hv::hvstarter
