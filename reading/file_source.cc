#include "reading/file_source.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace {

// How far a marker search's next chunk may reach back into the one before (it
// starts on that chunk's last byte) and still count as going on.
constexpr std::uint64_t kSearchOverlap = 16;

bool holds(const SourceBlock& block, std::uint64_t start, std::uint64_t end) {
  return block.length != 0 && start >= block.start &&
         end <= std::uint64_t{block.start} + block.length;
}

// The latest head read, on any thread, waited on the storage. Before the
// first, the thread's head plan: at worst one more read, for the first
// photo. Shared by the threads, since a thread that starts when the reads
// are found to wait would otherwise pay a second round trip for its first
// photo.
std::atomic<bool> headWaited{false};

bool readFromFile(FileSource& source, std::uint32_t offset, std::uint32_t length,
                  unsigned char* out) {
  ++source.readCalls;
  ++source.roundTrips;
  source.bytesRead += length;
  if (platform::readAt(*source.file, offset, length, out)) return true;
  source.failed = true;
  return false;
}

// Reads `length` bytes at `start` into `buffer` (of `capacity`
// bytes) from its byte `at` on, and notes in `source` when the read waited on
// the storage. The reader's source must not throw: no memory is a failed
// read.
bool readInto(FileSource& source, ReadBuffer& buffer, std::uint32_t capacity, std::uint32_t at,
              std::uint32_t start, std::uint32_t length) {
  if (!buffer.bytes) buffer.bytes.reset(new (std::nothrow) unsigned char[capacity]);
  if (!buffer.bytes) {
    source.failed = true;
    source.shortage = true;
    return false;
  }
  if (at + length > buffer.touched) {
    // Pages never written fault on the first write: take those faults here,
    // so that the read below is timed for the storage alone.
    std::memset(buffer.bytes.get() + buffer.touched, 0, at + length - buffer.touched);
    buffer.touched = at + length;
  }
  const auto begin = std::chrono::steady_clock::now();
  if (!readFromFile(source, start, length, buffer.bytes.get() + at)) return false;
  if (std::chrono::steady_clock::now() - begin >= source.storageWait) ++source.waits;
  // Storage that makes most reads of this photo wait answers each read a
  // round trip later: its search reads in the largest pieces from now on.
  // (A read now and then that waited is the processor busy elsewhere.)
  if (source.waits >= 2 && mostlyWaited(source)) source.scanBytes = kSourceScanBytes;
  return true;
}

// Reads `length` bytes at `start` into `block`, in `buffer`.
bool fill(FileSource& source, SourceBlock& block, ReadBuffer& buffer, std::uint32_t capacity,
          std::uint32_t start, std::uint32_t length) {
  block.length = 0;
  if (!readInto(source, buffer, capacity, 0, start, length)) return false;
  block.bytes = buffer.bytes.get();
  block.start = start;
  block.length = length;
  return true;
}

// A range the head served: the photo needed the head up to its end, unless
// the tail would have served it (the end marker of a file read whole).
void noteHeadNeed(FileSource& source, std::uint32_t offset, std::uint64_t end) {
  const std::uint32_t size = source.file->size();
  if (offset >= size - std::min(size, kSourceTailBytes)) return;
  source.headNeed = std::max(source.headNeed, static_cast<std::uint32_t>(end));
}

// Search windows made and not yet let go, on every thread.
std::atomic<int> windowsAlive{0};

// One piece of a search window, read on a thread of its own: nothing here
// is shared with another piece's thread.
struct PieceRead {
  const platform::ReadableFile* file = nullptr;
  unsigned char* out = nullptr;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  std::chrono::nanoseconds storageWait{};
  bool ok = false;
  bool waited = false;
  platform::Thread thread;
  bool onThread = false;
};

void readPiece(void* argument) {
  PieceRead& piece = *static_cast<PieceRead*>(argument);
  const auto begin = std::chrono::steady_clock::now();
  piece.ok = platform::readAt(*piece.file, piece.start, piece.length, piece.out);
  piece.waited = std::chrono::steady_clock::now() - begin >= piece.storageWait;
}

