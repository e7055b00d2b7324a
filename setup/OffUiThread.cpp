#include "OffUiThread.h"

#include <QEventLoop>
#include <thread>

void runOffUiThread(const std::function<void()>& work) {
  QEventLoop loop;
  std::thread worker([&loop, &work] {
    work();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
}
