#include "frmMainTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "MLRuntime.h"
#include "MlStringModule.h"
#include "ProgramIcons.h"
#include "RegObj.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "frmAbout.h"
#include "modLumasetCommon.h"
#include "modPJLOpts.h"

namespace {

QList<ReplyFragment> reply(const QByteArray& a4, const QByteArray& a3, const QByteArray& program) {
  QList<ReplyFragment> fragments = PrinterEmulator::fixture(QStringLiteral("status/full.txt"));
  fragments.first().bytes.replace("\tA4\r\n", "\t" + a4 + "\r\n").replace("\tA3\r\n", "\t" + a3 + "\r\n");
  fragments.first().bytes.replace("Fold A4\t", program + "\t");
  return fragments;
}

// The widest cell of the column, as the list itself measures it.
int widestCell(const DocListView& list, int column) {
  return static_cast<const QAbstractItemView&>(list).sizeHintForColumn(column);
}

// Every header shows whole, and every value of the columns after the first.
void expectWholeColumns(const DocListView& list) {
  const QHeaderView* header = list.header();
  const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  for (int column = 0; column < header->count(); ++column) {
    const QString text = list.headerItem()->text(column);
    SCOPED_TRACE(text.toStdString());
    EXPECT_LE(header->fontMetrics().horizontalAdvance(text), list.columnWidth(column) - margins);
    if (column > 0) {
      EXPECT_LE(widestCell(list, column), list.columnWidth(column));
    }
  }
}

// The controls of `container` that Tab reaches, as a reader meets them: line by
// line, a control whose middle lies within the height of a line's first control
// being on that line, and each line from left to right.
QList<QWidget*> readingOrder(const QWidget* container) {
  const QWidget* window = container->window();
  QList<QWidget*> controls;
  for (QWidget* child : container->findChildren<QWidget*>())
    if (child->isVisibleTo(window) && (child->focusPolicy() & Qt::TabFocus) && !child->focusProxy())
      controls.append(child);
  const auto place = [window](const QWidget* control) {
    return QRect(control->mapTo(window, QPoint()), control->size());
  };
  std::sort(controls.begin(), controls.end(),
            [&](const QWidget* a, const QWidget* b) { return place(a).top() < place(b).top(); });
  for (auto line = controls.begin(); line != controls.end();) {
    const QRect first = place(*line);
    const auto end = std::find_if(line, controls.end(),
                                  [&](const QWidget* c) { return place(c).center().y() > first.bottom(); });
    std::sort(line, end,
              [&](const QWidget* a, const QWidget* b) { return place(a).left() < place(b).left(); });
    line = end;
  }
  return controls;
}

std::string names(const QList<QWidget*>& controls) {
  QStringList named;
  for (const QWidget* control : controls) named << (control ? control->objectName() : QStringLiteral("none"));
  return named.join(' ').toStdString();
}

// The language the next window starts in.
void useLanguage(int language) {
  SetLanguage(language, QString());
  modPJLOpts::Initialise(true);
}

}  // namespace

