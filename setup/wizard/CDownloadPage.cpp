#include "CDownloadPage.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <climits>
#include <limits>

#include "CBootstrapConfig.h"
#include "CPrerequisiteSet.h"
#include "DownloadErrors.h"
#include "DownloadUrl.h"
#include "FormatByteSize.h"
#include "ListColumns.h"
#include "SetupMessages.h"
#include "SetupStrings.h"
#include "ShellOpen.h"
#include "VerifyFileMd5.h"
#include "WrappedRows.h"

namespace {

namespace Text {
constexpr int CheckingMd5 = 138;
constexpr int WrongMd5 = 139;
constexpr int Url = 142;
constexpr int Status = 143;
constexpr int Pause = 158;
constexpr int Resume = 159;
constexpr int SomeNotDownloaded = 183;
constexpr int Pending = 184;
constexpr int Finished = 185;
constexpr int WrongSize = 186;
constexpr int Hours = 189;
constexpr int Minutes = 190;
constexpr int Seconds = 191;
constexpr int Size = 192;
constexpr int Paused = 193;
constexpr int Overall = 194;
constexpr int Downloading = 195;
constexpr int DownloadFinished = 196;
constexpr int Error = 215;
constexpr int AutoInstall = 1026;
constexpr int SavingTo = 1031;
}  // namespace Text

namespace Column {
constexpr int Url = 0;
constexpr int Status = 2;
}  // namespace Column

constexpr int kIndexRole = Qt::UserRole;
constexpr std::uint32_t kWrongSize = 1;
constexpr std::uint32_t kFailed = 2;
constexpr int kPollMs = 10;

qint64 saturatingAdd(qint64 a, qint64 b) {
  return a > std::numeric_limits<qint64>::max() - b ? std::numeric_limits<qint64>::max() : a + b;
}

// A bar's range is an int: byte counts above it are scaled down by a power of two.
void setBar(QProgressBar* bar, qint64 done, qint64 total) {
  int shift = 0;
  while ((total >> shift) > INT_MAX) ++shift;
  bar->setRange(0, int(total >> shift));
  bar->setValue(int(qBound<qint64>(0, done, total) >> shift));
}

QLabel* namedLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

// Removes the folder of a removed download when it is empty and below the download folder.
void removeEmptyFolder(const QString& file, const QString& downloadFolder) {
  const QString folder = QFileInfo(file).absolutePath();
  if (folder.startsWith(QDir::cleanPath(downloadFolder) + '/')) QDir().rmdir(folder);
}

}  // namespace

CDownloadPage::CDownloadPage(CPrereqWizard& wizard)
    : CPrereqWizardPage(wizard),
      list_(new QTreeWidget(this)),
      fileBar_(new QProgressBar(this)),
      allBar_(new QProgressBar(this)),
      pause_(new QPushButton(SetupStrings::text(Text::Pause), this)),
      fileText_(namedLabel(this, "1012")),
      overallText_(namedLabel(this, "1013")),
      speedText_(namedLabel(this, "1014")),
      savingTo_(namedLabel(this, "1031")),
      autoInstall_(new QCheckBox(SetupStrings::text(Text::AutoInstall), this)),
      timer_(new QTimer(this)) {
  list_->setObjectName(QStringLiteral("1007"));
  list_->setRootIsDecorated(false);
  // An error text is read whole: its row grows to hold it.
  new WrappedRows(list_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setHeaderLabels(
      {SetupStrings::text(Text::Url), SetupStrings::text(Text::Size), SetupStrings::text(Text::Status)});
  new ListColumns(list_, Column::Url, {100, 70, 80});
  fileBar_->setObjectName(QStringLiteral("1008"));
  allBar_->setObjectName(QStringLiteral("1009"));
  for (QProgressBar* bar : {fileBar_, allBar_}) {
    bar->setTextVisible(false);
    bar->setValue(0);
  }
  pause_->setObjectName(QStringLiteral("1011"));
  speedText_->setText(QStringLiteral("0 KB/s"));
  savingTo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  autoInstall_->setObjectName(QStringLiteral("1026"));
  autoInstall_->setChecked(true);
  timer_->setInterval(1000);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_, 0, 0, 1, 2);
  layout->addWidget(fileText_, 1, 0, 1, 2);
  layout->addWidget(fileBar_, 2, 0, 1, 2);
  layout->addWidget(overallText_, 3, 0, 1, 2);
  layout->addWidget(allBar_, 4, 0, 1, 2);
  layout->addWidget(speedText_, 5, 0);
  layout->addWidget(pause_, 5, 1);
  auto* saving = new QHBoxLayout;
  saving->addWidget(new QLabel(SetupStrings::text(Text::SavingTo), this));
  saving->addWidget(savingTo_, 1);
  layout->addLayout(saving, 6, 0, 1, 2);
  layout->addWidget(autoInstall_, 7, 0, 1, 2);
  layout->setRowStretch(0, 1);
  layout->setColumnStretch(0, 1);

  connect(timer_, &QTimer::timeout, this, &CDownloadPage::tick);
  connect(pause_, &QPushButton::clicked, this, &CDownloadPage::togglePause);
}

