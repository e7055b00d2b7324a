#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

// Predefined root keys.
constexpr quint32 HKEY_CLASSES_ROOT = 0x80000000;
constexpr quint32 HKEY_CURRENT_USER = 0x80000001;
constexpr quint32 HKEY_LOCAL_MACHINE = 0x80000002;
constexpr quint32 HKEY_USERS = 0x80000003;

// Registry access: one object stands for one key. Values are QVariants typed as
// the registry types them: QByteArray (binary), QStringList (multi-string),
// int (DWORD), QString (text); other variants are written as text.
class RegObj {
 public:
  RegObj();
  ~RegObj();
  RegObj(const RegObj&) = delete;
  RegObj& operator=(const RegObj&) = delete;

  void setRoot(quint32 root);
  quint32 root() const;
  void setKey(const QString& key);
  QString key() const;
  void setOptions(int options);

  // The key can be opened (and so created) with read and write access.
  bool haveWritePerms();

  // The value, or an invalid QVariant (Empty) when there is none.
  QVariant value(const QString& valueName);
  // Writes the value; an invalid QVariant (Empty) writes nothing and succeeds.
  // False when the value could not be written (no key, a value that does not
  // convert, an unsupported existing type, a failed store).
  bool setValue(const QString& valueName, const QVariant& vValue);

  // Names and values in enumeration order; empty when none or the key cannot be opened.
  QList<QPair<QString, QVariant>> AllValues();
  // Sub-key names; empty when none or the key cannot be opened.
  QStringList AllKeys();

  bool DeleteValue(const QString& valueName);
  // Deletes the key with all its sub-keys; the object then stands for the parent.
  bool DeleteKey();

  int ValueCount();
  int KeyCount();

  // How many times any object has enumerated a key's values into its cache.
  static int enumerationCount();

  // Makes the writes of every object on the root, from the batch's start to `commit`, one
  // change of the registry: other programs see all of them or none, and what the objects read
  // meanwhile is the registry as the batch changes it. A batch begun while another lives is
  // part of it; the outermost one writes.
  class Batch {
   public:
    explicit Batch(quint32 root = HKEY_CURRENT_USER);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // False when the changes could not be written; they are then gone.
    bool commit();
    // Runs `done` once the changes made so far are written, never when they are not.
    void whenWritten(std::function<void()> done);

   private:
    struct Impl;
    std::unique_ptr<Impl> d;
  };

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};
