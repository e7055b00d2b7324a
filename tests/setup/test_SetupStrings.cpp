#include <gtest/gtest.h>

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "SetupStrings.h"
#include "SetupTexts.h"

namespace {

using SetupTexts::table;

QStringList placeholders(const QString& text) {
  QStringList found;
  for (const auto& m : QRegularExpression("%[sd%]").globalMatch(text)) found.append(m.captured());
  return found;
}

}  // namespace

TEST(SetupStrings, EnglishTextsStandAsGiven) {
  const std::pair<int, const char*> cases[] = {
      {128, "Setup"},
      {129, "This archive is corrupted."},
      {137,
       "This package requires Windows Installer version \"%s\". You have \"%s\".\n"
       "Please upgrade your Windows Installer."},
      {144,
       "Command Line:\n%s [options]\noptions:\n  /? or /help - displays this message\n"
       "  /extract:<directory> - extracts all files in <directory>\n"
       "  <msiOptions> - options for msiexec.exe on running the MSI package"},
      {156, "Press the Next button to open the prerequisites' web sites."},
      {165, " Found: nothing."},
      {170, "Press the Finish button when you are done and ready to install %s. "},
      {187, "%d.%d KB/s"},
      {195, "Downloading: %s %d%%  (%s of %s)"},
      {200, "Extracting files from archive..."},
      {215, "Error: %s"},
      {220,
       "Setup cannot use its temporary folder \"%s\": it must be a folder of your own that no one else can "
       "open.\nRemove that folder and run setup again."},
      {221,
       "Setup stopped waiting for another setup that is still using \"%s\".\nRun setup again when the other "
       "one has finished."},
      {222, "The server stopped answering."},
      {223, "Setup could not start \"%s\": the program is missing or cannot be run."},
  };
  const QHash<int, QString> en = table("en");
  for (const auto& [id, text] : cases) EXPECT_EQ(en.value(id), QString::fromUtf8(text)) << id;
}

TEST(SetupStrings, EveryLanguageHoldsEveryTextWithTheSamePlaceholders) {
  const QHash<int, QString> en = table("en");
  EXPECT_EQ(en.size(), 132);
  for (const QString& code : SetupTexts::kLanguages.mid(1)) {
    const QHash<int, QString> other = table(code);
    EXPECT_EQ(other.size(), en.size()) << code.toStdString();
    for (auto it = en.begin(); it != en.end(); ++it) {
      ASSERT_TRUE(other.contains(it.key())) << code.toStdString() << " " << it.key();
      EXPECT_FALSE(other.value(it.key()).isEmpty()) << code.toStdString() << " " << it.key();
      EXPECT_EQ(placeholders(other.value(it.key())), placeholders(*it))
          << code.toStdString() << " " << it.key();
    }
  }
}

// The boxes, buttons and error texts speak each language: none is left in English,
// but for the words that language writes as English does.
TEST(SetupStrings, TheTextsOfBoxesButtonsAndErrorsAreTranslated) {
  const QSet<QPair<int, QString>> sameAsEnglish = {{224, "es"}, {232, "es"}, {232, "it"}};
  const QHash<int, QString> en = table("en");
  for (const QString& code : SetupTexts::kLanguages.mid(1)) {
    const QHash<int, QString> other = table(code);
    for (int id = 224; id <= 276; ++id) {
      // "OK" is OK nearly everywhere; the caption line is punctuation only.
      if (!en.contains(id) || id == 229 || id == 274) continue;
      EXPECT_EQ(other.value(id) == en.value(id), sameAsEnglish.contains({id, code}))
          << code.toStdString() << " " << id << " " << other.value(id).toStdString();
    }
  }
}

TEST(SetupStrings, TheLocaleChoosesTheLanguage) {
  qunsetenv("LC_ALL");
  qunsetenv("LC_MESSAGES");
  const std::pair<const char*, const char*> cases[] = {{"de_CH.UTF-8", "de"}, {"nn_NO", "nb"},
                                                       {"pt_BR.UTF-8", "pt"}, {"ja_JP", "en"},
                                                       {"C", "en"},           {"", "en"}};
  for (const auto& [locale, code] : cases) {
    qputenv("LANG", locale);
    EXPECT_EQ(SetupStrings::languageCode(), code) << locale;
  }
  qputenv("LANG", "fr_FR");
  qputenv("LC_MESSAGES", "sv_SE");
  EXPECT_EQ(SetupStrings::languageCode(), "sv");
  qputenv("LC_ALL", "da_DK");
  EXPECT_EQ(SetupStrings::languageCode(), "da");
  EXPECT_EQ(SetupStrings::text(147), "Spring over");
  EXPECT_EQ(SetupStrings::text(9999), "");
  qunsetenv("LC_ALL");
  qunsetenv("LC_MESSAGES");
}