void MainWindowTest::SetUp() {
  gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
  RegObj stored;
  stored.setRoot(HKEY_CURRENT_USER);
  stored.setKey(gRegRoot + "Window");
  stored.DeleteKey();
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

void MainWindowTest::choosePrinter(const QString& name) {
  const int index = window->cboPrinter->findText(name);
  ASSERT_GE(index, 0) << name.toStdString();
  window->cboPrinter->setCurrentIndex(index);
  emit window->cboPrinter->activated(index);
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

TEST_F(MainWindowTest, BuildsTheDefaultsRowAndOneRowPerDocument) {
  addDocument("first.plt", "ISO_A4");
  addDocument("second.plt", "ANSI_E");
  open();
  EXPECT_EQ(column(0), (QStringList{"<Default> ", "first.plt", "second.plt"}));
  EXPECT_EQ(column(2), (QStringList{"ANY", "ISO_A4", "ANSI_E"}));
  EXPECT_EQ(gJob->jobName, "first.plt");
  EXPECT_EQ(window->txtJobName->text(), "first.plt");
}

TEST_F(MainWindowTest, FinishingAndLabelColumnsShowYesOrNo) {
  addDocument("bypass.plt")->opts->setPjlOpt("FINISHPROGID", "bypass");
  addDocument("stack.plt")->opts->setPjlOpt("FINISHPROGID", "Stack");
  addDocument("labelled.plt")->opts->setPjlOpt("LABELSTRING", "Draft");
  addDocument("empty-label.plt")->opts->setPjlOpt("LABELSTRING", "");
  open();
  EXPECT_EQ(column(5), (QStringList{"No", "No", "Yes", "No", "No"}));
  EXPECT_EQ(column(6), (QStringList{"No", "No", "No", "Yes", "No"}));
}

TEST_F(MainWindowTest, ANamedJobKeepsItsName) {
  gJob->jobName = "Tower";
  addDocument("first.plt");
  open();
  EXPECT_EQ(window->txtJobName->text(), "Tower");
}

TEST_F(MainWindowTest, SelectionWithDifferentPaperShowsSizeMixedAndFinishingTicked) {
  addDocument("a.plt", "ISO_A4")->opts->setPjlOpt("FINISHPROGID", "Stack");
  addDocument("b.plt", "ANSI_E");
  open();
  select({1});
  EXPECT_EQ(window->cboSize->currentText(), "ISO_A4");
  EXPECT_NE(window->cboSize->palette().color(QPalette::Base), frmMain::mixedColour(window->palette()));
  select({1, 2});
  EXPECT_EQ(window->cboSize->currentText(), "ISO_A4");
  EXPECT_EQ(window->cboSize->palette().color(QPalette::Base), frmMain::mixedColour(window->palette()));
  EXPECT_TRUE(window->chkFinishing->isChecked());
  select({2});
  EXPECT_EQ(window->cboSize->currentText(), "ANSI_E");
  EXPECT_FALSE(window->chkFinishing->isChecked());
  EXPECT_FALSE(window->cboFinProg->isVisibleTo(window.get()));
}

TEST_F(MainWindowTest, FirstStartOpensAtTheMinimumSize) {
  open();
  EXPECT_EQ(window->size(), QSize(frmMain::MinWidthTwips / 15, frmMain::MinHeightTwips / 15));
  window->resize(100, 100);
  EXPECT_EQ(window->size(), QSize(frmMain::MinWidthTwips / 15, frmMain::MinHeightTwips / 15));
}

TEST_F(MainWindowTest, SizeAndColumnWidthsAreStoredAndRestored) {
  open();
  window->resize(800, 700);
  window->lvDocs->setColumnWidth(2, 120);
  window->close();
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + "Window");
  EXPECT_EQ(reg.value("width").toInt(), 800 * 15);
  EXPECT_EQ(reg.value("height").toInt(), 700 * 15);
  EXPECT_EQ(reg.value("col_3").toInt(), 120 * 15);
  open();
  EXPECT_EQ(window->size(), QSize(800, 700));
  EXPECT_EQ(window->lvDocs->columnWidth(2), 120);
}

// The window at its first-start size: names of about twenty characters keep their room.
TEST_F(MainWindowTest, TheDocumentListFitsTheDefaultSizeInEveryLanguage) {
  for (const char* name :
       {"drawing-floor-01.plt", "drawing-floor-02.plt", "drawing-floor-03.plt", "drawing-floor-04.plt"})
    addDocument(name);
  for (const int language : {9, 1036, 1031, 1034, 1040, 1043}) {
    SCOPED_TRACE(language);
    useLanguage(language);
    open();
    QApplication::processEvents();
    expectWholeColumns(*window->lvDocs);
    EXPECT_LE(widestCell(*window->lvDocs, 0), window->lvDocs->columnWidth(0));
    EXPECT_FALSE(window->lvDocs->horizontalScrollBar()->isVisible());
  }
}

// A stored width at the 100-twip limit or just past it never cuts a value.
TEST_F(MainWindowTest, AStoredNarrowColumnStillShowsItsValues) {
  addDocument("a.plt");
  useLanguage(1031);
  const int fitted = open().lvDocs->columnWidth(3);
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + "Window");
  for (const int stored : {100, 101}) {
    reg.setValue("col_4", stored);
    EXPECT_EQ(open().lvDocs->columnWidth(3), fitted) << stored;
  }
}

// Just past the limit a stored width is taken, yet the window opens with every
// header whole, before any language change or value could widen a column.
TEST_F(MainWindowTest, StoredWidthsJustPastTheLimitLeaveEveryHeaderWholeAtOpening) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + "Window");
  for (int column = 2; column <= 7; ++column) reg.setValue("col_" + QString::number(column), 101);
  for (const int language : {9, 1031}) {
    SCOPED_TRACE(language);
    useLanguage(language);
    expectWholeColumns(*open().lvDocs);
  }
}

