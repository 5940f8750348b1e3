// How each check turns the facts of a decoded image into the value text under
// which the image is filed. Texts have no length bound.
#ifndef PHOTOCHECK_CHECKS_VALUE_TEXTS_H
#define PHOTOCHECK_CHECKS_VALUE_TEXTS_H

#include <string>

#include "reading/image_facts.h"

// "<width>*<height>", each a signed 32-bit decimal: a stored size of 2^31 or
// more prints negative, as C's "%d" prints it.
bool resolutionValueText(const ImageFacts& facts, std::string& valueText);

// The maker text (already cut at its first zero byte, so padding zeros after
// the name do not start a group of their own), copied: the facts stay whole,
// for a filing done again after a shortage and for the side files.
bool cameraMakerValueText(const ImageFacts& facts, std::string& valueText);

// The 35 mm equivalent focal length, 0 to 65535; 0 when the tag is absent.
bool focalLengthValueText(const ImageFacts& facts, std::string& valueText);

// "1" for an image without a GPS position; false (not filed) for one with a
// position.
bool gpsValueText(const ImageFacts& facts, std::string& valueText);

// An image has a position when its longitude lies within -180..180 and its
// latitude within -90..90 (bounds included, NaN never inside), unless
// latitude, longitude and altitude are all 0 (what an image without a GPS
// directory holds). The altitude plays no part in the range test.
bool hasGpsPosition(const ImageFacts& facts);

#endif  // PHOTOCHECK_CHECKS_VALUE_TEXTS_H
