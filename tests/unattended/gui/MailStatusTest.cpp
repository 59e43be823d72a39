// The status window while a mail is sent and the delivery result dialog, driven as a user would.
#include <winsock2.h>

#include <gtest/gtest.h>

#include "base/app/LangUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "dialogs/ShowMemo.h"
#include "support/TestSupport.h"
#include "unattended/MailTestDlg.h"
#include "unattended/StatWind.h"
#include "unattended/mMailer10.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv {
namespace {

class MailStatusTest : public testing::Test {
 protected:
  void SetUp() override { Application().Initialize(); }
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
};

// A local port on which nothing listens.
int UnusedPort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  closesocket(s);
  return ntohs(a.sin_port);
}

TEST_F(MailStatusTest, SendingWindow) {
  TStatusWindow w;
  w.Create();
  w.ShowStatus({-1, 0}, L"Checking mail settings", L"Sending mail", false, 5);
  Application().ProcessMessages();
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(w.Caption(), L"Checking mail settings");
  EXPECT_EQ(w.StatusLabel.Text(), L"Sending mail");
  EXPECT_EQ(w.ProgLabel.Text(), L"");
  EXPECT_FALSE(w.btnCancel.Visible());
  EXPECT_EQ(w.ClientSize().cy, w.btnCancel.BoundsRect().top);
  EXPECT_TRUE(w.ProgressBar.Visible());
  EXPECT_EQ(w.ProgressBar.Style(), TNewProgressBarStyle::npsContinuous);
  EXPECT_TRUE(w.ProgressBar.TimerRunning());
  EXPECT_EQ(w.ProgressBar.Interval(), 5);
  // The block moves on its timer.
  for (const DWORD start = GetTickCount(); w.ProgressBar.Current() < 80 && GetTickCount() - start < 30000;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    Application().ProcessMessages();
  }
  EXPECT_GE(w.ProgressBar.Current(), 80);
  EXPECT_TRUE(hvtest::SaveScreenshot(w.Handle(), L"StatusWindow-sending"));

  // A real send while the window shows: nothing listens on the port, so it fails.
  TmMailer mailer;
  mailer.Host = L"127.0.0.1";
  mailer.Port = UnusedPort();
  mailer.ConnectTimeout = 5000;
  mailer.SetRecipients(L"someone@test.local");
  EXPECT_FALSE(mailer.Send());
  ASSERT_EQ(mailer.ErrorList().size(), 1u);
  EXPECT_EQ(mailer.ErrorList()[0].ErrType, TSendErrorType::seSmtp);

  // Updating a visible window: no title keeps the caption, the bar keeps running.
  w.ShowStatus({-1, 0}, L"", L"C:\\a very\\long\\path\\that\\goes\\on\\and\\on\\to\\the\\log file of the mail.txt", true,
               0);
  w.SetInfo(L"Second line");
  Application().ProcessMessages();
  EXPECT_EQ(w.Caption(), L"Checking mail settings");
  EXPECT_TRUE(w.btnCancel.Visible());
  EXPECT_TRUE(w.ProgressBar.Visible());
  EXPECT_TRUE(w.ProgressBar.TimerRunning());
  const RECT b = w.btnCancel.BoundsRect();
  EXPECT_EQ(w.ClientSize().cy, b.bottom + w.Scale(5));
  EXPECT_NEAR((b.left + b.right) / 2, w.ClientSize().cx / 2, 1);
  EXPECT_TRUE(hvtest::SaveScreenshot(w.Handle(), L"StatusWindow-cancel"));
  EXPECT_FALSE(w.Stopped);
  SendMessageW(w.btnCancel.Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(w.Stopped);
  w.Close();
  EXPECT_FALSE(w.Visible());

  // Shown again: a stopped bar at 0, a new title, Stopped cleared.
  w.ShowStatus({-1, 0}, L"Second run", L"Waiting", true, -1);
  EXPECT_EQ(w.Caption(), L"Second run");
  EXPECT_FALSE(w.Stopped);
  EXPECT_EQ(w.ProgressBar.Style(), TNewProgressBarStyle::npsNormal);
  EXPECT_FALSE(w.ProgressBar.TimerRunning());
  w.SetProgress(250);
  EXPECT_EQ(w.ProgressBar.Position(), 100);
  w.SetProgress(-5);
  EXPECT_EQ(w.ProgressBar.Position(), 0);
  w.Close();
}

struct TSeen {
  bool Icon = false, LogButtons = false;
  std::wstring Caption, Text;
  int ClientWidth = 0, TextWidth = 0;
};

// act runs on the shown dialog; other on every other form shown meanwhile.
TSeen ShowResult(std::wstring_view text, const std::wstring& log, TMsgDlgType type, const wchar_t* shot,
                 std::function<void(TMailTestDialog&)> act = nullptr, std::function<void(TForm&)> other = nullptr) {
  TSeen seen;
  TTestHooks::OnFormShown = [&](TForm& f) {
    auto* d = dynamic_cast<TMailTestDialog*>(&f);
    if (!d) {
      if (other) other(f);
      return;
    }
    seen.Icon = d->imgIcon.Visible();
    seen.LogButtons = d->btbShowLog.Enabled() && d->btbDelLog.Enabled();
    seen.Caption = d->Caption();
    seen.Text = d->stInfo.Text();
    seen.ClientWidth = d->ClientSize().cx;
    seen.TextWidth = GetMaxLineWidthFont(seen.Text, d->Font());
    EXPECT_TRUE(hvtest::SaveScreenshot(d->Handle(), shot));
    if (act) act(*d);
  };
  TTestHooks::AnswerModal = [](TForm& f) -> std::optional<int> {
    if (dynamic_cast<TMailTestDialog*>(&f)) return mrOk;
    return std::nullopt;
  };
  EXPECT_TRUE(ShowMailStatus(text, log, type));
  TTestHooks::Clear();
  return seen;
}

TEST_F(MailStatusTest, DeliveryResults) {
  hvtest::TempDir dir;
  const std::wstring log = dir / L"HvSmtp.log";
  ASSERT_TRUE(hvtest::WriteBytes(log, "2026-12-11 03:40:00.000 Recv 220 peer ESMTP\r\n"));

  TSeen ok = ShowResult(L"Mail notifications were sent to:\r\nfirst@test.local, second@test.local", log,
                        TMsgDlgType::mtInformation, L"MailStatus-success");
  EXPECT_EQ(ok.Caption, L"Mail delivery status");
  EXPECT_TRUE(ok.Icon);
  EXPECT_TRUE(ok.LogButtons);

  const std::wstring failure =
      L"Error during mail delivery (SMTP: smtp.example.org:587)\r\n - Could not deliver mail to "
      L"refused@test.local!\r\n - 550 5.1.1 <refused@test.local>: Recipient address rejected: User unknown";
  TSeen bad = ShowResult(failure, log, TMsgDlgType::mtError, L"MailStatus-failure");
  EXPECT_EQ(bad.Text, failure);
  EXPECT_GE(bad.ClientWidth, bad.TextWidth * 11 / 10);

  TSeen custom = ShowResult(L"No icon", L"", TMsgDlgType::mtCustom, L"MailStatus-custom");
  EXPECT_FALSE(custom.Icon);
  EXPECT_FALSE(custom.LogButtons);  // no log file: nothing to show or delete
}

TEST_F(MailStatusTest, ShowAndDeleteLog) {
  hvtest::TempDir dir;
  const std::wstring log = dir / L"HvSmtp.log";
  // The mailer's log is UTF-8 without a byte-order mark.
  ASSERT_TRUE(hvtest::WriteBytes(log, "line 1\r\nRecv 250 Gr\xC3\xBC\xC3\x9F" "e\r\nSent QUIT\r\n"));
  std::wstring viewerText, viewerCaption;
  bool confirmed = false, enabledAfter = true, mailButtons = false, atEnd = false;
  ShowResult(L"Mail notifications were sent to:\r\nfirst@test.local", log, TMsgDlgType::mtInformation,
             L"MailStatus-log",
             [&](TMailTestDialog& d) {
               d.btbShowLog.Click();
               d.btbDelLog.Click();
               enabledAfter = d.btbShowLog.Enabled() || d.btbDelLog.Enabled();
             },
             [&](TForm& f) {
               if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
                 confirmed = box->Message().find(L"HvSmtp.log") != std::wstring::npos;
                 f.ModalResult = mrYes;
               } else if (auto* v = dynamic_cast<TShowTextDialog*>(&f)) {
                 viewerText = v->Memo.Text();
                 viewerCaption = v->Caption();
                 mailButtons = v->OpenBtn.Visible() && v->DeleteBtn.Visible() && v->PrintBtn.Visible() &&
                               v->SearchBtn.Visible() && !v->FontBtn.Visible() && !v->EncBtn.Visible() &&
                               !v->NextSectBtn.Visible() && !v->NextErrBtn.Visible();
                 atEnd = v->Memo.CaretLine() == 3;
                 EXPECT_TRUE(hvtest::SaveScreenshot(f.Handle(), L"MailStatus-logviewer"));
                 f.ModalResult = mrCancel;
               }
             });
  EXPECT_EQ(viewerText, L"line 1\r\nRecv 250 Gr\u00FC\u00DFe\r\nSent QUIT\r\n");
  EXPECT_EQ(viewerCaption, L"Mail delivery status [" + log + L"]");
  EXPECT_TRUE(mailButtons) << "open, delete, print and search";
  EXPECT_TRUE(atEnd);
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(GetFileAttributesW(log.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(enabledAfter);
}

}  // namespace
}  // namespace hv

