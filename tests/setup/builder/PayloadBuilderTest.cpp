#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>
#include <functional>
#include <map>

#include "BootstrapperRun.h"
#include "CPayloadArchive.h"
#include "PayloadBuilder.h"
#include "PayloadTestSupport.h"
#include "TestEnv.h"

namespace {

struct BuilderRun {
  int exitCode = -1;
  QString errors;
};

BuilderRun runBuilder(const QString& program, const QStringList& arguments, const QString& folder) {
  QProcess builder;
  builder.setWorkingDirectory(folder);
  builder.start(program, arguments);
  BuilderRun run;
  if (builder.waitForFinished(60000) && builder.exitStatus() == QProcess::NormalExit)
    run.exitCode = builder.exitCode();
  run.errors = QString::fromUtf8(builder.readAllStandardError());
  return run;
}

// The builder run on `arguments` as their bytes stand, which QProcess would pass as text: the shell
// makes each word with printf.
BuilderRun runBuilderOnBytes(const QByteArrayList& arguments, const QString& folder) {
  QString script = QStringLiteral("exec \"$0\"");
  for (const QByteArray& argument : arguments) {
    QString octal;
    for (const char c : argument) octal += QString("\\%1").arg(uchar(c), 3, 8, QChar('0'));
    script += " \"$(printf '" + octal + "')\"";
  }
  return runBuilder(QStringLiteral("/bin/sh"), {"-c", script, KVT_PAYLOAD_BUILDER}, folder);
}

// A member file or link of the block, or a table entry, for a compressed setup.
struct Item {
  enum Kind { File, Link, Entry } kind;
  QByteArray path;
  QByteArray target;
};
Item memberFile(const QByteArray& path) { return {Item::File, path, {}}; }
Item memberLink(const QByteArray& path, const QByteArray& target) { return {Item::Link, path, target}; }
Item tableEntry(const QByteArray& name) { return {Item::Entry, name, {}}; }

class PayloadBuilderTest : public PayloadTest {
 protected:
  // Writes to `out` a compressed setup: the decompressor, the block "pkg\app.lzma", then `items`.
  // Each file holds its own path. The builder's error, empty when it built the setup.
  QString writeCompressed(const std::vector<Item>& items, const QString& out) {
    PayloadBuilder builder;
    builder.setStub(m_stub);
    builder.setFlags(PayloadFormat::Flag::Compressed);
    builder.addFile(2, 7, "KVTdecompress.so", decompressorPath());
    builder.addBlock(2, "pkg\\app.lzma");
    int n = 0;
    for (const Item& item : items) {
      const QString held = source("item" + QString::number(n++), item.path);
      if (item.kind == Item::Entry)
        builder.addFile(1, 4, QString::fromUtf8(item.path), held);
      else if (item.kind == Item::Link)
        builder.addMemberLink(item.path, item.target);
      else
        builder.addMember(item.path, held);
    }
    return builder.write(out);
  }

  // Every file below `folder` as "path=bytes", every link as "path->target", in
  // the file system's own bytes (decoded names may not hold them), sorted.
  static QByteArrayList extracted(const QString& folder) {
    QByteArrayList found;
    addExtracted(QFile::encodeName(folder), {}, found);
    std::sort(found.begin(), found.end());
    return found;
  }

  static void addExtracted(const QByteArray& folder, const QByteArray& prefix, QByteArrayList& found) {
    DIR* dir = ::opendir(folder.constData());
    ASSERT_NE(dir, nullptr) << folder.toStdString();
    while (const dirent* entry = ::readdir(dir)) {
      const QByteArray name(entry->d_name);
      if (name == "." || name == "..") continue;
      const QByteArray path = folder + "/" + name;
      struct stat st {};
      ASSERT_EQ(::lstat(path.constData(), &st), 0);
      if (S_ISDIR(st.st_mode)) {
        addExtracted(path, prefix + name + "/", found);
      } else if (S_ISLNK(st.st_mode)) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target);
        found << prefix + name + "->" + QByteArray(target, int(std::max<ssize_t>(length, 0)));
      } else {
        found << prefix + name + "=" + bytesAt(path);
      }
    }
    ::closedir(dir);
  }

  static QByteArray bytesAt(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    QByteArray bytes;
    char chunk[4096];
    for (ssize_t got = 0; fd >= 0 && (got = ::read(fd, chunk, sizeof chunk)) > 0;) bytes.append(chunk, got);
    if (fd >= 0) ::close(fd);
    return bytes;
  }

  // Every file of `folder` with its bytes: what a failed build must leave as it was.
  static std::map<QString, QByteArray> snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
      files[info.fileName()] =
          info.isSymLink() ? "-> " + QFile::encodeName(info.symLinkTarget()) : readFile(info.filePath());
    return files;
  }

  static QString helpText() {
    QProcess help;
    help.start(KVT_PAYLOAD_BUILDER, {"--help"});
    EXPECT_TRUE(help.waitForFinished(60000));
    return QString::fromUtf8(help.readAllStandardOutput());
  }

  // The builder's error for `names` as table entries, empty when it built them.
  QString errorFor(const QStringList& names, const QStringList& sideNames = {}) {
    PayloadBuilder builder;
    builder.setStub(m_stub);
    for (const QString& name : names) builder.addFile(1, 4, name, source("data", "d"));
    for (const QString& name : sideNames) builder.addSideFile(4, name);
    return builder.write(m_work + "/out.bin");
  }
};

