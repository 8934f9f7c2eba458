// The application shell: start-up, the report run's frame, the closing box and the exit status.
#include <gtest/gtest.h>

#include <string>

#include "app/resource.h"
#include "app/vantrace_app.h"
#include "app/vantrace_dlg.h"
#include "log/report_log.h"
#include "platform/mfc.h"
#include "res/resources.h"
#include "tests/sim_fixture.h"

namespace {

using testing_support::BareProfile;
using testing_support::InstallSimulated;
using testing_support::ReportMessages;
using testing_support::ReportText;

TEST(Application, SocketFailureShowsOneBoxAndWritesNoReport) {
  sim::DeviceProfile profile = BareProfile();
  profile.socketsFail = true;
  auto& device = InstallSimulated(profile);
  EXPECT_EQ(AfxWinMain(), 1);
  ASSERT_EQ(device.record().messageBoxes.size(), 1u);
  EXPECT_EQ(device.record().messageBoxes[0].first, u"Vantrace21");
  EXPECT_EQ(device.record().messageBoxes[0].second, u"Windows sockets initialization failed.");
  EXPECT_FALSE(device.FileBytes(u"\\Windows\\log_guids.txt").has_value());
}

TEST(Application, CompleteReportEndsWithOkAndStatusZero) {
  auto& device = InstallSimulated(BareProfile());
  EXPECT_EQ(AfxWinMain(), 0);
  ASSERT_EQ(device.record().messageBoxes.size(), 1u);
  EXPECT_EQ(device.record().messageBoxes[0].second, u"OK!");
  const auto lines = ReportMessages(device);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "LOG START");
  EXPECT_EQ(theApp.m_pszRegistryKey, u"Local AppWizard-Generated Applications");
}

TEST(Application, SecondRunAppendsItsOwnReport) {
  auto& device = InstallSimulated(BareProfile());
  AfxWinMain();
  const std::string first = ReportText(device);
  ResetReportLog();  // a new process
  AfxWinMain();
  const std::string both = ReportText(device);
  ASSERT_EQ(both.size(), 2 * first.size());
  EXPECT_EQ(both, first + first);
}

TEST(Application, UnwritableReportIsNotCalledOk) {
  sim::DeviceProfile profile = BareProfile();
  profile.reportMediumReadOnly = true;
  auto& device = InstallSimulated(profile);
  EXPECT_EQ(AfxWinMain(), 1);
  ASSERT_EQ(device.record().messageBoxes.size(), 1u);
  const std::u16string& text = device.record().messageBoxes[0].second;
  EXPECT_NE(text, u"OK!");
  EXPECT_NE(text.find(u"could not be written to \\Windows\\log_guids.txt"), std::u16string::npos);
  EXPECT_FALSE(device.FileBytes(u"\\Windows\\log_guids.txt").has_value());
}

// The dialog as the run uses it: ended from its initialisation, with its icons set.
class ObservedDlg : public CVantraceDlg {
 public:
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;

 protected:
  BOOL OnInitDialog() override {
    const BOOL result = CVantraceDlg::OnInitDialog();
    bigIcon = GetWindowIcon(m_hWnd, ICON_BIG);
    smallIcon = GetWindowIcon(m_hWnd, ICON_SMALL);
    return result;
  }
};

TEST(Application, DialogEndsItselfWithCancelAndSetsBothIcons) {
  InstallSimulated(BareProfile());
  ObservedDlg dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(IconResourceId(dlg.bigIcon), static_cast<UINT>(IDR_MAINFRAME));
  EXPECT_EQ(dlg.bigIcon, dlg.smallIcon);
  EXPECT_EQ(dlg.templateId(), static_cast<UINT>(IDD_VANTRACE21_DIALOG));
}

TEST(Application, MessageMapsChainToTheFrameworksMaps) {
  InstallSimulated(BareProfile());
  CVantraceDlg dlg;
  EXPECT_EQ(dlg.GetMessageMap()->pfnGetBaseMap(), CDialog::GetThisMessageMap());
  EXPECT_EQ(theApp.GetMessageMap()->pfnGetBaseMap(), CWinApp::GetThisMessageMap());
}

}  // namespace
