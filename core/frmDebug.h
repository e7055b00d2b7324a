#pragma once

#include <QWidget>

class QPlainTextEdit;
namespace MLRuntime {
class RuntimeSupport;
}

// The log window: the log, newest line first. Loaded on first use, kept for
// the whole run, shown only when start-up asks for it.
class frmDebug : public QWidget {
  Q_OBJECT
 public:
  static frmDebug& instance();

  // Puts a line on top; past 20000 characters the text is cut to its first 15000.
  void addLine(const QString& line);
  QString text() const;

 private:
  frmDebug();
  void txtDebug_Change();
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  // The log as lines ended by CR LF; the text box shows it.
  QString logText;
  QPlainTextEdit* txtDebug;
  MLRuntime::RuntimeSupport* ml_RuntimeSupport;
};
