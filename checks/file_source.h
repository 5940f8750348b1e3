// A photo's bytes for the EXIF reader (exif/byte_source.h), read from the open
// file on demand instead of whole.
//
// The reader asks for small ranges: the start marker, the end marker from the
// back, the first FF E1 pair from the front, the TIFF header, directories and
// the values it keeps. In a camera file all but the end marker lie in the
// first few KiB. So the source reads the head of the file (up to 64 KiB) at
// once, reads the last bytes (up to 4 KiB) the first time the reader asks for
// a range there, and reads any other range straight into the reader's buffer.
// A 30 KB photo is one read; a 5 MB photo two, of 68 KiB together.
//
//   file   | head: 0 .. 64 KiB | ........ read on demand ........ | tail: last 4 KiB |
//
// Nothing is mapped: a file cut short while it is read makes a read fail,
// never raises a signal.
#ifndef PHOTOCHECK_CHECKS_FILE_SOURCE_H
#define PHOTOCHECK_CHECKS_FILE_SOURCE_H

#include <cstdint>
#include <memory>

#include "exif/byte_source.h"
#include "platform/platform.h"

inline constexpr std::uint32_t kSourceHeadBytes = 64 * 1024;
inline constexpr std::uint32_t kSourceTailBytes = 4 * 1024;

struct FileSource {
  const platform::ReadableFile* file = nullptr;
  std::unique_ptr<unsigned char[]> head;  // the file's first headLength bytes
  std::uint32_t headLength = 0;
  std::unique_ptr<unsigned char[]> tail;  // its last bytes, once asked for
  std::uint32_t tailStart = 0;            // where the tail begins
  bool tailRead = false;
  // A read came short (an I/O error, or the file shrank since it was opened):
  // whatever the reader made of it, the photo could not be read.
  bool failed = false;
  // What was read from the file, in bytes and in read calls.
  std::uint64_t bytesRead = 0;
  std::uint32_t readCalls = 0;
};

// Reads the head of `file`, which must stay open while the source is used.
// False when it cannot be read.
bool openFileSource(const platform::ReadableFile& file, FileSource& source);

// The reader's view of `source`, valid while `source` lives.
ByteSource byteSourceOf(FileSource& source);

#endif  // PHOTOCHECK_CHECKS_FILE_SOURCE_H
