// The file view, and the main form's mail box, mail button and file button, driven as a user would.
#include <gtest/gtest.h>

#include <filesystem>

#include "QlGuiTest.h"
#include "base/app/InitProg.h"
#include "base/app/ShowMessageDlg.h"
#include "base/settings/BuConsts.h"
#include "base/settings/IniFileUtils.h"
#include "e2e/QlFixture.h"
#include "qlbackup/QlMain.h"
#include "qlbackup/ShowFilesDlg.h"
#include "support/TestSupport.h"
#include "unattended/BuMailDlg.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

namespace fs = std::filesystem;
using qlbackup::TShowFilesDialog;

class ShowFilesTest : public testing::Test {
 protected:
  void SetUp() override { Application().Initialize(); }
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
};

std::vector<std::wstring> Names(const TShellListView& lv) {
  std::vector<std::wstring> names;
  for (int i = 0; i < lv.Count(); ++i) names.push_back(lv.ItemText(i));
  return names;
}

TEST_F(ShowFilesTest, WalksIntoASubfolderAndNeverAboveTheRoot) {
  hvtest::TempDir dir;
  fs::create_directories(fs::path(dir / L"Mail\\Local Folders"));
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"prefs.js", "user_pref();"));
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"Mail\\Local Folders\\Inbox", "From x"));
  const std::wstring root = dir.Path() + L"\\";
  std::vector<std::wstring> seen;
  TShowFilesDialog d;
  d.Create();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (&f != &d) return;
    EXPECT_EQ(d.Caption(), L"Mail profile: Default user");
    EXPECT_EQ(d.laDir.Text(), root);
    EXPECT_EQ(Names(d.lvFiles), (std::vector<std::wstring>{L"Mail", L"prefs.js"})) << "folders first";
    EXPECT_FALSE(d.btnDirUp.Enabled());
    EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"QlShowFiles-root"));
    d.btnDirUpClick();  // at the root: stays
    EXPECT_EQ(d.CurrentDir(), root);
    d.lvFiles.SetItemIndex(1);
    d.lvFilesDblClick();  // a file: nothing happens
    EXPECT_EQ(d.CurrentDir(), root);
    d.lvFiles.SetItemIndex(0);
    d.lvFilesDblClick();
    d.lvFiles.SetItemIndex(0);
    d.lvFilesDblClick();
    EXPECT_EQ(d.CurrentDir(), root + L"Mail\\Local Folders\\");
    EXPECT_EQ(Names(d.lvFiles), (std::vector<std::wstring>{L"Inbox"}));
    EXPECT_TRUE(d.btnDirUp.Enabled());
    EXPECT_EQ(d.lvFiles.Hint, L"Directory: " + root + L"Mail\\Local Folders\\");
    EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"QlShowFiles-sub"));
    for (int i = 0; i < 3; ++i) {
      seen.push_back(d.CurrentDir());
      d.btnDirUp.Click();
    }
    EXPECT_FALSE(d.btnDirUp.Enabled());
    d.btnClose.Click();
  };
  d.Show(L"Mail profile: Default user", dir.Path());
  EXPECT_EQ(seen, (std::vector<std::wstring>{root + L"Mail\\Local Folders\\", root + L"Mail\\", root}));
  EXPECT_EQ(d.CurrentDir(), root);
}

TEST_F(ShowFilesTest, AMissingFolderOnlyShowsTheError) {
  hvtest::TempDir dir;
  const std::wstring missing = dir / L"gone";
  std::vector<std::wstring> shown;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (dynamic_cast<TShowFilesDialog*>(&f)) shown.push_back(L"view");
  };
  TTestHooks::AnswerModal = [&](TForm& f) -> std::optional<int> {
    if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) shown.push_back(box->Message());
    return mrOk;
  };
  qlbackup::ShowFiles(L"", missing);
  EXPECT_EQ(shown, (std::vector<std::wstring>{L"Directory not found:\r\n" + missing + L"!"}));
}

