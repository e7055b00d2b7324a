#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// Registry data types.
namespace RegType {
constexpr quint32 Sz = 1;
constexpr quint32 ExpandSz = 2;
constexpr quint32 Binary = 3;
constexpr quint32 Dword = 4;
constexpr quint32 MultiSz = 7;
}  // namespace RegType

// One value as the registry holds it: its type and its raw bytes (texts in
// ANSI with their terminating NUL, a DWORD as four little-endian bytes).
struct RegValue {
  quint32 type = RegType::Sz;
  QByteArray data;
  bool operator==(const RegValue&) const = default;
};

// What a key holds, for sizing and counting.
struct RegKeyInfo {
  int subKeys = 0;
  int values = 0;
  int longestSubKeyName = 0;
  int longestValueName = 0;
  int longestValueData = 0;
};

// The registry stand-in: one REGEDIT4 text file per root key. Every change is
// made under an exclusive lock on the file as it is on disk (read again when it
// changed) and is on disk before the call returns, or, inside a batch, once the
// batch commits. Reads of a file that is unchanged on disk (same identity, size,
// modification and change time) are served from its last parse, shared by every
// store of the process. Paths use "\"; empty components are skipped.
class RegistryStore {
 public:
  explicit RegistryStore(quint32 root);
  ~RegistryStore();

  // While a chain lives, the reads of the store look at the file once: each is
  // served from the state the first found (or the last write of the chain left).
  class Chain {
   public:
    explicit Chain(RegistryStore& store);
    ~Chain();
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

   private:
    RegistryStore& store_;
  };

  // The state of a batch.
  struct Pending;

  // Makes many changes one rewrite of the file. From its first look at the file until it
  // ends, a batch holds the file's lock: every change made through any store of its root on
  // this thread goes into the batch, and their reads see what it holds; other threads wait for
  // it, and other processes see the file as it was before the batch or after it. A batch begun
  // while another of the same root lives is part of that one, and only the outermost commits
  // or, ending uncommitted, drops the changes.
  class Batch {
   public:
    explicit Batch(RegistryStore& store);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // Writes the changes so far as one rewrite (one temporary file, one sync, one rename);
    // false when that fails, and the changes are gone. Inside another batch: true.
    bool commit();
    // Runs `done` once the changes so far are on disk; never when they do not get there.
    void whenWritten(std::function<void()> done);

   private:
    friend class RegistryStore;
    RegistryStore& store_;
    std::shared_ptr<Pending> pending_;
    bool outermost_ = false;
  };

  // "HKEY_CURRENT_USER" and the like; empty for a root we do not know.
  static QString rootName(quint32 root);
  // The folder that holds the file of `root`.
  static QString folderOf(quint32 root);
  QString filePath() const;

  // Where problems with the file (a damaged file kept aside) are told.
  void setReporter(std::function<void(const QString&)> reporter);

  // Opens the key, creating it (and missing parents) when absent. For writing,
  // the file must be writable; reading never creates the folder.
  bool openKey(const QString& path, bool forWrite);
  std::optional<RegValue> queryValue(const QString& path, const QString& name);
  bool setValue(const QString& path, const QString& name, const RegValue& value);
  QList<std::pair<QString, RegValue>> values(const QString& path);
  QStringList subKeys(const QString& path);
  bool deleteValue(const QString& path, const QString& name);
  // Deletes the key with all its sub-keys.
  bool deleteKey(const QString& path);
  std::optional<RegKeyInfo> keyInfo(const QString& path);

  // How many times any store of the process has parsed a file, and has rewritten one.
  static int parseCount();
  static int writeCount();

  // The keys of one root as read from its file.
  class Tree;
  // A parsed file with what identifies the state of the file it came from.
  struct Parsed;

 private:
  // The cached parse when the file is as it was when parsed (read again to be
  // sure within the clock tick of a change), an empty one when there is no
  // file; nullptr when it must be parsed. Call with the cache held.
  std::shared_ptr<Parsed> unchanged();
  bool stillHolds(Parsed& parsed) const;
  // The file as it is on disk, parsed again only when it changed; nullptr when
  // it cannot be read. A file that is not registry text at all is kept aside
  // (when `locked`, so no writer races the rename) and reads as empty; single
  // lines that cannot be read are skipped and reported. Call with the cache held.
  std::shared_ptr<Parsed> load(bool locked);
  bool writeFile(Parsed& parsed);
  bool isWritable() const;
  // What the batch's reads see: the file as it was at its first look, with its changes.
  std::shared_ptr<Parsed> forReading(Pending& batch);
  // The batch's own copy for a change, read again when the batch had not locked the file yet;
  // nullptr when the file cannot be written. Call with the cache held.
  std::shared_ptr<Parsed> forChange(Pending& batch);
  // Runs `change` as a batch of its own (or as part of the batch that lives); when it reports
  // a change the file is rewritten. False when the change or the write fails.
  bool update(const std::function<bool(Tree&, bool& changed)>& change);
  // Runs `read` on the file as it is on disk; false when it cannot be read.
  bool inspect(const std::function<void(const Tree&)>& read);
  void report(const QString& message) const;

  quint32 root_;
  QString rootName_;
  QByteArray rootAnsi_;
  QString folder_;
  QString filePath_;
  QByteArray nativePath_;
  QByteArray lockPath_;
  std::function<void(const QString&)> reporter_;
  // What the reads of the current chain are served from.
  std::shared_ptr<Parsed> pinned_;
  int chains_ = 0;
};
