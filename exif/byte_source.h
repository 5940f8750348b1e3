// Where the EXIF reader gets a file's bytes from: the file's length and a
// call that copies one range of it. The reader asks only for the ranges it
// needs, so a caller may read them from disk on demand instead of holding the
// whole file in memory.

#ifndef PHOTOCHECK_EXIF_BYTE_SOURCE_H_
#define PHOTOCHECK_EXIF_BYTE_SOURCE_H_

#include <cstdint>
#include <cstring>

struct ByteSource {
  // The file's length (files of 4 GiB and more never get here).
  std::uint32_t size = 0;
  // Copies `length` bytes at `offset` to `out`; the reader has tested that
  // offset + length <= size, and never asks for 0 bytes. False when they
  // cannot be read (I/O error, file cut short): the reader then stops at once
  // and its result means nothing. Must not throw.
  bool (*read)(void* context, std::uint32_t offset, std::uint32_t length,
               unsigned char* out) = nullptr;
  // Handed to read unchanged: the caller's own state, where it can also note
  // that a read failed.
  void* context = nullptr;
};

// A source over `length` bytes at `data`, which must stay valid while the
// source is used. The bytes are only read.
inline ByteSource memoryByteSource(const unsigned char* data, std::uint32_t length) {
  ByteSource source;
  source.size = length;
  source.read = [](void* context, std::uint32_t offset, std::uint32_t count, unsigned char* out) {
    std::memcpy(out, static_cast<const unsigned char*>(context) + offset, count);
    return true;
  };
  // The context is only ever read through (the copy above).
  source.context = const_cast<unsigned char*>(data);
  return source;
}

#endif  // PHOTOCHECK_EXIF_BYTE_SOURCE_H_