CDownloadPage::~CDownloadPage() {
  closing_ = true;
  stop_ = true;
  paused_ = false;
  job_.waitForEnd();
}

QString CDownloadPage::remainingTimeText(qint64 speed, qint64 bytesLeft) {
  if (speed <= 0) return QString();
  speed = qMax<qint64>(speed, 1024);
  const qint64 left = qMax<qint64>(bytesLeft, 0) / speed;
  const qint64 hours = left / 3600;
  const qint64 minutes = left / 60 % 60;
  const qint64 seconds = left % 60;
  const QString perSecond = FormatByteSize(speed / 1024 * 1024, true);
  if (hours > 0) return setupText(Text::Hours, {QString::number(hours), QString::number(minutes), perSecond});
  if (minutes > 0)
    return setupText(Text::Minutes, {QString::number(minutes), QString::number(seconds), perSecond});
  return setupText(Text::Seconds, {QString::number(seconds), perSecond});
}

int CDownloadPage::percentOf(qint64 done, qint64 total) {
  if (total <= 0) return 0;
  return int(qBound(0.0, double(qMax<qint64>(done, 0)) * 100.0 / double(total), 100.0));
}

// Activation: a return after Back carries on with the transfer as it was;
// anything else starts the queue from its first row.
void CDownloadPage::onSetActive() {
  postTitle();
  const bool anySite = prerequisites().AnyOpenSite();
  autoInstall_->setChecked(!anySite);
  autoInstall_->setEnabled(!anySite);
  setNextPage(anySite ? CPrereqWizard::OpenSitesPage : CPrereqWizard::InstallPage);
  const bool carryOn = std::exchange(leftWithBack_, false) && running_ && sameQueueAsBefore();
  if (!timer_->isActive()) timer_->start();
  if (carryOn) {
    setButtons(true, false, false);
    setPaused(pausedBeforeBack_);
    return;
  }
  setButtons(false, false, false);
  stopJob();
  fill();
  if (queued_.isEmpty()) {
    allDone();
    return;
  }
  row_ = startRow_ = 0;
  startJob();
}

bool CDownloadPage::sameQueueAsBefore() const {
  const CDownloadQueue& queue = prerequisites().queue();
  if (queue.count() != queued_.size()) return false;
  for (int i = 0; i < queue.count(); ++i)
    if (queue.job(i).prerequisiteIndex != queued_.at(i)) return false;
  return true;
}

void CDownloadPage::stopJob() {
  if (!job_.isRunning()) return;
  stop_ = true;
  paused_ = false;
  job_.waitForEnd();
  running_ = false;
}

void CDownloadPage::fill() {
  const CDownloadQueue& queue = prerequisites().queue();
  list_->clear();
  queued_.clear();
  total_ = overallDone_ = 0;
  failures_ = 0;
  paused_ = false;
  pause_->setText(SetupStrings::text(Text::Pause));
  for (int i = 0; i < queue.count(); ++i) {
    const DownloadJobRecord& job = queue.job(i);
    auto* item = new QTreeWidgetItem(
        list_, {job.url, FormatByteSize(job.expectedSize, true), SetupStrings::text(Text::Pending)});
    item->setData(Column::Url, kIndexRole, job.prerequisiteIndex);
    item->setToolTip(Column::Url, job.url);
    queued_.append(job.prerequisiteIndex);
    total_ = saturatingAdd(total_, qMax<qint64>(job.expectedSize, 0));
  }
  setBar(allBar_, 0, total_);
}

QTreeWidgetItem* CDownloadPage::currentItem() const { return list_->topLevelItem(row_); }

QString CDownloadPage::currentName() const {
  return prerequisites().config().prerequisites.at(queued_.at(row_)).name;
}

