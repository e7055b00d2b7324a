#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "RegObj.h"
#include "TestEnv.h"
#include "clsViewer.h"
#include "modLumasetCommon.h"

namespace {

const QString kRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");

QString touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  return path;
}

void storeViewer(const QString& commandLine) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(kRoot);
  reg.setValue("viewer", commandLine);
}

QVariant storedViewer() {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(kRoot);
  return reg.value("viewer");
}

// A program folder of its own, with its parent holding the sibling folders.
struct Sandbox : ::testing::Test {
  void SetUp() override {
    gRegRoot = kRoot;
    parent = TestEnv::freshDir("programs");
    program = parent + "/KVTsubmit";
    QDir().mkpath(program);
  }
  QString parent;
  QString program;
};

}  // namespace

TEST(clsViewerSplit, QuotedProgramAndArguments) {
  clsViewer viewer;
  viewer.path = "\"/opt/kvt control/KVTcontrol\" -F ";
  EXPECT_EQ(viewer.targetFile(), "/opt/kvt control/KVTcontrol");
  EXPECT_EQ(viewer.targetArgs(), "-F");
  viewer.path = "  \"/opt/viewer";
  EXPECT_EQ(viewer.targetFile(), "/opt/viewer");
  EXPECT_EQ(viewer.targetArgs(), "/opt/viewer");
}

TEST(clsViewerSplit, UnquotedTextIsTakenWhole) {
  clsViewer viewer;
  viewer.path = " /usr/bin/viewer -F ";
  EXPECT_EQ(viewer.targetFile(), " /usr/bin/viewer -F ");
  EXPECT_EQ(viewer.targetArgs(), "/usr/bin/viewer -F");
  viewer.path.clear();
  EXPECT_EQ(viewer.targetFile(), "");
  EXPECT_EQ(viewer.targetArgs(), "");
}

TEST_F(Sandbox, ViewerExistsOnlyForAnExistingFile) {
  clsViewer viewer(program);
  const QString file = touch(parent + "/tools/show");
  EXPECT_TRUE(viewer.viewerExists("\"" + file + "\" -F"));
  EXPECT_TRUE(viewer.viewerExists(file));
  EXPECT_FALSE(viewer.viewerExists(file + " -F"));
  EXPECT_FALSE(viewer.viewerExists("\"" + parent + "/tools\" -F"));
  EXPECT_FALSE(viewer.viewerExists(""));
}

TEST_F(Sandbox, StoredViewerThatExistsIsKept) {
  const QString file = touch(parent + "/tools/show");
  touch(parent + "/KVT control/KVTcontrol");
  storeViewer("\"" + file + "\" --page");
  clsViewer viewer(program);
  EXPECT_TRUE(viewer.LoadFromReg());
  EXPECT_EQ(viewer.path, "\"" + file + "\" --page");
}

TEST_F(Sandbox, ControlProgramWinsOverIndexer) {
  touch(parent + "/Indexer 2/KVTindexer");
  touch(parent + "/KVT Control 3/KVTcontrol");
  storeViewer("\"/nowhere/gone\" -F");
  clsViewer viewer(program);
  EXPECT_TRUE(viewer.LoadFromReg());
  EXPECT_EQ(viewer.path, "\"" + parent + "/KVT Control 3/KVTcontrol\" -F");
  EXPECT_EQ(viewer.targetArgs(), "-F");
}

TEST_F(Sandbox, IndexerWhenNoControlProgram) {
  QDir().mkpath(parent + "/control-empty");
  touch(parent + "/theindexer/KVTindexer");
  touch(parent + "/other/KVTcontrol");
  clsViewer viewer(program);
  EXPECT_TRUE(viewer.LoadFromReg());
  EXPECT_EQ(viewer.path, "\"" + parent + "/theindexer/KVTindexer\" -F");
}

TEST_F(Sandbox, NothingFoundLeavesTheViewerEmpty) {
  touch(parent + "/control/KVTcontrol.exe");
  storeViewer("/nowhere/gone -F");
  clsViewer viewer(program);
  EXPECT_TRUE(viewer.LoadFromReg());
  EXPECT_EQ(viewer.path, "");
}

TEST_F(Sandbox, FoundDefaultIsStoredOnlyWhenSaved) {
  touch(parent + "/control/KVTcontrol");
  clsViewer viewer(program);
  EXPECT_TRUE(viewer.LoadFromReg());
  EXPECT_FALSE(storedViewer().isValid());
  EXPECT_TRUE(viewer.SaveToReg());
  EXPECT_EQ(storedViewer().toString(), viewer.path);
}
