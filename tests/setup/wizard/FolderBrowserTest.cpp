#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <functional>

#include "FolderBrowser.h"
#include "MessageBox.h"
#include "SetupTexts.h"
#include "TestEnv.h"

namespace {

constexpr int kSelectDownloadFolder = 134;
constexpr int kOk = 229;
constexpr int kCancel = 230;

using Answer = std::function<void(QDialog& dialog)>;

// The browser itself, driven offscreen by a stand-in for the user; what the
// stand-in leaves open is cancelled, so the browser never waits for anyone.
class FolderBrowserTest : public ::testing::Test {
 protected:
  static QString browse(const Answer& answer,
                        const QString& title = QStringLiteral("Select the download folder.")) {
    bool shown = false;
    setDialogAnswerer([&](QDialog& dialog) {
      shown = true;
      answer(dialog);
      if (dialog.isVisible()) dialog.reject();
    });
    const QString folder = FolderBrowser::BrowseForFolder(nullptr, title);
    setDialogAnswerer(nullptr);
    EXPECT_TRUE(shown);
    return folder;
  }

  static QTreeView* tree(const QDialog& dialog) { return dialog.findChild<QTreeView*>(); }
  static QFileSystemModel* folders(const QDialog& dialog) {
    return qobject_cast<QFileSystemModel*>(tree(dialog)->model());
  }
  static QPushButton* button(const QDialog& dialog, QDialogButtonBox::StandardButton which) {
    return dialog.findChild<QDialogButtonBox*>()->button(which);
  }

  // The folder at `path`, opened in the tree once its whole listing is in.
  static QModelIndex opened(const QDialog& dialog, const QString& path) {
    QFileSystemModel* model = folders(dialog);
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    const QModelIndex folder = model->index(path);
    tree(dialog)->expand(folder);
    EXPECT_TRUE(QTest::qWaitFor([&] { return loaded.contains(QVariantList{path}); }, 5000))
        << path.toStdString();
    return folder;
  }

  static QStringList namesIn(const QDialog& dialog, const QModelIndex& folder) {
    QStringList names;
    for (int row = 0; row < folders(dialog)->rowCount(folder); ++row)
      names.append(folders(dialog)->index(row, 0, folder).data().toString());
    return names;
  }

  // A click on the row of folder `index`, as the user picks it.
  static void clickOn(const QDialog& dialog, const QModelIndex& index) {
    QTreeView* view = tree(dialog);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
  }
};

// Every word of the dialog, from every kind of widget that shows words.
QStringList wordsOf(const QDialog& dialog) {
  QStringList words{dialog.windowTitle()};
  for (const QWidget* widget : dialog.findChildren<QWidget*>()) {
    words << widget->windowTitle() << widget->toolTip();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) words << label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) words << button->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
      for (int item = 0; item < combo->count(); ++item) words << combo->itemText(item);
    const auto* header = qobject_cast<const QHeaderView*>(widget);
    if (header && header->isVisibleTo(&dialog))
      for (int section = 0; section < header->count(); ++section)
        if (!header->isSectionHidden(section))
          words << header->model()->headerData(section, header->orientation()).toString();
  }
  words.removeAll(QString());
  return words;
}

TEST_F(FolderBrowserTest, ShowsOnlyTheSetupsOwnWordsInEveryLanguage) {
  const QStringList realFolders = QDir("/").entryList(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    const QString title = SetupTexts::text(code, kSelectDownloadFolder);
    const QStringList own = {title, SetupTexts::text(code, kOk), SetupTexts::text(code, kCancel)};
    browse(
        [&](QDialog& dialog) {
          EXPECT_EQ(dialog.windowTitle(), title) << code.toStdString();
          EXPECT_TRUE(dialog.findChild<QLabel*>()->isVisible()) << code.toStdString();
          // None of Qt's "Look in", "Name", "Size", "Computer", "New Folder"...
          for (const QString& word : wordsOf(dialog))
            EXPECT_TRUE(own.contains(word)) << code.toStdString() << ": " << word.toStdString();
          const QModelIndex top = tree(dialog)->rootIndex();
          ASSERT_TRUE(QTest::qWaitFor([&] { return folders(dialog)->rowCount(top) > 0; }, 5000));
          for (const QString& item : namesIn(dialog, top))
            EXPECT_TRUE(realFolders.contains(item)) << code.toStdString() << ": " << item.toStdString();
        },
        title);
  }
}