TEST_F(PayloadBuilderTest, TheOutputMayBeNeitherTheStubNorASource) {
  const QString d = folder("same");
  writeFile(d + "KVTsetup", "the setup program");
  writeFile(d + "x", "a source");
  ASSERT_EQ(::symlink("KVTsetup", QFile::encodeName(d + "setup-link").constData()), 0);
  ASSERT_EQ(
      ::link(QFile::encodeName(d + "KVTsetup").constData(), QFile::encodeName(d + "setup-hard").constData()),
      0);
  ASSERT_EQ(::symlink("x", QFile::encodeName(d + "x-link").constData()), 0);
  ASSERT_TRUE(QFile::copy(KVT_PAYLOAD_BUILDER, d + "KVTpayload"));
  struct Case {
    const char* what;
    QStringList arguments;
    QString expected;
  };
  const QString stub = d + "KVTsetup";
  const QStringList package = {"--file", "1:0:p.msi=" + d + "x"};
  const std::vector<Case> cases = {
      {"the default stub beside the builder", QStringList{"--out", "KVTsetup"} + package,
       "the output KVTsetup is the same file as the stub " + stub},
      {"the stub spelt otherwise", QStringList{"--stub", stub, "--out", d + "./KVTsetup"} + package,
       "the output " + d + "./KVTsetup is the same file as the stub " + stub},
      {"the stub through a symbolic link", QStringList{"--stub", stub, "--out", d + "setup-link"} + package,
       "the output " + d + "setup-link is the same file as the stub " + stub},
      {"the stub through a hard link", QStringList{"--stub", stub, "--out", d + "setup-hard"} + package,
       "the output " + d + "setup-hard is the same file as the stub " + stub},
      {"a table source", QStringList{"--stub", stub, "--out", "x"} + package,
       "the output x is the same file as the source " + d + "x"},
      {"a table source through a symbolic link", QStringList{"--stub", stub, "--out", d + "x-link"} + package,
       "the output " + d + "x-link is the same file as the source " + d + "x"},
      {"a member of the block",
       QStringList{"--stub", stub, "--out", "x-link", "--file", "2:7:d.so=" + decompressorPath(), "--block",
                   "2:pkg\\a.lzma", "--member", "a.msi=x"},
       "the output x-link is the same file as the source x"},
  };
  const auto before = snapshot(d);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BuilderRun run = runBuilder(d + "KVTpayload", c.arguments, d);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "KVTpayload: " + c.expected + "\n");
    EXPECT_EQ(snapshot(d), before);
  }
}

// Each refusal names its fault and writes nothing; a bad command line ends with 2, a refused build with 1.
TEST_F(PayloadBuilderTest, TheCommandLineNamesItsFaultAndWritesNothing) {
  const QString d = folder("command-line");
  writeFile(d + "app.msi", "the package");
  writeFile(d + "setup.ini", "[GeneralOptions]\r\n");
  struct Case {
    QStringList arguments;
    int exitCode;
    QString expected;  // empty when the setup is built
  };
  const QString file = "; expected --file GROUP:TYPE:NAME=SOURCE";
  const QString number = " is not a number from 0 to 4294967295";
  const QString noEntry = "the payload has no entry; a setup needs at least one --file or --block";
  const std::vector<Case> cases = {
      {{}, 1, noEntry},
      {{"--side", "0:app.msi"}, 1, noEntry},
      {{"--configuration"}, 1, noEntry},
      {{"--configuration", "--file", "1:0:a.msi=app.msi"},
       1,
       "--configuration needs a type 3 entry, the configuration file (--file 0:3:NAME=SOURCE)"},
      {{"--file", "1:0:a.msi=none"}, 1, "cannot read none"},
      {{"--file", "1:0:a.msi=app.msi"}, 0, {}},
      {{"--configuration", "--file", "0:3:setup.ini=setup.ini"}, 0, {}},
      {{"--side-files", "--configuration"}, 0, {}},
      {{"--file", "4294967295:4294967295:a.msi=app.msi"}, 0, {}},
      {{"--file", "4294967296:0:a=app.msi"},
       2,
       "--file \"4294967296:0:a=app.msi\": GROUP \"4294967296\"" + number + file},
      {{"--file", "1:4294967296:a=app.msi"},
       2,
       "--file \"1:4294967296:a=app.msi\": TYPE \"4294967296\"" + number + file},
      {{"--file", "x:0:a=app.msi"}, 2, "--file \"x:0:a=app.msi\": GROUP \"x\"" + number + file},
      {{"--file", "app.msi"}, 2, "--file \"app.msi\": no \"=\"" + file},
      {{"--file", "1:a=app.msi"}, 2, "--file \"1:a=app.msi\": too few fields" + file},
      {{"--file", ":0:a=app.msi"}, 2, "--file \":0:a=app.msi\": GROUP is empty" + file},
      {{"--file", "1:0:a="}, 2, "--file \"1:0:a=\": SOURCE is empty" + file},
      {{"--block", "2:a=b"},
       2,
       "--block \"2:a=b\": \"=\" where the form has none; expected --block GROUP:NAME"},
      {{"--side", "x:a"}, 2, "--side \"x:a\": TYPE \"x\"" + number + "; expected --side TYPE:NAME"},
      {{"--member", "a="}, 2, "--member \"a=\": SOURCE is empty; expected --member STORED=SOURCE"},
      {{"--member-link", "a"}, 2, "--member-link \"a\": no \"=\"; expected --member-link STORED=TARGET"},
      {{"--bogus", "x"}, 2, "unknown option --bogus"},
      {{"--file"}, 2, "--file needs a value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const auto before = snapshot(d);
    const BuilderRun run =
        runBuilder(KVT_PAYLOAD_BUILDER, QStringList{"--stub", m_stub, "--out", "setup"} + c.arguments, d);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.errors, c.expected.isEmpty() ? QString() : "KVTpayload: " + c.expected + "\n");
    EXPECT_EQ(QFile::remove(d + "setup"), c.expected.isEmpty());
    EXPECT_EQ(snapshot(d), before);
  }
}

