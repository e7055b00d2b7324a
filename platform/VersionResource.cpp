#include "VersionResource.h"

#include <QByteArrayView>
#include <QFile>
#include <algorithm>
#include <functional>

QString VersionInfo::string(const QString& name) const {
  for (const auto& [key, text] : strings)
    if (key == name) return text;
  return {};
}

namespace VersionResource {

namespace {

constexpr qsizetype kHeaderSize = 6;  // wLength, wValueLength, wType
constexpr qsizetype kFixedInfoSize = 52;
constexpr quint16 kTextType = 1;

// The bytes of one block, offsets relative to its start; lengths are checked against `end`.
class Block {
 public:
  explicit Block(QByteArrayView data) : data_(data) {}

  quint16 word(qsizetype at) const { return quint16(uchar(data_[at]) | uchar(data_[at + 1]) << 8); }
  quint32 dword(qsizetype at) const { return word(at) | quint32(word(at + 2)) << 16; }
  qsizetype size() const { return data_.size(); }

  // Zero-ended UTF-16 text at `at` within [at, end); its end after the zero, or -1 without one.
  qsizetype text(qsizetype at, qsizetype end, QString& out) const {
    out.clear();
    for (; at + 1 < end; at += 2) {
      const quint16 c = word(at);
      if (c == 0) return at + 2;
      out.append(QChar(c));
    }
    return -1;
  }

 private:
  QByteArrayView data_;
};

constexpr qsizetype align4(qsizetype at) { return (at + 3) & ~qsizetype(3); }

// One node of the block tree: header, key, value and the room of its children.
struct Node {
  QString key;
  quint16 type = 0;
  qsizetype valueStart = 0;
  qsizetype valueEnd = 0;
  qsizetype childrenStart = 0;
  qsizetype end = 0;
};

std::optional<Node> readNode(const Block& block, qsizetype at, qsizetype limit) {
  if (at < 0 || at + kHeaderSize > limit) return std::nullopt;
  const qsizetype length = block.word(at);
  if (length < kHeaderSize || at + length > limit) return std::nullopt;
  Node node;
  node.end = at + length;
  node.type = block.word(at + 4);
  const qsizetype keyEnd = block.text(at + kHeaderSize, node.end, node.key);
  if (keyEnd < 0) return std::nullopt;
  const qsizetype valueLength = block.word(at + 2) * (node.type == kTextType ? 2 : 1);
  node.valueStart = std::min(align4(keyEnd), node.end);
  // Some writers count a text value in bytes: a value is never taken beyond its node.
  node.valueEnd = std::min(node.valueStart + valueLength, node.end);
  node.childrenStart = std::min(align4(node.valueEnd), node.end);
  return node;
}

// Calls `visit` for each child that can be read, stopping at the first that cannot.
void forEachChild(const Block& block, const Node& parent, const std::function<void(const Node&)>& visit) {
  qsizetype at = parent.childrenStart;
  while (const std::optional<Node> child = readNode(block, at, parent.end)) {
    visit(*child);
    at = align4(child->end);
  }
}

void readStrings(const Block& block, const Node& stringFileInfo, VersionInfo& info) {
  bool tableRead = false;
  forEachChild(block, stringFileInfo, [&](const Node& table) {
    if (tableRead) return;
    tableRead = true;
    forEachChild(block, table, [&](const Node& entry) {
      QString text;
      if (entry.valueEnd > entry.valueStart && block.text(entry.valueStart, entry.valueEnd, text) < 0)
        text.clear();
      info.strings.append({entry.key, text});
    });
  });
}

// The version block that starts at the beginning of `data`, when it is sound.
std::optional<VersionInfo> readBlock(QByteArrayView data) {
  const Block block(data);
  const std::optional<Node> root = readNode(block, 0, block.size());
  if (!root || root->key != QLatin1String("VS_VERSION_INFO")) return std::nullopt;
  if (root->valueEnd - root->valueStart < kFixedInfoSize) return std::nullopt;
  if (block.dword(root->valueStart) != kFixedInfoSignature) return std::nullopt;
  VersionInfo info;
  info.fileVersionMS = block.dword(root->valueStart + 8);
  info.fileVersionLS = block.dword(root->valueStart + 12);
  info.productVersionMS = block.dword(root->valueStart + 16);
  info.productVersionLS = block.dword(root->valueStart + 20);
  forEachChild(block, *root, [&](const Node& child) {
    if (child.key == QLatin1String("StringFileInfo")) readStrings(block, child, info);
  });
  return info;
}

const QByteArray& keyPattern() {
  static const QByteArray pattern = [] {
    QByteArray bytes;
    for (const char c : QByteArrayView("VS_VERSION_INFO")) bytes.append(c).append('\0');
    return bytes.append(2, '\0');
  }();
  return pattern;
}

std::optional<VersionInfo> findIn(QByteArrayView data) {
  const QByteArray& pattern = keyPattern();
  const std::boyer_moore_horspool_searcher searcher(pattern.begin(), pattern.end());
  auto from = data.begin();
  while (true) {
    const auto hit = std::search(from, data.end(), searcher);
    if (hit == data.end()) return std::nullopt;
    const qsizetype keyAt = hit - data.begin();
    if (keyAt >= kHeaderSize) {
      const qsizetype start = keyAt - kHeaderSize;
      const qsizetype length = std::min<qsizetype>(data.size() - start, 0xFFFF);
      if (std::optional<VersionInfo> info = readBlock(data.sliced(start, length))) return info;
    }
    from = hit + 1;
  }
}

}  // namespace

std::optional<VersionInfo> find(const QByteArray& data) { return findIn(QByteArrayView(data)); }

std::optional<VersionInfo> readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() == 0) return std::nullopt;
  const uchar* mapped = file.map(0, file.size());
  if (!mapped) return std::nullopt;
  return findIn(QByteArrayView(mapped, file.size()));
}

}  // namespace VersionResource