// Only folders are listed; OK waits for one to be picked and returns it.
TEST_F(FolderBrowserTest, OkReturnsTheFolderTheUserPickedAmongFoldersOnly) {
  const QString parent = TestEnv::freshDir("downloads");
  QDir(parent).mkdir("chosen");
  TestEnv::writeFile(parent + "/file.txt", "not a folder");
  const QString picked = browse([&](QDialog& dialog) {
    QPushButton* ok = button(dialog, QDialogButtonBox::Ok);
    tree(dialog)->clearSelection();
    EXPECT_FALSE(ok->isEnabled());
    const QModelIndex folder = opened(dialog, parent);
    ASSERT_EQ(namesIn(dialog, folder), QStringList{"chosen"});
    clickOn(dialog, folders(dialog)->index(0, 0, folder));
    ASSERT_TRUE(ok->isEnabled());
    ok->click();
  });
  EXPECT_EQ(picked, parent + "/chosen");
}

TEST_F(FolderBrowserTest, OpensWithTheHomeFolderSelected) {
  const QString picked = browse([](QDialog& dialog) {
    ASSERT_TRUE(button(dialog, QDialogButtonBox::Ok)->isEnabled());
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(picked, QDir::homePath());
  EXPECT_TRUE(picked.startsWith(TestEnv::sandbox())) << "the sandbox stands in for the home";
}

// Sixty folders sort in above the home as its parent's listing comes in; one more
// after the user scrolled leaves the view where the user put it.
TEST_F(FolderBrowserTest, TheHomeFolderStaysInViewUntilTheUserScrolls) {
  const QString parent = TestEnv::freshDir("crowded");
  for (int n = 0; n < 60; ++n) QDir(parent).mkdir(QString::asprintf("f%02d", n));
  QDir(parent).mkdir("zz");
  const QByteArray home = qgetenv("HOME");
  qputenv("HOME", (parent + "/zz").toUtf8());
  browse([&](QDialog& dialog) {
    QTreeView* view = tree(dialog);
    const auto inView = [view] {
      return view->viewport()->rect().contains(view->visualRect(view->currentIndex()));
    };
    const QModelIndex folder = folders(dialog)->index(parent);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->currentIndex().row() == 60; }, 5000))
        << "the listing came in and was sorted";
    EXPECT_EQ(folders(dialog)->rowCount(folder), 61);
    EXPECT_TRUE(inView());
    view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    QDir(parent).mkdir("f60");
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->currentIndex().row() == 61; }, 5000))
        << "a new folder came in and was sorted";
    EXPECT_FALSE(inView()) << "the user's scrolling stands";
  });
  qputenv("HOME", home);
}

TEST_F(FolderBrowserTest, CancelAndEscapeReturnNothing) {
  const auto cancel = [](QDialog& dialog) { button(dialog, QDialogButtonBox::Cancel)->click(); };
  const auto escape = [](QDialog& dialog) { QTest::keyClick(tree(dialog), Qt::Key_Escape); };
  for (const Answer& answer : {Answer(cancel), Answer(escape)}) {
    const QString picked = browse([&](QDialog& dialog) {
      answer(dialog);
      EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_TRUE(picked.isEmpty()) << picked.toStdString();
  }
}

TEST_F(FolderBrowserTest, WithNobodyToAnswerItReturnsNothingAtOnce) {
  ASSERT_TRUE(isHeadless());
  EXPECT_TRUE(
      FolderBrowser::BrowseForFolder(nullptr, QStringLiteral("Select the download folder.")).isEmpty());
}

}  // namespace