TEST_F(MainWindowTest, ColumnsWidenToTheirTranslatedHeadersAndValues) {
  addDocument("a.plt");
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + "Window");
  reg.setValue("col_2", 60 * 15);
  reg.setValue("col_6", 300 * 15);
  open();
  for (const int language : {1036, 1031, 1034, 1040, 1043, 9}) {
    SCOPED_TRACE(language);
    MLRuntime::RuntimeSupport().SetLanguage(language, QString());
    expectWholeColumns(*window->lvDocs);
    // A stored width wider than the header and the values stays.
    EXPECT_EQ(window->lvDocs->columnWidth(5), 300);
  }
  EXPECT_GE(window->lvDocs->columnWidth(1), 60);
}

TEST_F(MainWindowTest, AValueChosenLaterWidensItsColumn) {
  addDocument("a.plt");
  open();
  select({1});
  const int wide = window->cboSize->findText("ANSI_E");
  ASSERT_GE(wide, 0);
  window->cboSize->setCurrentIndex(wide);
  emit window->cboSize->activated(wide);
  EXPECT_EQ(row(1)->text(2), "ANSI_E");
  expectWholeColumns(*window->lvDocs);
}

TEST_F(MainWindowTest, AMaximisedWindowStoresOnlyItsColumns) {
  open();
  window->showMaximized();
  QApplication::processEvents();
  ASSERT_TRUE(window->isMaximized()) << window->windowState();
  window->lvDocs->setColumnWidth(1, 90);
  window->close();
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot + "Window");
  EXPECT_FALSE(reg.value("width").isValid());
  EXPECT_FALSE(reg.value("height").isValid());
  EXPECT_EQ(reg.value("col_2").toInt(), 90 * 15);
  EXPECT_TRUE(reg.value("col_7").isValid());
}

TEST_F(MainWindowTest, ALanguageChangeRecaptionsAndReloadsTheDefinitions) {
  addDocument("a.plt");
  open();
  EXPECT_EQ(entries(window->cboCollate), (QStringList{"On", "Off"}));
  MLRuntime::RuntimeSupport().SetLanguage(1036, "French");
  EXPECT_EQ(control<QLabel>("lblDocs")->text(), GetResString(49));
  EXPECT_EQ(control<QLabel>("lblDocs")->text(), QString::fromUtf8("Documents :"));
  EXPECT_EQ(window->mnuFile->title(), GetResString(50));
  EXPECT_EQ(window->lvDocs->headerItem()->text(0), GetResString(44));
  EXPECT_EQ(entries(window->cboCollate),
            (QStringList{QString::fromUtf8("Activé"), QString::fromUtf8("Désactivé")}));
  EXPECT_EQ(window->cboCollate->currentText(), QString::fromUtf8("Désactivé"));
  EXPECT_EQ(column(6), (QStringList{GetResString(142), GetResString(142)}));
  EXPECT_EQ(column(3), (QStringList{"Automatique", "Automatique"}));
}

// The ticket names the first printer; choosing the second keeps every value
// the second offers and replaces only those it does not.
TEST_F(MainWindowTest, APrinterChangeAfterATicketLoadReplacesOnlyValuesNotOffered) {
  clsDocument* kept = addDocument("kept.plt", "ISO_A4");
  kept->opts->setPjlOpt("FINISHPROGID", "Stack");
  kept->opts->setPjlOpt("MEDIASOURCE", "ROLL2");
  clsDocument* replaced = addDocument("replaced.plt", "ANSI_E");
  replaced->opts->setPjlOpt("FINISHPROGID", "Fold A4");
  gJob->printerName = "Plotter";
  gJob->kvtFile = QDir(TestEnv::sandbox()).filePath("job.kvt");
  ASSERT_TRUE(gJob->saveToKVT());
  gJob = std::make_unique<clsJob>();
  gJob->kvtFile = QDir(TestEnv::sandbox()).filePath("job.kvt");
  open();
  ASSERT_EQ(gJob->documentCount(), 2);
  EXPECT_EQ(window->windowTitle(), "Vondir Submit - job");
  EXPECT_EQ(docOption(2, "PAPER"), "ANSI_E");

  choosePrinter("Folder");
  EXPECT_EQ(gJob->printerName, "Folder");
  select({1});
  EXPECT_EQ(entries(window->cboSize), (QStringList{"ISO_A4", "ISO_A3"}));
  EXPECT_EQ(entries(window->cboFinProg), (QStringList{"Fold A3", "Stack"}));
  EXPECT_EQ(docOption(1, "PAPER"), "ISO_A4");
  EXPECT_EQ(docOption(1, "FINISHPROGID"), "\"Stack\"");
  EXPECT_EQ(docOption(1, "MEDIASOURCE"), "ROLL2");
  EXPECT_TRUE(entries(window->cboSize).contains(docOption(2, "PAPER")));
  EXPECT_NE(docOption(2, "FINISHPROGID"), "\"Fold A4\"");
  EXPECT_EQ(row(2)->text(2), docOption(2, "PAPER"));
}

