#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QStringList>
#include <QTreeWidget>
#include <memory>
#include <ostream>

#include "DocListView.h"
#include "PrinterEmulator.h"
#include "frmMain.h"

class clsDocument;

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

// The main window on a job, with two configured printers answered by
// emulators on loopback: "Plotter" (sizes ISO_A4 and ANSI_E, programs
// "Fold A4" and "Stack") and "Folder" (sizes ISO_A4 and ISO_A3, programs
// "Fold A3" and "Stack").
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A document file in the sandbox, added to the job; `paper` sets its PAPER.
  clsDocument* addDocument(const QString& name, const QString& paper = QString());
  // Builds the window for the job and shows it.
  frmMain& open();

  template <typename T>
  T* control(const char* name) const {
    T* found = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QTreeWidgetItem* row(int index) const { return window->lvDocs->topLevelItem(index); }
  QStringList column(int column) const;
  // Selects exactly these rows (0 is the defaults row) and clicks the list.
  void select(std::initializer_list<int> rows);
  // Chooses that printer in the printer combo, as a user does.
  void choosePrinter(const QString& name);
  // Gives the control the focus and types the text over its contents.
  void typeInto(QWidget* control, const QString& text);
  // Moves the focus to the list, which runs the left control's validation.
  void leave();
  QStringList entries(QComboBox* box) const;
  QString docOption(int row, const QString& name) const;

  PrinterEmulator plotter;
  PrinterEmulator folder;
  std::unique_ptr<frmMain> window;
};