// Every name that the setup refuses, or could not extract beside the others, is
// refused before anything is written; the names just inside each rule build a
// setup that reads its table and extracts.
TEST_F(PayloadBuilderTest, TheCommandRefusesWhatTheSetupCouldNotExtract) {
  const QString d = folder("refused");
  writeFile(d + "a.txt", "a");
  // 4096 bytes in Windows-1252, as stored (more in UTF-8), in parts that a file system holds.
  const QString long4096 = QStringList(17, QString::fromUtf8("\u00e9") + QString(239, 'n')).join('\\');
  const auto file = [](const QString& name) { return QStringList{"--file", "1:1:" + name + "=a.txt"}; };
  const QString refuses = ", which the setup refuses";
  const auto clash = [](const QString& earlier, const QString& later, const QString& both) {
    return QString("the names \"%1\" and \"%2\" need \"%3\" both as a file and as a folder")
        .arg(earlier, later, both);
  };
  // A member path of `length` bytes: 20 parts of 200 bytes and a last one.
  const auto deep = [](int length) {
    return QStringList(20, QString(200, 'n')).join('/') + '/' + QString(length - 4020, 'n');
  };
  const QStringList block = {"--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--block",
                             "2:pkg\\app.lzma"};
  // With "/pkg/" before it, a member of 4090 bytes unpacks at a path of 4095.
  const auto tooLong = [](const QString& member) {
    return "the member \"" + member +
           "\" unpacks at a path that, even below \"/\", has 4096 bytes, more than the 4095 bytes that the "
           "system opens by name";
  };
  // A block folder of 4093 bytes in UTF-8, as long as the setup unpacks into: 15 parts of 85 "€"
  // and one of 84 "€" and "a".
  const QString euros4093 =
      QStringList(15, QString(85, QChar(0x20ac))).join('\\') + '\\' + QString(84, QChar(0x20ac)) + "a";
  struct Case {
    QStringList arguments;
    QString expected;  // empty when the setup is built
  };
  const std::vector<Case> cases = {
      {file("sub") + file("sub\\a.txt"), clash("sub", "sub\\a.txt", "sub")},
      {file("sub\\a.txt") + file("sub"), clash("sub\\a.txt", "sub", "sub")},
      {file("a\\b") + file("a\\b\\c\\d"), clash("a\\b", "a\\b\\c\\d", "a\\b")},
      {file("a/b/c/d") + file("a\\b"), clash("a/b/c/d", "a\\b", "a\\b")},
      {file("pkg") + QStringList{"--block", "2:pkg\\app.lzma"}, clash("pkg", "pkg\\app.lzma", "pkg")},
      {QStringList{"--block", "2:pkg\\sub\\app.lzma"} + file("pkg\\sub"),
       clash("pkg\\sub\\app.lzma", "pkg\\sub", "pkg\\sub")},
      {file("a.txt") + file("a.txt"), "the names \"a.txt\" and \"a.txt\" are extracted as the same file"},
      {{"--block", "2:app.lzma"}, "the compressed block's name \"app.lzma\" has no folder" + refuses},
      {file(""), "the name \"\" is empty" + refuses},
      {file("\\evil.txt"), "the name \"\\evil.txt\" is absolute" + refuses},
      {file("/tmp/evil.txt"), "the name \"/tmp/evil.txt\" is absolute" + refuses},
      {file("C:\\evil.txt"), "the name \"C:\\evil.txt\" starts with a drive letter" + refuses},
      {file("c:evil.txt"), "the name \"c:evil.txt\" starts with a drive letter" + refuses},
      {file("C:"), "the name \"C:\" starts with a drive letter" + refuses},
      {file("a:x.txt"), "the name \"a:x.txt\" starts with a drive letter" + refuses},
      {file("z:x.txt"), "the name \"z:x.txt\" starts with a drive letter" + refuses},
      {file("A:x.txt"), "the name \"A:x.txt\" starts with a drive letter" + refuses},
      {file("Z:x.txt"), "the name \"Z:x.txt\" starts with a drive letter" + refuses},
      {file("..\\evil.txt"), "the name \"..\\evil.txt\" holds a \"..\" part" + refuses},
      {file("a\\.\\evil.txt"), "the name \"a\\.\\evil.txt\" holds a \".\" part" + refuses},
      {file("a\\\\evil.txt"), "the name \"a\\\\evil.txt\" holds an empty part" + refuses},
      {file("sub\\"), "the name \"sub\\\" holds an empty part" + refuses},
      {file(long4096 + "x"),
       "the name \"" + long4096 + "x\" is 4097 bytes long, more than the 4096 bytes that the setup reads"},
      {file("a.txt") + QStringList{"--side", "0:..\\evil.msi"},
       "the name \"..\\evil.msi\" holds a \"..\" part" + refuses},
      {QStringList{"--side-files", "--side", "0:" + long4096 + "x"},
       "the name \"" + long4096 + "x\" is 4097 bytes long, more than the 4096 bytes that the setup reads"},
      {file("sub\\" + QString(128, QChar(0xe9))),
       "the name \"sub\\" + QString(128, QChar(0xe9)) +
           "\" holds a part of 256 bytes, more than the 255 bytes of a file name"},
      {file(QString(127, QChar(0xe9)) + "p"), {}},
      {file(long4096), {}},
      {file("sub\\a.txt") + file("sub\\b.txt"), {}},
      {file("sub") + file("subx\\a"), {}},
      {QStringList{"--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--block",
                   "2:" + euros4093 + "\\a.lzma"},
       {}},
      {block + QStringList{"--member-link", deep(4090) + "=x"}, {}},
      {block + QStringList{"--member-link", deep(4091) + "=x"}, tooLong(deep(4091))},
      {block + QStringList{"--member", deep(4090) + "=a.txt"}, {}},
      {block + QStringList{"--member", deep(4091) + "=a.txt"}, tooLong(deep(4091))},
      {QStringList{"--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--block", "2:pkg\\app.lzma"} +
           file("pkg2"),
       {}},
      {file("ab:x") + file("a\\..b") + file(".a"), {}},
      // Only an ASCII letter names a drive: the characters beside the letters, a digit and a
      // Windows-1252 letter are plain.
      {file("@:x") + file("[:x") + file("`:x") + file("{:x") + file("1:x") +
           file(QString::fromUtf8("\u00e9:x")),
       {}},
  };
  for (const bool existed : {false, true}) {
    if (existed) writeFile(d + "setup", "the old setup");
    for (const Case& c : cases) {
      SCOPED_TRACE(c.arguments.join(' ').left(200).toStdString() + (existed ? " over an old output" : ""));
      const auto before = snapshot(d);
      const BuilderRun run =
          runBuilder(KVT_PAYLOAD_BUILDER, QStringList{"--stub", m_stub, "--out", "setup"} + c.arguments, d);
      EXPECT_EQ(run.exitCode, c.expected.isEmpty() ? 0 : 1);
      EXPECT_EQ(run.errors, c.expected.isEmpty() ? QString() : "KVTpayload: " + c.expected + "\n");
      if (!c.expected.isEmpty()) {
        EXPECT_EQ(snapshot(d), before);
        continue;
      }
      CPayloadArchive archive;
      EXPECT_EQ(prepare(archive, d + "setup", TestEnv::freshDir("x")), PayloadError::Ok);
      archive.CleanupArchive();
      if (existed)
        writeFile(d + "setup", "the old setup");
      else
        QFile::remove(d + "setup");
    }
  }
}

