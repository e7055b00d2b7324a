#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "LanguageSelect.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "RegObj.h"
#include "RegistryStore.h"
#include "TestEnv.h"
#include "UserStandIn.h"
#include "frmAbout.h"
#include "modLumasetCommon.h"

namespace {

QString languageKey() { return gRegRoot + QStringLiteral("Language"); }

QVariant stored(quint32 root, const QString& name) {
  RegObj reg;
  reg.setRoot(root);
  reg.setKey(languageKey());
  return reg.value(name);
}

void store(quint32 root, const QList<QPair<QString, QVariant>>& values) {
  RegObj reg;
  reg.setRoot(root);
  reg.setKey(languageKey());
  for (const auto& [name, data] : values) ASSERT_TRUE(reg.setValue(name, data));
}

// The machine-wide store stays readable but cannot be locked for writing.
void lockMachineWide() {
  const QString lock = RegistryStore(HKEY_LOCAL_MACHINE).filePath() + QStringLiteral(".lock");
  QFile::remove(lock);
  ASSERT_TRUE(QFile::link(TestEnv::sandbox() + QStringLiteral("/missing/lock"), lock));
}

LanguageSelect& formOf(QDialog& dialog) { return *qobject_cast<LanguageSelect*>(&dialog); }

QListWidgetItem* entryOf(LanguageSelect& form, int lcid) {
  for (int i = 0; i < form.LanguageList->count(); ++i)
    if (form.LanguageList->item(i)->data(Qt::UserRole).toInt() == lcid) return form.LanguageList->item(i);
  return nullptr;
}

int selectedLanguage(LanguageSelect& form) {
  const QListWidgetItem* item = form.LanguageList->currentItem();
  return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : 0;
}

UserStandIn::Answer choose(int lcid) {
  return [lcid](QDialog& dialog) {
    LanguageSelect& form = formOf(dialog);
    form.LanguageList->setCurrentItem(entryOf(form, lcid));
    form.OkButton->click();
  };
}

class LanguageDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
    gLanguageID = 0;
  }
  UserStandIn user;
};

}  // namespace

TEST_F(LanguageDialog, FirstStartCreatesTheMachineWideKeyAndStoresTheChoice) {
  user.answerNext([](QDialog& dialog) {
    LanguageSelect& form = formOf(dialog);
    EXPECT_TRUE(RegistryStore(HKEY_LOCAL_MACHINE).keyInfo(languageKey()));
    QStringList names;
    for (int i = 0; i < form.LanguageList->count(); ++i) names.append(form.LanguageList->item(i)->text());
    EXPECT_EQ(names, (QStringList{"English", QString::fromUtf8("français"), "Deutsch",
                                  QString::fromUtf8("español"), "italiano", "Nederlands"}));
    EXPECT_EQ(selectedLanguage(form), 9);
    EXPECT_TRUE(form.chkShowOnStartup->isChecked());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Select Language"));
    EXPECT_EQ(form.chkShowOnStartup->text(), QStringLiteral("Show this dialog when the program starts"));
    choose(1036)(dialog);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Sélectionner la Langue"));
  });
  LanguageSelect::ShowDialog(true);
  EXPECT_EQ(user.dialogsShown, QStringList{"LanguageSelect"});
  EXPECT_EQ(gLanguageID, 1036);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "LangId").toInt(), 1036);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "LangName").toString(), QStringLiteral("Invalid Language Index"));
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "ShowDialog").toString(), QStringLiteral("True"));
  EXPECT_FALSE(stored(HKEY_CURRENT_USER, "LangId").isValid());
}

TEST_F(LanguageDialog, StartWithShowDialogFalseAppliesTheStoredLanguageSilently) {
  store(HKEY_LOCAL_MACHINE, {{"LangId", 1031}, {"ShowDialog", false}});
  SetLanguage(kLanguageEnglish, QString());
  frmAbout listening;
  LanguageSelect::ShowDialog(true);
  EXPECT_TRUE(user.dialogsShown.isEmpty());
  EXPECT_EQ(gLanguageID, 1031);
  EXPECT_TRUE(listening.windowTitle().startsWith(QString::fromUtf8("Info über ")));
  EXPECT_FALSE(stored(HKEY_LOCAL_MACHINE, "LangName").isValid());
}

