#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>

#include "BootstrapperRun.h"
#include "DownloadPeer.h"
#include "RefusingPort.h"
#include "SetupTexts.h"
#include "TestEnv.h"

namespace {

using SetupTexts::text;

constexpr int kCaptionLine = 274;
constexpr int kDownloading = 199;
constexpr int kError = 215;

// Caption and text on one line, as language `code` joins them.
QString line(const QString& code, const QString& caption, const QString& text) {
  return SetupTexts::text(code, kCaptionLine, {caption, text});
}

// The lines failed downloads of `names` become, each with the cause `cause`.
QStringList failedDownloads(const QString& code, const QStringList& names, const QString& cause) {
  QStringList lines;
  for (const QString& name : names)
    lines << line(code, text(code, kDownloading, {name}), text(code, kError, {cause}));
  return lines;
}

// Nobody sees a run without a display: under option "q" and under option "b"
// alike, every failure of the prerequisite passes is told on standard error, in
// the user's language and with its real cause, and the main package still starts.
class HeadlessFailuresRunTest : public ::testing::Test {
 protected:
  using KeysOf = std::function<QString(const QString& name)>;
  using Told = std::function<QStringList(const QString& code)>;

  void SetUp() override {
    BootstrapperRun::writeFile(s.work + "/package.msi", "package");
    s.addMsiDll(3, 1, 4000, 0);
  }

  // Setups under "q" and under "b" with `general` options, carrying `items`, whose
  // prerequisites `names` each have the keys `keysOf(name)`, tell `told(code)`
  // in every language, and nothing else.
  void expectTold(const QStringList& names, const KeysOf& keysOf, const Told& told,
                  const QString& general = {}, const QStringList& items = {}) {
    for (const QString options : {"q", "b"}) {
      const QString program = setupWith(options, general, names, keysOf, items);
      for (const QString& code : SetupTexts::kLanguages)
        EXPECT_EQ(runIn(program, code), told(code).join('\n').toStdString())
            << options.toStdString() << " " << code.toStdString();
    }
  }

  QString setupWith(const QString& options, const QString& general, const QStringList& names,
                    const KeysOf& keysOf, const QStringList& items) {
    QString config = "[GeneralOptions]\r\nOptions=" + options + "\r\n" + general + "[PREREQUISITES]\r\n";
    QString sections;
    for (int n = 1; n <= names.size(); ++n) {
      const QString& name = names.at(n - 1);
      config += QStringLiteral("App%1=%2\r\n").arg(n).arg(name);
      sections += QStringLiteral("[App%1]\r\n%2SearchType=0\r\nSearchString=[SystemFolder]%3.dll\r\n")
                      .arg(n)
                      .arg(keysOf(name), name);
    }
    BootstrapperRun::writeFile(s.work + "/setup.ini", (config + sections).toUtf8());
    const QString program = s.work + "/setup-" + options;
    EXPECT_TRUE(s.build(program, QStringList{"--file", "1:0:package.msi=" + s.work + "/package.msi", "--file",
                                             "0:3:setup.ini=" + s.work + "/setup.ini", "--configuration"} +
                                     items));
    return program;
  }

  // The keys of a prerequisite downloaded from `urlOf(name)`, and `more`.
  static KeysOf downloadedFrom(const KeysOf& urlOf, const QString& more = {}) {
    return [urlOf, more](const QString& name) { return "Url=" + urlOf(name) + "\r\nExactSize=7\r\n" + more; };
  }

  // What the run in language `code` told, a line each, once it ended as a run whose main package started.
  std::string runIn(const QString& program, const QString& code) {
    s.environment.insert("LC_ALL", code + ".UTF-8");
    QFile::remove(s.records + "/msiexec.args");
    EXPECT_TRUE(s.run(program, {}));
    EXPECT_EQ(s.exitCode, 0) << code.toStdString();
    EXPECT_FALSE(s.installerArguments().isEmpty()) << code.toStdString() << ": the main package starts";
    QStringList lines;
    for (const QString& told : s.standardError.split('\n', Qt::SkipEmptyParts))
      if (!told.startsWith("QStandardPaths:") && !told.startsWith("This plugin does not support"))
        lines << told;
    return lines.join('\n').toStdString();
  }

  // An HTTP peer (HTTPS with `more` naming its certificate) serving "<name>.exe" for every name in `names`.
  KeysOf served(const QStringList& names, const QStringList& more = {}) {
    const QString root = TestEnv::freshDir("served");
    for (const QString& name : names) BootstrapperRun::writeFile(root + "/" + name + ".exe", "program");
    peer.reset(DownloadPeer::http(root, more));
    EXPECT_NE(peer->port(), 0);
    const QString scheme = more.isEmpty() ? "http" : "https";
    return [this, scheme](const QString& name) { return peer->url(scheme, "files/" + name + ".exe"); };
  }

  QString privateFolder() const { return s.temp + QStringLiteral("/KVTsetup-%1").arg(::getuid()); }

