#include "frmDebug.h"

#include "MLRuntime.h"
#include "MlStringModule.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kMaxLogChars = 20000;
constexpr int kKeptLogChars = 15000;
}  // namespace

frmDebug& frmDebug::instance() {
  static frmDebug* window = new frmDebug;
  return *window;
}

frmDebug::frmDebug()
    : txtDebug(new QPlainTextEdit(this)), ml_RuntimeSupport(new MLRuntime::RuntimeSupport(this)) {
  setWindowTitle(QStringLiteral("Vondir Suite Message Log"));
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(txtDebug);
  txtDebug->setReadOnly(true);
  txtDebug->setLineWrapMode(QPlainTextEdit::NoWrap);
  resize(640, 320);
  connect(ml_RuntimeSupport, &MLRuntime::RuntimeSupport::LanguageChanged, this,
          &frmDebug::ml_RuntimeSupport_LanguageChanged);
}

void frmDebug::addLine(const QString& line) {
  logText = line + QStringLiteral("\r\n") + logText;
  txtDebug_Change();
}

QString frmDebug::text() const { return logText; }

void frmDebug::txtDebug_Change() {
  const bool cut = logText.size() > kMaxLogChars;
  if (cut) logText.truncate(kKeptLogChars);
  txtDebug->setPlainText(logText);
  if (cut) {
    QTextCursor cursor = txtDebug->textCursor();
    cursor.setPosition(std::min<int>(kKeptLogChars - 1, txtDebug->document()->characterCount() - 1));
    txtDebug->setTextCursor(cursor);
  }
  // Lines must appear while the program is busy on this thread.
  if (isVisible()) repaint();
}

void frmDebug::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}
