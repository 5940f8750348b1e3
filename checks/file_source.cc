#include "checks/file_source.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// How far a marker search's next chunk may reach back into the one before (it
// starts on that chunk's last byte) and still count as going on.
constexpr std::uint64_t kSearchOverlap = 16;

bool holds(const SourceBlock& block, std::uint64_t start, std::uint64_t end) {
  return block.length != 0 && start >= block.start &&
         end <= std::uint64_t{block.start} + block.length;
}

bool readFromFile(FileSource& source, std::uint32_t offset, std::uint32_t length,
                  unsigned char* out) {
  ++source.readCalls;
  source.bytesRead += length;
  if (platform::readAt(*source.file, offset, length, out)) return true;
  source.failed = true;
  return false;
}

// Reads `length` bytes at `start` into `block`, whose buffer holds `capacity`
// bytes once made. The reader's source must not throw: no memory is a failed
// read.
bool fill(FileSource& source, SourceBlock& block, std::uint32_t capacity, std::uint32_t start,
          std::uint32_t length) {
  block.length = 0;
  if (!block.bytes) block.bytes.reset(new (std::nothrow) unsigned char[capacity]);
  if (!block.bytes) {
    source.failed = true;
    return false;
  }
  if (!readFromFile(source, start, length, block.bytes.get())) return false;
  block.start = start;
  block.length = length;
  return true;
}

void copyOut(const SourceBlock& block, std::uint32_t offset, std::uint32_t length,
             unsigned char* out) {
  std::memcpy(out, block.bytes.get() + (offset - block.start), length);
}

// Serves one range of the reader's. Invariant: the reader asks only for
// ranges inside the file's size (tested by its bounds helper), so offset +
// length never wraps and never passes the size the file had when opened.
bool serve(FileSource& source, std::uint32_t offset, std::uint32_t length, unsigned char* out,
           bool searchGoesOn, bool searchGoesBack) {
  const std::uint64_t end = std::uint64_t{offset} + length;
  for (const SourceBlock* block : {&source.head, &source.tail, &source.scan}) {
    if (!holds(*block, offset, end)) continue;
    copyOut(*block, offset, length, out);
    return true;
  }
  const std::uint32_t size = source.file->size();
  // The tail may overlap the head, so that a range across the head's end
  // near the end of the file is still served from it.
  const std::uint32_t tailStart = size - std::min(size, kSourceTailBytes);
  if (offset >= tailStart && source.tail.length == 0) {
    if (!fill(source, source.tail, kSourceTailBytes, tailStart, size - tailStart)) return false;
    copyOut(source.tail, offset, length, out);
    return true;
  }
  if ((searchGoesOn || searchGoesBack) && length <= kSourceScanBytes) {
    // A search reads on in its own direction: from this range on, or back to
    // its end.
    const std::uint32_t start =
        searchGoesOn
            ? offset
            : static_cast<std::uint32_t>(end - std::min<std::uint64_t>(end, kSourceScanBytes));
    const std::uint32_t blockLength = std::min(size - start, kSourceScanBytes);
    if (!fill(source, source.scan, kSourceScanBytes, start, blockLength)) return false;
    copyOut(source.scan, offset, length, out);
    return true;
  }
  return readFromFile(source, offset, length, out);
}

bool readRange(void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
  FileSource& source = *static_cast<FileSource*>(context);
  const std::uint64_t end = std::uint64_t{offset} + length;
  const bool searchGoesOn =
      offset < source.previousEnd && source.previousEnd - offset <= kSearchOverlap;
  const bool searchGoesBack =
      end > source.previousStart && end - source.previousStart <= kSearchOverlap;
  source.previousStart = offset;
  source.previousEnd = end;
  return serve(source, offset, length, out, searchGoesOn, searchGoesBack);
}

}  // namespace

bool openFileSource(const platform::ReadableFile& file, FileSource& source) {
  source = FileSource();
  source.file = &file;
  const std::uint32_t headLength = std::min(file.size(), kSourceHeadBytes);
  source.head.bytes.reset(new unsigned char[headLength]);
  if (!readFromFile(source, 0, headLength, source.head.bytes.get())) return false;
  source.head.length = headLength;
  return true;
}

ByteSource byteSourceOf(FileSource& source) {
  ByteSource byteSource;
  byteSource.size = source.file->size();
  byteSource.read = readRange;
  byteSource.context = &source;
  return byteSource;
}
