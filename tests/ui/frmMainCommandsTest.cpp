#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

#include "DocListView.h"
#include "DocumentLauncher.h"
#include "DragFormats.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "frmMain.h"
#include "frmMainCommands.h"
#include "modLumasetCommon.h"

namespace {

struct ShownBox {
  QString text;
  int style = 0;
  QString title;
};

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
    folder = TestEnv::freshDir(QStringLiteral("docs"));
    gSettings = std::make_unique<clsSettings>();
    gJob = std::make_unique<clsJob>();
    setMsgBoxAnswerer([this](const QString& text, int style, const QString& title) {
      boxes.append({text, style, title});
      return MsgBoxResult::Ok;
    });
    QGuiApplication::clipboard()->clear();
  }

  void TearDown() override {
    delete window;
    setMsgBoxAnswerer(nullptr);
    setFileDialogAnswerer(nullptr);
    DocumentLauncher::setLauncher({});
    gJob.reset();
    gSettings.reset();
  }

  QString touch(const QString& name) {
    const QString path = folder + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return path;
  }

  // A window over a job of `count` documents named d1.plt, d2.plt, ...
  void openWindow(int count) {
    for (int i = 1; i <= count; ++i) gJob->addDoc(-1, touch(QStringLiteral("d%1.plt").arg(i)));
    window = new frmMain;
    commands = new frmMainCommands(window);
  }

  // Selects the list rows at these positions (0 is the Default row) and nothing else.
  void select(std::initializer_list<int> rows) {
    window->lvDocs->clearSelection();
    for (const int row : rows) window->lvDocs->topLevelItem(row)->setSelected(true);
  }

  // The file names of the job's documents in order.
  QStringList order() const {
    QStringList names;
    for (const auto& entry : gJob->docs()) names.append(QFileInfo(entry.second->fileName).fileName());
    return names;
  }

  clsPJLOptionSet& docOpts(int position) const { return *gJob->docs().at(position)->opts; }

  frmMain* window = nullptr;
  frmMainCommands* commands = nullptr;
  QString folder;
  QList<ShownBox> boxes;
};

}  // namespace

TEST_F(Commands, PasteGoesBeforeTheRowAfterTheLastSelectedOrAtTheEnd) {
  openWindow(5);
  select({0, 2, 4});
  EXPECT_EQ(commands->insertPosition(), gJob->docs().at(4)->id);
  commands->mnuEditCopy_Click();
  select({0, 2, 4});
  commands->mnuEditPaste_Click();
  EXPECT_EQ(order(), (QStringList{"d1.plt", "d2.plt", "d3.plt", "d4.plt", "d2.plt", "d4.plt", "d5.plt"}));

  select({7});
  EXPECT_EQ(commands->insertPosition(), -1);
  select({0});
  EXPECT_EQ(commands->insertPosition(), gJob->docs().at(0)->id);
  select({});
  EXPECT_EQ(commands->insertPosition(), -1);
}

TEST_F(Commands, CopyWithOnlyTheDefaultRowCopiesNothingAndCutDeletesNothing) {
  openWindow(2);
  QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
  select({0});
  commands->mnuEditCopy_Click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
  commands->mnuEditCut_Click();
  EXPECT_EQ(gJob->documentCount(), 2);
}

TEST_F(Commands, CutCopiesThenDeletesAndPasteBringsTheDocumentsBackWithTheirOptions) {
  openWindow(3);
  docOpts(1).setPjlOpt("MEDIANAME", "Film");
  select({2});
  commands->mnuEditCut_Click();
  EXPECT_EQ(order(), (QStringList{"d1.plt", "d3.plt"}));
  select({2});
  commands->mnuEditPaste_Click();
  select({3});
  commands->mnuEditPaste_Click();
  ASSERT_EQ(order(), (QStringList{"d1.plt", "d3.plt", "d2.plt", "d2.plt"}));
  docOpts(2).setPjlOpt("MEDIANAME", "Bond");
  EXPECT_EQ(docOpts(3).pjlOpt("MEDIANAME").toString(), "\"Film\"");
}

TEST_F(Commands, CopiedDefaultsPastedOntoThreeDocumentsAreIndependentCopies) {
  openWindow(3);
  gJob->docDefaults->setPjlOpt("PAPER", "A3");
  select({0});
  commands->mnuEditCopyoptions_Click();
  gJob->docDefaults->setPjlOpt("PAPER", "A1");
  select({1, 2, 3});
  commands->mnuEditPasteoptions_Click();

  for (int i = 0; i < 3; ++i) EXPECT_EQ(docOpts(i).pjlOpt("PAPER").toString(), "A3") << i;
  docOpts(0).setPjlOpt("PAPER", "A0");
  EXPECT_EQ(docOpts(1).pjlOpt("PAPER").toString(), "A3");
  EXPECT_EQ(docOpts(2).pjlOpt("PAPER").toString(), "A3");
  EXPECT_EQ(gJob->docDefaults->pjlOpt("PAPER").toString(), "A1");
}

