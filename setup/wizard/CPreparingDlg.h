#pragma once

#include <QDialog>
#include <functional>

class QLabel;

// The modeless "Preparing..." status box shown around each slow step. The
// step runs off the user-interface thread, so the box stays painted.
class CPreparingDlg : public QDialog {
  Q_OBJECT

 public:
  // Shows the box centred on the screen; an empty caption keeps "Setup".
  explicit CPreparingDlg(const QString& caption = QString());

  void setText(const QString& text);

  // Runs `step` on a worker thread once the box is on the screen, and returns
  // when it is done. The step must not touch any widget.
  void run(const std::function<void()>& step);

 private:
  void centre();
  void waitUntilShown();

  QLabel* text_;
};