TEST_F(PayloadBuilderTest, AFailedBuildLeavesTheOldOutputOrNone) {
  const QString d = folder("failed");
  const QString good = source("good", "good");
  struct Case {
    const char* what;
    std::function<void(PayloadBuilder&)> items;
    QString expected;
  };
  const std::vector<Case> cases = {
      {"a missing stub",
       [&](PayloadBuilder& b) {
         b.setStub(m_work + "/none");
         b.addFile(1, 0, "a.msi", good);
       },
       "cannot read " + m_work + "/none"},
      {"a missing source after a good one",
       [&](PayloadBuilder& b) {
         b.addFile(1, 0, "a.msi", good);
         b.addFile(1, 1, "b.cab", m_work + "/none");
       },
       "cannot read " + m_work + "/none"},
      {"a missing member",
       [&](PayloadBuilder& b) {
         b.addFile(2, 7, "KVTdecompress.so", decompressorPath());
         b.addBlock(2, "pkg\\a.lzma");
         b.addMember("a.msi", good);
         b.addMember("b.cab", m_work + "/none");
       },
       "cannot read " + m_work + "/none"},
  };
  for (const bool existed : {true, false}) {
    if (existed) writeFile(d + "setup", "the old setup");
    const auto before = snapshot(d);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (existed ? " over an old output" : ""));
      PayloadBuilder builder;
      builder.setStub(m_stub);
      c.items(builder);
      EXPECT_EQ(builder.write(d + "setup"), c.expected);
      EXPECT_EQ(snapshot(d), before);
    }
    QFile::remove(d + "setup");
  }
}

// The format's sizes and offsets are 32-bit; the same checks run here on a lower limit.
TEST_F(PayloadBuilderTest, LimitsHoldAtTheirValueAndRefuseOneByteMore) {
  constexpr qint64 kLimit = 20000;
  const qint64 stub = QFileInfo(m_stub).size();
  const qint64 table = 2 * (20 + 5);  // two headers and their five-letter names
  const QString d = folder("limits");
  const QString out = d + "setup";
  struct Case {
    const char* what;
    qint64 first;
    qint64 second;
    QString expected;
  };
  const qint64 both = kLimit - stub;
  const QString past = QStringLiteral("the %1 bytes that the payload's offsets can reach").arg(kLimit);
  const std::vector<Case> cases = {
      {"the trailer at the last offset", 100, both - table - 100, {}},
      {"the trailer one byte further", 100, both - table - 99,
       QString("with the file table and side-file records the file reaches %1 bytes, past ").arg(kLimit + 1) +
           past},
      {"the entries ending at the last offset", 100, both - 100,
       QString("with the file table and side-file records the file reaches %1 bytes, past ")
               .arg(kLimit + table) +
           past},
      {"the entries ending one byte further", 100, both - 99,
       QString("with the entry \"b.bin\" the file reaches %1 bytes, past ").arg(kLimit + 1) + past},
      {"an entry of the largest size", 0, kLimit,
       QString("with the entry \"b.bin\" the file reaches %1 bytes, past ").arg(stub + kLimit) + past},
      {"an entry one byte larger", 0, kLimit + 1,
       QString("the entry \"b.bin\" holds %1 bytes, more than the %2 bytes that an entry can hold")
           .arg(kLimit + 1)
           .arg(kLimit)},
  };
  writeFile(out, "the old setup");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto before = snapshot(d);
    PayloadBuilder builder;
    builder.setStub(m_stub);
    builder.setOffsetLimit(kLimit);
    builder.addFile(1, 0, "a.msi", source("a", QByteArray(c.first, 'a')));
    builder.addFile(1, 1, "b.bin", source("b", QByteArray(c.second, 'b')));
    EXPECT_EQ(builder.write(out), c.expected);
    if (!c.expected.isEmpty()) {
      EXPECT_EQ(snapshot(d), before);
      continue;
    }
    const QByteArray written = readFile(out);
    EXPECT_EQ(qFromLittleEndian<quint32>(written.constData() + written.size() - 60), quint32(kLimit));
    CPayloadArchive archive;
    EXPECT_EQ(openInto(archive, out, folder("x")), PayloadError::Ok);
  }
}

TEST_F(PayloadBuilderTest, NamesThatWindows1252CannotHoldAreRefused) {
  struct Case {
    QString name;
    QString character;
    const char* code;
  };
  const std::vector<Case> cases = {
      {QString::fromUtf8("Отчёт.txt"), QString::fromUtf8("О"), "041E"},
      {QString::fromUtf8("caf\u00e9\u0100.txt"), QString::fromUtf8("\u0100"), "0100"},
      {QString::fromUtf8("smile\U0001F600.txt"), QString::fromUtf8("\U0001F600"), "1F600"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const QString expected = QString("the name \"%1\" holds \"%2\" (U+%3), which Windows-1252 cannot hold")
                                 .arg(c.name, c.character, c.code);
    EXPECT_EQ(errorFor({"ok.txt", c.name}), expected);
    EXPECT_EQ(errorFor({"ok.txt"}, {c.name}), expected);
  }
}

// The NUL is refused wherever it stands, so that no name is checked only up to it.
TEST_F(PayloadBuilderTest, ANameHoldingANulIsRefused) {
  const QString nul(QChar(0));
  for (const QString& name :
       {nul, nul + "x.txt", "x.txt" + nul, "x.txt" + nul + "y", "sub\\" + nul + "\\a"}) {
    SCOPED_TRACE(name.toStdString());
    const QString expected = "the name \"" + name + "\" holds a NUL, which the setup refuses";
    EXPECT_EQ(errorFor({"ok.txt", name}), expected);
    EXPECT_EQ(errorFor({"ok.txt"}, {name}), expected);
  }
}

TEST_F(PayloadBuilderTest, EveryWindows1252CharacterIsKept) {
  // The code page's ends and the five bytes it leaves undefined, which stand for themselves.
  const QString name =
      QString::fromUtf8("\u20ac\u0081\u008d\u008f\u0090\u009d\u0178 \u00a0\u00ff caf\u00e9.txt");
  const QString out = m_work + "/out.bin";
  ASSERT_TRUE(build(out, {"--file", "1:4:" + name + "=" + source("n", "n")}));
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
  EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
  EXPECT_EQ(tree(x), QStringList{name});
}

TEST_F(PayloadBuilderTest, TwoEntriesExtractedAsTheSameFileAreRefused) {
  struct Case {
    QString first;
    QString second;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"a.txt", "a.txt", true},
      {"sub\\a.txt", "sub/a.txt", true},
      {QString::fromUtf8("\u00c9t\u00e9.txt"), QString::fromUtf8("\u00c9t\u00e9.txt"), true},
      {"sub\\a.txt", "a.txt", false},
      {"A.txt", "a.txt", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.first + " " + c.second).toStdString());
    EXPECT_EQ(
        errorFor({"x.txt", c.first, c.second}),
        c.refused
            ? QString("the names \"%1\" and \"%2\" are extracted as the same file").arg(c.first, c.second)
            : QString());
  }
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, m_work + "/out.bin", x), PayloadError::Ok);
  EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
  EXPECT_EQ(tree(x), QStringList({"A.txt", "a.txt", "x.txt"}));
}

