#include "reading/file_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "reading/image_facts.h"
#include "tests/support/jpeg_builder.h"
#include "tests/support/temp_folder.h"

namespace {

using testsupport::Bytes;
using testsupport::ExifBuilder;
using testsupport::Ifd;
using testsupport::JpegBuilder;

// Bytes that differ from place to place, so a range served from the wrong
// offset shows.
Bytes patternBytes(std::size_t size) {
  Bytes bytes(size);
  std::uint32_t state = 0x2468ACE1u;
  for (unsigned char& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(state >> 24);
  }
  return bytes;
}

// Where the TIFF header of the EXIF block starts in `file`: every stored
// offset counts from there.
std::uint32_t tiffBaseOf(const Bytes& file) {
  static const unsigned char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
  const auto found = std::search(file.begin(), file.end(), kExifId, kExifId + 6);
  return static_cast<std::uint32_t>(found - file.begin()) + 6;
}

// A photo of about `size` bytes (padding in comment segments) whose maker
// text stands at `at` in the file, far past the EXIF block: the block's
// offsets may point anywhere up to the end of the image.
Bytes photoWithMakerAt(std::uint32_t size, std::uint32_t at, const std::string& maker) {
  const auto build = [&](std::uint32_t valueField) {
    ExifBuilder exif;
    exif.addRaw(Ifd::ifd0, 0x010F, testsupport::kAscii,
                static_cast<std::uint32_t>(maker.size() + 1), valueField);  // Make
    exif.addShorts(Ifd::exif, 0xA405, {35});                                // FocalLengthIn35mmFilm
    return JpegBuilder().exif(exif.segment()).padding(size).build();
  };
  Bytes file = build(0);
  file = build(at - tiffBaseOf(file));
  std::copy(maker.begin(), maker.end(), file.begin() + at);
  file[at + maker.size()] = 0;
  return file;
}

struct OpenPhoto {
  platform::ReadableFile file;
  ReadBuffers buffers;
  FileSource source;
};

// Opens `path` and reads its head; fails the test when that cannot be done.
void openPhoto(const std::string& path, OpenPhoto& photo) {
  ASSERT_EQ(platform::openForReading(path, photo.file), platform::ReadStatus::ok);
  ASSERT_TRUE(openFileSource(photo.file, photo.buffers, photo.source));
}

// Every range the reader may ask for comes back as the file holds it; the
// head is read once, the tail once when first asked for, anything else
// straight from the file.
TEST(FileSource, ServesEveryRangeAsTheFileHoldsIt) {
  TempFolder folder;
  const std::uint32_t kHead = kSourceHeadBytes;
  const std::uint32_t sizes[] = {1,
                                 2,
                                 100,
                                 kHead - 1,
                                 kHead,
                                 kHead + 1,
                                 kHead + 100,
                                 kHead + kSourceTailBytes + 1,
                                 5 * 1024 * 1024 + 3};
  for (const std::uint32_t size : sizes) {
    SCOPED_TRACE(size);
    const Bytes content = patternBytes(size);
    const std::string path = folder / ("f" + std::to_string(size));
    writeFileBytes(path, content);
    OpenPhoto photo;
    openPhoto(path, photo);
    EXPECT_EQ(photo.source.readCalls, 1u);
    EXPECT_EQ(photo.source.bytesRead, std::min(size, kHead));
    const ByteSource source = byteSourceOf(photo.source);
    ASSERT_EQ(source.size, size);

    const bool hasTail = size > kHead;
    const std::uint32_t last2 = size - std::min(size, 2u);
    // {offset, length, read calls made by then}
    struct Ask {
      std::uint32_t offset, length, calls;
    };
    const Ask asks[] = {
        {0, std::min(size, 2u), 1},
        {last2, size - last2, hasTail ? 2u : 1u},  // the end marker
        {last2, size - last2, hasTail ? 2u : 1u},  // asked again: kept
        {0, std::min(size, kHead), hasTail ? 2u : 1u},
        {size / 2, std::min(size - size / 2, 64u), 0},  // calls depend on where
        {0, size, 0},
    };
    for (const Ask& ask : asks) {
      Bytes out(ask.length + 1, 0xEE);
      ASSERT_TRUE(source.read(source.context, ask.offset, ask.length, out.data()))
          << ask.offset << "+" << ask.length;
      EXPECT_TRUE(std::equal(out.begin(), out.begin() + ask.length, content.begin() + ask.offset))
          << ask.offset << "+" << ask.length;
      EXPECT_EQ(out[ask.length], 0xEE) << "written past the range";
      if (ask.calls != 0) {
        EXPECT_EQ(photo.source.readCalls, ask.calls);
      }
    }
    EXPECT_FALSE(photo.source.failed);
  }
}

// A short head (storage that answers at once) is 16 KiB of a file larger
// than it, the tail and one read's cost; a range further into the first
// 64 KiB reads the rest of them in one read, a range past them only itself.
// With the full head (storage that waits) a file of up to 64 KiB is read
// whole.
TEST(FileSource, ShortHeadGrowsToTheFullHeadInOneRead) {
  TempFolder folder;
  const std::uint32_t kFull = kSourceHeadBytes;
  const std::uint32_t kShort = kSourceShortHeadBytes;
  const std::uint32_t kTail = kSourceTailBytes;
  const std::uint32_t kWhole = kShort + kTail + kSourceReadCostBytes;
  const std::uint32_t k4 = 4 * 1024;
  struct Ask {
    std::uint32_t offset, length, calls, bytes;  // read calls and bytes by then
  };
  struct Case {
    std::uint32_t size, headBytes;
    std::vector<Ask> asks;
  };
  const Case cases[] = {
      {kWhole, kShort, {{0, 2, 1, kWhole}}},
      {35000, kShort, {{0, 2, 1, kShort}, {34600, 400, 2, kShort + kTail}}},
      {35000, kShort, {{0, 2, 1, kShort}, {20000, 8, 2, 35000}, {34000, 1000, 2, 35000}}},
      {35000, kFull, {{0, 2, 1, 35000}, {34000, 1000, 1, 35000}}},
      // A head plan near the full head: a file just past it is not read whole.
      {kFull + 2000, kFull - k4, {{0, 2, 1, kFull - k4}, {kFull, 8, 2, kFull - k4 + 8}}},
      {5 * 1024 * 1024,
       kShort,
       {{0, 2, 1, kShort},
        {kShort - 4, 8, 2, kFull},  // across the short head's end
        {40000, 100, 2, kFull},
        {kFull - 2, 4, 3, kFull + 4},  // across the full head's end: itself
        {100000, 10, 4, kFull + 14}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const Bytes content = patternBytes(c.size);
    const std::string path = folder / ("short" + std::to_string(c.size));
    writeFileBytes(path, content);
    OpenPhoto photo;
    ASSERT_EQ(platform::openForReading(path, photo.file), platform::ReadStatus::ok);
    ASSERT_TRUE(openFileSource(photo.file, photo.buffers, photo.source, c.headBytes));
    const ByteSource source = byteSourceOf(photo.source);
    for (const Ask& ask : c.asks) {
      Bytes out(ask.length);
      ASSERT_TRUE(source.read(source.context, ask.offset, ask.length, out.data()));
      EXPECT_TRUE(std::equal(out.begin(), out.end(), content.begin() + ask.offset)) << ask.offset;
      EXPECT_EQ(photo.source.readCalls, ask.calls) << ask.offset;
      EXPECT_EQ(photo.source.bytesRead, ask.bytes) << ask.offset;
    }
  }
}

// From the page cache a reading thread's head is as long as its latest
// photos needed: 16 KiB at first, 4 KiB once eight photos in a row needed
// no more, longer at once for a photo that needed more (which reads the rest
// of the first 64 KiB), and kept while the run of shorter ones is broken.
// Each photo is asked, as the reader asks, for its last 2 bytes (the tail
// serves them, or the head when the file is read whole: that is no need of
// the head's) and for the range that ends at `need`.
TEST(FileSource, HeadFollowsWhatTheThreadsLatestPhotosNeeded) {
  TempFolder folder;
  struct Photo {
    std::uint32_t size, need, headRead, readCalls;
  };
  const std::uint32_t kLarge = 200 * 1024, kSmall = 35000;
  const std::uint32_t k16 = 16 * 1024, k20 = 20 * 1024, k4 = 4 * 1024;
  std::vector<Photo> photos(8, Photo{kLarge, 3000, k16, 2});
  photos[3].need = k4;
  photos.push_back({kLarge, 3000, k4, 2});   // eight in a row needed 4 KiB at most
  photos.push_back({kLarge, 20000, k4, 3});  // needs more: the rest of the first 64 KiB
  photos.insert(photos.end(), 3, Photo{kLarge, 3000, k20, 2});
  photos.push_back({kLarge, 19000, k20, 2});  // as much as the head: the shorter run starts anew
  photos.insert(photos.end(), 8, Photo{kLarge, 3000, k20, 2});
  photos.push_back({kSmall, 3000, k4, 2});
  photos.push_back({kSmall, 20000, k4, 3});  // the rest of the file, its end marker with it
  photos.push_back({kSmall, 3000, k20, 2});
  ReadBuffers buffers;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    SCOPED_TRACE(i);
    const Photo& p = photos[i];
    const std::string path = folder / ("photo" + std::to_string(p.size));
    const Bytes content = patternBytes(p.size);
    if (i == 0 || p.size != photos[i - 1].size) writeFileBytes(path, content);
    platform::ReadableFile file;
    ASSERT_EQ(platform::openForReading(path, file), platform::ReadStatus::ok);
    FileSource source;
    ASSERT_TRUE(openFileSource(file, buffers, source, buffers.headPlan.bytes));
    EXPECT_EQ(source.bytesRead, p.headRead);
    const ByteSource bytes = byteSourceOf(source);
    for (const std::uint32_t at : {p.size - 2, p.need - 8, p.size - 2}) {
      Bytes out(at == p.size - 2 ? 2 : 8);
      ASSERT_TRUE(
          bytes.read(bytes.context, at, static_cast<std::uint32_t>(out.size()), out.data()));
      EXPECT_TRUE(std::equal(out.begin(), out.end(), content.begin() + at)) << at;
    }
    EXPECT_EQ(source.readCalls, p.readCalls);
    learnHeadNeed(source);
  }
}

// A field far into a 5 MB photo is read where the block points, and of the
// rest of the file only the tail (for the end marker) is read.
TEST(FileSource, FieldFarIntoTheFileIsReadWithoutReadingTheRest) {
  TempFolder folder;
  for (const std::uint32_t at : {3u * 1024 * 1024, 200u * 1024, 1000u}) {
    SCOPED_TRACE(at);
    const std::string path = folder / ("far" + std::to_string(at) + ".jpg");
    writeFileBytes(path, photoWithMakerAt(5 * 1024 * 1024, at, "Far Away Optics"));
    OpenPhoto photo;
    openPhoto(path, photo);
    const ImageFacts facts = decodeImage(photo.source);
    EXPECT_EQ(facts.read, ImageRead::decoded);
    EXPECT_EQ(facts.result, exifOk);
    EXPECT_EQ(facts.make, "Far Away Optics");
    EXPECT_EQ(facts.focalLength35mm, 35);
    EXPECT_LE(photo.source.readCalls, at < kSourceHeadBytes ? 2u : 3u);
    EXPECT_LE(photo.source.bytesRead, kSourceHeadBytes + kSourceTailBytes + 16);
  }
}

// Marker searches that run through a whole 5 MB file, forwards (no EXIF
// block: the APP1 search reads to the end) and backwards (no end marker: the
// search from the back reads to the start), or that end in the middle: the
// outcome is what the reader makes of the file in memory. Read from the page
// cache, the file goes in 64 KiB pieces; once a read waits on the storage, in
// 512 KiB pieces.
TEST(FileSource, LongMarkerSearchesReadInLargePieces) {
  TempFolder folder;
  ExifBuilder exif;
  exif.addShorts(Ifd::exif, 0xA405, {35});  // FocalLengthIn35mmFilm
  const std::uint32_t kSize = 5 * 1024 * 1024;
  Bytes noEndMarker = JpegBuilder().exif(exif.segment()).padding(kSize).withoutEndMarker().build();
  Bytes lateExif = JpegBuilder().padding(3 * 1024 * 1024).build();
  {
    // An APP1 EXIF segment 3 MB into the file, after the padding.
    const Bytes app1 = JpegBuilder().exif(exif.segment()).build();
    lateExif.insert(lateExif.end() - 2, app1.begin() + 2, app1.end() - 2);
  }
  struct Case {
    const char* name;
    Bytes file;
  };
  const Case cases[] = {
      {"no EXIF block", JpegBuilder().padding(kSize).build()},
      {"no end marker", noEndMarker},
      {"EXIF block 3 MB in", lateExif},
      {"junk after the end marker",
       JpegBuilder().exif(exif.segment()).trailing(Bytes(300000, 0x11)).build()},
  };
  for (const bool readsWait : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << (readsWait ? ", reads wait" : ""));
      ExifRecord inMemory;
      const ExifResult expected =
          inMemory.parseJpeg(c.file.data(), static_cast<std::uint32_t>(c.file.size()));
      const std::string path = folder / "search.jpg";
      writeFileBytes(path, c.file);
      OpenPhoto photo;
      openPhoto(path, photo);
      if (readsWait) photo.source.storageWait = std::chrono::nanoseconds(0);
      ExifRecord record;
      EXPECT_EQ(record.parseJpeg(byteSourceOf(photo.source)), expected);
      EXPECT_EQ(record.focalLength35mm, inMemory.focalLength35mm);
      EXPECT_FALSE(photo.source.failed);
      EXPECT_LE(photo.source.bytesRead, c.file.size() + 2 * kSourceScanBytes);
      const std::size_t most = readsWait ? 4 + c.file.size() / kSourceScanBytes
                                         : 4 + c.file.size() / kSourceFirstScanBytes;
      EXPECT_LE(photo.source.readCalls, most);
      // A loaded machine may make a page-cache read wait too, so only the
      // waiting case is sure.
      if (readsWait) {
        EXPECT_GE(photo.source.waits, 2u);
      }
    }
  }
}

