#include "frmMainTest.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "MlStringModule.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "modLumasetCommon.h"
#include "modPJLOpts.h"

namespace {

QList<ReplyFragment> reply(const QByteArray& a4, const QByteArray& a3, const QByteArray& program) {
  QList<ReplyFragment> fragments = PrinterEmulator::fixture(QStringLiteral("status/full.txt"));
  fragments.first().bytes.replace("\tA4\r\n", "\t" + a4 + "\r\n").replace("\tA3\r\n", "\t" + a3 + "\r\n");
  fragments.first().bytes.replace("Fold A4\t", program + "\t");
  return fragments;
}

}  // namespace

void MainWindowTest::SetUp() {
  gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
  InitLocalisation();
  SetLanguage(kLanguageEnglish, QString());
  modPJLOpts::Initialise(true);
  plotter.setReplies(reply("ISO_A4", "ANSI_E", "Fold A4"));
  folder.setReplies(reply("ISO_A4", "ISO_A3", "Fold A3"));
  gSettings = std::make_unique<clsSettings>();
  ASSERT_TRUE(gSettings->printers.add("Plotter", QStringLiteral("127.0.0.1:%1").arg(plotter.port())));
  ASSERT_TRUE(gSettings->printers.add("Folder", QStringLiteral("127.0.0.1:%1").arg(folder.port())));
  ASSERT_NE(gSettings->printers.printer("Folder"), nullptr);
  gJob = std::make_unique<clsJob>();
}

void MainWindowTest::TearDown() {
  window.reset();
  gJob.reset();
  gSettings.reset();
}

clsDocument* MainWindowTest::addDocument(const QString& name, const QString& paper) {
  const QString path = QDir(TestEnv::freshDir(QStringLiteral("docs"))).filePath(name);
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  clsDocument* added = gJob->addDoc(-1, path);
  if (!paper.isEmpty()) added->opts->setPjlOpt(QStringLiteral("PAPER"), paper);
  return added;
}

frmMain& MainWindowTest::open() {
  window = std::make_unique<frmMain>();
  window->show();
  window->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
  return *window;
}

QStringList MainWindowTest::column(int column) const {
  QStringList texts;
  for (int i = 0; i < window->lvDocs->topLevelItemCount(); ++i) texts.append(row(i)->text(column));
  return texts;
}

void MainWindowTest::select(std::initializer_list<int> rows) {
  window->lvDocs->clearSelection();
  for (const int index : rows) row(index)->setSelected(true);
  window->lvDocs_Click();
}

void MainWindowTest::typeInto(QWidget* control, const QString& text) {
  control->setFocus();
  QLineEdit* line = qobject_cast<QLineEdit*>(control);
  if (auto* box = qobject_cast<QComboBox*>(control)) line = box->lineEdit();
  line->selectAll();
  QTest::keyClicks(line, text);
}

void MainWindowTest::leave() {
  window->lvDocs->setFocus();
  QApplication::processEvents();
}

QStringList MainWindowTest::entries(QComboBox* box) const {
  QStringList texts;
  for (int i = 0; i < box->count(); ++i) texts.append(box->itemText(i));
  return texts;
}

QString MainWindowTest::docOption(int index, const QString& name) const {
  const QString key = frmMain::rowKey(row(index));
  clsPJLOptionSet* opts = window->rowOptions(row(index));
  return key.isEmpty() || !opts ? QString() : opts->pjlOpt(name).toString();
}

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "clsJob.h"

TEST_F(MainWindowTest, BuildsTheDefaultsRowAndOneRowPerDocument) {
  addDocument("first.plt", "ISO_A4");
  addDocument("second.plt", "ANSI_E");
  open();
  EXPECT_EQ(column(0), (QStringList{"<Default> ", "first.plt", "second.plt"}));
  EXPECT_EQ(column(2), (QStringList{"ANY", "ISO_A4", "ANSI_E"}));
  EXPECT_EQ(gJob->jobName, "first.plt");
  EXPECT_EQ(window->txtJobName->text(), "first.plt");
}
