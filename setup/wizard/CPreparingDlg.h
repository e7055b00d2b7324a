#pragma once

#include <QDialog>

class QLabel;

// The modeless "Preparing..." status box shown around each slow step.
class CPreparingDlg : public QDialog {
  Q_OBJECT

 public:
  // Shows the box centred on the screen; an empty caption keeps "Setup".
  explicit CPreparingDlg(const QString& caption = QString());

  void setText(const QString& text);

 private:
  QLabel* text_;
};
