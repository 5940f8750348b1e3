// What the four checks need to know of one listed image, read and decoded
// once however many checks run: the first pass makes every check's value
// text of it (kept for the whole run only where the page shows it).
//
// The record holds only what a value text is made of: a few dozen bytes and
// the maker text. The decoded ExifRecord itself (a dozen texts, lens and GPS
// details) lives only while its image is read.
#ifndef PHOTOCHECK_READING_IMAGE_FACTS_H
#define PHOTOCHECK_READING_IMAGE_FACTS_H

#include <cstdint>
#include <string>

#include "exif/exif_record.h"
#include "platform/platform.h"
#include "reading/file_source.h"
#include "reading/flight_facts.h"

// How far the reading of an image got.
enum class ImageRead : std::uint8_t {
  missing,     // nothing at the path any more: skipped by every check
  unreadable,  // there, but could not be read whole: "error" in every check
  decoded,     // read and handed to the EXIF reader; `result` says how it went
  shortage,    // the tool ran short (file descriptors, memory) while reading
               // it: no fault of the photo's; it is read again alone
};

struct ImageFacts {
  std::string make;  // IFD0 maker text up to its first zero byte
  double latitude = 0;
  double longitude = 0;
  double altitude = 0;
  // The file read, as its open found it: a side file is never written over
  // a photo of the set, and this spares asking each photo's identity again.
  // Unknown where it was not opened.
  platform::FileIdentity identity;
  CaptureTime captured;  // EXIF DateTimeOriginal, decoded
  std::uint32_t imageWidth = 0;
  std::uint32_t imageHeight = 0;
  ExifResult result = exifOk;  // the EXIF reader's outcome, when decoded
  // Unreadable: the system's number for why (ReadableFile::error); 0 where
  // the file was cut short or the open found no regular file.
  std::int32_t systemError = 0;
  std::uint16_t focalLength35mm = 0;
  ImageRead read = ImageRead::missing;
  bool notRegularFile = false;  // unreadable: a folder, pipe, device or socket
  bool hasAltitude = false;     // the GPS directory gave an altitude
  // One bit per check row (bit i: kCheckRows[i]) that reported the image:
  // set as the report is printed, so keeping it takes no memory.
  std::uint8_t flaggedBy = 0;
  // Read only when the run keeps facts for a side file; unknown otherwise.
  FlightFacts flight;
};

// Why an image is filed under "error" or skipped, for the side files that
// say so.
enum class ImageProblem : std::uint8_t {
  none,            // read and decoded
  missing,         // nothing at the path any more
  notRegularFile,  // a folder, pipe, device or socket
  cannotRead,      // the open or a read failed (see systemError)
  notJpeg,         // exifNotJpeg
  noExif,          // exifNoExif
  exifDamaged,     // exifUnknownByteOrder, exifCorrupt
};

ImageProblem problemOf(const ImageFacts& facts);

// True when the image is filed under "error": it could not be read, or its
// EXIF data could not be decoded.
bool isErrorImage(const ImageFacts& facts);

// The facts of a decoded record. Takes the maker text out of `record`
// instead of copying it.
ImageFacts factsOfRecord(ExifResult result, ExifRecord& record);

// Decodes the photo behind `source` (opened with openFileSource). Unreadable
// when any read of it failed, whatever the reader made of the bytes it got;
// a shortage when the source had no memory for its buffers. May throw
// std::bad_alloc (no memory for a text the photo holds).
//
// Given `flight` (still wanted), it also finds and decodes the XMP packet
// through the same source and fills ImageFacts::flight; without it the
// photo is read exactly as the checks alone read it.
ImageFacts decodeImage(FileSource& source, FlightTexts* flight = nullptr);

// Opens, reads and decodes the image at `path` with the reading thread's
// `buffers`; `waited` tells whether most reads of it waited on the storage
// (see mostlyWaited). Never throws: an image whose reading fails is
// unreadable, or a shortage when the process ran out of file descriptors or
// memory for it.
// `flight` as for decodeImage.
ImageFacts readImageFacts(const platform::FilePath& path, ReadBuffers& buffers, bool& waited,
                          FlightTexts* flight = nullptr);

// Called in a catch block only: the facts of a read that threw. No memory
// (std::bad_alloc) is the tool's own shortage, anything else an image that
// could not be read.
ImageFacts factsOfFailedRead();

#endif  // PHOTOCHECK_READING_IMAGE_FACTS_H
