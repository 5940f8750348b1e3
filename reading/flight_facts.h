// What the readiness analyses need of one photo beyond the checks' facts:
// the capture time's fraction and offset, the exposure, the camera's identity
// and zoom, and what the drone maker's XMP packet says of the flight. Read
// only when a side file is asked (a run without one reads what it always
// read), kept beside the checks' facts in some sixty bytes.
#ifndef PHOTOCHECK_READING_FLIGHT_FACTS_H
#define PHOTOCHECK_READING_FLIGHT_FACTS_H

#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "exif/exif_record.h"
#include "xmp/xmp_facts.h"

// NaN: the photo does not say.
inline constexpr float kNoFlightNumber = std::numeric_limits<float>::quiet_NaN();

struct FlightFacts {
  // EXIF
  float subseconds = kNoFlightNumber;  // SubSecTimeOriginal, 0 to 1
  float exposureSeconds = 0;           // 0: unknown
  float fNumber = 0;
  float digitalZoomRatio = 0;  // 0: unknown
  // XMP (DJI's drone namespace)
  float relativeAltitudeM = kNoFlightNumber;
  float gimbalPitchDeg = kNoFlightNumber;
  float gimbalYawDeg = kNoFlightNumber;
  float flightYawDeg = kNoFlightNumber;
  float speedXMps = kNoFlightNumber;  // all three, or none
  float speedYMps = kNoFlightNumber;
  float speedZMps = kNoFlightNumber;
  std::int16_t offsetMinutes = 0;  // OffsetTimeOriginal, minutes east of UTC
  std::uint16_t iso = 0;           // 0: unknown
  // Numbers of texts in the run's FlightTexts; kNoFlightText: none.
  std::uint16_t model = 0xFFFF;
  std::uint16_t serial = 0xFFFF;
  std::uint8_t rtkFlag = 0;
  bool hasOffset = false;
  bool hasRtkFlag = false;
};

inline constexpr std::uint16_t kNoFlightText = 0xFFFF;
// The most distinct model and serial texts a run keeps: a set from a few
// cameras holds a handful. Beyond it a text is kept as none, so a hostile
// set cannot grow the table with every photo.
inline constexpr std::size_t kMostFlightTexts = 4096;
// A longer text is cut there (a serial number has a dozen characters).
inline constexpr std::size_t kMostFlightTextBytes = 64;

// The distinct model and serial texts of a run, each once, shared by the
// reading threads; and whether the flight facts are read at all (a run that
// let go of its kept facts reads no more of them).
struct FlightTexts {
  std::atomic<bool> wanted{true};
  std::mutex lock;
  std::vector<std::string> texts;
  std::unordered_map<std::string, std::uint16_t> numbers;

  // The number of `text` (made on its first use); kNoFlightText for an empty
  // text or a full table. May throw std::bad_alloc.
  std::uint16_t numberOf(std::string_view text);
  // The text of a number (empty for kNoFlightText). Read after the reads.
  std::string_view textOf(std::uint16_t number) const;
};

// The flight facts of a decoded record and its XMP packet's facts (null:
// the photo has none); the texts are numbered in `texts`.
FlightFacts flightFactsOf(const ExifRecord& record, const XmpFacts* xmp, FlightTexts& texts);

#endif  // PHOTOCHECK_READING_FLIGHT_FACTS_H
