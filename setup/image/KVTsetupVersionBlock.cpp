// KVTsetup's own version block, laid out as a version resource and kept in
// the program image as data, where the version-block reader finds it.
#include <array>
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::size_t kCapacity = 1024;

struct BlockWriter {
  std::array<unsigned char, kCapacity> bytes{};
  std::size_t size = 0;

  constexpr void word(std::uint16_t value) {
    bytes[size++] = value & 0xFF;
    bytes[size++] = value >> 8;
  }
  constexpr void dword(std::uint32_t value) {
    word(value & 0xFFFF);
    word(value >> 16);
  }
  constexpr void text(const char16_t* value) {
    do word(*value);
    while (*value++);
  }
  constexpr void align() {
    while (size % 4) bytes[size++] = 0;
  }
  // Header and key of a node; its length is set by `end`.
  constexpr std::size_t begin(const char16_t* key, std::uint16_t valueLength, std::uint16_t type) {
    const std::size_t start = size;
    word(0);
    word(valueLength);
    word(type);
    text(key);
    align();
    return start;
  }
  constexpr void end(std::size_t start) {
    const std::size_t length = size - start;
    bytes[start] = length & 0xFF;
    bytes[start + 1] = length >> 8;
    align();
  }
};

constexpr std::uint16_t textLength(const char16_t* value) {
  std::uint16_t n = 1;
  while (*value++) ++n;
  return n;
}

constexpr void addString(BlockWriter& w, const char16_t* key, const char16_t* value) {
  const std::size_t node = w.begin(key, textLength(value), 1);
  w.text(value);
  w.end(node);
}

constexpr std::uint32_t kVersionMS = KVT_VERSION_MAJOR << 16 | KVT_VERSION_MINOR;
constexpr std::uint32_t kVersionLS = KVT_VERSION_PATCH << 16;

constexpr BlockWriter buildBlock() {
  BlockWriter w;
  const std::size_t root = w.begin(u"VS_VERSION_INFO", 52, 0);
  for (std::uint32_t value : {0xFEEF04BDu, 0x00010000u, kVersionMS, kVersionLS, kVersionMS, kVersionLS, 0x3Fu,
                              0u, 0x40004u, 1u, 0u, 0u, 0u})
    w.dword(value);
  const std::size_t stringFileInfo = w.begin(u"StringFileInfo", 0, 1);
  const std::size_t table = w.begin(u"040904B0", 0, 1);
  addString(w, u"CompanyName", u"Pelva");
  addString(w, u"FileDescription", u"Vondir Submit Setup");
  addString(w, u"FileVersion", u"" KVT_VERSION_TEXT);
  addString(w, u"InternalName", u"KVTsetup");
  addString(w, u"OriginalFilename", u"KVTsetup");
  addString(w, u"ProductName", u"Vondir Submit");
  addString(w, u"ProductVersion", u"" KVT_VERSION_TEXT);
  w.end(table);
  w.end(stringFileInfo);
  const std::size_t varFileInfo = w.begin(u"VarFileInfo", 0, 1);
  const std::size_t translation = w.begin(u"Translation", 4, 0);
  w.dword(0x04B00409);
  w.end(translation);
  w.end(varFileInfo);
  w.end(root);
  return w;
}

constexpr BlockWriter kBlock = buildBlock();
static_assert(kBlock.size < kCapacity);

}  // namespace

// Kept in the image although no code reads it: the reader finds it in the file.
extern const std::array<unsigned char, kCapacity> kKVTsetupVersionBlock;
[[gnu::used]] const std::array<unsigned char, kCapacity> kKVTsetupVersionBlock = kBlock.bytes;
