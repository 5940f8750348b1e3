#include "app/survey_photos.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "checks/value_texts.h"

namespace {

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar
// (Howard Hinnant's days_from_civil).
std::int64_t daysFromCivil(int year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool known(float value) { return value == value; }

}  // namespace

std::optional<double> secondsOf(const CaptureTime& time, const FlightFacts& flight) {
  if (time.year == 0) return std::nullopt;
  const std::int64_t days = daysFromCivil(time.year, time.month, time.day);
  double seconds =
      static_cast<double>(days) * 86400.0 + time.hour * 3600.0 + time.minute * 60.0 + time.second;
  if (known(flight.subseconds)) seconds += flight.subseconds;
  return seconds;
}

std::vector<readiness::SurveyPhoto> surveyPhotosOf(const std::vector<ImageFacts>& facts,
                                                   const FlightTexts* texts) {
  std::vector<readiness::SurveyPhoto> photos(facts.size());
  for (std::size_t i = 0; i < facts.size(); ++i) {
    const ImageFacts& image = facts[i];
    if (problemOf(image) != ImageProblem::none) continue;
    const FlightFacts& flight = image.flight;
    readiness::SurveyPhoto& photo = photos[i];
    if (const std::optional<double> seconds = secondsOf(image.captured, flight)) {
      photo.captureSeconds = *seconds;
      photo.hasCaptureTime = true;
    }
    // The position the GPS check takes; 0/0 with an altitude is one too, for
    // the analyses to name.
    photo.hasPosition = hasGpsPosition(image);
    if (photo.hasPosition) {
      photo.latitude = image.latitude;
      photo.longitude = image.longitude;
    }
    photo.hasGpsAltitude = image.hasAltitude;
    photo.gpsAltitudeM = static_cast<float>(image.altitude);
    photo.focalLength35mm = image.focalLength35mm;
    photo.width = image.imageWidth;
    photo.height = image.imageHeight;
    photo.exposureSeconds = flight.exposureSeconds;
    photo.fNumber = flight.fNumber;
    photo.digitalZoomRatio = flight.digitalZoomRatio;
    photo.iso = flight.iso;
    if (texts != nullptr) {
      photo.model = texts->textOf(flight.model);
      photo.serial = texts->textOf(flight.serial);
    }
    const auto take = [](float value, float& to, bool& has) {
      has = known(value);
      if (has) to = value;
    };
    take(flight.relativeAltitudeM, photo.relativeAltitudeM, photo.hasRelativeAltitude);
    take(flight.gimbalPitchDeg, photo.gimbalPitchDeg, photo.hasGimbalPitch);
    take(flight.gimbalYawDeg, photo.gimbalYawDeg, photo.hasGimbalYaw);
    take(flight.flightYawDeg, photo.flightYawDeg, photo.hasFlightYaw);
    photo.hasSpeed = known(flight.speedXMps);
    if (photo.hasSpeed) {
      photo.speedXMps = flight.speedXMps;
      photo.speedYMps = flight.speedYMps;
      photo.speedZMps = flight.speedZMps;
    }
    photo.hasRtkFlag = flight.hasRtkFlag;
    photo.rtkFlag = flight.rtkFlag;
  }
  return photos;
}

std::optional<double> groundHeightOf(const std::string& text) {
  if (text.empty() || text.size() > 32) return std::nullopt;
  std::size_t at = text[0] == '+' || text[0] == '-' ? 1 : 0;
  std::size_t digits = 0;
  bool point = false;
  for (std::size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  // from_chars reads no sign but '-', and reads no locale.
  if (text[0] == '+')
    at = 1;
  else
    at = 0;
  double value = 0;
  const char* const end = text.data() + text.size();
  const auto read = std::from_chars(text.data() + at, end, value, std::chars_format::fixed);
  if (read.ec != std::errc() || read.ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}
