#include <QDialogButtonBox>
#include <QPushButton>
#include <QSet>
#include <QTextDocument>

#include "ButtonCaptions.h"
#include "CExtractProgressDlg.h"
#include "CPrereqProgressDlg.h"
#include "MessageBox.h"
#include "SetupTexts.h"
#include "WizardTestBase.h"

namespace {

constexpr int kInformation = 0;

// The texts of one language the wizard's pages show: the string table by id,
// the information page as kInformation.
QHash<int, QString> pageTexts(const QString& code) {
  QHash<int, QString> texts = SetupTexts::table(code);
  QFile information(":/setup-info/" + code + ".html");
  EXPECT_TRUE(information.open(QIODevice::ReadOnly)) << code.toStdString();
  QTextDocument document;
  document.setHtml(QString::fromUtf8(information.readAll()));
  texts.insert(kInformation, document.toPlainText());
  return texts;
}

struct NamedButton {
  QWizard::WizardButton button;
  QList<int> textsNamingIt;
};

const NamedButton kNamedButtons[] = {
    {QWizard::BackButton, {178, 179}},
    {QWizard::NextButton, {kInformation, 154, 155, 156, 171}},
    {QWizard::FinishButton, {157, 170, 180}},
    {QWizard::CancelButton, {kInformation}},
};

// The word each language's page texts name Back, Next, Finish and Cancel by.
struct ButtonWords {
  const char* language;
  const char* words[4];
};

const ButtonWords kButtonWords[] = {
    {"en", {"Back", "Next", "Finish", "Cancel"}},
    {"fr", {"Précédent", "Suivant", "Terminer", "Annuler"}},
    {"de", {"Zurück", "Weiter", "Fertig stellen", "Abbrechen"}},
    {"es", {"Atrás", "Siguiente", "Finalizar", "Cancelar"}},
    {"it", {"Indietro", "Avanti", "Fine", "Annulla"}},
    {"nl", {"Vorige", "Volgende", "Voltooien", "Annuleren"}},
    {"pt", {"Anterior", "Seguinte", "Concluir", "Cancelar"}},
    {"sv", {"Bakåt", "Nästa", "Slutför", "Avbryt"}},
    {"da", {"Tilbage", "Næste", "Udfør", "Annuller"}},
    {"nb", {"Tilbake", "Neste", "Fullfør", "Avbryt"}},
};

class ButtonCaptionsTest : public WizardTestBase {};

TEST_F(ButtonCaptionsTest, EveryButtonAPageTextNamesCarriesThatWordInEveryLanguage) {
  add("vb");
  for (const auto& [language, words] : kButtonWords) {
    qputenv("LC_ALL", language);
    wizard_.reset();
    open();
    const QHash<int, QString> texts = pageTexts(language);
    for (int i = 0; i < 4; ++i) {
      const QString word = QString::fromUtf8(words[i]);
      const NamedButton& named = kNamedButtons[i];
      for (int id : named.textsNamingIt)
        EXPECT_TRUE(texts.value(id).contains(word)) << language << " " << id << " " << words[i];
      const QString caption = button(named.button)->text();
      EXPECT_TRUE(QString(caption).remove('&').contains(word))
          << language << " " << caption.toStdString() << " " << words[i];
    }
  }
}

// The letter each wizard button is reached by: Back, Next and Finish each have their own.
TEST_F(ButtonCaptionsTest, EachWizardButtonHasItsAccessKeyInEveryLanguage) {
  const struct {
    const char* language;
    char back, next, finish;
  } cases[] = {{"en", 'B', 'N', 'F'}, {"fr", 'P', 'S', 'T'}, {"de", 'Z', 'W', 'F'}, {"es", 'A', 'S', 'F'},
               {"it", 'I', 'A', 'F'}, {"nl", 'o', 'V', 't'}, {"pt", 'A', 'S', 'C'}, {"sv", 'B', 'N', 'S'},
               {"da", 'T', 'N', 'U'}, {"nb", 'T', 'N', 'F'}};
  for (const auto& c : cases) {
    const SetupTexts::Language language(c.language);
    wizard_.reset();
    open();
    const std::pair<QWizard::WizardButton, char> keys[] = {
        {QWizard::BackButton, c.back}, {QWizard::NextButton, c.next}, {QWizard::FinishButton, c.finish}};
    for (const auto& [which, key] : keys) {
      const QString caption = button(which)->text();
      const qsizetype amp = caption.indexOf('&');
      ASSERT_GE(amp, 0) << c.language << " " << caption.toStdString();
      EXPECT_EQ(caption.at(amp + 1), QChar(key)) << c.language << " " << caption.toStdString();
      EXPECT_EQ(caption.count('&'), 1) << c.language << " " << caption.toStdString();
    }
    EXPECT_FALSE(button(QWizard::CancelButton)->text().contains('&')) << c.language;
  }
}

// OK, Cancel, Yes and No as the setup words them, also where Qt has no translation.
struct StandardWords {
  const char* language;
  const char* ok;
  const char* cancel;
  const char* yes;
  const char* no;
};

const StandardWords kStandardWords[] = {
    {"en", "OK", "Cancel", "&Yes", "&No"},     {"fr", "OK", "Annuler", "&Oui", "&Non"},
    {"de", "OK", "Abbrechen", "&Ja", "&Nein"}, {"es", "Aceptar", "Cancelar", "&Sí", "&No"},
    {"it", "OK", "Annulla", "&Sì", "&No"},     {"nl", "OK", "Annuleren", "&Ja", "&Nee"},
    {"pt", "OK", "Cancelar", "&Sim", "&Não"},  {"sv", "OK", "Avbryt", "&Ja", "&Nej"},
    {"da", "OK", "Annuller", "&Ja", "&Nej"},   {"nb", "OK", "Avbryt", "&Ja", "&Nei"},
};

class StandardButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override { ButtonCaptions::wordStandardButtons(); }
  void TearDown() override { setButtonWording(nullptr); }