namespace hv {
namespace {

// The German texts fit: the status window and the result dialog translated at creation.
TEST_F(MailStatusTest, German) {
  ASSERT_TRUE(LoadLanguageCatalogs(hvtest::BinaryDir() + L"\\bin\\locale", L"de"));
  TStatusWindow w;
  w.Create();
  w.ShowStatus({-1, 0}, L"Mail", L"Senden", true, 5);
  EXPECT_EQ(w.btnCancel.Text(), L"Abbrechen");
  EXPECT_TRUE(hvtest::SaveScreenshot(w.Handle(), L"StatusWindow-de"));
  w.Close();
  TMailTestDialog d;
  d.Create();
  EXPECT_EQ(d.gbLog.Text(), L"SMTP-Kommunikationsprotokoll");
  TTestHooks::OnFormShown = [](TForm& f) { EXPECT_TRUE(hvtest::SaveScreenshot(f.Handle(), L"MailStatus-de")); };
  TTestHooks::AnswerModal = [](TForm&) -> std::optional<int> { return mrOk; };
  EXPECT_TRUE(d.Execute(L"Fehler bei der Mail-Zustellung", L"", TMsgDlgType::mtError));
  EXPECT_EQ(d.Caption(), L"Status der Mail-Zustellung");
  ClearCatalogs();
}

}  // namespace
}  // namespace hv