// On storage that makes each read wait, a search through a whole 5 MB
// file reads several pieces at once: the file costs four round trips (reads
// waited for one after another), two more than a photo with an EXIF block,
// where piece after piece cost twelve. Each piece
// is read once, and the reader sees the bytes the file holds.
TEST(FileSource, FarSearchReadsItsPiecesAtOnce) {
  TempFolder folder;
  const std::uint32_t kSize = 5 * 1024 * 1024;
  ExifBuilder exif;
  exif.addShorts(Ifd::exif, 0xA405, {35});  // FocalLengthIn35mmFilm
  struct Case {
    const char* name;
    Bytes file;
  };
  // Head, tail (for the end marker), two windows of the search.
  const Case cases[] = {
      {"no EXIF block", JpegBuilder().padding(kSize).build()},
      {"no end marker",
       JpegBuilder().exif(exif.segment()).padding(kSize).withoutEndMarker().build()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExifRecord inMemory;
    const ExifResult expected =
        inMemory.parseJpeg(c.file.data(), static_cast<std::uint32_t>(c.file.size()));
    const std::string path = folder / "far.jpg";
    writeFileBytes(path, c.file);
    OpenPhoto photo;
    openPhoto(path, photo);
    photo.source.storageWait = std::chrono::nanoseconds(0);  // every read waits
    photo.source.waits = 1;                                  // the head's did
    ExifRecord record;
    EXPECT_EQ(record.parseJpeg(byteSourceOf(photo.source)), expected);
    EXPECT_EQ(record.focalLength35mm, inMemory.focalLength35mm);
    EXPECT_FALSE(photo.source.failed);
    EXPECT_LE(photo.source.roundTrips, 4u);
    EXPECT_LE(photo.source.bytesRead, c.file.size() + kSourceHeadBytes + kSourceTailBytes);
    EXPECT_TRUE(mostlyWaited(photo.source));
  }
}

// The windows alive at once are few, whatever the threads: a search beyond
// them reads piece after piece, and one let go makes room again.
TEST(FileSource, FarSearchWindowsAliveAtOnceAreFew) {
  TempFolder folder;
  const std::string path = folder / "far.jpg";
  writeFileBytes(path, JpegBuilder().padding(5 * 1024 * 1024).build());
  const auto searchKeepingTheWindow = [&path](OpenPhoto& photo) {
    openPhoto(path, photo);
    photo.source.storageWait = std::chrono::nanoseconds(0);  // every read waits
    photo.source.waits = 1;
    ExifRecord record;
    EXPECT_EQ(record.parseJpeg(byteSourceOf(photo.source)), exifNoExif);
    return photo.source.roundTrips;
  };
  std::vector<std::unique_ptr<OpenPhoto>> holding;
  for (int i = 0; i < kMostSearchWindows; ++i) {
    holding.push_back(std::make_unique<OpenPhoto>());
    EXPECT_LE(searchKeepingTheWindow(*holding.back()), 4u);
  }
  OpenPhoto beyond;
  EXPECT_GT(searchKeepingTheWindow(beyond), 8u);
  holding.pop_back();
  OpenPhoto again;
  EXPECT_LE(searchKeepingTheWindow(again), 4u);
}

// A file whose block points past its end, or that ends before its image does,
// is read whole and found broken: an EXIF error, not an unreadable file.
TEST(FileSource, FileShorterThanItsHeaderClaimsIsAnExifError) {
  TempFolder folder;
  ExifBuilder farDirectory;
  farDirectory.addShorts(Ifd::exif, 0xA405, {35}).ifd0Offset(4 * 1024 * 1024);
  ExifBuilder plain;
  plain.addShorts(Ifd::exif, 0xA405, {35});
  Bytes cut = JpegBuilder().exif(plain.segment()).padding(200 * 1024).build();
  cut.resize(100 * 1024);
  struct Case {
    const char* name;
    Bytes file;
    ExifResult result;
  };
  const Case cases[] = {
      {"IFD0 past the end", JpegBuilder().exif(farDirectory.segment()).padding(100000).build(),
       exifCorrupt},
      {"APP1 longer than the file", JpegBuilder().exif(plain.segment()).app1Length(60000).build(),
       exifCorrupt},
      {"cut before its end marker", cut, exifNotJpeg},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder / "short.jpg";
    writeFileBytes(path, c.file);
    OpenPhoto photo;
    openPhoto(path, photo);
    const ImageFacts facts = decodeImage(photo.source);
    EXPECT_EQ(facts.read, ImageRead::decoded);
    EXPECT_EQ(facts.result, c.result);
    EXPECT_TRUE(isErrorImage(facts));
  }
}

#ifndef _WIN32
// A photo cut short after it was opened (copied over, rewritten by another
// program): the reads of what is gone fail and the photo is unreadable,
// whatever the reader made of the bytes it had. Nothing is mapped, so no
// signal comes of it.
TEST(FileSource, FileThatShrinksWhileReadIsUnreadable) {
  TempFolder folder;
  const std::string path = folder / "shrinking.jpg";
  const Bytes photo = photoWithMakerAt(2 * 1024 * 1024, 1024 * 1024, "Far Away Optics");
  // Cut after the head was read: the end marker, or the maker, is gone.
  for (const off_t cutTo : {off_t{0}, off_t{10 * 1024}, off_t{70 * 1024}, off_t{1024 * 1024 + 4}}) {
    SCOPED_TRACE(cutTo);
    writeFileBytes(path, photo);
    OpenPhoto open;
    openPhoto(path, open);
    ASSERT_EQ(::truncate(path.c_str(), cutTo), 0);
    EXPECT_EQ(decodeImage(open.source).read, ImageRead::unreadable);
  }

  // Cut between two of the reader's own reads: after the first one that goes
  // to the file (the end marker), before the maker text is read.
  writeFileBytes(path, photo);
  OpenPhoto open;
  openPhoto(path, open);
  struct Cutter {
    ByteSource inner;
    std::string path;
    std::uint32_t callsBefore;
    FileSource* source;
  } cutter{byteSourceOf(open.source), path, open.source.readCalls, &open.source};
  ByteSource cutting = cutter.inner;
  cutting.context = &cutter;
  cutting.view = nullptr;  // every range goes through the cutting read
  cutting.read = [](void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
    auto& c = *static_cast<Cutter*>(context);
    const bool ok = c.inner.read(c.inner.context, offset, length, out);
    if (c.source->readCalls > c.callsBefore) ::truncate(c.path.c_str(), 100 * 1024);
    return ok;
  };
  ExifRecord record;
  record.parseJpeg(cutting);
  EXPECT_TRUE(open.source.failed);
  EXPECT_EQ(record.make, "");
}
// Storage that waits, a photo without an EXIF block cut short after its end
// marker was read: the search's window reads ahead into what is gone, which
// ends the window early, and the search fails where it gets there.
TEST(FileSource, FarSearchIntoAFileCutShortIsUnreadable) {
  TempFolder folder;
  const std::string path = folder / "cut.jpg";
  writeFileBytes(path, JpegBuilder().padding(5 * 1024 * 1024).build());
  OpenPhoto open;
  openPhoto(path, open);
  open.source.storageWait = std::chrono::nanoseconds(0);
  open.source.waits = 1;
  struct Cutter {
    ByteSource inner;
    std::string path;
    FileSource* source;
  } cutter{byteSourceOf(open.source), path, &open.source};
  ByteSource cutting = cutter.inner;
  cutting.context = &cutter;
  cutting.view = nullptr;
  cutting.read = [](void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
    auto& c = *static_cast<Cutter*>(context);
    const bool ok = c.inner.read(c.inner.context, offset, length, out);
    if (c.source->readCalls > 1) ::truncate(c.path.c_str(), 2 * 1024 * 1024);
    return ok;
  };
  ExifRecord record;
  record.parseJpeg(cutting);
  EXPECT_TRUE(open.source.failed);
  EXPECT_FALSE(open.source.shortage);
  // Head, tail, a window cut after its third piece, the failed one.
  EXPECT_EQ(open.source.roundTrips, 4u);
}
#endif

}  // namespace
