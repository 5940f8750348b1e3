#include "reading/image_facts.h"

#include <new>
#include <utility>
#include <vector>

#include "exif/xmp_segment.h"
#include "xmp/xmp_facts.h"

bool isErrorImage(const ImageFacts& facts) {
  return facts.read == ImageRead::unreadable ||
         (facts.read == ImageRead::decoded && facts.result != exifOk);
}

ImageProblem problemOf(const ImageFacts& facts) {
  switch (facts.read) {
    case ImageRead::missing:
      return ImageProblem::missing;
    case ImageRead::unreadable:
    case ImageRead::shortage:
      return facts.notRegularFile ? ImageProblem::notRegularFile : ImageProblem::cannotRead;
    case ImageRead::decoded:
      break;
  }
  switch (facts.result) {
    case exifOk:
      return ImageProblem::none;
    case exifNotJpeg:
      return ImageProblem::notJpeg;
    case exifNoExif:
      return ImageProblem::noExif;
    default:
      return ImageProblem::exifDamaged;
  }
}

ImageFacts factsOfRecord(ExifResult result, ExifRecord& record) {
  ImageFacts facts;
  facts.read = ImageRead::decoded;
  facts.result = result;
  if (result != exifOk) return facts;
  facts.make = std::move(record.make);
  // Zero bytes after the name (padding some cameras store) are not part of
  // the maker; a long padded value gives its memory back.
  const std::size_t zero = facts.make.find('\0');
  if (zero != std::string::npos) {
    facts.make.erase(zero);
    facts.make.shrink_to_fit();
  }
  facts.latitude = record.gps.latitude;
  facts.longitude = record.gps.longitude;
  facts.altitude = record.gps.altitude;
  facts.hasAltitude = record.gps.hasAltitude;
  facts.captured = record.captured;
  facts.imageWidth = record.imageWidth;
  facts.imageHeight = record.imageHeight;
  facts.focalLength35mm = record.focalLength35mm;
  return facts;
}

namespace {

// The photo's XMP packet at `place`, decoded, in the reading thread's own
// buffer (one APP1 segment at most: some 64 KiB). False when its read
// failed.
bool decodeXmpAt(FileSource& source, const XmpSegment& place, XmpFacts& xmp) {
  std::vector<unsigned char>& packet = source.buffers->xmp;
  packet.resize(place.length);
  if (!readXmpPacket(byteSourceOf(source), place, packet.data())) return false;
  xmp = decodeXmpPacket(packet.data(), packet.size(), source.buffers->xmpParser);
  return true;
}

}  // namespace

ImageFacts decodeImage(FileSource& source, FlightTexts* flight) {
  ExifRecord record;
  const bool withFlight = flight != nullptr && flight->wanted.load(std::memory_order_relaxed);
  XmpSegment place;
  const ExifResult result = record.parseJpeg(byteSourceOf(source), withFlight ? &place : nullptr);
  XmpFacts xmp;
  const bool hasXmp = withFlight && result == exifOk && !source.failed && place.found &&
                      decodeXmpAt(source, place, xmp);
  if (source.failed) {
    ImageFacts facts;
    facts.read = source.shortage ? ImageRead::shortage : ImageRead::unreadable;
    return facts;
  }
  ImageFacts facts = factsOfRecord(result, record);
  if (withFlight && result == exifOk) {
    facts.flight = flightFactsOf(record, hasXmp ? &xmp : nullptr, *flight);
  }
  return facts;
}

namespace {

ImageFacts readAndDecode(const platform::FilePath& path, ReadBuffers& buffers, bool& waited,
                         FlightTexts* flight) {
  ImageFacts facts;
  platform::ReadableFile file;
  const platform::ReadStatus status = platform::openForReading(path, file);
  if (status == platform::ReadStatus::missing) return facts;
  facts.read =
      status == platform::ReadStatus::shortage ? ImageRead::shortage : ImageRead::unreadable;
  facts.notRegularFile = status == platform::ReadStatus::notRegularFile;
  facts.systemError = file.error();
  if (status != platform::ReadStatus::ok) return facts;

  FileSource source;
  if (openFileSource(file, buffers, source, headBytesToRead(buffers))) {
    facts = decodeImage(source, flight);
    // A photo without a readable EXIF block was searched through, or read
    // where a broken offset pointed: it says nothing of where the set's
    // fields lie.
    if (facts.read == ImageRead::decoded && facts.result == exifOk) learnHeadNeed(source);
  } else if (source.shortage) {
    facts.read = ImageRead::shortage;
  }
  facts.systemError = file.error();
  facts.identity = file.identity();
  waited = mostlyWaited(source);
  return facts;
}

}  // namespace

ImageFacts readImageFacts(const platform::FilePath& path, ReadBuffers& buffers, bool& waited,
                          FlightTexts* flight) {
  waited = false;
  try {
    return readAndDecode(path, buffers, waited, flight);
  } catch (...) {
    return factsOfFailedRead();
  }
}

ImageFacts factsOfFailedRead() {
  ImageFacts failed;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    // The process has no memory left for what the photo holds: the tool's
    // own limit, not the photo's fault.
    failed.read = ImageRead::shortage;
  } catch (...) {
    // Anything else: the photo was not read, and the run goes on.
    failed.read = ImageRead::unreadable;
  }
  return failed;
}