TEST_F(LanguageDialog, TheMenuShowsTheDialogWithoutReapplyingTheStoredLanguage) {
  store(HKEY_LOCAL_MACHINE,
        {{"LangId", 1031}, {"LangName", "Invalid Language Index"}, {"ShowDialog", false}});
  SetLanguage(1043, QString());
  user.answerNext([](QDialog& dialog) {
    LanguageSelect& form = formOf(dialog);
    EXPECT_EQ(selectedLanguage(form), 1043);
    EXPECT_FALSE(form.chkShowOnStartup->isChecked());
    form.chkShowOnStartup->setChecked(true);
    form.OkButton->click();
  });
  LanguageSelect::ShowDialog(false);
  EXPECT_EQ(user.dialogsShown, QStringList{"LanguageSelect"});
  EXPECT_EQ(gLanguageID, 1043);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "LangId").toInt(), 1043);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "ShowDialog").toString(), QStringLiteral("True"));
}

TEST_F(LanguageDialog, OkWithoutASelectionDoesNothingAndClosingWritesWhatStands) {
  bool stayedOpen = false;
  user.answerNext([&](QDialog& dialog) {
    LanguageSelect& form = formOf(dialog);
    form.LanguageList->setCurrentItem(entryOf(form, 1034));
    form.LanguageList->clearSelection();
    form.chkShowOnStartup->setChecked(false);
    form.OkButton->click();
    stayedOpen = dialog.isVisible();
  });
  LanguageSelect::ShowDialog(true);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(gLanguageID, 9);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "LangId").toInt(), 9);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "LangName").toString(), QStringLiteral("English"));
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "ShowDialog").toString(), QStringLiteral("True"));
}

TEST_F(LanguageDialog, DoubleClickOnAnEntryAcceptsIt) {
  user.answerNext([](QDialog& dialog) {
    LanguageSelect& form = formOf(dialog);
    QListWidgetItem* italian = entryOf(form, 1040);
    const QPoint at = form.LanguageList->visualItemRect(italian).center();
    QTest::mouseClick(form.LanguageList->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form.LanguageList->viewport(), Qt::LeftButton, {}, at);
  });
  LanguageSelect::ShowDialog(false);
  EXPECT_EQ(gLanguageID, 1040);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "LangId").toInt(), 1040);
}

TEST_F(LanguageDialog, PerUserKeyWithoutANameReadsTheMachineWideKey) {
  store(HKEY_LOCAL_MACHINE,
        {{"LangId", 1034}, {"LangName", "Invalid Language Index"}, {"ShowDialog", false}});
  store(HKEY_CURRENT_USER, {{"LangId", 1040}});
  lockMachineWide();
  LanguageSelect::ShowDialog(true);
  EXPECT_TRUE(user.dialogsShown.isEmpty());
  EXPECT_EQ(gLanguageID, 1034);
  // With a name of its own the per-user key is the one read, and written.
  store(HKEY_CURRENT_USER, {{"LangName", "Invalid Language Index"}});
  user.answerNext(choose(1043));
  LanguageSelect::ShowDialog(true);
  EXPECT_EQ(user.dialogsShown, QStringList{"LanguageSelect"});
  EXPECT_EQ(stored(HKEY_CURRENT_USER, "LangId").toInt(), 1043);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "LangId").toInt(), 1034);
}

TEST_F(LanguageDialog, WithNobodyToAnswerTheStoredLanguageIsAppliedAndNothingWritten) {
  setDialogAnswerer(nullptr);
  store(HKEY_LOCAL_MACHINE, {{"LangId", 1036}});
  LanguageSelect::ShowDialog(true);
  EXPECT_EQ(gLanguageID, 1036);
  EXPECT_FALSE(stored(HKEY_LOCAL_MACHINE, "LangName").isValid());
  LanguageSelect::ShowDialog(false);
  EXPECT_FALSE(stored(HKEY_LOCAL_MACHINE, "LangName").isValid());
}