  BootstrapperRun s;
  std::unique_ptr<DownloadPeer> peer;
};

TEST_F(HeadlessFailuresRunTest, EachRefusedDownloadIsToldInEveryLanguageUnderBothOptions) {
  const QStringList names{"Runtime", "Fonts", "Viewer"};
  const RefusingPort refusing;
  const auto refused = [port = refusing.port()](const QString& name) {
    return QStringLiteral("http://127.0.0.1:%1/%2.exe").arg(port).arg(name);
  };
  expectTold(names, downloadedFrom(refused),
             [&](const QString& code) { return failedDownloads(code, names, text(code, 250)); });
}

// The folder the setup must make for a download, on a disk that is read-only or
// full, is named with that cause, not with the "not found" of the file it then
// cannot open; a prerequisite's own folder below the download folder alike.
TEST_F(HeadlessFailuresRunTest, AFolderThatCannotBeMadeIsNamedWithItsCauseInEveryLanguage) {
  if (!BootstrapperRun::disksCanBeMounted()) GTEST_SKIP() << "this machine gives no mount namespace";
  const QStringList names{"Runtime", "Fonts"};
  const auto urlOf = served(names);
  s.disk = TestEnv::freshDir("disk");
  struct Case {
    BootstrapperRun::DiskKind kind;
    int cause;
    QString downloadFolder, prerequisiteFolder, named;
  };
  const Case cases[] = {
      {BootstrapperRun::DiskKind::ReadOnly, 268, s.disk + "/downloads", {}, s.disk + "/downloads/"},
      {BootstrapperRun::DiskKind::Full, 266, s.disk + "/downloads", {}, s.disk + "/downloads/"},
      {BootstrapperRun::DiskKind::ReadOnly, 268, s.disk, "Folder=sub\\dir\r\n", s.disk + "/sub/dir/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named.toStdString());
    s.diskKind = c.kind;
    expectTold(
        names, downloadedFrom(urlOf, c.prerequisiteFolder),
        [&](const QString& code) {
          return failedDownloads(code, names, text(code, 275, {c.named, text(code, c.cause)}));
        },
        "DownloadFolder=" + c.downloadFolder + "\r\n");
  }
}

// The question about an untrusted authority is answered No where nobody can
// answer, and the run says so before it tells the download that failed for it.
TEST_F(HeadlessFailuresRunTest, TheCertificateQuestionTellsTheAnswerTakenInEveryLanguage) {
  const QString certificates = TestEnv::freshDir("certificates");
  const QString stranger = TestEnv::freshDir("stranger");
  ASSERT_TRUE(DownloadFixture::makeCertificates(certificates, "IP:127.0.0.1"));
  ASSERT_TRUE(DownloadFixture::makeCertificates(stranger, "IP:127.0.0.1"));
  s.environment.insert("SSL_CERT_FILE", stranger + "/ca.pem");
  const auto urlOf =
      served({"Runtime"}, {"--cert", certificates + "/server.pem", "--key", certificates + "/server.key"});
  expectTold({"Runtime"}, downloadedFrom(urlOf), [](const QString& code) {
    const QString title = text(code, 225);
    return line(code, title, text(code, 226)).split('\n', Qt::SkipEmptyParts)
           << line(code, title, text(code, 276, {text(code, 232).remove('&')}))
           << failedDownloads(code, {"Runtime"}, text(code, 257));
  });
}

// A prerequisite whose program the setup does not carry is named, as the wizard names it.
TEST_F(HeadlessFailuresRunTest, AnInstallThatCannotStartIsToldInEveryLanguageUnderBothOptions) {
  const QString missing = privateFolder() + "/vbrun.exe";
  expectTold(
      {"Runtime"}, [](const QString&) { return QStringLiteral("SetupFile=vbrun.exe\r\n"); },
      [&](const QString& code) {
        return QStringList(
            line(code, text(code, 153, {"Runtime"}), text(code, kError, {text(code, 223, {missing})})));
      });
}

// A carried prerequisite in a temporary folder that runs no programs is told once,
// with what to do, and not once more for its install.
TEST_F(HeadlessFailuresRunTest, AFolderThatRunsNoProgramsIsToldOnceInEveryLanguage) {
  if (!BootstrapperRun::disksCanBeMounted()) GTEST_SKIP() << "this machine gives no mount namespace";
  s.disk = s.temp;
  s.diskKind = BootstrapperRun::DiskKind::NoPrograms;
  const QString script = s.recordingScript("prereq.sh", "prereq");
  expectTold(
      {"Runtime"}, [](const QString&) { return QStringLiteral("SetupFile=prereq.sh\r\n"); },
      [&](const QString& code) {
        return QStringList(
            line(code, text(code, 224), text(code, 227, {privateFolder()}) + "\n" + text(code, 228)));
      },
      {}, {"--file", "100:1:prereq.sh=" + script});
  EXPECT_FALSE(QFile::exists(s.records + "/prereq")) << "the prerequisite never ran";
}

}  // namespace
