// The readiness analyses' view of a run: one SurveyPhoto per listed photo,
// made from the facts the first pass kept, and the ground height the user
// gives in PHOTOCHECK_GROUND_M.
#ifndef PHOTOCHECK_APP_SURVEY_PHOTOS_H
#define PHOTOCHECK_APP_SURVEY_PHOTOS_H

#include <optional>
#include <string>
#include <vector>

#include "readiness/survey_photo.h"
#include "reading/flight_facts.h"
#include "reading/image_facts.h"

// The SurveyPhoto of each photo, in list order; a photo that was not read
// and decoded has none of its fields. The texts point into `texts` (null:
// the photos have none), which must outlive the list.
std::vector<readiness::SurveyPhoto> surveyPhotosOf(const std::vector<ImageFacts>& facts,
                                                   const FlightTexts* texts);

// The capture time as seconds since 1970-01-01 00:00 of the same clock
// (no zone applied); nullopt for a photo without one.
std::optional<double> secondsOf(const CaptureTime& time, const FlightFacts& flight);

// The ground height a PHOTOCHECK_GROUND_M text gives: a plain decimal
// number ("412", "-3.5", "+12.25"; at most 32 characters, no exponent, no
// blanks, a point as the decimal mark whatever the locale). nullopt for
// anything else.
std::optional<double> groundHeightOf(const std::string& text);

#endif  // PHOTOCHECK_APP_SURVEY_PHOTOS_H