// Reads the search window of `length` bytes at `start` into `block`, its
// pieces at once, the one at `needed` (the reader's range) on this thread.
// The block is the run of pieces read around that one: a piece read ahead
// that failed ends it. False when the needed piece failed; `made` is false
// (nothing read) when there is no memory for the window.
bool fillWindow(FileSource& source, std::uint32_t start, std::uint32_t length, std::uint32_t needed,
                bool& made) {
  made = false;
  if (!source.window) {
    if (windowsAlive.fetch_add(1) >= kMostSearchWindows) {
      windowsAlive.fetch_sub(1);
      return true;
    }
    unsigned char* bytes = new (std::nothrow) unsigned char[kSourceSearchPieces * kSourceScanBytes];
    if (bytes == nullptr) {
      windowsAlive.fetch_sub(1);
      return true;
    }
    source.window.reset(bytes);
  }
  made = true;
  source.scan.length = 0;
  PieceRead pieces[kSourceSearchPieces];
  const std::uint32_t count = (length + kSourceScanBytes - 1) / kSourceScanBytes;
  const std::uint32_t first = (needed - start) / kSourceScanBytes;
  for (std::uint32_t i = 0; i < count; ++i) {
    PieceRead& piece = pieces[i];
    piece.file = source.file;
    piece.out = source.window.get() + std::size_t{i} * kSourceScanBytes;
    piece.start = start + i * kSourceScanBytes;
    piece.length = std::min(kSourceScanBytes, start + length - piece.start);
    piece.storageWait = source.storageWait;
    // A helper that cannot be had: its piece is read here after the others.
    if (i != first) piece.onThread = platform::startThread(piece.thread, readPiece, &piece);
  }
  readPiece(&pieces[first]);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (pieces[i].onThread) {
      platform::joinThread(pieces[i].thread);
    } else if (i != first) {
      readPiece(&pieces[i]);
    }
  }
  ++source.roundTrips;
  for (std::uint32_t i = 0; i < count; ++i) {
    ++source.readCalls;
    source.bytesRead += pieces[i].length;
    if (pieces[i].waited) ++source.waits;
  }
  if (!pieces[first].ok) {
    source.failed = true;
    return false;
  }
  std::uint32_t low = first;
  std::uint32_t high = first + 1;
  while (low > 0 && pieces[low - 1].ok) --low;
  while (high < count && pieces[high].ok) ++high;
  source.scan.bytes = source.window.get() + std::size_t{low} * kSourceScanBytes;
  source.scan.start = pieces[low].start;
  source.scan.length = pieces[high - 1].start + pieces[high - 1].length - pieces[low].start;
  return true;
}

// The block that holds a range of the reader's, read into one first if need
// be; null when the range is read straight from the file, or when `ok` is
// false: a read failed. Invariant: the reader asks only for ranges inside the
// file's size (tested by its bounds helper), so offset + length never wraps
// and never passes the size the file had when opened.
const SourceBlock* blockFor(FileSource& source, std::uint32_t offset, std::uint32_t length,
                            bool& ok) {
  const std::uint64_t end = std::uint64_t{offset} + length;
  const bool searchGoesOn =
      offset < source.previousEnd && source.previousEnd - offset <= kSearchOverlap;
  const bool searchGoesBack =
      end > source.previousStart && end - source.previousStart <= kSearchOverlap;
  source.previousStart = offset;
  source.previousEnd = end;
  ok = true;

  for (const SourceBlock* block : {&source.head, &source.tail, &source.scan}) {
    if (holds(*block, offset, end)) return block;
  }
  const std::uint32_t size = source.file->size();
  // The tail before the rest of the first 64 KiB: the end marker of a 35 KB
  // file behind a short head costs 512 bytes, not the rest of the file. The tail
  // may overlap the head, so that a range across the head's end near the end
  // of the file is still served from it.
  const std::uint32_t tailStart = size - std::min(size, kSourceTailBytes);
  if (offset >= tailStart && source.tail.length == 0) {
    ok = fill(source, source.tail, source.buffers->tail, kSourceTailBytes, tailStart,
              size - tailStart);
    return ok ? &source.tail : nullptr;
  }
  const std::uint32_t fullHead = std::min(size, kSourceHeadBytes);
  if (end <= fullHead && source.head.length < fullHead) {
    // A short head lacks a range of the first 64 KiB: the rest of them in
    // one read, since an EXIF block that goes past the short head has more
    // to ask for there.
    const std::uint32_t have = source.head.length;
    ok = readInto(source, source.buffers->head, kSourceHeadBytes, have, have, fullHead - have);
    if (!ok) return nullptr;
    source.head.length = fullHead;
    noteHeadNeed(source, offset, end);
    return &source.head;
  }
  if ((searchGoesOn || searchGoesBack) && length <= source.scanBytes) {
    // A search reads on in its own direction: from this range on, or back to
    // its end.
    const std::uint32_t piece = source.scanBytes;
    const std::uint32_t start =
        searchGoesOn ? offset
                     : static_cast<std::uint32_t>(end - std::min<std::uint64_t>(end, piece));
    const std::uint32_t blockLength = std::min(size - start, piece);
    const std::uint64_t rest = searchGoesOn ? size - start : end;
    if (piece == kSourceScanBytes && rest > piece) {
      // Storage that makes each read wait: the pieces that follow in the
      // search's direction are read at once with this one.
      const std::uint64_t most = std::uint64_t{kSourceSearchPieces} * piece;
      const std::uint32_t windowStart =
          searchGoesOn ? start
                       : static_cast<std::uint32_t>(end - std::min<std::uint64_t>(end, most));
      const auto windowLength = static_cast<std::uint32_t>(std::min(rest, most));
      bool made = false;
      ok = fillWindow(source, windowStart, windowLength, searchGoesOn ? start : end - 1, made);
      // A range across the end of a piece read ahead that failed is a
      // failed read too.
      if (ok && made && !holds(source.scan, offset, end)) {
        source.failed = true;
        ok = false;
      }
      if (made) return ok ? &source.scan : nullptr;
    }
    ok = fill(source, source.scan, source.buffers->scan, kSourceScanBytes, start, blockLength);
    return ok ? &source.scan : nullptr;
  }
  return nullptr;
}

