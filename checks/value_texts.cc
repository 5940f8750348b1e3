#include "checks/value_texts.h"

#include <cstdint>

bool resolutionValueText(const ImageFacts& facts, std::string& valueText) {
  valueText = std::to_string(static_cast<std::int32_t>(facts.imageWidth)) + "*" +
              std::to_string(static_cast<std::int32_t>(facts.imageHeight));
  return true;
}

bool cameraMakerValueText(const ImageFacts& facts, std::string& valueText) {
  valueText = facts.make;
  return true;
}

bool focalLengthValueText(const ImageFacts& facts, std::string& valueText) {
  valueText = std::to_string(static_cast<int>(facts.focalLength35mm));
  return true;
}

bool gpsValueText(const ImageFacts& facts, std::string& valueText) {
  if (hasGpsPosition(facts)) return false;
  valueText = "1";
  return true;
}

bool hasGpsPosition(const ImageFacts& facts) {
  // Written as "within" tests so that a NaN, which compares false, is outside.
  const bool longitudeInRange = facts.longitude >= -180.0 && facts.longitude <= 180.0;
  const bool latitudeInRange = facts.latitude >= -90.0 && facts.latitude <= 90.0;
  const bool allZero = facts.latitude == 0 && facts.longitude == 0 && facts.altitude == 0;
  return longitudeInRange && latitudeInRange && !allZero;
}
