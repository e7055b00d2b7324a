// The decompressor the setup program carries in a compressed payload: it
// unpacks an xz-compressed tar block from the archive file into a destination
// folder, and never writes outside it. libarchive reads the block; the setup's
// own writer makes what it holds.

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "BlockWriter.h"
#include "ExtractFilesArgs.h"
#include "FileWrite.h"
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

// What a run of extraction needs at every entry.
struct Extraction {
  archive* in;
  BlockReader& reader;
  BlockWriter& writer;
  IExtractProgress* progress;
  uint64_t start;
};

// A member path that never climbs and that the system could name; deeper or
// longer is refused before anything of it is made.
bool isContainedPath(const char* path) {
  return path && MemberPath::staysInside(path) && !MemberPath::hasDotDotPart(path) &&
         MemberPath::normalized(path).size() <= MemberPath::kMaxPathLength;
}

// A link's target may not be absolute nor climb out from the link's folder;
// where it leads through other links is judged once all are made.
bool isContainedTarget(const char* link, const char* target) {
  return target && target[0] != '/' && MemberPath::staysInside(MemberPath::fromLinkFolder(link, target));
}

// The entry's data, block by block; a block past the data written so far leaves a hole.
int writeData(const Extraction& run, archive_entry* entry, int file) {
  int64_t written = 0;
  while (true) {
    const void* bytes = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(run.in, &bytes, &size, &offset);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) return kFailed;
    if (offset != written && ::lseek(file, offset, SEEK_SET) != offset) return kFailed;
    if (!writeAll(file, static_cast<const char*>(bytes), int64_t(size))) return kFailed;
    written = offset + int64_t(size);
    if (run.progress && run.progress->step(uint32_t(run.reader.position - run.start))) return kStopped;
  }
  const int64_t size = archive_entry_size(entry);
  if (written < size && ::ftruncate(file, size) != 0) return kFailed;
  if (archive_entry_mtime_is_set(entry)) {
    const timespec times[2] = {{0, UTIME_OMIT}, {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)}};
    ::futimens(file, times);
  }
  return 0;
}

int extractEntry(const Extraction& run, archive_entry* entry) {
  const char* name = archive_entry_pathname(entry);
  if (!isContainedPath(name)) return kFailed;
  const std::vector<std::string> levels = MemberPath::levels(name);
  if (const char* hardlink = archive_entry_hardlink(entry))
    return isContainedPath(hardlink) && run.writer.makeHardLink(levels, MemberPath::levels(hardlink)) ? 0
                                                                                                   : kFailed;
  switch (archive_entry_filetype(entry)) {
    case AE_IFDIR:
      return run.writer.makeFolder(levels) ? 0 : kFailed;
    case AE_IFLNK: {
      const char* target = archive_entry_symlink(entry);
      return isContainedTarget(name, target) && run.writer.makeLink(levels, target) ? 0 : kFailed;
    }
    case AE_IFREG: {
      const UniqueFd file = run.writer.makeFile(levels, mode_t(archive_entry_perm(entry) & 0777));
      return file.valid() ? writeData(run, entry, file.get()) : kFailed;
    }
    default:
      return kFailed;
  }
}

int extractEntries(const Extraction& run) {
  while (true) {
    if (run.progress && run.progress->cancelled()) return kStopped;
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(run.in, &entry);
    if (status == ARCHIVE_EOF) return 0;
    if (status != ARCHIVE_OK) return kFailed;
    if (const int result = extractEntry(run, entry)) return result;
  }
}

using ArchivePtr = std::unique_ptr<archive, decltype(&archive_free)>;

}  // namespace

extern "C" __attribute__((visibility("default"))) int ExtractFiles(ExtractFilesArgs* args) {
  if (!args || args->fileDescriptor < 0) return kFailed;
  BlockWriter writer(UniqueFd(::open(args->destination, O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
  if (!writer.valid()) return kFailed;
  BlockReader reader{args->fileDescriptor, args->offset, uint64_t(args->offset) + args->size};
  if (args->progress) args->progress->begin(args->size);

  ArchivePtr in(archive_read_new(), &archive_read_free);
  if (!in) return kFailed;
  archive_read_support_filter_xz(in.get());
  archive_read_support_format_tar(in.get());
  if (archive_read_open(in.get(), &reader, nullptr, readBlock, nullptr) != ARCHIVE_OK) return kFailed;
  int result = extractEntries({in.get(), reader, writer, args->progress, reader.position});
  if (result == 0 && !writer.linksStayInside()) result = kFailed;
  // xz checks its data only at the end of each of its blocks: what a block that
  // failed or stopped wrote is not known to be right, and goes.
  if (result != 0) writer.removeMade();
  return result;
}
