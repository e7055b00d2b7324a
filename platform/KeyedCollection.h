#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <algorithm>
#include <utility>

// An ordered collection whose keys are compared without regard to case,
// keeping each key as it was first written and the order of insertion.
template <typename T>
class KeyedCollection {
 public:
  using Entry = std::pair<QString, T>;

  qsizetype size() const { return entries_.size(); }
  bool isEmpty() const { return entries_.isEmpty(); }
  bool contains(const QString& key) const { return index_.contains(fold(key)); }

  // Adds the entry at the end; an existing key keeps its place and takes the new value.
  void insert(const QString& key, T value) {
    QString folded = fold(key);
    const auto it = index_.constFind(folded);
    if (it != index_.constEnd()) {
      entries_[*it].second = std::move(value);
      return;
    }
    index_.insert(std::move(folded), entries_.size());
    entries_.append({key, std::move(value)});
  }

  // Inserts before the entry at `position` (0-based); past the end appends.
  void insertAt(qsizetype position, const QString& key, T value) {
    if (contains(key)) remove(key);
    position = std::clamp<qsizetype>(position, 0, entries_.size());
    entries_.insert(position, {key, std::move(value)});
    reindex();
  }

  bool remove(const QString& key) {
    const auto it = index_.constFind(fold(key));
    if (it == index_.constEnd()) return false;
    entries_.removeAt(*it);
    reindex();
    return true;
  }

  void clear() {
    entries_.clear();
    index_.clear();
  }

  // The position of a key, or -1.
  qsizetype indexOf(const QString& key) const { return index_.value(fold(key), -1); }

  T* find(const QString& key) {
    const qsizetype i = indexOf(key);
    return i < 0 ? nullptr : &entries_[i].second;
  }
  const T* find(const QString& key) const {
    const qsizetype i = indexOf(key);
    return i < 0 ? nullptr : &entries_[i].second;
  }
  T value(const QString& key, const T& fallback = T()) const {
    const T* v = find(key);
    return v ? *v : fallback;
  }

  const QString& keyAt(qsizetype i) const { return entries_[i].first; }
  T& at(qsizetype i) { return entries_[i].second; }
  const T& at(qsizetype i) const { return entries_[i].second; }

  QList<QString> keys() const {
    QList<QString> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.append(e.first);
    return out;
  }

  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  static QString fold(const QString& key) { return key.toUpper(); }
  void reindex() {
    index_.clear();
    for (qsizetype i = 0; i < entries_.size(); ++i) index_.insert(fold(entries_[i].first), i);
  }

  QList<Entry> entries_;
  QHash<QString, qsizetype> index_;
};
