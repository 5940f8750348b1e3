// The findings made of each photo's own measures: the spread of the ground
// sampling distance, oblique shots, and the risk of motion blur.
#ifndef PHOTOCHECK_READINESS_PHOTO_FINDINGS_H
#define PHOTOCHECK_READINESS_PHOTO_FINDINGS_H

#include <cstdint>
#include <optional>
#include <vector>

#include "readiness/readiness_result.h"
#include "readiness/survey_layout.h"
#include "readiness/survey_photo.h"

namespace readiness {

// When the coarsest GSD over the finest exceeds kMaxGsdSpread: one finding
// for the photos under half the coarsest GSD (the fine end) and one for
// those over twice the finest (the coarse end), each with the spread as its
// value and its flights in its label.
void findGsdSpread(const std::vector<PhotoReadiness>& measured, std::vector<Finding>& findings);

// Per flight (and once for the photos of no flight), the photos whose gimbal
// pitch lies more than kMaxPitchOffMedianDeg from the group's median (value:
// the median); then every photo whose pitch is above kHorizonPitchDeg
// (value: the highest pitch). Sets each photo's pitch.
void findOblique(const std::vector<SurveyPhoto>& photos, std::vector<PhotoReadiness>& measured,
                 std::vector<Finding>& findings);

// The ground speed of photo `lineOrder[k]`: its XMP speeds (horizontal), else
// the distance over the time between its neighbours in capture order within
// its flight. None when neither is known.
std::optional<double> groundSpeed(const std::vector<SurveyPhoto>& photos,
                                  const SurveyLayout& layout, std::uint32_t k);

// Each photo's smear in pixels: exposure time x ground speed / GSD; one
// finding for the photos above kMaxSmearPixels (value: the largest smear) and
// one for those exposed longer than kSlowShutterSeconds (value: the longest).
void findMotionBlur(const std::vector<SurveyPhoto>& photos, const SurveyLayout& layout,
                    std::vector<PhotoReadiness>& measured, std::vector<Finding>& findings);

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_PHOTO_FINDINGS_H
