#include "checks/file_source.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

bool readFromFile(FileSource& source, std::uint32_t offset, std::uint32_t length,
                  unsigned char* out) {
  ++source.readCalls;
  source.bytesRead += length;
  if (platform::readAt(*source.file, offset, length, out)) return true;
  source.failed = true;
  return false;
}

// Invariant: the reader asks only for ranges inside the file's size (tested
// by its bounds helper), so offset + length never wraps and never passes the
// size the file had when it was opened.
bool readRange(void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
  FileSource& source = *static_cast<FileSource*>(context);
  const std::uint64_t end = std::uint64_t{offset} + length;
  if (end <= source.headLength) {
    std::memcpy(out, source.head.get() + offset, length);
    return true;
  }
  const std::uint32_t size = source.file->size();
  if (offset >= source.tailStart && size > source.headLength) {
    if (!source.tailRead) {
      const std::uint32_t tailLength = size - source.tailStart;
      // The reader's source must not throw: no memory is a failed read.
      source.tail.reset(new (std::nothrow) unsigned char[tailLength]);
      if (!source.tail) {
        source.failed = true;
        return false;
      }
      if (!readFromFile(source, source.tailStart, tailLength, source.tail.get())) return false;
      source.tailRead = true;
    }
    std::memcpy(out, source.tail.get() + (offset - source.tailStart), length);
    return true;
  }
  return readFromFile(source, offset, length, out);
}

}  // namespace

bool openFileSource(const platform::ReadableFile& file, FileSource& source) {
  source = FileSource();
  source.file = &file;
  const std::uint32_t size = file.size();
  source.headLength = std::min(size, kSourceHeadBytes);
  // The tail may overlap the head, so that a range across the head's end
  // near the end of the file is still served from it.
  source.tailStart = size - std::min(size, kSourceTailBytes);
  source.head.reset(new unsigned char[source.headLength]);
  return readFromFile(source, 0, source.headLength, source.head.get());
}

ByteSource byteSourceOf(FileSource& source) {
  ByteSource byteSource;
  byteSource.size = source.file->size();
  byteSource.read = readRange;
  byteSource.context = &source;
  return byteSource;
}
