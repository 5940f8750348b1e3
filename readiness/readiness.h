// Whether a photo set will reconstruct, and where it will not: the readiness
// analyses over the photos' metadata, before any pixel is processed.
//
// Depends on nothing else of photocheck: the caller fills one SurveyPhoto per
// listed photo and reads the result. Every step is linear or n log n in the
// number of photos (sorts, sorted cells, a grid of bounded size), never all
// pairs.
#ifndef PHOTOCHECK_READINESS_READINESS_H
#define PHOTOCHECK_READINESS_READINESS_H

#include <vector>

#include "readiness/readiness_result.h"
#include "readiness/survey_photo.h"

namespace readiness {

// The findings come in this order: time gaps, coverage gaps, forward and
// side overlap, GSD spread, oblique photos, motion blur, cameras, GPS,
// duplicates.
ReadinessResult analyzeReadiness(const std::vector<SurveyPhoto>& photos,
                                 const SurveyOptions& options);

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_READINESS_H