void CDownloadPage::startJob() {
  CPrerequisiteSet& set = prerequisites();
  const DownloadJobRecord& record = set.queue().job(row_);
  running_ = true;
  fileSize_ = qMax<qint64>(record.expectedSize, 0);
  fileDone_ = 0;
  firstProgress_ = true;
  fileComplete_ = false;
  setBar(fileBar_, 0, fileSize_);
  list_->setCurrentItem(currentItem());
  list_->scrollToItem(currentItem());
  setButtons(false, false, false);
  pause_->setEnabled(false);

  downloadFolder_ = set.queue().folderFor(row_);
  const QString target =
      downloadFolder_.isEmpty() ? QString() : TargetPathFor(QString(), record.url, downloadFolder_);
  savingTo_->setText(QDir::toNativeSeparators(target));
  if (target.isEmpty()) {
    jobError(DownloadErrors::kNoTargetName);
    return;
  }
  expectedSize_ = record.expectedSize;
  md5_ = set.config().prerequisites.at(queued_.at(row_)).md5.toLatin1();
  queueFolder_ = set.queue().downloadFolder();
  stop_ = false;
  seconds_ = 0;
  ++generation_;
  job_.setDownloadFolder(downloadFolder_);
  job_.setObserver(this);
  job_.setExpectedFile(expectedSize_, md5_);
  if (const std::uint32_t code = job_.StartDownload(record.url, QString(), nullptr, true, false); code != 0)
    jobError(code);
}

void CDownloadPage::started(qint64 totalSize, const QString& targetPath) {
  reportedTotal_ = totalSize;
  targetPath_ = targetPath;
  // A size that is known and wrong stops the job before any byte is fetched.
  if (totalSize > 0 && totalSize != expectedSize_) stop_ = true;
  toInterface([this, totalSize] { jobStarted(totalSize); });
}

void CDownloadPage::progress(qint64 bytes) {
  toInterface([this, bytes] { jobProgress(bytes); });
}

// The size and MD5 checks run here, on the job's thread, so that a large file
// does not hold up the window.
void CDownloadPage::finished() {
  const qint64 size = reportedTotal_ > 0 ? reportedTotal_ : QFileInfo(targetPath_).size();
  bool md5Good = true;
  if (size == expectedSize_ && !md5_.isEmpty()) {
    toInterface([this] { currentItem()->setText(Column::Status, SetupStrings::text(Text::CheckingMd5)); });
    md5Good = VerifyFileMd5(targetPath_, md5_, 0);
    if (!md5Good) {
      QFile::remove(targetPath_);
      removeEmptyFolder(targetPath_, queueFolder_);
    }
  }
  toInterface([this, size, md5Good] { jobFinished(size, md5Good); });
}

void CDownloadPage::error(int, std::uint32_t code) {
  toInterface([this, code] { jobError(code); });
}

// What a job says reaches the interface thread only while that job is the
// page's current one: a stopped or retried job's late calls are dropped.
template <typename Work>
void CDownloadPage::toInterface(Work work) {
  const int generation = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, generation, work] {
        if (generation == generation_ && !closing_) work();
      },
      Qt::QueuedConnection);
}

void CDownloadPage::jobStarted(qint64 total) {
  if (closing_) return;
  sheet().setButtonEnabled(QWizard::BackButton, true);
  pause_->setEnabled(true);
  if (total <= 0) return;
  fileSize_ = total;
  setBar(fileBar_, fileDone_, fileSize_);
  if (total != expectedSize_) failRow(kWrongSize, SetupStrings::text(Text::WrongSize));
}

void CDownloadPage::jobProgress(qint64 bytes) {
  if (closing_ || !running_) return;
  fileDone_ = saturatingAdd(fileDone_, bytes);
  overallDone_ = saturatingAdd(overallDone_, bytes);
  if (std::exchange(firstProgress_, false)) baseline_ = fileDone_;
  showBars();
}

void CDownloadPage::showBars() {
  setBar(fileBar_, fileDone_, fileSize_);
  setBar(allBar_, overallDone_, total_);
}

void CDownloadPage::jobFinished(qint64 size, bool md5Good) {
  if (closing_ || !running_) return;
  CPrerequisiteSet& set = prerequisites();
  set.queue().job(row_).status = 0;
  fileSize_ = size;
  if (size != expectedSize_) {
    failRow(kWrongSize, SetupStrings::text(Text::WrongSize));
    return;
  }
  if (!md5Good) {
    failRow(kFailed, SetupStrings::text(Text::WrongMd5));
    return;
  }
  // Programs fetched by the setup itself may run, as they would on Windows.
  if (ShellOpen::isDirectlyRunnable(targetPath_))
    QFile::setPermissions(targetPath_, QFile::permissions(targetPath_) | QFile::ExeOwner);
  const int index = queued_.at(row_);
  set.baseStates[index] = set.chosenStates[index] = PrerequisiteState::Downloaded;
  fileComplete_ = true;
  updateTexts();
  endJob();
}

