#include "MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

MsgBoxAnswerer& msgBoxAnswerer() {
  static MsgBoxAnswerer answerer;
  return answerer;
}

DialogAnswerer& dialogAnswerer() {
  static DialogAnswerer answerer;
  return answerer;
}

ButtonWording& buttonWording() {
  static ButtonWording wording;
  return wording;
}

HeadlessLine& headlessLine() {
  static HeadlessLine line;
  return line;
}

QString headlessLineOf(const QString& title, const QString& text) {
  return headlessLine() ? headlessLine()(title, text) : title + QStringLiteral(": ") + text;
}

int defaultAnswer(int buttons, bool second) {
  switch (buttons) {
    case MsgBoxStyle::OkCancel:
      return second ? MsgBoxResult::Cancel : MsgBoxResult::Ok;
    case MsgBoxStyle::YesNo:
    case MsgBoxStyle::YesNoCancel:
      return second ? MsgBoxResult::No : MsgBoxResult::Yes;
    default:
      return MsgBoxResult::Ok;
  }
}

QMessageBox::Icon iconOf(int style) {
  switch (style & 0x70) {
    case MsgBoxStyle::Critical:
      return QMessageBox::Critical;
    case MsgBoxStyle::Question:
      return QMessageBox::Question;
    case MsgBoxStyle::Exclamation:
      return QMessageBox::Warning;
    case MsgBoxStyle::Information:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons buttonsOf(int buttons) {
  switch (buttons) {
    case MsgBoxStyle::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgBoxStyle::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case MsgBoxStyle::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

int answerOf(int button) {
  switch (button) {
    case QMessageBox::Cancel:
      return MsgBoxResult::Cancel;
    case QMessageBox::Yes:
      return MsgBoxResult::Yes;
    case QMessageBox::No:
      return MsgBoxResult::No;
    default:
      return MsgBoxResult::Ok;
  }
}

// The same pictures QMessageBox shows.
QIcon styleIconOf(int style, const QStyle* from) {
  switch (style & 0x70) {
    case MsgBoxStyle::Critical:
      return from->standardIcon(QStyle::SP_MessageBoxCritical);
    case MsgBoxStyle::Question:
      return from->standardIcon(QStyle::SP_MessageBoxQuestion);
    case MsgBoxStyle::Exclamation:
      return from->standardIcon(QStyle::SP_MessageBoxWarning);
    case MsgBoxStyle::Information:
      return from->standardIcon(QStyle::SP_MessageBoxInformation);
    default:
      return {};
  }
}

QLabel* lineLabel(const QString& text) {
  // An empty label would take no height: a blank keeps the empty line.
  auto* label = new QLabel(text.isEmpty() ? QStringLiteral(" ") : text);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// The box's buttons carry the program's words and take at least its caption's
// width, so the box is never narrower than its caption.
void finishButtons(QDialog& box) {
  auto* buttons = box.findChild<QDialogButtonBox*>();
  wordButtons(*buttons);
  buttons->setMinimumWidth(captionWidth(box.windowTitle()));
}

// Qt's message box, which wraps long lines.
std::unique_ptr<QDialog> plainBox(const QString& text, int style, const QString& title, QWidget* owner) {
  const int buttons = style & 0x0F;
  auto box = std::make_unique<QMessageBox>(iconOf(style), title, text, buttonsOf(buttons), owner);
  if (style & MsgBoxStyle::DefaultButton2)
    box->setDefaultButton(buttons == MsgBoxStyle::OkCancel ? QMessageBox::Cancel : QMessageBox::No);
  finishButtons(*box);
  return box;
}

}  // namespace

int captionWidth(const QString& title) {
  // Title bars mostly show their caption in bold; the window manager's icon and
  // buttons with their gaps are taken as five title-bar heights.
  QFont font = QApplication::font("QMdiSubWindowTitleBar");
  font.setBold(true);
  const QFontMetrics metrics(font);
  const int barHeight = qMax(metrics.height(), QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight));
  return metrics.horizontalAdvance(title) + 5 * barHeight;
}

std::unique_ptr<QDialog> columnsBox(const QString& text, int style, const QString& title, QWidget* owner) {
  auto box = std::make_unique<QDialog>(owner);
  box->setWindowTitle(title);
  box->setWindowFlags(box->windowFlags() & ~Qt::WindowContextHelpButtonHint);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(2);
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines)
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
  while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  for (int row = 0; row < lines.size(); ++row) {
    const QString& line = lines.at(row);
    const qsizetype first = line.indexOf(QLatin1Char('\t'));
    if (first < 0) {
      grid->addWidget(lineLabel(line), row, 0, 1, 2);
      continue;
    }
    grid->addWidget(lineLabel(line.left(first)), row, 0);
    grid->addWidget(lineLabel(line.mid(line.lastIndexOf(QLatin1Char('\t')) + 1)), row, 1);
  }
  auto* icon = new QLabel;
  icon->setObjectName(QStringLiteral("icon"));
  const int iconSize = icon->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
  icon->setPixmap(styleIconOf(style, icon->style()).pixmap(iconSize, iconSize));
  icon->setAlignment(Qt::AlignTop);
  auto* content = new QHBoxLayout;
  content->setSpacing(16);
  content->addWidget(icon);
  content->addLayout(grid, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::StandardButtons(buttonsOf(style & 0x0F).toInt()));
  QDialog* dialog = box.get();
  QObject::connect(buttons, &QDialogButtonBox::clicked, dialog, [dialog, buttons](QAbstractButton* button) {
    dialog->done(buttons->standardButton(button));
  });
  auto* layout = new QVBoxLayout(dialog);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(content);
  layout->addWidget(buttons);
  finishButtons(*dialog);
  return box;
}

std::unique_ptr<QDialog> messageBox(const QString& text, int style, const QString& title, QWidget* owner) {
  if (text.contains(QLatin1Char('\t')) || (style & MsgBoxStyle::WholeLines) != 0)
    return columnsBox(text, style, title, owner);
  return plainBox(text, style, title, owner);
}

bool isHeadless() {
  const QString platform = QGuiApplication::platformName();
  return !qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || platform == "offscreen" ||
         platform == "minimal";
}

int MsgBox(const QString& text, int style, const QString& title) {
  const int buttons = style & 0x0F;
  const bool secondIsDefault = (style & MsgBoxStyle::DefaultButton2) != 0;
  if (msgBoxAnswerer()) return msgBoxAnswerer()(text, style, title);
  if (isHeadless()) {
    std::fprintf(stderr, "%s\n", headlessLineOf(title, text).toLocal8Bit().constData());
    return defaultAnswer(buttons, secondIsDefault);
  }
  const int clicked = messageBox(text, style, title, dialogOwner())->exec();
  return clicked == QDialog::Rejected ? defaultAnswer(buttons, secondIsDefault) : answerOf(clicked);
}

void setButtonWording(ButtonWording wording) { buttonWording() = std::move(wording); }

void setHeadlessLine(HeadlessLine line) { headlessLine() = std::move(line); }

void wordButtons(QDialogButtonBox& buttons) {
  if (!buttonWording()) return;
  for (QAbstractButton* button : buttons.buttons())
    if (const QString word = buttonWording()(buttons.standardButton(button)); !word.isEmpty())
      button->setText(word);
}

void setMsgBoxAnswerer(MsgBoxAnswerer answerer) { msgBoxAnswerer() = std::move(answerer); }

void setDialogAnswerer(DialogAnswerer answerer) { dialogAnswerer() = std::move(answerer); }

bool canAnswerDialogs() { return dialogAnswerer() || !isHeadless(); }

QWidget* dialogOwner(const QWidget* except) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != except) return modal;
  QWidget* active = QApplication::activeWindow();
  if (active && active != except) return active;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window != except && window->isVisible() && qobject_cast<QMainWindow*>(window)) return window;
  return nullptr;
}

int execModal(QDialog& dialog) {
  if (!canAnswerDialogs()) return QDialog::Rejected;
  if (!dialog.parentWidget()) {
    if (QWidget* owner = dialogOwner(&dialog)) dialog.setParent(owner, dialog.windowFlags());
  }
  if (dialogAnswerer()) {
    const DialogAnswerer answerer = dialogAnswerer();
    QTimer::singleShot(0, &dialog, [answerer, target = QPointer<QDialog>(&dialog)] {
      if (target) answerer(*target);
    });
  }
  return dialog.QDialog::exec();
}
