// Forward overlap between neighbours in a line and side overlap between
// neighbouring lines, from the footprints' extents along and across the
// line: 1 - spacing / extent, as drone-tm and the Pix4D guidance measure it.
#ifndef PHOTOCHECK_READINESS_OVERLAP_H
#define PHOTOCHECK_READINESS_OVERLAP_H

#include <optional>
#include <vector>

#include "readiness/footprint.h"
#include "readiness/readiness_result.h"
#include "readiness/survey_layout.h"

namespace readiness {

using Footprints = std::vector<std::optional<Footprint>>;

// Each photo's forward overlap with the worse of its neighbours in its line;
// one finding per line whose photos overlap less than kMinForwardOverlap
// (its value the lowest overlap).
void measureForwardOverlap(const SurveyLayout& layout, const Footprints& footprints,
                           std::vector<PhotoReadiness>& photos, std::vector<Finding>& findings);

// Each photo's side overlap with the worse of the nearest lines on either
// side of its line in its flight that have a photo abreast of it (the
// survey lines, of kMinLinePhotos or more, parallel, found by sorting the
// lines by their offset, not by the order they were flown in; past a
// missing stretch, the line beyond), from the distance between the two
// lines' fitted axes there; one finding per pair of lines so measured by
// kMinLinePhotos photos or more whose median overlap is below
// kMinSideOverlap, naming those photos.
void measureSideOverlap(const SurveyLayout& layout, const Footprints& footprints,
                        std::vector<PhotoReadiness>& photos, std::vector<Finding>& findings);

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_OVERLAP_H