TEST_F(PayloadBuilderTest, ABlockCompressedOnManyCoresComesOutThroughTheDecompressor) {
  // More than one block of xz's own (24 MiB at the level used), so that threads share the work.
  QByteArray member;
  for (int mebibyte = 0; mebibyte < 40; ++mebibyte)
    member += QByteArray::number(mebibyte).leftJustified(1 << 20, 'z');
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(out, {"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--block",
                          "2:pkg\\app.lzma", "--member", "app.msi=" + source("app.msi", member)}));
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(prepare(archive, out, x), PayloadError::Ok);
  const PayloadEntry& block = archive.entries()[1];
  const QString blockFile = source("block.xz", readFile(out).mid(block.offset, block.size));
  QProcess xz;
  xz.start("xz", {"--robot", "--list", blockFile});
  ASSERT_TRUE(xz.waitForFinished(60000));
  const QString totals =
      QString::fromUtf8(xz.readAllStandardOutput()).section("totals\t", 1).section('\t', 1, 1);
  EXPECT_GE(totals.toInt(), 2) << "xz blocks";
  EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::Ok);
  EXPECT_TRUE(readFile(x + "pkg/app.msi") == member);
}

TEST_F(PayloadBuilderTest, TheHelpTellsWhichNamesAreRefused) {
  const QStringList rules = {
      "one that starts with a drive letter (C:); a name with an empty, \".\" or \"..\" part",
      "the compressed block's NAME without a folder, or with one longer than 4093 bytes; a block without the "
      "decompressor (TYPE 7) before it; --compressed without a block.",
      "a member before any --block or in a later block;",
      "STORED and TARGET are kept as the bytes given.",
      "a file's STORED that ends with \"/\", a STORED that passes 4095 bytes with \"/\" and the block's "
      "folder before it;",
      "a link's TARGET that is empty, absolute, longer than 4095 bytes, or that leaves the block's folder or "
      "follows "
      "more than 40 links, read from the link's folder through the block's links (sub/l=../a.txt stays "
      "inside; e=d/s/.. leaves with d/s=..); two members, or a member and an entry, extracted as the same "
      "file or as a file and a folder",
  };
  const QString help = helpText().simplified();
  for (const QString& rule : rules) EXPECT_TRUE(help.contains(rule)) << rule.toStdString();
}

