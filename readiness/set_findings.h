// The findings made of the set as a whole: mixed cameras, GPS positions that
// cannot be right, and photos taken twice.
#ifndef PHOTOCHECK_READINESS_SET_FINDINGS_H
#define PHOTOCHECK_READINESS_SET_FINDINGS_H

#include <cstdint>
#include <optional>
#include <vector>

#include "readiness/readiness_result.h"
#include "readiness/survey_layout.h"
#include "readiness/survey_photo.h"

namespace readiness {

// Where the set holds more than one camera model, body serial number, 35 mm
// focal length or digital zoom ratio: one finding per group of photos
// sharing a value (its value in the label), the largest kMaxCameraGroups
// groups per property (the rest counted in `leftOut`). Photos that do not
// say are in no group.
void findMixedCameras(const std::vector<SurveyPhoto>& photos, std::vector<Finding>& findings,
                      std::uint32_t& leftOut);

// The placed photos with no other photo within kOutlierSpacingFactor times
// the set's median nearest-neighbour spacing (found on a grid of sorted
// cells, never all pairs), as a gpsOutlier finding (value: that distance);
// none when there are none.
std::optional<Finding> findFarPhotos(const SurveyLayout& layout);

// Positions at 0/0; placed photos without an altitude among photos with one;
// photos without a fixed RTK solution among photos with one.
void findGpsTrouble(const std::vector<SurveyPhoto>& photos, const SurveyLayout& layout,
                    std::vector<Finding>& findings);

// The median distance from each placed photo to its nearest other (searched
// among at most a few dozen photos of the neighbouring cells of a grid whose
// cell fits the set's middle 90 %); none with fewer than two placed photos.
std::optional<double> medianNeighbourSpacing(const SurveyLayout& layout);

// Photos with the same capture time (to the sub-second where the photos have
// one) and the same position; and runs of kStationaryPhotos or more photos
// of one flight in a row within kStationaryRadiusM of the run's first that
// are not a hover (see kHoverSpeedMps), the first kMaxGapFindings runs
// listed and the rest counted in `leftOut`.
void findDuplicates(const std::vector<SurveyPhoto>& photos, const SurveyLayout& layout,
                    std::vector<Finding>& findings, std::uint32_t& leftOut);

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_SET_FINDINGS_H
