#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "PJLTestSupport.h"
#include "TestEnv.h"
#include "UserInfo.h"
#include "clsJob.h"
#include "clsSettings.h"

namespace {

QList<qint32> order(const clsJob& job) {
  QList<qint32> ids;
  for (const auto& entry : job.docs()) ids.append(entry.second->id);
  return ids;
}

void touch(const QString& path) { TestEnv::writeFile(path, {}); }

// An empty file of that name in a folder of its own; only an existing file can be added.
QString document(const QString& name) {
  const QString path = TestEnv::freshDir(QStringLiteral("docs")) + QLatin1Char('/') + name;
  touch(path);
  return path;
}

class JobWithFour : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 4; ++i) job.addDoc(-1, paths.emplace_back(document(QStringLiteral("%1.plt").arg(i))));
  }
  clsJob job;
  QStringList paths;
};

}  // namespace

TEST(Job, NewJobIsOwnedByTheLoggedOnUserAndHasNoPrinterWithoutSettings) {
  clsJob job;
  EXPECT_EQ(job.jobOpts->pjlOpt(QStringLiteral("OWNER")).toString(), "\"" + loggedOnUserName() + "\"");
  EXPECT_EQ(job.jobOpts->optionNames(), QStringList{"OWNER"});
  EXPECT_TRUE(job.printerName.isEmpty());
  EXPECT_EQ(job.docDefaults->count(), 0);
  EXPECT_EQ(job.documentCount(), 0);
}

TEST(Job, TakesTheFirstConfiguredPrinter) {
  gSettings = std::make_unique<clsSettings>();
  clsJob job;
  EXPECT_TRUE(job.printerName.isEmpty());
  gSettings.reset();
}

TEST(Job, IdsAreNeverReused) {
  clsJob job;
  EXPECT_EQ(job.addDoc(-1, document("a.plt"))->id, 0);
  job.deleteDoc(0);
  clsDocument* next = job.addDoc(-1, document("b.plt"));
  EXPECT_EQ(next->id, 1);
  EXPECT_EQ(job.documentCount(), 1);
  EXPECT_EQ(job.document(0), nullptr);
  EXPECT_EQ(job.document(1), next);
  job.deleteDoc(42);
  EXPECT_EQ(job.documentCount(), 1);
}

TEST_F(JobWithFour, MoveBeforeATargetKeepsTheListedOrder) {
  job.moveDocs({2, 0}, 1);
  EXPECT_EQ(order(job), (QList<qint32>{2, 0, 1, 3}));
  EXPECT_EQ(job.document(2)->fileName, paths.at(2));
}

TEST_F(JobWithFour, MoveToTheEnd) {
  job.moveDocs({2, 0}, -1);
  EXPECT_EQ(order(job), (QList<qint32>{1, 3, 2, 0}));
}

TEST_F(JobWithFour, MoveBeforeAnUnknownTargetLosesNothing) {
  job.moveDocs({1, 2}, 99);
  EXPECT_EQ(order(job), (QList<qint32>{0, 3, 1, 2}));
}

TEST_F(JobWithFour, MoveOfTheTargetItselfAndOfUnknownIds) {
  job.moveDocs({3, 1, 77}, 1);
  EXPECT_EQ(order(job), (QList<qint32>{0, 3, 1, 2}));
}

TEST_F(JobWithFour, AddBeforeADocument) {
  job.addDoc(2, document("new.plt"));
  EXPECT_EQ(order(job), (QList<qint32>{0, 1, 4, 2, 3}));
  job.addDoc(99, document("late.plt"));
  EXPECT_EQ(order(job).last(), 5);
}

TEST(Job, DocumentsCopyTheDefaultsAtAddTime) {
  clsJob job;
  job.docDefaults->setPjlOpt(QStringLiteral("PAPER"), QStringLiteral("ISO_A1"));
  clsDocument* doc = job.addDoc(-1, document("a.plt"));
  job.docDefaults->setPjlOpt(QStringLiteral("PAPER"), QStringLiteral("ISO_A0"));
  EXPECT_EQ(doc->opts->pjlOpt(QStringLiteral("PAPER")).toString(), "ISO_A1");
  clsPJLOptionSet own;
  own.setPjlOpt(QStringLiteral("DOCCOPIES"), QStringLiteral("3"));
  clsDocument* withOwn = job.addDoc(-1, document("b.plt"), &own);
  EXPECT_EQ(withOwn->opts->pjlOpt(QStringLiteral("DOCCOPIES")).toString(), "3");
  EXPECT_FALSE(withOwn->opts->pjlOpt(QStringLiteral("PAPER")).isValid());
}

TEST(Job, FolderAddsItsFilesByNameThenItsSubfoldersDepthFirst) {
  const QString root = TestEnv::freshDir("F");
  QDir(root).mkpath("s");
  touch(root + "/b.plt");
  touch(root + "/A.pdf");
  touch(root + "/s/c.hpgl");
  QFile::link(root, root + "/s/loop");
  clsJob job;
  clsDocument* last = job.addDoc(-1, root);
  QStringList files;
  for (const auto& entry : job.docs()) files.append(entry.second->fileName);
  EXPECT_EQ(files, (QStringList{root + "/A.pdf", root + "/b.plt", root + "/s/c.hpgl"}));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->fileName, root + "/s/c.hpgl");
}

TEST(Job, EmptyFolderAddsNothing) {
  clsJob job;
  EXPECT_EQ(job.addDoc(-1, TestEnv::freshDir("empty")), nullptr);
  EXPECT_EQ(job.documentCount(), 0);
  EXPECT_EQ(job.refusedDocuments(), 0);
}

// Opening a FIFO would block the program until a writer came, a device would never
// end: only a regular file becomes a document, anything else gets its message.
TEST(Job, NamesThatAreNoRegularFileAreRefusedWithTheirMessage) {
  const QString fifo = TestEnv::freshDir(QStringLiteral("odd")) + "/plot.fifo";
  TestEnv::makeFifo(fifo);
  for (const QString& name :
       {fifo, QStringLiteral("/dev/zero"), QStringLiteral("/no/such/file.plt"), QString()}) {
    PJLTest::MessageLog messages;
    clsJob job;
    EXPECT_EQ(job.addDoc(-1, name), nullptr) << name.toStdString();
    EXPECT_EQ(job.documentCount(), 0);
    EXPECT_EQ(job.refusedDocuments(), 1);
    EXPECT_EQ(messages.shown, QStringList{"Could Not Read File|" + name});
  }
}

TEST(Job, AFolderAddsItsFilesAndRefusesWhatIsNoFile) {
  const QString root = TestEnv::freshDir(QStringLiteral("mixed"));
  touch(root + "/a.plt");
  TestEnv::makeFifo(root + "/b.fifo");
  PJLTest::MessageLog messages;
  clsJob job;
  clsDocument* last = job.addDoc(-1, root);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->fileName, root + "/a.plt");
  EXPECT_EQ(job.documentCount(), 1);
  EXPECT_EQ(job.refusedDocuments(), 1);
  EXPECT_EQ(messages.shown, QStringList{"Could Not Read File|" + root + "/b.fifo"});
}