// Every member or link that the setup's decompressor refuses or cannot write,
// and every member that would lose another file, is refused before anything is
// written, with the member named.
TEST_F(PayloadBuilderTest, MembersTheSetupCouldNotExtractAreRefused) {
  const QString d = folder("members-refused");
  const QString refuses = ", which the setup refuses";
  const QByteArray n256(256, 'n');
  const QByteArray e128 = QString(128, QChar(0xe9)).toUtf8();
  const QString part256 = " holds a part of 256 bytes, more than the 255 bytes of a file name";
  const QString leaves = ", a target that leaves the block's folder" + refuses;
  const QString same = " are extracted as the same file";
  const auto both = [](const QString& file) {
    return QString(" need \"%1\" both as a file and as a folder").arg(file);
  };
  struct Case {
    std::vector<Item> items;
    QString expected;
  };
  const std::vector<Case> cases = {
      {{memberFile("../evil.txt")}, "the member \"../evil.txt\" holds a \"..\" part" + refuses},
      {{memberFile("data/..")}, "the member \"data/..\" holds a \"..\" part" + refuses},
      {{memberFile("/tmp/evil.txt")}, "the member \"/tmp/evil.txt\" is absolute" + refuses},
      {{memberFile("")}, "the member \"\" is empty" + refuses},
      {{memberFile(QByteArray("a\0b", 3))},
       "the member \"a" + QString(QChar(0)) + "b\" holds a NUL" + refuses},
      {{memberFile("sub/" + n256)}, "the member \"sub/" + QString(n256) + "\"" + part256},
      {{memberFile(e128)}, "the member \"" + QString::fromUtf8(e128) + "\"" + part256},
      {{memberFile("x/")}, "the member \"x/\" ends with \"/\", which the setup unpacks as a folder"},
      {{memberLink("l", "../x")}, "the member \"l\" links to \"../x\"" + leaves},
      {{memberLink("sub/l", "../../x")}, "the member \"sub/l\" links to \"../../x\"" + leaves},
      {{memberLink("sub/l", "./.././..")}, "the member \"sub/l\" links to \"./.././..\"" + leaves},
      {{memberLink("sub/l", "x/../../../y")}, "the member \"sub/l\" links to \"x/../../../y\"" + leaves},
      {{memberLink("l", "/etc/passwd")},
       "the member \"l\" links to \"/etc/passwd\", a target that is absolute" + refuses},
      {{memberLink("sub/l", "")}, "the member \"sub/l\" links to \"\", a target that is empty" + refuses},
      {{memberLink("l", QByteArray("a\0b", 3))},
       "the member \"l\" links to \"a" + QString(QChar(0)) + "b\", a target that holds a NUL" + refuses},
      {{memberLink("l", QByteArray(4096, 't'))},
       "the member \"l\" links to a target of 4096 bytes, more than the 4095 bytes that a link holds"},
      {{memberFile("a.txt"), memberFile("a.txt")}, "the members \"a.txt\" and \"a.txt\"" + same},
      {{memberFile("a.txt"), memberFile("./a.txt")}, "the members \"a.txt\" and \"./a.txt\"" + same},
      {{memberFile("a.txt"), memberLink("a.txt", "b.txt")}, "the members \"a.txt\" and \"a.txt\"" + same},
      {{memberFile("app.msi"), tableEntry("pkg\\app.msi")},
       "the name \"pkg\\app.msi\" and the member \"app.msi\"" + same},
      {{memberFile("sub"), memberFile("sub/a.txt")}, "the members \"sub\" and \"sub/a.txt\"" + both("sub")},
      {{memberFile("sub/a.txt"), memberFile("sub")}, "the members \"sub/a.txt\" and \"sub\"" + both("sub")},
      {{memberLink("d", "sub"), memberFile("d/x")}, "the members \"d\" and \"d/x\"" + both("d")},
      {{tableEntry("pkg\\sub"), memberFile("sub/a.txt")},
       "the name \"pkg\\sub\" and the member \"sub/a.txt\"" + both("pkg\\sub")},
      {{memberFile("sub"), tableEntry("pkg\\sub\\a.txt")},
       "the name \"pkg\\sub\\a.txt\" and the member \"sub\"" + both("sub")},
      {{memberFile(".")}, "the name \"pkg\\app.lzma\" and the member \".\"" + both(".")},
      {{memberFile("..")}, "the member \"..\" holds a \"..\" part" + refuses},
      {{memberFile("a/b"), memberFile("a//b")}, "the members \"a/b\" and \"a//b\"" + same},
  };
  for (const bool existed : {false, true}) {
    if (existed) writeFile(d + "setup", "the old setup");
    const auto before = snapshot(d);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.expected.left(200).toStdString() + (existed ? " over an old output" : ""));
      EXPECT_EQ(writeCompressed(c.items, d + "setup"), c.expected);
      EXPECT_EQ(snapshot(d), before);
    }
  }
}

