// The decompressor the setup program carries in a compressed payload: it
// unpacks an xz-compressed tar block from the archive file into a destination
// folder, and never writes outside it.

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ExtractFilesArgs.h"
#include "MemberPath.h"

namespace {

constexpr size_t kReadChunk = 65536;
constexpr int kFailed = 1;
constexpr int kStopped = -1;

// Hands libarchive the block's bytes, and never a byte past its end.
struct BlockReader {
  int fd;
  uint64_t position;
  uint64_t end;
  std::vector<char> buffer = std::vector<char>(kReadChunk);
};

la_ssize_t readBlock(archive*, void* data, const void** bytes) {
  auto* reader = static_cast<BlockReader*>(data);
  const uint64_t wanted = std::min<uint64_t>(kReadChunk, reader->end - reader->position);
  if (wanted == 0) return 0;
  const ssize_t got = ::pread(reader->fd, reader->buffer.data(), wanted, off_t(reader->position));
  if (got <= 0) return ARCHIVE_FATAL;
  reader->position += uint64_t(got);
  *bytes = reader->buffer.data();
  return got;
}

// Plain files, folders and links that stay inside the destination; nothing
// else. A hard link is made through the links already extracted: its target is
// read through them.
bool isSafeEntry(archive_entry* entry, const MemberPath::Links& links) {
  const char* name = archive_entry_pathname(entry);
  if (!name || !MemberPath::staysInside(name) || MemberPath::hasDotDotPart(name)) return false;
  if (const char* hardlink = archive_entry_hardlink(entry))
    return MemberPath::staysInside(hardlink) && !MemberPath::hasDotDotPart(hardlink) &&
           links.reach(hardlink) == MemberPath::Links::Reach::Inside;
  const mode_t type = archive_entry_filetype(entry);
  if (type == AE_IFLNK) {
    const char* target = archive_entry_symlink(entry);
    return target && target[0] != '/' && MemberPath::staysInside(MemberPath::fromLinkFolder(name, target));
  }
  return type == AE_IFREG || type == AE_IFDIR;
}

// What the entry makes of the block's links.
void recordLinks(archive_entry* entry, MemberPath::Links& links) {
  const char* member = archive_entry_pathname(entry);
  if (const char* hardlink = archive_entry_hardlink(entry))
    links.addHardLink(member, hardlink);
  else if (archive_entry_filetype(entry) == AE_IFLNK)
    links.add(member, archive_entry_symlink(entry));
  else
    links.remove(member);
}

// A link can lead out through one that came later in the block, so they are
// judged once all are made; those that lead out are removed.
bool removeLeavingLinks(const MemberPath::Links& links, const std::string& destination) {
  const std::vector<std::string> leaving = links.leaving();
  for (const std::string& link : leaving) ::unlink((destination + link).c_str());
  return leaving.empty();
}

using ArchivePtr = std::unique_ptr<archive, decltype(&archive_free)>;

int copyData(archive* in, archive* out, BlockReader& reader, uint64_t start, IExtractProgress* progress) {
  while (true) {
    const void* bytes = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(in, &bytes, &size, &offset);
    if (status == ARCHIVE_EOF) return 0;
    if (status != ARCHIVE_OK || archive_write_data_block(out, bytes, size, offset) != ARCHIVE_OK)
      return kFailed;
    if (progress && progress->step(uint32_t(reader.position - start))) return kStopped;
  }
}

// `unfinished` names the file being written until it is complete.
int extractEntries(archive* in, archive* out, BlockReader& reader, const std::string& destination,
                   IExtractProgress* progress, std::string& unfinished, MemberPath::Links& links) {
  const uint64_t start = reader.position;
  while (true) {
    if (progress && progress->cancelled()) return kStopped;
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(in, &entry);
    if (status == ARCHIVE_EOF) return 0;
    if (status != ARCHIVE_OK || !isSafeEntry(entry, links)) return kFailed;
    recordLinks(entry, links);
    const std::string target = destination + archive_entry_pathname(entry);
    archive_entry_set_pathname(entry, target.c_str());
    if (const char* hardlink = archive_entry_hardlink(entry))
      archive_entry_set_hardlink(entry, (destination + hardlink).c_str());
    else if (archive_entry_filetype(entry) == AE_IFREG)
      unfinished = target;
    if (archive_write_header(out, entry) != ARCHIVE_OK) return kFailed;
    if (archive_entry_size(entry) > 0)
      if (const int result = copyData(in, out, reader, start, progress)) return result;
    if (archive_write_finish_entry(out) != ARCHIVE_OK) return kFailed;
    unfinished.clear();
  }
}

// The destination as a real path (no links left in it) ending with "/". A
// folder whose path is too long for the kernel to tell may come back as the
// link that named it (/proc/self/fd/N): that is no real path.
std::string realDestination(const char* destination) {
  char resolved[PATH_MAX];
  if (!::realpath(destination, resolved)) return {};
  struct stat real {};
  if (::lstat(resolved, &real) != 0 || !S_ISDIR(real.st_mode)) return {};
  std::string path(resolved);
  if (path.back() != '/') path += '/';
  return path;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int ExtractFiles(ExtractFilesArgs* args) {
  if (!args || args->fileDescriptor < 0) return kFailed;
  const std::string destination = realDestination(args->destination);
  if (destination.empty()) return kFailed;
  BlockReader reader{args->fileDescriptor, args->offset, uint64_t(args->offset) + args->size};
  if (args->progress) args->progress->begin(args->size);

  ArchivePtr in(archive_read_new(), &archive_read_free);
  ArchivePtr out(archive_write_disk_new(), &archive_write_free);
  if (!in || !out) return kFailed;
  archive_read_support_filter_xz(in.get());
  archive_read_support_format_tar(in.get());
  // What stands at a name is removed before the entry is made, where libarchive's default may
  // rewrite an older file in place: whoever still reads that file keeps it whole. A link in the
  // way, also one in place of a folder, is removed as itself.
  archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_UNLINK |
                                                ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                ARCHIVE_EXTRACT_SECURE_NODOTDOT);
  if (archive_read_open(in.get(), &reader, nullptr, readBlock, nullptr) != ARCHIVE_OK) return kFailed;
  std::string unfinished;
  MemberPath::Links links;
  const int result =
      extractEntries(in.get(), out.get(), reader, destination, args->progress, unfinished, links);
  const bool closed = archive_write_close(out.get()) == ARCHIVE_OK;
  // Closing sets a cut-off file to its full size: removed after it, no file looks whole that is not.
  if (result != 0 && !unfinished.empty()) ::unlink(unfinished.c_str());
  const bool linksInside = removeLeavingLinks(links, destination);
  return result == 0 && (!closed || !linksInside) ? kFailed : result;
}
