#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "MlStringModule.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "clsPJLOption.h"
#include "clsSettings.h"
#include "frmMainTest.h"
#include "modPJLOpts.h"

namespace {

// A click on the box itself, where a check box takes it.
void click(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

struct Typed {
  const char* text;
  const char* stored;
};

// An editable combo that offers list entries, the tab of its page, and whether
// it takes a position (a list word or a distance).
struct ListCombo {
  const char* name;
  int tab;
  bool position;
};
constexpr ListCombo kListCombos[] = {
    {"cboScale", 0, false}, {"cboShading", 2, false}, {"cboLabelRot", 2, false}, {"cboLabelSize", 2, false},
    {"cboLabelX", 2, true}, {"cboLabelY", 2, true},   {"cboJustX", 3, true},     {"cboJustY", 3, true}};

// Distances in inches, the printer's own unit: the limit 2500 is taken, one past it is not.
constexpr Typed kPositionNumbers[] = {{"2500", "2500"}, {"2500.1", "0"}, {"2499.9", "2499.9"},
                                      {"0", "0"},       {"-0.1", "0"},   {"12.34", "12.3"}};

// Each interface language with the display name of automatic scaling in its definitions.
struct Language {
  int id;
  const char* automatic;
};
void PrintTo(const Language& language, std::ostream* os) { *os << language.id; }
constexpr Language kLanguages[] = {{9, "Auto"},          {1036, "Automatique"}, {1031, "Automatisch"},
                                   {1034, "Automático"}, {1040, "Automatico"},  {1043, "Auto"}};

// The option's values with their display names, as the loaded definitions list them.
QList<std::pair<QString, QString>> listedValues(const QString& tag) {
  clsPJLOption option;
  option.name = tag;
  QList<std::pair<QString, QString>> listed;
  for (const auto& [key, shown] : option.possibleUIValues())
    if (!shown.isEmpty()) listed.append({key.mid(1), shown});
  return listed;
}

}  // namespace

// The window in one interface language, with one labelled document selected.
class OptionCombosTest : public MainWindowTest, public ::testing::WithParamInterface<Language> {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    SetLanguage(GetParam().id, QString());
    modPJLOpts::Initialise(true);
    addDocument("a.plt")->opts->setPjlOpt("LABELSTRING", "Draft");
    open();
    select({1});
  }

  // Picks the entry from the list as a user does, then moves on.
  void choose(QComboBox* box, const QString& shown) {
    box->setFocus();
    const int index = box->findText(shown);
    ASSERT_GE(index, 0) << shown.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
    leave();
  }

  // Types over the box's text key by key; QTest's own typing takes ASCII only.
  void typeOver(QComboBox* box, const QString& text) {
    box->setFocus();
    box->lineEdit()->selectAll();
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, box->lineEdit(), Qt::Key_unknown, c, {});
    leave();
  }

  // Enters the box and opens its list without choosing, then moves on.
  void passThrough(QComboBox* box) {
    box->setFocus();
    leave();
    box->setFocus();
    box->showPopup();
    QApplication::processEvents();
    box->hidePopup();
    leave();
  }
};

INSTANTIATE_TEST_SUITE_P(Languages, OptionCombosTest, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::to_string(info.param.id); });

TEST_P(OptionCombosTest, EveryListEntryKeepsItsValueWhenChosenOrLeftUntouched) {
  for (const ListCombo& combo : kListCombos) {
    auto* box = control<QComboBox>(combo.name);
    window->tsOpts->setCurrentIndex(combo.tab);
    const QString tag = box->property("Tag").toString();
    const auto listed = listedValues(tag);
    ASSERT_FALSE(listed.isEmpty()) << combo.name;
    for (const auto& [value, shown] : listed) {
      SCOPED_TRACE(std::string(combo.name) + " " + shown.toStdString());
      choose(box, shown);
      EXPECT_EQ(docOption(1, tag), value);
      passThrough(box);
      EXPECT_EQ(docOption(1, tag), value);
      // The scale rule writes a percentage with its sign.
      const bool percent = box == window->cboScale && value != QLatin1String("AUTO");
      EXPECT_EQ(box->currentText(), percent ? shown + '%' : shown);
    }
  }
}

TEST_P(OptionCombosTest, ScaleTakesAutoByItsValueOrDisplayNameInAnyCaseAndSavesItAsToFit) {
  window->tsOpts->setCurrentIndex(0);
  const QString automatic = QString::fromUtf8(GetParam().automatic);
  EXPECT_EQ(window->cboScale->currentText(), automatic);
  for (const QString& typed : {QStringLiteral("auto"), QStringLiteral("AUTO"), automatic, automatic.toLower(),
                               automatic.toUpper()}) {
    typeOver(window->cboScale, "50");
    EXPECT_EQ(docOption(1, "PAGESCALING"), "50");
    EXPECT_EQ(window->cboScale->currentText(), "50%");
    typeOver(window->cboScale, typed);
    EXPECT_EQ(docOption(1, "PAGESCALING"), "AUTO") << typed.toStdString();
    EXPECT_EQ(window->cboScale->currentText(), automatic) << typed.toStdString();
  }
  gJob->kvtFile = TestEnv::freshDir(QStringLiteral("ticket")) + QStringLiteral("/job.kvt");
  ASSERT_TRUE(gJob->saveToKVT());
  const QByteArray ticket = TestEnv::readFile(gJob->kvtFile);
  EXPECT_TRUE(ticket.contains("SCALINGTYPE=TOFIT"));
  EXPECT_FALSE(ticket.contains("SCALINGTYPE=FIXED"));
}