// The members just inside each rule build a setup that extracts every one of them whole.
TEST_F(PayloadBuilderTest, MembersTheSetupExtractsWholeAreBuilt) {
  const QByteArray n255(255, 'n');
  const QByteArray e127p = QString(127, QChar(0xe9)).toUtf8() + "p";
  const QByteArray t4095(4095, 't');
  struct Case {
    std::vector<Item> items;
    QByteArrayList expected;  // below the extraction folder
  };
  const std::vector<Case> cases = {
      {{memberFile(n255)}, {"pkg/" + n255 + "=" + n255}},
      {{memberFile("sub/" + e127p)}, {"pkg/sub/" + e127p + "=sub/" + e127p}},
      {{memberLink("l", t4095)}, {"pkg/l->" + t4095}},
      {{memberFile("a.txt"), memberLink("sub/l", "../a.txt")}, {"pkg/a.txt=a.txt", "pkg/sub/l->../a.txt"}},
      {{memberLink("l", "."), memberLink("sub/./m", "x/../../a.txt")},
       {"pkg/l->.", "pkg/sub/m->x/../../a.txt"}},
      {{memberFile("A.txt"), memberFile("a.txt")}, {"pkg/A.txt=A.txt", "pkg/a.txt=a.txt"}},
      {{memberFile("C:x"), memberFile("..\\x"), memberFile("a\\b"), tableEntry("pkg\\a\\b")},
       {"pkg/C:x=C:x", "pkg/..\\x=..\\x", "pkg/a\\b=a\\b", "pkg/a/b=pkg\\a\\b"}},
      {{memberFile("./x"), memberFile("a//b"), memberFile("y/.")},
       {"pkg/x=./x", "pkg/a/b=a//b", "pkg/y=y/."}},
      {{memberFile("a/..b"), memberFile(".a"), memberFile("app.lzma")},
       {"pkg/a/..b=a/..b", "pkg/.a=.a", "pkg/app.lzma=app.lzma"}},
      {{tableEntry("pkg2\\app.msi"), tableEntry("PKG\\app.msi"), memberFile("app.msi")},
       {"pkg2/app.msi=pkg2\\app.msi", "PKG/app.msi=PKG\\app.msi", "pkg/app.msi=app.msi"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.join(' ').left(200).toStdString());
    const QString out = m_work + "/setup.bin";
    ASSERT_EQ(writeCompressed(c.items, out), QString());
    CPayloadArchive archive;
    const QString x = folder("whole" + QString::number(n++));
    ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
    EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
    archive.setKeepState(KeepState::Everything);
    archive.CleanupArchive();
    QByteArrayList expected = c.expected;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(extracted(x), expected);
  }
}

// A built setup, run as a program, extracts a link that stays inside and names that differ only in case.
TEST_F(PayloadBuilderTest, ASetupWithAnInsideLinkAndNamesOfOtherCaseExtractsThemWhole) {
  BootstrapperRun s;
  const QString setup = s.work + "/setup";
  ASSERT_TRUE(s.build(
      setup,
      {"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--block", "2:pkg\\app.lzma",
       "--member", "app.msi=" + source("app.msi", "app.msi"), "--member", "A.txt=" + source("A.txt", "A.txt"),
       "--member", "a.txt=" + source("a.txt", "a.txt"), "--member-link", "sub/l=../a.txt"}));
  ASSERT_TRUE(s.run(setup, {"/extract:" + s.work + "/carried"}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(extracted(s.work + "/carried"), QByteArrayList({"pkg/A.txt=A.txt", "pkg/a.txt=a.txt",
                                                            "pkg/app.msi=app.msi", "pkg/sub/l->../a.txt"}));
  EXPECT_EQ(readFile(s.work + "/carried/pkg/sub/l"), "a.txt");
}

// The arguments of a compressed setup for the command: the decompressor, then the block "pkg\app.lzma".
QByteArrayList compressedArguments() {
  return {"--compressed", "--file", "2:7:KVTdecompress.so=" KVT_DECOMPRESSOR, "--block", "2:pkg\\app.lzma"};
}
QByteArrayList memberArgument(const QByteArray& stored) { return {"--member", stored + "=app.msi"}; }
QByteArrayList linkArgument(const QByteArray& stored, const QByteArray& target) {
  return {"--member-link", stored + "=" + target};
}
// The links l<first> to l<last>, each to the next, the last to app.msi.
QByteArrayList linkChain(int first, int last) {
  QByteArrayList chain;
  for (int n = first; n <= last; ++n)
    chain << linkArgument("l" + QByteArray::number(n),
                          n == last ? "app.msi" : "l" + QByteArray::number(n + 1));
  return chain;
}

// What the setup would lose, or could never unpack whatever folder it is given,
// is refused with status 1 before anything is written, and names what it refuses.
TEST_F(PayloadBuilderTest, TheCommandRefusesWhatTheSetupWouldLoseOrNeverUnpack) {
  const QString d = folder("never");
  writeFile(d + "app.msi", "the package");
  writeFile(d + "setup", "the old setup");
  const QByteArray library = "KVTdecompress.so=" KVT_DECOMPRESSOR;
  const QByteArrayList block = {"--block", "2:pkg\\app.lzma"};
  // A folder of 4094 bytes in UTF-8: 15 parts of 85 "€" and one of 84 "€" and "ab".
  const QString euros =
      QStringList(15, QString(85, QChar(0x20ac))).join('\\') + '\\' + QString(84, QChar(0x20ac)) + "ab";
  const QString before = " comes before any --block; a member goes into the block given before it";
  const QString refuses = ", which the setup refuses";
  const QString throughDs = ", a target that leaves the block's folder through the link \"d/s\"" + refuses;
  const QString fffd(QChar(0xfffd));
  struct Case {
    QByteArrayList arguments;
    QString expected;
  };
  const std::vector<Case> cases = {
      {QByteArrayList{"--file", "1:0:app.msi=app.msi"} + memberArgument("x") +
           QByteArrayList{"--member", "y=none"},
       "the member \"x\"" + before},
      {QByteArrayList{"--file", "1:0:app.msi=app.msi"} + linkArgument("l", "app.msi"),
       "the member \"l\"" + before},
      {QByteArrayList{"--compressed", "--file", "2:7:" + library} + memberArgument("app.msi"),
       "the member \"app.msi\"" + before},
      {QByteArrayList{"--compressed", "--file", "2:7:" + library} + memberArgument("app.msi") + block,
       "the member \"app.msi\"" + before},
      {compressedArguments() + memberArgument("app.msi") + QByteArrayList{"--block", "2:pkg2\\b.lzma"} +
           memberArgument("b"),
       "the member \"b\" goes into the block \"pkg2\\b.lzma\", which the setup never unpacks: it unpacks "
       "only "
       "the first, \"pkg\\app.lzma\""},
      {QByteArrayList{"--compressed"} + block + memberArgument("app.msi"),
       "the compressed block \"pkg\\app.lzma\" needs the decompressor library before it, a type 7 entry "
       "(--file 2:7:KVTdecompress.so=SOURCE)"},
      {block + memberArgument("app.msi"),
       "the compressed block \"pkg\\app.lzma\" needs the decompressor library before it, a type 7 entry "
       "(--file 2:7:KVTdecompress.so=SOURCE)"},
      {QByteArrayList{"--compressed"} + block + QByteArrayList{"--file", "2:7:" + library} +
           memberArgument("app.msi"),
       "the decompressor library \"KVTdecompress.so\" comes after the compressed block \"pkg\\app.lzma\"; "
       "the "
       "setup needs it before the block"},
      {QByteArrayList{"--compressed", "--file", "0:7:" + library} + block + memberArgument("app.msi"),
       "the decompressor library \"KVTdecompress.so\" is in group 0; --compressed needs it in group 2, which "
       "a "
       "run extracts"},
      {{"--compressed", "--file", "1:0:app.msi=app.msi"},
       "--compressed needs a compressed block (--block GROUP:NAME)"},
      {QByteArrayList{"--compressed", "--file", "2:7:" + library, "--block",
                      "2:" + euros.toUtf8() + "\\a.lzma"},
       "the compressed block's name \"" + euros +
           "\\a.lzma\" has a folder of 4094 bytes, more than the 4093 bytes that the setup can unpack into, "
           "even below \"/\""},
      {compressedArguments() + linkArgument("d/s", "..") + linkArgument("e", "d/s/../.."),
       "the member \"e\" links to \"d/s/../..\"" + throughDs},
      {compressedArguments() + linkArgument("e", "d/s/..") + linkArgument("d/s", ".."),
       "the member \"e\" links to \"d/s/..\"" + throughDs},
      {compressedArguments() + linkArgument("a", "b") + linkArgument("b", "a"),
       "the member \"a\" links to \"b\", a target that follows more than 40 links" + refuses},
      {compressedArguments() + memberArgument("app.msi") + linkChain(0, 40),
       "the member \"l0\" links to \"l1\", a target that follows more than 40 links" + refuses},
      {{"--file", "1:0:caf\xe9.msi=app.msi"},
       "the name \"caf" + fffd + ".msi\" holds \"" + fffd + "\" (U+FFFD), which Windows-1252 cannot hold"},
      {compressedArguments() + memberArgument("caf\xe9") + memberArgument("caf\xe9"),
       "the members \"caf\\xE9\" and \"caf\\xE9\" are extracted as the same file"},
      {compressedArguments() + memberArgument("\xe9/../x"),
       "the member \"\\xE9/../x\" holds a \"..\" part" + refuses},
      {compressedArguments() + linkArgument("l", "\xe9/../.."),
       "the member \"l\" links to \"\\xE9/../..\", a target that leaves the block's folder" + refuses},
  };
  const auto old = snapshot(d);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.left(200).toStdString());
    const BuilderRun run = runBuilderOnBytes(
        QByteArrayList{"--stub", QFile::encodeName(m_stub), "--out", "setup"} + c.arguments, d);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "KVTpayload: " + c.expected + "\n");
    EXPECT_EQ(snapshot(d), old);
  }
}

