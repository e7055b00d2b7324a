#include "clsJob.h"

#include <QFileInfo>

#include "MessageBox.h"
#include "MlStringModule.h"
#include "UserInfo.h"
#include "ccrpTimer.h"
#include "clsSettings.h"
#include "modFileSystem.h"

std::unique_ptr<clsJob> gJob;

namespace {

QString keyOf(qint32 id) { return QStringLiteral("x") + QString::number(id); }

}  // namespace

clsJob::clsJob()
    : jobOpts(std::make_unique<clsPJLOptionSet>()),
      docDefaults(std::make_unique<clsPJLOptionSet>()),
      tmr(std::make_unique<ccrpTimer>()) {
  connect(tmr.get(), &ccrpTimer::Timer, this, &clsJob::tmr_Timer);
  if (gSettings) printerName = gSettings->printers.names().value(0);
  const QString owner = loggedOnUserName();
  if (!owner.isEmpty()) jobOpts->setPjlOpt(QStringLiteral("OWNER"), owner);
}

clsJob::~clsJob() { tmr->setEnabled(false); }

qint32 clsJob::documentCount() const { return static_cast<qint32>(documents_.size()); }

const clsJob::Documents& clsJob::docs() const { return documents_; }

clsDocument* clsJob::document(qint32 id) const {
  const auto* found = documents_.find(keyOf(id));
  return found ? found->get() : nullptr;
}

void clsJob::moveDocs(const QList<qint32>& docIds, qint32 beforeId) {
  Documents moved;
  const auto appendListed = [&] {
    for (const qint32 id : docIds)
      if (const auto* doc = documents_.find(keyOf(id))) moved.insert(keyOf(id), *doc);
  };
  const bool targetExists = beforeId >= 0 && documents_.contains(keyOf(beforeId));
  for (const auto& [key, doc] : documents_) {
    if (targetExists && doc->id == beforeId) appendListed();
    if (!docIds.contains(doc->id)) moved.insert(key, doc);
  }
  // A target that names no document must not lose the listed documents.
  if (!targetExists) appendListed();
  documents_ = std::move(moved);
}

void clsJob::deleteDoc(qint32 id) { documents_.remove(keyOf(id)); }

clsDocument* clsJob::addDoc(qint32 beforeId, const QString& fileName, const clsPJLOptionSet* options) {
  const clsPJLOptionSet& opts = options ? *options : *docDefaults;
  if (PathExists(fileName, true)) return addFolder(beforeId, fileName, opts);
  return addFile(beforeId, fileName, opts);
}

// Opening anything but a regular file could block (a FIFO) or never end (a device).
clsDocument* clsJob::addFile(qint32 beforeId, const QString& fileName, const clsPJLOptionSet& options) {
  if (pathKind(fileName) == PathKind::File) return addDocument(beforeId, fileName, options);
  refuse(fileName);
  return nullptr;
}

void clsJob::refuse(const QString& fileName) {
  ++refused_;
  MsgBox(fileName, MsgBoxStyle::Information, GetResString(101));
}

clsDocument* clsJob::addFolder(qint32 beforeId, const QString& folder, const clsPJLOptionSet& options) {
  clsDocument* last = nullptr;
  for (const QString& name : GetFileNames(folder))
    if (clsDocument* added = addFile(beforeId, folder + QLatin1Char('/') + name, options)) last = added;
  for (const QString& name : GetSubFolderNames(folder)) {
    const QString sub = folder + QLatin1Char('/') + name;
    // A link back up the tree would never end.
    if (QFileInfo(sub).isSymLink()) continue;
    if (clsDocument* added = addFolder(beforeId, sub, options)) last = added;
  }
  return last;
}

clsDocument* clsJob::addDocument(qint32 beforeId, const QString& fileName, const clsPJLOptionSet& options) {
  auto doc = std::make_shared<clsDocument>();
  doc->opts = options.Clone(false, false);
  doc->fileName = fileName;
  doc->id = nextDocId_++;
  clsDocument* added = doc.get();
  const QString key = keyOf(doc->id);
  const qsizetype position = beforeId >= 0 ? documents_.indexOf(keyOf(beforeId)) : -1;
  if (position >= 0)
    documents_.insertAt(position, key, std::move(doc));
  else
    documents_.insert(key, std::move(doc));
  return added;
}
