#include "readiness/readiness.h"

#include <algorithm>
#include <optional>

#include "readiness/coverage_grid.h"
#include "readiness/footprint.h"
#include "readiness/overlap.h"
#include "readiness/photo_findings.h"
#include "readiness/set_findings.h"
#include "readiness/survey_layout.h"

namespace readiness {

namespace {

// Height, GSD, yaw and footprint of every photo that has what they need.
Footprints measurePhotos(const std::vector<SurveyPhoto>& photos, const SurveyOptions& options,
                         const SurveyLayout& layout, ReadinessResult& result) {
  Footprints footprints(photos.size());
  // How many photos passed each step towards a footprint: where none has a
  // footprint, the first step none passed is why.
  std::uint32_t placed = 0;
  std::uint32_t heightKnown = 0;
  std::uint32_t lookingDown = 0;
  std::uint32_t sized = 0;
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    PhotoReadiness& measured = result.photos[i];
    measured.flight = layout.flightOf[i];
    measured.line = layout.lineOf[i];
    if (!measured.flight) ++result.photosWithoutTime;  // none, or not a number
    if (!isPlaced(photos[i])) ++result.photosWithoutPosition;
    if (!layout.placed[i]) continue;  // no position, or a GPS outlier
    ++placed;
    const std::optional<double> height = heightAboveGround(photos[i], options);
    if (!height) {
      ++result.photosWithoutHeight;
      continue;
    }
    ++heightKnown;
    measured.heightAboveGroundM = static_cast<float>(*height);
    if (!looksDown(photos[i])) continue;
    ++lookingDown;
    if (const std::optional<double> gsd = groundSampleCm(photos[i], *height)) {
      measured.gsdCm = static_cast<float>(*gsd);
      ++sized;
    }
    const std::optional<double> lineHeading =
        layout.lineOf[i] ? layout.lines[*layout.lineOf[i]].headingDeg : std::nullopt;
    const std::optional<double> yaw = footprintYaw(photos[i], lineHeading);
    if (!yaw) continue;
    measured.yawDeg = static_cast<float>(*yaw);
    footprints[i] = nadirFootprint(photos[i], *height, *yaw);
  }
  result.noFootprint = placed == 0        ? NoFootprint::noPosition
                       : heightKnown == 0 ? NoFootprint::noHeight
                       : lookingDown == 0 ? NoFootprint::noNadirPhoto
                       : sized == 0       ? NoFootprint::noFocalLength
                                          : NoFootprint::noHeading;
  return footprints;
}

}  // namespace

ReadinessResult analyzeReadiness(const std::vector<SurveyPhoto>& photos,
                                 const SurveyOptions& options) {
  ReadinessResult result;
  result.photos.resize(photos.size());
  SurveyLayout layout = placePhotos(photos);
  // A position far from every other is a wrong fix: it is not placed, so
  // that it neither breaks its line nor stretches the survey's area.
  std::optional<Finding> far = findFarPhotos(layout);
  if (far) {
    for (std::uint32_t photo : far->photos) layout.placed[photo] = 0;
  }
  splitFlights(photos, layout);
  result.flightCount = static_cast<std::uint32_t>(layout.flightBegin.size() - 1);
  result.lineCount = static_cast<std::uint32_t>(layout.lines.size());
  result.findingsLeftOut = layout.timeGapsLeftOut;
  result.findings = std::move(layout.timeGaps);

  const Footprints footprints = measurePhotos(photos, options, layout, result);
  {
    const CoverageGrid grid = countViews(layout.points, footprints);
    result.gridCellM = grid.cellM;
    findCoverageGaps(grid, insideOfSurvey(grid, layout.points, footprints), layout.points,
                     footprints, layout.frame, result.photos, result.findings,
                     result.findingsLeftOut, result.coverage);
  }
  measureForwardOverlap(layout, footprints, result.photos, result.findings);
  measureSideOverlap(layout, footprints, result.photos, result.findings);
  findGsdSpread(result.photos, result.findings);
  findOblique(photos, result.photos, result.findings);
  findMotionBlur(photos, layout, result.photos, result.findings);
  findMixedCameras(photos, result.findings, result.findingsLeftOut);
  findGpsTrouble(photos, layout, result.findings);
  if (far) result.findings.push_back(std::move(*far));
  findDuplicates(photos, layout, result.findings, result.findingsLeftOut);

  const bool anyFootprint = std::any_of(footprints.begin(), footprints.end(),
                                        [](const auto& footprint) { return bool(footprint); });
  const bool anyRisk = std::any_of(result.findings.begin(), result.findings.end(),
                                   [](const Finding& finding) { return isRisk(finding.cause); });
  result.verdict = !anyFootprint ? Verdict::cannotTell : anyRisk ? Verdict::atRisk : Verdict::ready;
  return result;
}

}  // namespace readiness