class QlMailCommandsTest : public hvtest::QlGuiTest {
 protected:
  void TearDown() override {
    QlGuiTest::TearDown();
    std::error_code ec;
    if (!MainIni.empty()) {
      if (HadMainIni) hvtest::WriteBytes(MainIni, OldMainIni);
      else fs::remove(fs::path(MainIni), ec);
    }
  }
  void KeepMainIni() {
    MainIni = MainIniName;
    HadMainIni = fs::exists(fs::path(MainIni));
    OldMainIni = hvtest::ReadBytes(MainIni);
  }
  std::wstring MainIni;
  std::string OldMainIni;
  bool HadMainIni = false;
};

using hvtest::Click;

TEST_F(QlMailCommandsTest, MailBoxAndButtonOpenTheDialogOnlyFromTheOptionsPage) {
  qle2e::TThunderbirdInstall tb(L"single", ProgramName());
  auto& form = Application().CreateForm<qlbackup::TMainForm>();
  KeepMainIni();
  int dialogs = 0, views = 0;
  std::wstring viewTitle, viewDir;
  bool cancelNext = false;
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (auto* d = dynamic_cast<TMailDialog*>(&f)) {
      ++dialogs;
      EXPECT_EQ(d->lbTask.Text(), L"Backup mail data");
      if (cancelNext) {
        d->CancelBtn.Click();
        return;
      }
      EXPECT_TRUE(d->rbAlways.Checked()) << "switched on: always";
      d->edServer.SetText(L"smtp.example.org");
      d->edUsername.SetText(L"backup");
      d->edSender.SetText(L"backup@example.org");
      d->lbRecipients.Add(L"admin@example.org");
      d->lbRecipients.SetChecked(0, true);
      d->rbError.Click();
      d->OKBtn.Click();
      return;
    }
    if (auto* v = dynamic_cast<TShowFilesDialog*>(&f)) {
      ++views;
      viewTitle = v->Caption();
      viewDir = v->RootName;
      v->btnClose.Click();
      return;
    }
    if (&f != &form) return;
    // Not on the "Options" page (as while a job loads): no dialog.
    form.pcOptions.SetActivePageIndex(0);
    form.cbMail.SetChecked(true);
    form.cbMail.OnClick();
    EXPECT_EQ(dialogs, 0);
    form.cbMail.SetChecked(false);

    form.pcOptions.SetActivePageIndex(1);
    cancelNext = true;
    Click(form.cbMail);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(form.cbMail.Checked()) << "cancelled: mail stays off";
    EXPECT_EQ(form.Core.Job.MailMode, TMailMode::mmNone);
    cancelNext = false;
    Click(form.MailBtn);  // mail off: the box is checked and the dialog opens
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(form.cbMail.Checked());
    EXPECT_EQ(form.Core.Job.MailMode, TMailMode::mmError);
    hvtest::SaveScreenshot(form.Handle(), L"qlbackup-main-mail");
    cancelNext = true;
    Click(form.MailBtn);  // mail on: the dialog; cancelled, nothing changes
    EXPECT_EQ(dialogs, 3);
    EXPECT_TRUE(form.cbMail.Checked());
    EXPECT_EQ(form.Core.Job.MailMode, TMailMode::mmError);

    Click(form.bbShowFiles);
    EXPECT_EQ(views, 1);
    EXPECT_EQ(viewTitle, L"Mail profile: Default user");
    Click(form.bbQuit);
  };
  Application().Run();
  EXPECT_EQ(viewDir, form.Core.MailDir + L"\\");

  // The job's mail settings, as "Quit" wrote them into the job file.
  EXPECT_FALSE(form.Core.Changed);
  EXPECT_EQ(form.Core.Job.MailData.SMTP, L"smtp.example.org");
  EXPECT_EQ(form.Core.Job.MailData.Username, L"backup");
  EXPECT_EQ(form.Core.Job.MailData.Recipients, L"admin@example.org");
  const TUnicodeIniFile job = TUnicodeIniFile::CreateForRead(form.Core.BuTaskName);
  EXPECT_EQ(job.ReadString(L"Global", L"SendMail", L""), L"2");
  EXPECT_EQ(job.ReadString(L"Mail", L"SMTP", L""), L"smtp.example.org");
  EXPECT_EQ(job.ReadString(L"Mail", L"Recipients", L""), L"admin@example.org");
}

}  // namespace
}  // namespace hv
