#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QTimer>
#include <atomic>
#include <thread>

#include "CPreparingDlg.h"

// The box's text is up before the step starts, and events keep flowing while it runs.
TEST(CPreparingDlgTest, TheTextStandsAndEventsFlowWhileTheStepRuns) {
  CPreparingDlg status(QStringLiteral("KVT Setup"));
  status.setText(QStringLiteral("Checking integrity (MD5)..."));
  std::atomic<bool> visibleAtStart{false};
  std::atomic<bool> ticked{false};
  std::thread::id stepThread;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ticked = true; });
  timer.start(10);
  status.run([&] {
    visibleAtStart = status.isVisible();
    stepThread = std::this_thread::get_id();
    const QDeadlineTimer deadline(5000);
    while (!ticked && !deadline.hasExpired()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  EXPECT_TRUE(visibleAtStart);
  EXPECT_TRUE(ticked);
  EXPECT_NE(stepThread, std::this_thread::get_id());
  EXPECT_EQ(status.findChild<QLabel*>("1001")->text(), "Checking integrity (MD5)...");
  EXPECT_EQ(status.windowTitle(), "KVT Setup");
}
