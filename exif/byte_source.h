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
  // Optional: the `length` bytes at `offset` where the source keeps them in
  // memory (reading them in first if that is its way), valid until the next
  // call on the source; null when it does not keep them so, or the reading
  // failed: the reader then asks `read` for them. Same range rules as read;
  // must not throw.
  const unsigned char* (*view)(void* context, std::uint32_t offset, std::uint32_t length) = nullptr;
  // Handed to read and view unchanged: the caller's own state, where it can also note
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
  source.view = [](void* context, std::uint32_t offset, std::uint32_t) {
    return static_cast<const unsigned char*>(context) + offset;
  };
  // The context is only ever read through (the copy and the view above).
  source.context = const_cast<unsigned char*>(data);
  return source;
}

#endif  // PHOTOCHECK_EXIF_BYTE_SOURCE_H_