TEST_F(Commands, PasteOptionsReplacesTheWholeSetAndNeedsOptionsOfItsOwn) {
  openWindow(2);
  docOpts(1).setPjlOpt("OUTPUTBIN", "TOP");
  auto* marker = new QMimeData;
  marker->setData(DragFormats::Options, QByteArray());
  QGuiApplication::clipboard()->setMimeData(marker);
  select({2});
  commands->mnuEditPasteoptions_Click();
  EXPECT_EQ(docOpts(1).pjlOpt("OUTPUTBIN").toString(), "TOP");

  select({1});
  commands->mnuEditCopyoptions_Click();
  select({2});
  commands->mnuEditPasteoptions_Click();
  EXPECT_FALSE(docOpts(1).pjlOpt("OUTPUTBIN").isValid());
}

TEST_F(Commands, ShellFilesArePastedUntilAnInternalCopyTakesTheirPlace) {
  openWindow(1);
  gJob->docDefaults->setPjlOpt("PAPER", "A2");
  auto* files = new QMimeData;
  files->setUrls({QUrl::fromLocalFile(touch("s1.plt")), QUrl::fromLocalFile(touch("s2.plt"))});
  QGuiApplication::clipboard()->setMimeData(files);
  select({1});
  commands->mnuEditPaste_Click();
  ASSERT_EQ(order(), (QStringList{"d1.plt", "s1.plt", "s2.plt"}));
  EXPECT_EQ(docOpts(2).pjlOpt("PAPER").toString(), "A2");

  select({1});
  commands->mnuEditCopy_Click();
  EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasUrls());
  select({3});
  commands->mnuEditPaste_Click();
  EXPECT_EQ(order(), (QStringList{"d1.plt", "s1.plt", "s2.plt", "d1.plt"}));
}

TEST_F(Commands, InsertAddsTheChosenFilesInTheirOrderAtOnePosition) {
  openWindow(3);
  const QStringList chosen{touch("c.plt"), touch("a.plt"), touch("b.plt")};
  QList<FileDialogRequest> requests;
  setFileDialogAnswerer([&](const FileDialogRequest& request) {
    requests.append(request);
    return chosen;
  });
  select({1});
  commands->mnuEditInsert_Click();
  EXPECT_EQ(order(), (QStringList{"d1.plt", "c.plt", "a.plt", "b.plt", "d2.plt", "d3.plt"}));
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests.at(0).kind, FileDialogRequest::OpenFiles);
  EXPECT_EQ(requests.at(0).title, "Insert Documents");
  EXPECT_EQ(requests.at(0).filter,
            "Document Files|*.plt;*.tif;*.ps;*.pdf;*.jpg;*.tiff;*.jpeg;*.prn|All Files|*.*");

  setFileDialogAnswerer([](const FileDialogRequest&) { return QStringList(); });
  commands->mnuEditInsert_Click();
  EXPECT_EQ(gJob->documentCount(), 6);
}

TEST_F(Commands, ViewOpensPdfThroughTheShellAndAnythingElseThroughTheViewer) {
  gJob->addDoc(-1, touch("plan.PDF"));
  openWindow(1);
  gSettings->viewer.path = "\"/opt/view/viewer\" -F";
  QStringList shell;
  QStringList commandLines;
  DocumentLauncher::setLauncher({[&](const QString& file) { shell.append(file); },
                                 [&](const QString& line) { commandLines.append(line); }});
  select({0, 1});
  commands->mnuEditView_Click();
  EXPECT_EQ(shell, QStringList{folder + "/plan.PDF"});
  select({2});
  commands->mnuEditView_Click();
  EXPECT_EQ(commandLines, QStringList{"\"/opt/view/viewer\" -F \"" + folder + "/d1.plt\""});
  select({0});
  commands->mnuEditView_Click();
  EXPECT_EQ(shell.size() + commandLines.size(), 2);
  // With no viewer set up, nothing is started: never the document itself.
  gSettings->viewer.path = " ";
  select({2});
  commands->mnuEditView_Click();
  EXPECT_EQ(commandLines.size(), 1);
}

