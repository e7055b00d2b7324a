#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include "Ansi.h"
#include "KeyedCollection.h"
#include "LocaleInfo.h"
#include "MLRuntime.h"
#include "MessageBox.h"
#include "UserInfo.h"

TEST(Ansi, RoundTripsWindows1252Bytes) {
  QByteArray all;
  for (int b = 0; b < 256; ++b)
    if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) all.append(char(b));
  EXPECT_EQ(toAnsi(fromAnsi(all)), all);
}

TEST(Ansi, MapsTheWindowsOnlyCharacters) {
  EXPECT_EQ(fromAnsi(QByteArray("\x80\x93\x94\xE9", 4)), QString::fromUtf8("€“”é"));
  EXPECT_EQ(toAnsi(QString::fromUtf8("Sélectionner €")), QByteArray("S\xE9lectionner \x80"));
}

// The code page is converted by a table of our own: it must agree with the system's converter.
TEST(Ansi, AgreesWithTheSystemConverterOnEveryByteAndCharacter) {
  QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
  for (int b = 0; b < 256; ++b) {
    const QByteArray byte(1, char(b));
    EXPECT_EQ(fromAnsi(byte), QString(decoder.decode(byte))) << b;
  }
  QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
  for (int c = 0; c < 0x10000; ++c) {
    const QString text = QStringLiteral("a") + QChar(char16_t(c)) + QStringLiteral("z");
    EXPECT_EQ(toAnsi(text), QByteArray(encoder.encode(text))) << c;
  }
  const QString astral = QString::fromUcs4(U"x\U0001F600y");
  EXPECT_EQ(toAnsi(astral), QByteArray(encoder.encode(astral)));
}

TEST(Ansi, AStandInTakesThePlaceOfEachCharacterTheCodePageLacks) {
  EXPECT_EQ(toAnsi(QString::fromUtf8("\u00e9\u20ac\u2028x\u2029"), '?'), QByteArray("\xE9\x80?x?"));
  // A character beyond the first plane is one character, and a lone surrogate is one too.
  EXPECT_EQ(toAnsi(QString::fromUcs4(U"a\U0001F600b"), '?'), QByteArray("a?b"));
  EXPECT_EQ(toAnsi(QString(QChar(0xDC00)) + QChar(0xD800), '?'), QByteArray("??"));
  EXPECT_EQ(toAnsi(QString(), '?'), QByteArray());
}

TEST(KeyedCollection, ComparesKeysWithoutCaseAndKeepsOrder) {
  KeyedCollection<int> c;
  c.insert("xBeta", 2);
  c.insert("xAlpha", 1);
  c.insert("XBETA", 3);
  ASSERT_EQ(c.size(), 2);
  EXPECT_EQ(c.keyAt(0), "xBeta");
  EXPECT_EQ(c.value("xbeta"), 3);
  EXPECT_EQ(c.keys(), (QList<QString>{"xBeta", "xAlpha"}));
  EXPECT_TRUE(c.remove("XALPHA"));
  EXPECT_FALSE(c.contains("xAlpha"));
  EXPECT_EQ(c.find("nothing"), nullptr);
}

TEST(KeyedCollection, InsertsAtAPositionAndReindexes) {
  KeyedCollection<QString> c;
  c.insert("a", "1");
  c.insert("b", "2");
  c.insertAt(0, "c", "3");
  c.insertAt(99, "a", "4");
  EXPECT_EQ(c.keys(), (QList<QString>{"c", "b", "a"}));
  EXPECT_EQ(c.indexOf("B"), 1);
  EXPECT_EQ(c.value("A"), "4");
}

TEST(MessageBox, AnswersWithTheDefaultWhenHeadless) {
  ASSERT_TRUE(isHeadless());
  testing::internal::CaptureStderr();
  EXPECT_EQ(MsgBox("Could not load job ticket.", MsgBoxStyle::Critical, "Open Failed"), MsgBoxResult::Ok);
  EXPECT_EQ(MsgBox("Replace?", MsgBoxStyle::YesNo | MsgBoxStyle::Question, "Q"), MsgBoxResult::Yes);
  EXPECT_EQ(MsgBox("Replace?", MsgBoxStyle::YesNo | MsgBoxStyle::DefaultButton2, "Q"), MsgBoxResult::No);
  EXPECT_EQ(MsgBox("Go on?", MsgBoxStyle::OkCancel | MsgBoxStyle::DefaultButton2, "Q"), MsgBoxResult::Cancel);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Open Failed: Could not load job ticket."), std::string::npos);
}

TEST(UserInfo, NamesTheLoggedOnUser) { EXPECT_FALSE(loggedOnUserName().isEmpty()); }

TEST(LocaleInfo, GivesNativeLanguageNames) {
  EXPECT_EQ(localeInfo(1031, LOCALE_SNATIVELANGNAME), "Deutsch");
  EXPECT_EQ(localeInfo(1036, LOCALE_SNATIVELANGNAME), QString::fromUtf8("français"));
  EXPECT_EQ(localeInfo(1043, LOCALE_SNATIVELANGNAME), "Nederlands");
  EXPECT_TRUE(localeInfo(12345, LOCALE_SNATIVELANGNAME).isEmpty());
}

TEST(LanguageChange, QtsOwnButtonTextsFollowTheLanguage) {
  if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_fr.qm"))
    GTEST_SKIP() << "Qt's translations are not installed";
  const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
  MLRuntime::RuntimeSupport().SetLanguage(1036, QString::fromUtf8("français"));
  EXPECT_EQ(cancel(), "Annuler");
  MLRuntime::RuntimeSupport().SetLanguage(1031, "Deutsch");
  EXPECT_EQ(cancel(), "Abbrechen");
  MLRuntime::RuntimeSupport().SetLanguage(1033, "English");
  EXPECT_EQ(cancel(), "Cancel");
}
