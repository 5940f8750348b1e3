// A photo's bytes for the EXIF reader (exif/byte_source.h), read from the open
// file on demand instead of whole.
//
// The reader asks for small ranges: the start marker, the end marker from the
// back, the first FF E1 pair from the front, the TIFF header, directories and
// the values it keeps. In a camera file all but the end marker lie in the
// first few KiB. So the source reads the head of the file at once, reads the
// last bytes (up to 512) the first time the reader asks for a range there,
// and reads any other range straight into the reader's buffer.
//
// The head is 64 KiB when the storage makes each read a round trip (the
// previous head read tells). From the page cache, copying the bytes is most
// of a read's cost, and the head is as long as the reading thread's latest
// photos needed (HeadPlan): 4 KiB for nearly every camera's photo, whose
// EXIF fields lie in its first few KiB; 16 KiB before the first. A photo
// that goes further gets the rest of the 64 KiB in one more read, and the
// next photo's head is as long as that one needed. A file no longer than
// the head is one read, and so is one that would cost less read whole than
// as head and tail (kSourceReadCostBytes); a 5 MB photo is two reads, of
// 4.5 or 68 KiB together, and so is a 35 KB thumbnail from the page cache.
//
//   file   | head: first 4 to 64 KiB | .... read on demand .... | tail: last 512 bytes |
//
// One pattern is different: a marker search that goes on past the head (a
// JPEG without an EXIF block is searched to its end) or back past the tail (a
// file cut short has no end marker) asks for chunk after chunk, each right
// next to the one before. Once the reader's range lies next to its previous
// one, the source reads a larger piece in the search's direction at once and
// serves the next chunks from it. The piece is 64 KiB, and 512 KiB once most
// reads of the photo (two at least) have waited on the storage: on a network share each read
// is a round trip, and a 5 MB photo is searched in 11 of them instead of 80,
// while from the page cache small pieces cost least.
//
// On such storage the search reads several 512 KiB pieces at once: the
// piece it needs on the reading thread, the next ones on helper threads of
// their own (a window of kSourceSearchPieces pieces), so the window costs
// one round trip and a 5 MB photo is searched in two. The window is the
// photo's own, made at its first and let go with the source: 2.5 MiB while
// a far photo is searched, none otherwise, and kMostSearchWindows of them at
// most in the whole process. A piece read ahead that fails
// ends the window before it; should the search get there, it is read again
// and fails as the reader's own read.
//
// Nothing is mapped: a file cut short while it is read makes a read fail,
// never raises a signal.
//
// The blocks' buffers (ReadBuffers) belong to whoever reads photo after
// photo on one thread, and serve each of them: made the first time, kept
// until their owner lets them go (580 KiB at most). A page of fresh memory
// costs a fault the first time a read fills it, and on a virtual machine a
// fault can cost more than reading the page from the page cache; a thread
// that reads photo after photo into the same buffers pays for their pages
// once. The owner is an object of the thread's own frame, or the read-ahead
// queue for its taking thread; never a thread_local object, whose destructor
// the C library runs as the thread ends: glibc aborts the process when it
// has no memory to note that destructor, and the mingw-w64 build runs it
// after the thread's own storage is freed.
#ifndef PHOTOCHECK_READING_FILE_SOURCE_H
#define PHOTOCHECK_READING_FILE_SOURCE_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "exif/byte_source.h"
#include "platform/platform.h"
#include "xmp/xmp_facts.h"

inline constexpr std::uint32_t kSourceHeadBytes = 64 * 1024;
inline constexpr std::uint32_t kSourceShortHeadBytes = 16 * 1024;
// The shortest head: the reader looks for the APP1 marker in the first 4 KiB
// at once.
inline constexpr std::uint32_t kSourceLeastHeadBytes = 4 * 1024;
// The end marker is nearly always a file's last 2 bytes; a search back from
// there goes on in pieces of its own.
inline constexpr std::uint32_t kSourceTailBytes = 512;
// What one more read costs from the page cache, in bytes copied: a file no
// longer than the head, the tail and this is read whole. (Opening, reading
// and closing 20,000 photos of 35 KB: 7.2 us a photo read whole, 5.7 us as
// a 16 KiB head and a 4 KiB tail, 3.9 us as 4 KiB and 512 bytes.)
inline constexpr std::uint32_t kSourceReadCostBytes = 8 * 1024;
// Photos in a row that needed less than the head before it shrinks: a set
// whose photos alternate between two layouts keeps the longer head.
inline constexpr std::uint32_t kSourceHeadShrinkPhotos = 8;
inline constexpr std::uint32_t kSourceFirstScanBytes = 64 * 1024;
inline constexpr std::uint32_t kSourceScanBytes = 512 * 1024;
// Pieces of kSourceScanBytes a search on storage that waits reads at once.
inline constexpr std::uint32_t kSourceSearchPieces = 5;
// Search windows alive at once in the whole process, at most: beyond them a
// search reads one piece at a time, so that 64 workers each searching a far
// photo take 10 MiB for their windows, not 160 MiB.
inline constexpr int kMostSearchWindows = 4;

