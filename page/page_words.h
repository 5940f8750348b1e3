// The page's words in its two languages. The page is written with the
// Chinese words (the console's, where it has them) and carries both lists in
// its script, which shows the browser's language (Chinese unless it is
// English) and switches on request. Each word stands in the markup as
//   <span data-t=N>中文</span>
// where N is its place in the list, so a switch touches text only.
#ifndef PHOTOCHECK_PAGE_PAGE_WORDS_H
#define PHOTOCHECK_PAGE_PAGE_WORDS_H

#include <cstddef>
#include <string>
#include <string_view>

#include "readiness/readiness_result.h"
#include "reading/image_facts.h"

enum class Word : std::uint8_t {
  setPassed,
  setFailed,
  images,
  exitStatus,
  noFileInFolder,
  checkedAt,
  version,
  imageFolder,
  otherLanguage,
  resolution,
  cameraMaker,
  focalLength,
  gps,
  notRun,
  check,
  flagged,
  flaggedPhotos,
  noneFlagged,
  path,
  checks,
  valueOrReason,
  map,
  positionedPhotos,
  mapHint,
  resetView,
  passed,
  ringMeans,
  gpsNotOnMap,
  withoutPosition,
  photoDetails,
  allChecks,
  photos,
  flaggedGroup,
  settings,
  withFocalLength,
  withoutFocalLength,
  withGps,
  withoutGps,
  noMaker,
  cannotBeChecked,
  missing,
  notRegularFile,
  cannotRead,
  endsEarly,
  notJpeg,
  noExif,
  exifDamaged,
  position,
  captured,
  focalLengthCheck,
  gpsCheck,
  cameraMakerCheck,
  resolutionCheck,
  outputFolder,
  showMore,
  runId,
  rowsNotPrinted,
  readiness,
  ready,
  atRisk,
  cannotTell,
  readinessFindings,
  noReadinessFinding,
  findingsNotListed,
  photosNotListed,
  flight,
  line,
  views,
  median,
  sortByFlight,
  sortByPath,
  footprintLegend,
  fewViews,  // the findings' causes, in readiness::FindingCause order
  forwardBelow,
  sideBelow,
  finestPhotos,
  coarsestPhotos,
  pitchOffMedian,
  horizonInView,
  smearAbovePixel,
  slowShutter,
  otherModel,
  otherSerial,
  otherFocalLength,
  otherZoom,
  zeroPosition,
  farFromNeighbours,
  missingAltitude,
  rtkMixed,
  sameTimeAndPosition,
  stationary,
  flightGap,
  otherDay,
  photosWithoutTime,
  photosWithoutHeight,
  cannotTellNoPosition,  // the other reasons of "cannot tell"
  cannotTellNoNadirPhoto,
  cannotTellNoFocalLength,
  cannotTellNoHeading,
  // The readiness facts of a photo in the map's details, and the shading.
  heightAboveGround,
  groundSampleDistance,
  forwardOverlap,
  sideOverlap,
  gimbalPitch,
  motionSmear,
  coverageLegend,
  // The forms for one photo of the words that follow a count.
  photo,
  photoWithoutTime,
  photoWithoutHeight,
  count,  // not a word: the number of words
};

// Appends the word as its span (the Chinese text); nothing for Word::count.
void appendWord(std::string& page, Word word);

// Appends "N " and the word for N photos: photos, photosWithoutTime and
// photosWithoutHeight have a form for one photo ("1 photo"), which is the same
// in Chinese.
void appendPhotoCount(std::string& page, long long count, Word word = Word::photos);

// Appends both lists as script ("var W={zh:[...],en:[...]};").
void appendWordLists(std::string& page);

// The word that names check row `row` (0: resolution ... 3: GPS).
Word checkWord(std::size_t row);

// Why a photo could not be checked; Word::count for ImageProblem::none.
Word problemWord(ImageProblem problem);

// The readiness verdict's word, and a finding's cause's.
Word verdictWord(readiness::Verdict verdict,
                 readiness::NoFootprint why = readiness::NoFootprint::noHeight);
Word causeWord(readiness::FindingCause cause);

// The word for one of the run's setting meanings; Word::count when the
// meaning is none the page knows.
Word settingWord(std::string_view meaning);

#endif  // PHOTOCHECK_PAGE_PAGE_WORDS_H
