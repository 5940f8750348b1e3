// The field picks of the EXIF reader: which entries of IFD0, the EXIF
// directory and the GPS directory set which field of an ExifRecord, and the
// reading of their values. The segment walk (exif/jpeg_segments.cc) finds the
// EXIF segment and its directories and hands each directory entry here. Only
// the reader's own files include this header.

#ifndef PHOTOCHECK_EXIF_EXIF_FIELDS_H_
#define PHOTOCHECK_EXIF_EXIF_FIELDS_H_

#include <cstdint>

#include "exif/byte_span.h"
#include "exif/directory_entry.h"
#include "exif/exif_record.h"

// Every stored offset counts from the TIFF header, which follows "Exif" 00 00.
constexpr std::uint32_t kTiffBase = 6;

// One directory entry as the reader sees it: the header, where its values
// lie, and bytes 8-11 as stored (the values themselves when inline).
struct Entry {
  EntryHeader header;
  ValuePlace place;
  unsigned char field[4] = {};
};

// The entry whose 12 bytes are at `bytes`, its values placed in `segment`.
Entry entryOf(const unsigned char* bytes, bool intel, const ByteSpan& segment);

// The entry that sets one field of the record. Entries are handled in the
// order in which they stand and a later one replaces the value of an earlier
// one, so only the last entry that would set the field decides it. It is
// found from the headers alone, and only its values are read.
struct Pick {
  bool found = false;
  Entry entry;
};

// The IFD0 entries that set a field of the record.
struct Ifd0Picks {
  Pick bitsPerSample, imageDescription, make, model, orientation, software, dateTime, rightsNotice;
};

// Notes an IFD0 entry in `picks` when it sets a field; the EXIF and GPS
// pointer entries set the position of their directory instead.
void pickIfd0Entry(const Entry& entry, Ifd0Picks& picks, std::uint64_t& exifPosition,
                   std::uint64_t& gpsPosition);

// Reads the values of the picked IFD0 entries into `record`. False when a
// read fails.
bool readIfd0Fields(const ByteSpan& segment, bool intel, const Ifd0Picks& picks,
                    ExifRecord& record);

// The EXIF directory entries that set a field of the record.
struct ExifPicks {
  Pick exposureTime, fNumber, exposureProgram, isoSpeed, dateTimeOriginal, dateTimeDigitized,
      shutterSpeedValue, exposureBiasValue, subjectDistance, meteringMode, flash, focalLength,
      subsecTimeOriginal, imageWidth, imageHeight, focalPlaneXResolution, focalPlaneYResolution,
      focalPlaneResolutionUnit, focalLength35mm, lensMake, lensModel, offsetTimeOriginal,
      digitalZoomRatio, bodySerialNumber;
  // LensSpecification: min focal length, max focal length, f-number at min,
  // at max; each set by the last entry with that many values.
  Pick lensSpecification[4];
};

// Notes an EXIF directory entry in `picks` when it sets a field.
void pickExifEntry(const Entry& entry, ExifPicks& picks);

// Reads the values of the picked EXIF directory entries into `record`. False
// when a read fails.
bool readExifFields(const ByteSpan& segment, bool intel, const ExifPicks& picks,
                    ExifRecord& record);

// The time in an EXIF date and time text ("2024:05:17 10:42:07"): year 0
// where the text is not one (see CaptureTime). Extra bytes after the 19
// characters (a zone some writers add) are ignored.
CaptureTime captureTimeOf(const std::string& text);

// The GPS directory is read from entry headers, in order. A reference entry
// flips the sign of the value already there and a coordinate entry applies
// the reference already there, so the outcome does not depend on their order.
// False when a read fails.
bool handleGpsEntry(const ByteSpan& segment, const unsigned char* entryBytes, bool intel,
                    GpsPosition& gps);

#endif  // PHOTOCHECK_EXIF_EXIF_FIELDS_H_