// Lets a search window go and makes room for another.
struct SearchWindowRelease {
  void operator()(unsigned char* bytes) const;
};

// A read of the head or of a search piece that takes this long has waited on
// the storage: from the page cache 64 KiB take some five to ten microseconds,
// from a disk a hundred or more, through a network share a millisecond.
inline constexpr std::chrono::microseconds kStorageWait{50};

// One of the buffers of a reading thread: `bytes` once made, of which the
// first `touched` have been written before.
struct ReadBuffer {
  std::unique_ptr<unsigned char[]> bytes;
  std::uint32_t touched = 0;
};

// How long a reading thread's head is from the page cache: as long as its
// latest photo needed, rounded up to 4 KiB, once kSourceHeadShrinkPhotos
// photos in a row needed less than it; at once when one needed more.
struct HeadPlan {
  std::uint32_t bytes = kSourceShortHeadBytes;
  std::uint32_t shorterPhotos = 0;  // in a row, that needed less than `bytes`
  std::uint32_t shorterNeed = 0;    // the most any of them needed
};

// One buffer for each kind of block: a source uses each block once at a time,
// and a thread reads one photo at a time.
struct ReadBuffers {
  HeadPlan headPlan;
  ReadBuffer head;
  ReadBuffer tail;
  ReadBuffer scan;
  // The XMP packet, when the flight facts are read (reading/image_facts.h),
  // and the parser that decodes packet after packet.
  std::vector<unsigned char> xmp;
  XmpParser xmpParser;
};

// Bytes of the file kept in memory: `length` bytes from `start` (none yet
// while `length` is 0), in one of the source's buffers.
struct SourceBlock {
  unsigned char* bytes = nullptr;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

struct FileSource {
  const platform::ReadableFile* file = nullptr;
  ReadBuffers* buffers = nullptr;
  SourceBlock head;  // read when the source is opened
  SourceBlock tail;  // read when first asked for
  SourceBlock scan;  // the latest piece (or window) of a marker search
  // The search window's bytes, made at the first window (see above).
  std::unique_ptr<unsigned char[], SearchWindowRelease> window;
  // How much the next search piece reads.
  std::uint32_t scanBytes = kSourceFirstScanBytes;
  // How long a read may take before it counts as waiting.
  std::chrono::nanoseconds storageWait = kStorageWait;
  // Reads that waited on the storage (see kStorageWait).
  std::uint32_t waits = 0;
  // The end of the furthest range the head served: how much of it the photo
  // needed.
  std::uint32_t headNeed = 0;
  // The reader's previous range, to tell a search going on from a read of
  // one value.
  std::uint64_t previousStart = 0;
  std::uint64_t previousEnd = 0;
  // A read came short (an I/O error, or the file shrank since it was opened):
  // whatever the reader made of it, the photo could not be read.
  bool failed = false;
  // The failure was the process's own: no memory for a buffer.
  bool shortage = false;
  // What was read from the file, in bytes and in read calls.
  std::uint64_t bytesRead = 0;
  std::uint32_t readCalls = 0;
  // Reads the source waited for one after another: a window's pieces, read
  // at once, count as one.
  std::uint32_t roundTrips = 0;
};

// Most of the reads of `source` waited on the storage.
bool mostlyWaited(const FileSource& source);

// How much of a file the next head read on this thread takes:
// kSourceHeadBytes when the latest head read (on any thread) waited on the
// storage, else what the thread's head plan says.
std::uint32_t headBytesToRead(const ReadBuffers& buffers);

// Reads the head of `file`, `headBytes` of it, into `buffers`: the whole file
// when it is no longer than kSourceHeadBytes and `headBytes` is that full
// head, or when it is no longer than the head, the tail and
// kSourceReadCostBytes. `file` and `buffers` must stay while the source is
// used. False when it cannot be read.
bool openFileSource(const platform::ReadableFile& file, ReadBuffers& buffers, FileSource& source,
                    std::uint32_t headBytes = kSourceHeadBytes);

// Once the reader is done with `source`: its buffers' head plan learns how
// much of the head the photo needed.
void learnHeadNeed(const FileSource& source);

// The reader's view of `source`, valid while `source` lives.
ByteSource byteSourceOf(FileSource& source);

#endif  // PHOTOCHECK_READING_FILE_SOURCE_H
