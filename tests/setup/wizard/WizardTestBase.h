#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "CBootstrapConfig.h"
#include "CPayloadArchive.h"
#include "CPrereqWizard.h"
#include "CPrerequisiteSet.h"
#include "TestEnv.h"
#include "VersionBlockWriter.h"

// A configuration of prerequisites detected against a system folder of the
// sandbox, the work model on it, and the wizard shown offscreen.
class WizardTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("LANG", "en_US.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    system_ = TestEnv::freshDir("system");
    downloads_ = TestEnv::freshDir("downloads");
    qputenv("KVT_SYSTEM_FOLDER", system_.toUtf8());
    config_.DownloadFolder = downloads_;
    // Sites go to a stand-in opener that records the URLs it is given.
    const QString bin = TestEnv::freshDir("bin");
    opened_ = TestEnv::sandbox() + "/opened.txt";
    QFile opener(bin + "/xdg-open");
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write(("#!/bin/sh\necho \"$1\" >> '" + opened_ + "'\n").toUtf8());
    opener.close();
    opener.setPermissions(opener.permissions() | QFile::ExeOwner);
    qputenv("PATH", (bin + ":" + qEnvironmentVariable("PATH")).toUtf8());
  }

  // The URLs the opener received, once `count` whole lines arrived (it runs detached).
  QStringList openedUrls(int count) const {
    QByteArray lines;
    const bool arrived = QTest::qWaitFor(
        [&] {
          lines = TestEnv::readFile(opened_);
          return lines.count('\n') >= count;
        },
        5000);
    const QStringList urls = QString::fromUtf8(lines).split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(arrived) << urls.join(' ').toStdString();
    return urls;
  }

  void TearDown() override {
    wizard_.reset();
    set_.reset();
  }

  // A prerequisite found by the file "[SystemFolder]<name>.dll" at version 1.0 or higher.
  PrerequisiteInfo& add(const QString& name, int kind = PrerequisiteKind::SetupFile,
                        const QString& options = {}) {
    PrerequisiteInfo info;
    info.name = name;
    info.kind = kind;
    info.options = options;
    info.location =
        kind == PrerequisiteKind::SetupFile ? name + ".exe" : "http://127.0.0.1:9/" + name + ".exe";
    info.searchType = SearchType::File;
    info.searchString = "[SystemFolder]" + name + ".dll";
    info.verMin = "1.0";
    config_.prerequisites.append(info);
    return config_.prerequisites.last();
  }

  // Puts prerequisite `name` on the machine at version `major`.0.
  void makePresent(const QString& name, quint16 major = 1) {
    ASSERT_TRUE(
        VersionBlockWriter::writeFile(system_ + "/" + name + ".dll",
                                      VersionBlockWriter::inFile(VersionBlockWriter::block(major, 0, 0, 0))));
  }

  void open() {
    config_.DetectAll();
    set_ = std::make_unique<CPrerequisiteSet>(config_, archive_);
    wizard_ = std::make_unique<CPrereqWizard>(*set_, QStringLiteral("Vondir Submit"));
    wizard_->show();
    wizard_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wizard_.get()));
  }

  template <typename T>
  T* child(const char* name) const {
    return wizard_->findChild<T*>(QString::fromLatin1(name));
  }
  QTreeWidget* list(const char* name) const { return wizard_->currentPage()->findChild<QTreeWidget*>(name); }
  QString text(const char* name) const { return wizard_->currentPage()->findChild<QLabel*>(name)->text(); }
  QAbstractButton* button(QWizard::WizardButton which) const { return wizard_->button(which); }
  void click(QWizard::WizardButton which) const {
    ASSERT_TRUE(button(which)->isEnabled()) << which;
    button(which)->click();
  }
  // Return as the user presses it: to the widget that has the focus, else to the sheet.
  void pressReturn() const {
    QWidget* focus = wizard_->focusWidget();
    QTest::keyClick(focus ? focus : wizard_.get(), Qt::Key_Return);
    QCoreApplication::processEvents();
  }
  static QStringList column(const QTreeWidget* tree, int column) {
    QStringList texts;
    for (int row = 0; row < tree->topLevelItemCount(); ++row)
      texts.append(tree->topLevelItem(row)->text(column));
    return texts;
  }

  QString system_;
  QString downloads_;
  QString opened_;
  CBootstrapConfig config_;
  CPayloadArchive archive_;
  std::unique_ptr<CPrerequisiteSet> set_;
  std::unique_ptr<CPrereqWizard> wizard_;
};
