#include "reading/flight_facts.h"

#include <cmath>
#include <initializer_list>

std::uint16_t FlightTexts::numberOf(std::string_view text) {
  if (text.empty()) return kNoFlightText;
  const std::string key(text.substr(0, kMostFlightTextBytes));
  const std::lock_guard<std::mutex> held(lock);
  const auto known = numbers.find(key);
  if (known != numbers.end()) return known->second;
  if (texts.size() >= kMostFlightTexts) return kNoFlightText;
  const auto number = static_cast<std::uint16_t>(texts.size());
  texts.push_back(key);
  numbers.emplace(key, number);
  return number;
}

std::string_view FlightTexts::textOf(std::uint16_t number) const {
  if (number >= texts.size()) return {};
  return texts[number];
}

namespace {

// A number that fits a float and is finite, else unknown.
float numberOf(const XmpNumber& number) {
  if (!number.has || !std::isfinite(number.value) || std::fabs(number.value) > 1e30) {
    return kNoFlightNumber;
  }
  return static_cast<float>(number.value);
}

// A positive EXIF measure, else 0 (unknown).
float measureOf(double value) {
  return std::isfinite(value) && value > 0 && value < 1e30 ? static_cast<float>(value) : 0.0f;
}

}  // namespace

FlightFacts flightFactsOf(const ExifRecord& record, const XmpFacts* xmp, FlightTexts& texts) {
  FlightFacts flight;
  if (record.hasSubsecondsOriginal)
    flight.subseconds = static_cast<float>(record.subsecondsOriginal);
  flight.exposureSeconds = measureOf(record.exposureTime);
  flight.fNumber = measureOf(record.fNumber);
  if (record.hasDigitalZoomRatio) flight.digitalZoomRatio = measureOf(record.digitalZoomRatio);
  flight.iso = record.isoSpeed;
  flight.hasOffset = record.hasOffsetOriginal;
  if (record.hasOffsetOriginal) flight.offsetMinutes = record.offsetMinutesOriginal;
  flight.model = texts.numberOf(record.model);
  flight.serial = texts.numberOf(record.bodySerialNumber);
  if (xmp == nullptr) return flight;
  flight.relativeAltitudeM = numberOf(xmp->relativeAltitude);
  flight.gimbalPitchDeg = numberOf(xmp->gimbalPitch);
  // Where the drone maker's gimbal yaw is missing, a Pix4D/senseFly camera's
  // yaw or a photo sphere's pose heading gives the camera's heading (both
  // degrees clockwise from north, as the gimbal's). Their pitch is not
  // taken: neither counts -90 degrees as looking straight down.
  for (const XmpNumber* yaw : {&xmp->gimbalYaw, &xmp->cameraYaw, &xmp->poseHeading}) {
    flight.gimbalYawDeg = numberOf(*yaw);
    if (flight.gimbalYawDeg == flight.gimbalYawDeg) break;
  }
  flight.flightYawDeg = numberOf(xmp->flightYaw);
  // A ground speed needs its three parts.
  const float x = numberOf(xmp->flightXSpeed);
  const float y = numberOf(xmp->flightYSpeed);
  const float z = numberOf(xmp->flightZSpeed);
  if (x == x && y == y && z == z) {
    flight.speedXMps = x;
    flight.speedYMps = y;
    flight.speedZMps = z;
  }
  const float rtk = numberOf(xmp->rtkFlag);
  if (rtk >= 0 && rtk <= 255 && rtk == std::floor(rtk)) {
    flight.rtkFlag = static_cast<std::uint8_t>(rtk);
    flight.hasRtkFlag = true;
  }
  return flight;
}