TEST_F(Commands, SaveWithoutATicketPathAsksLikeSaveAs) {
  openWindow(1);
  gJob->jobName = "Plans";
  QList<FileDialogRequest> requests;
  const QString target = folder + "/saved.kvt";
  setFileDialogAnswerer([&](const FileDialogRequest& request) {
    requests.append(request);
    return QStringList{target};
  });
  commands->mnuFileSave_Click();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests.at(0).kind, FileDialogRequest::SaveFile);
  EXPECT_EQ(requests.at(0).fileName, "Plans.kvt");
  EXPECT_EQ(requests.at(0).filter, "Job Ticket Files|*.kvt|All Files|*.*");
  EXPECT_EQ(gJob->kvtFile, target);
  EXPECT_TRUE(QFile::exists(target));
  EXPECT_TRUE(window->windowTitle().endsWith(" - saved"));

  commands->mnuFileSave_Click();
  EXPECT_EQ(requests.size(), 1);
  EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(Commands, OpenOfATicketThatCannotBeReadShowsTheFailureAndKeepsTheNewJob) {
  openWindow(2);
  const QString broken = TestEnv::freshDir("broken.kvt");
  setFileDialogAnswerer([&](const FileDialogRequest&) { return QStringList{broken}; });
  commands->mnuFileOpen_Click();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_EQ(boxes.at(0).text, "Could not load job ticket.");
  EXPECT_EQ(boxes.at(0).title, "Open Failed");
  EXPECT_EQ(boxes.at(0).style, MsgBoxStyle::Critical);
  EXPECT_EQ(gJob->documentCount(), 0);
  EXPECT_EQ(gJob->kvtFile, broken);
}

TEST_F(Commands, PrintWithoutAConfiguredPrinterShowsPrintingFailed) {
  openWindow(1);
  commands->mnuFilePrint_Click();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_EQ(boxes.at(0).text, "The print job could not be completed.");
  EXPECT_EQ(boxes.at(0).title, "Printing Failed");
}

TEST_F(Commands, EditItemsFollowTheSelectionWhenTheMenuOpens) {
  openWindow(3);
  const auto states = [this] {
    commands->mnuEdit_Click();
    QString out;
    for (QAction* item :
         {window->mnuEditCut, window->mnuEditCopy, window->mnuEditCopyoptions, window->mnuEditPaste,
          window->mnuEditPasteoptions, window->mnuEditView, window->mnuEditInsert, window->mnuEditDelete})
      out += item->isEnabled() ? '1' : '0';
    return out;
  };
  select({0});
  EXPECT_EQ(states(), "00100011");
  select({1});
  EXPECT_EQ(states(), "11100111");
  select({0, 1, 2});
  EXPECT_EQ(states(), "11000011");
  commands->mnuEditCopy_Click();
  EXPECT_EQ(states(), "11010011");
  select({2});
  commands->mnuEditCopyoptions_Click();
  EXPECT_EQ(states(), "11101111");
  auto* files = new QMimeData;
  files->setUrls({QUrl::fromLocalFile(touch("x.plt"))});
  QGuiApplication::clipboard()->setMimeData(files);
  EXPECT_EQ(states(), "11110111");
}

TEST_F(Commands, ToolbarButtonsActEvenWhenTheMenuItemIsDisabled) {
  openWindow(2);
  select({0});
  commands->mnuEdit_Click();
  ASSERT_FALSE(window->mnuEditCopy->isEnabled());
  select({1});
  QAction* copy = window->findChild<QAction*>("tbMainCopy");
  ASSERT_NE(copy, nullptr);
  copy->trigger();
  EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(DragFormats::Documents));
  QAction* del = window->findChild<QAction*>("tbMainDelete");
  ASSERT_NE(del, nullptr);
  del->trigger();
  EXPECT_EQ(order(), QStringList{"d2.plt"});
}

TEST_F(Commands, AToolbarButtonRunsItsCommandOnce) {
  openWindow(2);
  select({1});
  commands->mnuEditCopy_Click();
  select({2});
  window->findChild<QAction*>("tbMainPaste")->trigger();
  EXPECT_EQ(order(), (QStringList{"d1.plt", "d2.plt", "d1.plt"}));
}

TEST_F(Commands, ADoubleClickViewsTheDocumentWhateverTheMenuLastEnabled) {
  openWindow(2);
  gSettings->viewer.path = "\"/opt/view/viewer\"";
  QStringList viewed;
  DocumentLauncher::setLauncher(
      {[&](const QString& file) { viewed.append(file); }, [&](const QString& line) { viewed.append(line); }});
  select({1, 2});
  commands->mnuEdit_Click();
  ASSERT_FALSE(window->mnuEditView->isEnabled());
  select({2});
  emit window->lvDocs->itemDoubleClicked(window->lvDocs->topLevelItem(2), 0);
  EXPECT_EQ(viewed.size(), 1);
}
