#include "CertificateQuestion.h"
#include "DownloadTestBase.h"
#include "MessageBox.h"
#include "SetupTexts.h"

using namespace DownloadErrors;
using DownloadFixture::readFile;

namespace {

class DownloadHttpsTest : public DownloadTestBase {
 protected:
  void TearDown() override { CertificateQuestion::setAnswerForTests({}); }

  // An HTTPS peer whose certificate is made out to `subjectAltName`.
  void startPeer(const QString& subjectAltName) {
    certificates = TestEnv::freshDir("certificates");
    ASSERT_TRUE(DownloadFixture::makeCertificates(certificates, subjectAltName));
    peer.reset(DownloadPeer::http(
        served, {"--cert", certificates + "/server.pem", "--key", certificates + "/server.key"}));
    ASSERT_NE(peer->port(), 0);
    data = serve("setup.exe", 100000);
  }
  void trust(const QString& caFile) { ::setenv("SSL_CERT_FILE", QFile::encodeName(caFile).constData(), 1); }
  // Another authority, which did not sign the peer's certificate.
  QString strangerAuthority() {
    const QString folder = TestEnv::freshDir("stranger");
    EXPECT_TRUE(DownloadFixture::makeCertificates(folder, "IP:127.0.0.1"));
    return folder + "/ca.pem";
  }
  QString url(const QString& path) const { return peer->url("https", path); }

  QString certificates;
  QByteArray data;
  std::unique_ptr<DownloadPeer> peer;
};

TEST_F(DownloadHttpsTest, ATrustedAuthorityIsFetchedWithoutQuestion) {
  startPeer("IP:127.0.0.1");
  trust(certificates + "/ca.pem");
  ASSERT_EQ(fetch(url("files/setup.exe")), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_FALSE(observer.calls().contains("status 5"));
}

TEST_F(DownloadHttpsTest, AnUntrustedAuthorityIsRefusedWhenNobodyCanAnswer) {
  startPeer("IP:127.0.0.1");
  trust(strangerAuthority());
  testing::internal::CaptureStderr();
  EXPECT_EQ(fetch(url("files/setup.exe")), kUntrustedAuthority);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Security Warning: The server's certificate was issued by an authority that is not trusted.\n\n"
            "Do you want to go on with the download?\n"
            "Security Warning: Nobody can answer here, so setup answers \"No\".\n");
  EXPECT_FALSE(QFile::exists(target("setup.exe")));
  const QStringList calls = observer.calls();
  EXPECT_EQ(calls.indexOf("status 4"), calls.indexOf("status 5") + 1);
  EXPECT_GE(calls.indexOf("status 5"), 0);
}

// The question speaks the user's language; No refuses the download with the same cause.
TEST_F(DownloadHttpsTest, TheQuestionIsAskedInEveryLanguage) {
  startPeer("IP:127.0.0.1");
  trust(strangerAuthority());
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    QString title, text;
    int style = 0;
    setMsgBoxAnswerer([&](const QString& boxText, int boxStyle, const QString& boxTitle) {
      text = boxText, title = boxTitle, style = boxStyle;
      return MsgBoxResult::No;
    });
    EXPECT_EQ(fetch(url("files/setup.exe")), kUntrustedAuthority) << code.toStdString();
    setMsgBoxAnswerer(nullptr);
    EXPECT_EQ(title, SetupTexts::text(code, 225)) << code.toStdString();
    EXPECT_EQ(text, SetupTexts::text(code, 226)) << code.toStdString();
    EXPECT_EQ(style, MsgBoxStyle::YesNo | MsgBoxStyle::Exclamation | MsgBoxStyle::DefaultButton2);
  }
}

TEST_F(DownloadHttpsTest, AnUntrustedAuthorityTheUserAcceptsIsFetched) {
  startPeer("IP:127.0.0.1");
  trust(strangerAuthority());
  CertificateQuestion::setAnswerForTests([] { return true; });
  ASSERT_EQ(fetch(url("files/setup.exe")), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
}

// The host name is never ignored, not even for an authority the user accepted.
TEST_F(DownloadHttpsTest, AWrongHostNameFailsWithoutQuestion) {
  startPeer("DNS:elsewhere.invalid");
  trust(certificates + "/ca.pem");
  CertificateQuestion::setAnswerForTests([] { return true; });
  EXPECT_EQ(fetch(url("files/setup.exe")), transferError(CURLE_PEER_FAILED_VERIFICATION));
  EXPECT_FALSE(observer.calls().contains("status 5"));
  EXPECT_FALSE(QFile::exists(target("setup.exe")));
}

TEST_F(DownloadHttpsTest, AcceptingTheAuthorityDoesNotExcuseAWrongHostName) {
  startPeer("DNS:elsewhere.invalid");
  trust(strangerAuthority());
  CertificateQuestion::setAnswerForTests([] { return true; });
  EXPECT_EQ(fetch(url("files/setup.exe")), transferError(CURLE_PEER_FAILED_VERIFICATION));
  EXPECT_FALSE(QFile::exists(target("setup.exe")));
}

TEST_F(DownloadHttpsTest, ARedirectDownToPlainHttpIsRefused) {
  startPeer("IP:127.0.0.1");
  trust(certificates + "/ca.pem");
  EXPECT_EQ(fetch(url("tohttp/setup.exe")), transferError(CURLE_UNSUPPORTED_PROTOCOL));
  EXPECT_FALSE(QFile::exists(target("setup.exe")));
}

}  // namespace
