#include <QSet>
#include <QTextDocument>

#include "MLRuntime.h"
#include "WizardButtonCaptions.h"
#include "WizardTestBase.h"

namespace {

constexpr int kInformation = 0;

// The texts of one language the wizard's pages show: the string table by id,
// the information page as kInformation.
QHash<int, QString> pageTexts(const QString& code) {
  QHash<int, QString> texts;
  QFile strings(":/setup-strings/" + code + ".txt");
  EXPECT_TRUE(strings.open(QIODevice::ReadOnly)) << code.toStdString();
  MLRuntime::StringTable::parseTable(strings.readAll(), texts);
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

class WizardButtonCaptionsTest : public WizardTestBase {};

TEST_F(WizardButtonCaptionsTest, EveryButtonAPageTextNamesCarriesThatWordInEveryLanguage) {
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

TEST_F(WizardButtonCaptionsTest, BackNextAndFinishEachHaveTheirOwnAccessKey) {
  for (const auto& words : kButtonWords) {
    QSet<QChar> keys;
    for (auto which : {QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton}) {
      const QString text = WizardButtonCaptions::caption(words.language, which);
      const qsizetype amp = text.indexOf('&');
      ASSERT_GE(amp, 0) << words.language << " " << which;
      keys.insert(text.at(amp + 1).toLower());
    }
    EXPECT_EQ(keys.size(), 3) << words.language;
  }
}

}  // namespace