// The range when the head holds it, as nearly every range of an EXIF block
// is (a photo's twenty or so reads of entries and values): null otherwise.
// Noted as the reader's previous range, as blockFor notes it.
const unsigned char* inHead(FileSource& source, std::uint32_t offset, std::uint32_t length) {
  const std::uint64_t end = std::uint64_t{offset} + length;
  if (!holds(source.head, offset, end)) return nullptr;
  source.previousStart = offset;
  source.previousEnd = end;
  noteHeadNeed(source, offset, end);
  return source.head.bytes + (offset - source.head.start);
}

bool readRange(void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
  FileSource& source = *static_cast<FileSource*>(context);
  if (const unsigned char* bytes = inHead(source, offset, length)) {
    std::memcpy(out, bytes, length);
    return true;
  }
  bool ok = true;
  const SourceBlock* block = blockFor(source, offset, length, ok);
  if (!ok) return false;
  if (block == nullptr) return readFromFile(source, offset, length, out);
  std::memcpy(out, block->bytes + (offset - block->start), length);
  return true;
}

// A marker search looks at the bytes where the source keeps them: a 5 MB
// photo searched to its end is not copied a second time.
const unsigned char* viewRange(void* context, std::uint32_t offset, std::uint32_t length) {
  FileSource& source = *static_cast<FileSource*>(context);
  if (const unsigned char* bytes = inHead(source, offset, length)) return bytes;
  bool ok = true;
  const SourceBlock* block = blockFor(source, offset, length, ok);
  if (block == nullptr) return nullptr;
  return block->bytes + (offset - block->start);
}

}  // namespace

void SearchWindowRelease::operator()(unsigned char* bytes) const {
  delete[] bytes;
  windowsAlive.fetch_sub(1);
}

bool mostlyWaited(const FileSource& source) {
  return 2 * std::uint64_t{source.waits} > source.readCalls;
}

std::uint32_t headBytesToRead(const ReadBuffers& buffers) {
  return headWaited.load(std::memory_order_relaxed) ? kSourceHeadBytes : buffers.headPlan.bytes;
}

bool openFileSource(const platform::ReadableFile& file, ReadBuffers& buffers, FileSource& source,
                    std::uint32_t headBytes) {
  source = FileSource();
  source.file = &file;
  source.buffers = &buffers;
  // On storage that makes each read wait, a file no longer than the full
  // head is read whole at once: a second read for its end would cost a round
  // trip. From the page cache a file is read whole only when the head and
  // the tail would copy less than it by less than one more read costs.
  const std::uint32_t size = file.size();
  // The head buffer holds the full head and no more, whatever the plan.
  const std::uint32_t head = std::min(headBytes, kSourceHeadBytes);
  const std::uint32_t whole =
      std::min(kSourceHeadBytes, head + kSourceTailBytes + kSourceReadCostBytes);
  const std::uint32_t length = size <= whole ? size : std::min(head, size);
  if (!fill(source, source.head, source.buffers->head, kSourceHeadBytes, 0, length)) return false;
  // Shared by every reading thread: written only when it changes, so that
  // the threads do not take its cache line from one another at each photo.
  const bool waited = source.waits != 0;
  if (headWaited.load(std::memory_order_relaxed) != waited) {
    headWaited.store(waited, std::memory_order_relaxed);
  }
  return true;
}

void learnHeadNeed(const FileSource& source) {
  HeadPlan& plan = source.buffers->headPlan;
  constexpr std::uint32_t kStep = 4 * 1024;
  const std::uint32_t need = std::clamp((source.headNeed + kStep - 1) / kStep * kStep,
                                        kSourceLeastHeadBytes, kSourceHeadBytes);
  if (need >= plan.bytes) {
    plan = HeadPlan{need, 0, 0};
    return;
  }
  plan.shorterNeed = std::max(plan.shorterNeed, need);
  if (++plan.shorterPhotos == kSourceHeadShrinkPhotos) {
    plan = HeadPlan{plan.shorterNeed, 0, 0};
  }
}

ByteSource byteSourceOf(FileSource& source) {
  ByteSource byteSource;
  byteSource.size = source.file->size();
  byteSource.read = readRange;
  byteSource.view = viewRange;
  byteSource.context = &source;
  return byteSource;
}