  static QString buttonText(const QDialog& dialog, QDialogButtonBox::StandardButton which) {
    const auto* buttons = dialog.findChild<QDialogButtonBox*>();
    return buttons && buttons->button(which) ? buttons->button(which)->text() : QString("(none)");
  }
};

// Both kinds of box the setup shows: Qt's and the one that keeps whole lines.
TEST_F(StandardButtonsTest, MessageBoxesWordTheirButtonsInEveryLanguage) {
  for (const StandardWords& words : kStandardWords) {
    const SetupTexts::Language language(words.language);
    for (const int lines : {0, MsgBoxStyle::WholeLines}) {
      const auto yesNo = messageBox("?", MsgBoxStyle::YesNo | MsgBoxStyle::Exclamation | lines, "t", nullptr);
      EXPECT_EQ(buttonText(*yesNo, QDialogButtonBox::Yes), words.yes) << words.language << lines;
      EXPECT_EQ(buttonText(*yesNo, QDialogButtonBox::No), words.no) << words.language << lines;
      const auto okCancel =
          messageBox("!", MsgBoxStyle::OkCancel | MsgBoxStyle::Critical | lines, "t", nullptr);
      EXPECT_EQ(buttonText(*okCancel, QDialogButtonBox::Ok), words.ok) << words.language << lines;
      EXPECT_EQ(buttonText(*okCancel, QDialogButtonBox::Cancel), words.cancel) << words.language << lines;
    }
  }
}

int extractNothing(ExtractFilesArgs*) { return 0; }

TEST_F(StandardButtonsTest, ProgressDialogsCancelInEveryLanguage) {
  CBootstrapConfig config;
  CPayloadArchive archive;
  for (const StandardWords& words : kStandardWords) {
    const SetupTexts::Language language(words.language);
    CPrerequisiteSet set(config, archive);
    const CPrereqProgressDlg passes(set, QString());
    EXPECT_EQ(buttonText(passes, QDialogButtonBox::Cancel), words.cancel) << words.language;
    EXPECT_EQ(passes.windowTitle(), SetupTexts::text(words.language, 128)) << words.language;
    const CExtractProgressDlg extraction(&extractNothing, ExtractFilesArgs{}, "t");
    EXPECT_EQ(buttonText(extraction, QDialogButtonBox::Cancel), words.cancel) << words.language;
  }
}

}  // namespace