// The definitions' own defaults (any paper, any media, no finishing, the
// controller's source, the standard font) suit every printer, listed or not.
TEST_F(MainWindowTest, APrinterChangeKeepsTheDefaultsOfTheDefinitions) {
  addDocument("plain.plt");
  open();
  const QStringList tags{"PAPER", "MEDIANAME", "FINISHPROGID", "MEDIASOURCE", "LABELFONTOBJ"};
  const auto values = [&] {
    QStringList shown;
    for (const int index : {0, 1})
      for (const QString& tag : tags) shown << tag + "=" + docOption(index, tag);
    return shown;
  };
  const QStringList before = values();
  choosePrinter("Folder");
  EXPECT_EQ(values(), before);
  EXPECT_EQ(column(5), (QStringList{"No", "No"}));
}

// Each list-only combo shows what the selected rows hold; a value its list
// lacks is shown as an entry of its own at the top, never as another entry.
TEST_F(MainWindowTest, ListOnlyCombosShowTheStoredValueEvenWhenTheirListLacksIt) {
  addDocument("a4.plt", "ISO_A4");
  addDocument("e.plt", "ANSI_E");
  open();
  const auto shownMatchesStored = [&](int index) {
    for (QComboBox* box : {window->cboSize, window->cboMedia, window->cboSource, window->cboRotate,
                           window->cboFont, window->cboFinProg, window->cboTitle}) {
      const QString tag = box->property("Tag").toString();
      clsPJLOption stored;
      stored.name = tag;
      stored.setValue(docOption(index, tag));
      EXPECT_EQ(box->currentText(), stored.uiValue()) << box->objectName().toStdString() << " row " << index;
    }
  };
  select({0});
  EXPECT_EQ(window->cboSize->currentText(), "ANY");
  EXPECT_EQ(entries(window->cboSize), (QStringList{"ANY", "ISO_A4", "ANSI_E"}));
  shownMatchesStored(0);
  select({1});
  EXPECT_EQ(entries(window->cboSize), (QStringList{"ISO_A4", "ANSI_E"}));
  shownMatchesStored(1);

  choosePrinter("Folder");
  EXPECT_EQ(docOption(0, "PAPER"), "ANY");
  EXPECT_EQ(window->cboSize->currentText(), "ISO_A4");
  select({0});
  EXPECT_EQ(window->cboSize->currentText(), "ANY");
  EXPECT_EQ(window->cboFinProg->currentText(), "BYPASS");
  shownMatchesStored(0);
  EXPECT_EQ(row(0)->text(2), "ANY");
  // A document added now takes the defaults the combo shows.
  EXPECT_EQ(gJob->docDefaults->pjlOpt("PAPER").toString(), "ANY");
  // A mixed selection keeps what the combo showed, grey.
  select({0, 1});
  EXPECT_EQ(window->cboSize->currentText(), "ANY");
  EXPECT_EQ(window->cboSize->palette().color(QPalette::Base), frmMain::mixedColour(window->palette()));
}

// At start the rows' values stay as stored, even those the printer does not list.
TEST_F(MainWindowTest, AtStartAValueThePrinterLacksIsShownAsStored) {
  gJob->printerName = "Folder";
  addDocument("e.plt", "ANSI_E");
  open();
  select({1});
  EXPECT_EQ(window->cboSize->currentText(), "ANSI_E");
  EXPECT_EQ(entries(window->cboSize), (QStringList{"ANSI_E", "ISO_A4", "ISO_A3"}));
  EXPECT_EQ(docOption(1, "PAPER"), "ANSI_E");
  EXPECT_EQ(row(1)->text(2), "ANSI_E");
  // Choosing an entry the list offers stores it and drops the stored one.
  const int a3 = window->cboSize->findText("ISO_A3");
  window->cboSize->setCurrentIndex(a3);
  emit window->cboSize->activated(a3);
  EXPECT_EQ(docOption(1, "PAPER"), "ISO_A3");
  select({0});
  select({1});
  EXPECT_EQ(entries(window->cboSize), (QStringList{"ISO_A4", "ISO_A3"}));
}