TEST_P(OptionCombosTest, APositionBoxTakesItsListWordsInAnyCaseAndDistancesUpTo2500) {
  gSettings->units.name = "in";
  for (const ListCombo& combo : kListCombos) {
    if (!combo.position) continue;
    auto* box = control<QComboBox>(combo.name);
    window->tsOpts->setCurrentIndex(combo.tab);
    const QString tag = box->property("Tag").toString();
    for (const auto& [value, shown] : listedValues(tag)) {
      for (const QString& typed : {shown.toLower(), shown.toUpper(), shown, value.toLower()}) {
        SCOPED_TRACE(std::string(combo.name) + " " + typed.toStdString());
        typeOver(box, typed);
        EXPECT_EQ(box->currentText(), shown);
        EXPECT_EQ(docOption(1, tag), value);
      }
    }
    for (const Typed& typed : kPositionNumbers) {
      SCOPED_TRACE(std::string(combo.name) + " " + typed.text);
      typeOver(box, typed.text);
      EXPECT_EQ(box->currentText(), typed.stored);
      EXPECT_EQ(docOption(1, tag), typed.stored);
    }
  }
}

TEST_F(MainWindowTest, AnOptionIsStoredInExactlyTheSelectedRows) {
  addDocument("a.plt");
  addDocument("b.plt");
  addDocument("c.plt");
  open();
  select({0, 2});
  const int film = window->cboMedia->findText("Film");
  ASSERT_GE(film, 0);
  window->cboMedia->setCurrentIndex(film);
  emit window->cboMedia->activated(film);
  EXPECT_EQ(docOption(0, "MEDIANAME"), "\"Film\"");
  EXPECT_EQ(docOption(1, "MEDIANAME"), "\"ANY\"");
  EXPECT_EQ(docOption(2, "MEDIANAME"), "\"Film\"");
  EXPECT_EQ(docOption(3, "MEDIANAME"), "\"ANY\"");
  EXPECT_EQ(column(4), (QStringList{"Film", "ANY", "Film", "ANY"}));
}

TEST_F(MainWindowTest, CopiesOutsideTheirRangeResetToOne) {
  open();
  for (const Typed& typed : {Typed{"0", "1"}, Typed{"1000", "1"}, Typed{"999", "999"}, Typed{"2.5", "2"},
                             Typed{"3.5", "4"}, Typed{"abc", "1"}}) {
    typeInto(window->txtCopies, typed.text);
    leave();
    EXPECT_EQ(window->txtCopies->text(), typed.stored) << typed.text;
    EXPECT_EQ(gJob->jobOpts->pjlOpt("COPIES").toString(), typed.stored) << typed.text;
  }
}

TEST_F(MainWindowTest, PriorityAboveTenResetsToFive) {
  open();
  for (const Typed& typed : {Typed{"10", "10"}, Typed{"11", "5"}, Typed{"1", "1"}, Typed{"0", "5"}}) {
    typeInto(window->txtPriority, typed.text);
    leave();
    EXPECT_EQ(gJob->jobOpts->pjlOpt("PRIORITY").toString(), typed.stored) << typed.text;
  }
}

TEST_F(MainWindowTest, ASpinnerArrowStoresTheNextNumber) {
  open();
  typeInto(window->txtCopies, "4");
  leave();
  window->vsCopies->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(gJob->jobOpts->pjlOpt("COPIES").toString(), "5");
}

TEST_F(MainWindowTest, DocumentCopiesApplyWhileTyping) {
  addDocument("a.plt");
  open();
  select({1});
  typeInto(window->txtDocCopies, "25");
  EXPECT_EQ(docOption(1, "DOCCOPIES"), "25");
  typeInto(window->txtDocCopies, "abc");
  EXPECT_EQ(docOption(1, "DOCCOPIES"), "25");
  leave();
  EXPECT_EQ(docOption(1, "DOCCOPIES"), "1");
  EXPECT_EQ(row(1)->text(1), "1");
}

TEST_F(MainWindowTest, ScaleIsAutoOrAPercentageFromTenTo999) {
  addDocument("a.plt");
  open();
  select({1});
  window->tsOpts->setCurrentIndex(0);
  for (const Typed& typed :
       {Typed{"auto", "AUTO"}, Typed{"5", "100"}, Typed{"12.34", "12.3"}, Typed{"1000", "100"},
        Typed{"999", "999"}, Typed{"10", "10"}, Typed{"9.9", "100"}}) {
    typeInto(window->cboScale, typed.text);
    leave();
    EXPECT_EQ(docOption(1, "PAGESCALING"), typed.stored) << typed.text;
  }
  EXPECT_EQ(window->cboScale->currentText(), "100%");
}