// What lies just inside each of those rules builds, and the setup unpacks it exactly: member paths
// and link targets with the bytes given, links that lead elsewhere through others but stay inside.
TEST_F(PayloadBuilderTest, TheCommandBuildsWhatLiesJustInsideAndTheSetupUnpacksItExactly) {
  const QString d = folder("inside");
  writeFile(d + "app.msi", "the package");
  const QByteArray package = "pkg/app.msi=the package";
  QByteArrayList chain = {package};
  for (int n = 1; n <= 40; ++n)
    chain << "pkg/l" + QByteArray::number(n) + "->" + (n == 40 ? "app.msi" : "l" + QByteArray::number(n + 1));
  struct Case {
    QByteArrayList arguments;
    QByteArrayList expected;      // below the extraction folder
    QByteArrayList throughLinks;  // links that read as the package
  };
  const std::vector<Case> cases = {
      {compressedArguments() + memberArgument("app.msi"), {package}, {}},
      {QByteArrayList{"--file", "0:7:KVTdecompress.so=" KVT_DECOMPRESSOR, "--block", "2:pkg\\app.lzma"} +
           memberArgument("app.msi"),
       {package},
       {}},
      {compressedArguments() + memberArgument("app.msi") + linkArgument("d/s", "..") +
           linkArgument("e", "d/s/app.msi"),
       {package, "pkg/d/s->..", "pkg/e->d/s/app.msi"},
       {"pkg/e"}},
      {compressedArguments() + linkArgument("e", "d/s/app.msi") + linkArgument("d/s", "..") +
           memberArgument("app.msi"),
       {package, "pkg/d/s->..", "pkg/e->d/s/app.msi"},
       {"pkg/e"}},
      {compressedArguments() + memberArgument("app.msi") + linkChain(1, 40), chain, {"pkg/l1"}},
      {compressedArguments() + memberArgument("caf\xe9") + memberArgument("caf\xe8") +
           linkArgument("l", "caf\xe9") + linkArgument("m", "x\xff"),
       {"pkg/caf\xe8=the package", "pkg/caf\xe9=the package", "pkg/l->caf\xe9", "pkg/m->x\xff"},
       {"pkg/l"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').left(200).toStdString());
    const BuilderRun run = runBuilderOnBytes(
        QByteArrayList{"--stub", QFile::encodeName(m_stub), "--out", "setup"} + c.arguments, d);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    CPayloadArchive archive;
    const QString x = folder("unpacked" + QString::number(n++));
    ASSERT_EQ(openInto(archive, d + "setup", x), PayloadError::Ok);
    EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
    archive.setKeepState(KeepState::Everything);
    archive.CleanupArchive();
    QByteArrayList expected = c.expected;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(extracted(x), expected);
    for (const QByteArray& path : c.throughLinks)
      EXPECT_EQ(bytesAt(QFile::encodeName(x) + path), "the package") << path.toStdString();
  }
}

TEST_F(PayloadBuilderTest, TheCommandRefusesAMemberWithStatus1AndCreatesNoOutput) {
  const QString d = folder("member-command");
  writeFile(d + "a.txt", "a");
  const QStringList block =
      QStringList{"--stub", m_stub, "--out", "setup", "--compressed", "--file"} +
      QStringList{"2:7:KVTdecompress.so=" + decompressorPath(), "--block", "2:pkg\\app.lzma"};
  struct Case {
    QStringList arguments;
    QString expected;
  };
  const std::vector<Case> cases = {
      {{"--member", "../evil.txt=a.txt"},
       "the member \"../evil.txt\" holds a \"..\" part, which the setup refuses"},
      {{"--member-link", "out=../../x"},
       "the member \"out\" links to \"../../x\", a target that leaves the block's folder, which the setup "
       "refuses"},
      {{"--member", "app.msi=a.txt", "--file", "1:4:pkg\\app.msi=a.txt"},
       "the name \"pkg\\app.msi\" and the member \"app.msi\" are extracted as the same file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.toStdString());
    const auto before = snapshot(d);
    const BuilderRun run = runBuilder(KVT_PAYLOAD_BUILDER, block + c.arguments, d);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "KVTpayload: " + c.expected + "\n");
    EXPECT_FALSE(QFileInfo::exists(d + "setup"));
    EXPECT_EQ(snapshot(d), before);
  }
}

// The example that --help gives, run as written: the setup it makes carries
// both files and hands the package to the installer.
TEST_F(PayloadBuilderTest, TheHelpsExampleMakesAWorkingSetup) {
  const QString text = helpText();
  QString example = text.section("\n  KVTpayload ", 1);
  example.replace(QRegularExpression("\\\\\\n\\s*"), QString());
  QStringList arguments = example.section('\n', 0, 0).split(' ', Qt::SkipEmptyParts);
  ASSERT_TRUE(arguments.startsWith("--out")) << text.toStdString();

  BootstrapperRun s;
  s.addMsiDll(3, 1, 4000, 0);
  BootstrapperRun::writeFile(s.work + "/app.msi", "the package");
  BootstrapperRun::writeFile(s.work + "/setup.ini", "[GeneralOptions]\r\nMainAppCmdLine=/qb\r\n");
  ASSERT_EQ(runBuilder(KVT_PAYLOAD_BUILDER, arguments, s.work).exitCode, 0);
  const QString setup = s.work + "/" + arguments[1];
  ASSERT_TRUE(s.run(setup, {"/extract:" + s.work + "/carried"}));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_EQ(tree(s.work + "/carried"), QStringList({"app.msi", "setup.ini"}));
  ASSERT_TRUE(s.run(setup, {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_TRUE(s.installerArguments().startsWith("/i\n" + s.temp)) << s.installerArguments().toStdString();
  EXPECT_TRUE(s.installerArguments().contains("app.msi\n/qb\n")) << s.installerArguments().toStdString();
}

}  // namespace