// Each command has a picture of its own, the program's, whatever the desktop's theme.
TEST_F(MainWindowTest, TheToolbarShowsTheProgramsOwnPicturesWhateverTheTheme) {
  const auto image = [](const QIcon& icon) { return icon.pixmap(24, 24).toImage(); };
  const QString theme = QIcon::themeName();
  for (const char* name : {"Adwaita", "hicolor", "no-such-theme"}) {
    QIcon::setThemeName(QLatin1String(name));
    open();
    QList<QImage> pictures;
    for (QAction* button : window->tbMain->actions()) {
      if (button->isSeparator()) continue;
      const QIcon own = ProgramIcons::picture(button->data().toString());
      ASSERT_FALSE(own.isNull()) << button->data().toString().toStdString();
      EXPECT_EQ(image(button->icon()), image(own)) << name << " " << button->data().toString().toStdString();
      EXPECT_FALSE(pictures.contains(image(own))) << button->data().toString().toStdString();
      pictures.append(image(own));
    }
    EXPECT_EQ(pictures.size(), 10);
    EXPECT_EQ(image(window->pictCopy->icon()), image(ProgramIcons::picture("Print"))) << name;
    EXPECT_EQ(image(window->windowIcon()), image(ProgramIcons::application())) << name;
    EXPECT_FALSE(image(ProgramIcons::application()).isNull());
  }
  QIcon::setThemeName(theme);
}

TEST_F(MainWindowTest, TheAboutBoxCarriesTheMainWindowsIcon) {
  open();
  frmAbout about(window.get());
  EXPECT_EQ(about.windowIcon().pixmap(32, 32).toImage(), window->windowIcon().pixmap(32, 32).toImage());
}

// Mixed values stand out plainly, on a light palette and on a dark one.
TEST(MixedColour, IsPlainlyApartFromTheBackgroundAndKeepsTheTextReadable) {
  QPalette light = QApplication::style()->standardPalette();
  QPalette dark(QColor(230, 230, 230), QColor(53, 53, 53), QColor(80, 80, 80), QColor(25, 25, 25),
                QColor(35, 35, 35), QColor(230, 230, 230), Qt::white, QColor(42, 42, 42), QColor(53, 53, 53));
  for (const QPalette& palette : {light, dark}) {
    const QColor mixed = frmMain::mixedColour(palette);
    const int base = palette.color(QPalette::Base).lightness();
    EXPECT_GE(std::abs(mixed.lightness() - base), 32) << base;
    EXPECT_GE(std::abs(mixed.lightness() - palette.color(QPalette::Text).lightness()), 100) << base;
  }
}

// Showing a row never rounds what it holds.
TEST_F(MainWindowTest, ShowingCopiesOfTwoAndAHalfLeavesThemAsStored) {
  gJob->jobOpts->setPjlOpt("COPIES", "2.5");
  addDocument("a.plt")->opts->setPjlOpt("DOCCOPIES", "3.5");
  open();
  select({1});
  select({0, 1});
  select({1});
  EXPECT_EQ(gJob->jobOpts->pjlOpt("COPIES").toString(), "2.5");
  EXPECT_EQ(docOption(1, "DOCCOPIES"), "3.5");
  EXPECT_EQ(window->txtDocCopies->text(), "3.5");
  EXPECT_EQ(row(1)->text(1), "3.5");
}

// Every control shown, so that Tab can reach each: the job frame, the list, the
// tab strip, the page shown, the print button.
TEST_F(MainWindowTest, TabFollowsTheReadingOrderOnEveryPage) {
  gJob->jobOpts->setPjlOpt("ACCT_ACCTID", "4711");
  clsDocument* document = addDocument("a.plt");
  document->opts->setPjlOpt("LABELSTRING", "Draft");
  document->opts->setPjlOpt("FINISHPROGID", "Stack");
  open();
  select({1});
  for (int tab = 0; tab < window->tsOpts->count(); ++tab) {
    window->tsOpts->setCurrentIndex(tab);
    const QFrame* page = window->frameTabs[window->tsOpts->tabData(tab).toInt()];
    const QList<QWidget*> expected = readingOrder(window->frameJobOpts) +
                                     QList<QWidget*>{window->lvDocs, window->tsOpts} + readingOrder(page) +
                                     QList<QWidget*>{window->pictCopy};
    QList<QWidget*> walked{expected.first()};
    expected.first()->setFocus();
    while (walked.size() <= expected.size()) {
      ASSERT_NE(walked.last(), nullptr) << tab;
      QTest::keyClick(walked.last(), Qt::Key_Tab);
      walked.append(QApplication::focusWidget());
    }
    EXPECT_EQ(names(walked), names(expected + QList<QWidget*>{expected.first()})) << tab;
  }
}