TEST_F(MainWindowTest, JustificationIsADistanceInUserUnitsOrAListWord) {
  addDocument("a.plt");
  gSettings->units.name = "mm";
  open();
  select({1});
  window->tsOpts->setCurrentIndex(3);
  typeInto(window->cboJustX, "-3");
  leave();
  EXPECT_EQ(window->cboJustX->currentText(), "0");
  EXPECT_EQ(docOption(1, "JUSTIFYX"), "0");
  EXPECT_EQ(window->lblJustUnitsX->text(), "mm");
  typeInto(window->cboJustX, "25");
  leave();
  EXPECT_EQ(docOption(1, "JUSTIFYX"), "0.98");
  typeInto(window->cboJustX, "2501");
  leave();
  EXPECT_EQ(docOption(1, "JUSTIFYX"), "0");
  window->cboJustX->setFocus();
  const int left = window->cboJustX->findText("Left");
  window->cboJustX->setCurrentIndex(left);
  emit window->cboJustX->activated(left);
  EXPECT_EQ(window->lblJustUnitsX->text(), "");
  leave();
  EXPECT_EQ(docOption(1, "JUSTIFYX"), "LEFT");
  // Shown again in the user's unit.
  select({0});
  select({1});
  EXPECT_EQ(window->cboJustX->currentText(), "Left");
}

TEST_F(MainWindowTest, MirrorBoxesMakeOneValue) {
  addDocument("a.plt");
  open();
  select({1});
  window->tsOpts->setCurrentIndex(3);
  window->chkMirrorX->setFocus();
  click(window->chkMirrorX);
  click(window->chkMirrorY);
  leave();
  EXPECT_EQ(docOption(1, "MIRRORIMAGE"), "MIRROR_XY");
  click(window->chkMirrorX);
  leave();
  EXPECT_EQ(docOption(1, "MIRRORIMAGE"), "MIRROR_Y");
}

TEST_F(MainWindowTest, UntickingAccountingClearsTheFieldsAndTheJobValues) {
  gJob->jobOpts->setPjlOpt("ACCT_ACCTID", "4711");
  open();
  EXPECT_TRUE(window->chkAcct->isChecked());
  EXPECT_EQ(window->txtAcct->text(), "4711");
  EXPECT_TRUE(window->txtAcct->isVisible());
  click(window->chkAcct);
  EXPECT_FALSE(window->txtAcct->isVisible());
  EXPECT_EQ(window->txtAcct->text(), "");
  EXPECT_EQ(gJob->jobOpts->pjlOpt("ACCT_ACCTID").toString(), "");
  EXPECT_EQ(gJob->jobOpts->pjlOpt("ACCT_USERID").toString(), "");
  click(window->chkAcct);
  EXPECT_TRUE(window->txtAcct->isVisible());
  EXPECT_EQ(gJob->jobOpts->pjlOpt("ACCT_ACCTID").toString(), "");
}

TEST_F(MainWindowTest, HoldAndCollationStoreTheirValuesInTheJob) {
  open();
  EXPECT_FALSE(window->chkHold->isChecked());
  click(window->chkHold);
  EXPECT_EQ(gJob->jobOpts->pjlOpt("HOLDRELEASE").toString(), "HOLD");
  click(window->chkHold);
  EXPECT_EQ(gJob->jobOpts->pjlOpt("HOLDRELEASE").toString(), "NONE");
  const int on = window->cboCollate->findText("On");
  window->cboCollate->setCurrentIndex(on);
  emit window->cboCollate->activated(on);
  EXPECT_EQ(gJob->jobOpts->pjlOpt("COLLATIONENABLE").toString(), "ON");
  gJob->jobOpts->setPjlOpt("HOLDRELEASE", "HOLD");
  window->RefreshFromJob();
  EXPECT_TRUE(window->chkHold->isChecked());
  EXPECT_EQ(window->cboCollate->currentText(), "On");
}

TEST_F(MainWindowTest, UntickingFinishingStoresTheDefaultProgram) {
  addDocument("a.plt")->opts->setPjlOpt("FINISHPROGID", "Stack");
  open();
  select({1});
  window->tsOpts->setCurrentIndex(1);
  EXPECT_TRUE(window->chkFinishing->isChecked());
  click(window->chkFinishing);
  EXPECT_EQ(row(1)->text(5), "No");
  EXPECT_FALSE(window->cboFinProg->isVisible());
}

TEST_F(MainWindowTest, TheTabsShowOnePageEach) {
  open();
  const QList<int> frames = {1, 0, 2, 3};
  for (int tab = 0; tab < 4; ++tab) {
    window->tsOpts->setCurrentIndex(tab);
    for (int frame = 0; frame < 4; ++frame)
      EXPECT_EQ(window->frameTabs[frame]->isVisible(), frame == frames[tab]) << tab << " " << frame;
  }
}
