#include <gtest/gtest.h>

#include "Ansi.h"
#include "RegistryStore.h"
#include "RunKeyValue.h"

namespace {

const QString kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::optional<RegValue> runValue(const QString& name) {
  return RegistryStore(0x80000001).queryValue(kRunKey, name);
}

void putRunValue(const QString& name, const QByteArray& data) {
  RegistryStore store(0x80000001);
  store.openKey(kRunKey, true);
  store.setValue(kRunKey, name, RegValue{RegType::Sz, data});
}

}  // namespace

TEST(RunKeyValueTest, AddsTheProgramUnderItsOwnNameAndRemovesIt) {
  AddRunKeyValue("/media/usb/setup");
  ASSERT_TRUE(runValue("/media/usb/setup"));
  EXPECT_EQ(fromAnsi(runValue("/media/usb/setup")->data).remove(QChar(0)), "/media/usb/setup");
  RemoveRunKeyValue("/media/usb/setup");
  EXPECT_FALSE(runValue("/media/usb/setup"));
}

TEST(RunKeyValueTest, KeepsAnExistingValueOfAtMost200Bytes) {
  putRunValue("/s", QByteArray(200, 'x'));
  AddRunKeyValue("/s");
  EXPECT_EQ(runValue("/s")->data, QByteArray(200, 'x'));
  putRunValue("/s", QByteArray(201, 'x'));
  AddRunKeyValue("/s");
  EXPECT_EQ(runValue("/s")->data, QByteArray("/s") + '\0');
}

TEST(RunKeyValueTest, RemovingAnAbsentValueChangesNothing) {
  putRunValue("/other", "x");
  RemoveRunKeyValue("/s");
  EXPECT_TRUE(runValue("/other"));
}