// An early close is retried, unless it keeps happening without the file getting any further.
void CDownloadPage::jobError(std::uint32_t code) {
  if (closing_ || !running_) return;
  if (code == DownloadErrors::kClosedEarly) {
    const qint64 reached = fileDone_;
    overallDone_ -= fileDone_;
    fileDone_ = 0;
    showBars();
    if (reached > bestReached_) {
      bestReached_ = reached;
      retriesWithoutProgress_ = 0;
    } else {
      ++retriesWithoutProgress_;
    }
    if (retriesWithoutProgress_ <= kMaxRetries) {
      retryJob();
      return;
    }
  }
  const QString text = GetInternetErrorText(code, downloadFolder_);
  speedText_->setText(text);
  failRow(kFailed, setupText(Text::Error, {text}));
}

void CDownloadPage::failRow(std::uint32_t status, const QString& text) {
  prerequisites().queue().job(row_).status = status;
  ++failures_;
  currentItem()->setText(Column::Status, text);
  currentItem()->setToolTip(Column::Status, text);
  stop_ = true;
  endJob();
}

void CDownloadPage::retryJob() {
  stop_ = true;
  if (job_.isRunning()) {
    QTimer::singleShot(kPollMs, this, &CDownloadPage::retryJob);
    return;
  }
  if (!closing_ && running_) startJob();
}

// Once the job's thread has ended, the next row has its turn; the row the
// page started from ends the round.
void CDownloadPage::endJob() {
  if (closing_) return;
  if (job_.isRunning()) {
    QTimer::singleShot(kPollMs, this, &CDownloadPage::endJob);
    return;
  }
  running_ = false;
  row_ = (row_ + 1) % int(queued_.size());
  bestReached_ = 0;
  retriesWithoutProgress_ = 0;
  if (row_ == startRow_)
    allDone();
  else
    startJob();
}

void CDownloadPage::allDone() {
  timer_->stop();
  speedText_->clear();
  savingTo_->clear();
  pause_->setEnabled(false);
  if (failures_ > 0) {
    ShowSetupError(SetupStrings::text(Text::SomeNotDownloaded));
    sheet().goToPage(CPrereqWizard::PrerequisitesPage);
    return;
  }
  sheet().setButtonEnabled(QWizard::NextButton, true);
  if (autoInstall_->isChecked()) sheet().postClick(QWizard::NextButton);
}

void CDownloadPage::tick() {
  if (!running_ || paused_) return;
  const qint64 speed = seconds_ > 0 ? qMax<qint64>(fileDone_ - baseline_, 0) / seconds_ : 0;
  speedText_->setText(remainingTimeText(speed, fileSize_ - fileDone_));
  updateTexts();
  ++seconds_;
}

void CDownloadPage::updateTexts() {
  overallText_->setText(
      setupText(Text::Overall, {QString::number(percentOf(overallDone_, total_)),
                                FormatByteSize(overallDone_, true), FormatByteSize(total_, true)}));
  QTreeWidgetItem* item = currentItem();
  if (!item) return;
  if (paused_) {
    fileText_->setText(SetupStrings::text(Text::Paused));
    item->setText(Column::Status, SetupStrings::text(Text::Paused));
  } else if (fileComplete_) {
    fileText_->setText(SetupStrings::text(Text::DownloadFinished));
    item->setText(Column::Status, SetupStrings::text(Text::Finished));
  } else {
    const int percent = percentOf(fileDone_, fileSize_);
    fileText_->setText(
        setupText(Text::Downloading, {currentName(), QString::number(percent),
                                      FormatByteSize(fileDone_, true), FormatByteSize(fileSize_, true)}));
    item->setText(Column::Status, QString::number(percent) + '%');
  }
}

void CDownloadPage::togglePause() { setPaused(!paused_); }

void CDownloadPage::setPaused(bool paused) {
  paused_ = paused;
  pause_->setText(SetupStrings::text(paused ? Text::Resume : Text::Pause));
  if (paused) {
    speedText_->clear();
  } else {
    seconds_ = 0;
    baseline_ = fileDone_;
  }
  updateTexts();
}

// Going back pauses the transfer; coming back carries on as it was.
int CDownloadPage::onWizBack() {
  leftWithBack_ = true;
  pausedBeforeBack_ = paused_;
  if (running_ && !paused_) setPaused(true);
  timer_->stop();
  return -1;
}

void CDownloadPage::onQueryCancel() {
  timer_->stop();
  stop_ = true;
  paused_ = false;
}
