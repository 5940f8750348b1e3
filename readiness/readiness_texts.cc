// The English texts of the verdicts and findings, and the kinds' names in the
// side files.
#include <cstdio>
#include <string>

#include "readiness/readiness_result.h"
#include "readiness/thresholds.h"

namespace readiness {

namespace {

std::string percent(double fraction) {
  char text[16];
  std::snprintf(text, sizeof text, "%.0f%%", fraction * 100);
  return text;
}

std::string number(double value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string where(const Finding& finding) {
  std::string text;
  if (finding.line) text += "line " + std::to_string(*finding.line + 1) + " of ";
  if (finding.flight) text += "flight " + std::to_string(*finding.flight + 1) + ": ";
  return text;
}

}  // namespace

const char* verdictText(Verdict verdict, NoFootprint why) {
  switch (verdict) {
    case Verdict::ready:
      return "ready";
    case Verdict::atRisk:
      return "at risk";
    case Verdict::cannotTell:
      break;
  }
  switch (why) {
    case NoFootprint::noPosition:
      return "cannot tell: no GPS position";
    case NoFootprint::noHeight:
      break;
    case NoFootprint::noNadirPhoto:
      return "cannot tell: no photo looks straight down";
    case NoFootprint::noFocalLength:
      return "cannot tell: no 35 mm focal length and pixel size";
    case NoFootprint::noHeading:
      return "cannot tell: no heading";
  }
  return "cannot tell: no height above ground";
}

const char* kindName(FindingKind kind) {
  switch (kind) {
    case FindingKind::coverageGap:
      return "coverage_gap";
    case FindingKind::lowForwardOverlap:
      return "low_forward_overlap";
    case FindingKind::lowSideOverlap:
      return "low_side_overlap";
    case FindingKind::gsdSpread:
      return "gsd_spread";
    case FindingKind::oblique:
      return "oblique";
    case FindingKind::motionBlurRisk:
      return "motion_blur_risk";
    case FindingKind::mixedCamera:
      return "mixed_camera";
    case FindingKind::gpsOutlier:
      return "gps_outlier";
    case FindingKind::duplicate:
      return "duplicate";
    case FindingKind::timeGap:
      break;
  }
  return "time_gap";
}

bool isRisk(FindingCause cause) {
  return cause != FindingCause::flightGap && cause != FindingCause::slowShutter;
}

std::string findingText(const Finding& finding) {
  const double value = finding.value.value_or(0);
  const std::string photos = " (" + std::to_string(finding.photoCount) +
                             (finding.photoCount == 1 ? " photo)" : " photos)");
  switch (finding.cause) {
    case FindingCause::fewViews:
      return "an area seen by as few as " + number(value, "%.0f") + " photos, fewer than " +
             std::to_string(kMinViews) + photos;
    case FindingCause::forwardBelow:
      return where(finding) + "forward overlap down to " + percent(value) + ", below " +
             percent(kMinForwardOverlap) + photos;
    case FindingCause::sideBelow:
      return where(finding) + "side overlap with line " +
             std::to_string(finding.otherLine.value_or(0) + 1) + " " + percent(value) + ", below " +
             percent(kMinSideOverlap) + photos;
    case FindingCause::finestPhotos:
      return "ground sampling distance spread " + number(value, "%.1f") +
             "x: the finest photos, under half the coarsest, in " + finding.label + photos;
    case FindingCause::coarsestPhotos:
      return "ground sampling distance spread " + number(value, "%.1f") +
             "x: the coarsest photos, over twice the finest, in " + finding.label + photos;
    case FindingCause::pitchOffMedian:
      return where(finding) + "gimbal pitch more than " + number(kMaxPitchOffMedianDeg, "%.0f") +
             " degrees off the median " + number(value, "%.0f") + photos;
    case FindingCause::horizonInView:
      return "gimbal pitch above " + number(kHorizonPitchDeg, "%.0f") +
             " degrees, the horizon in view" + photos;
    case FindingCause::smearAbovePixel:
      return "motion blur risk: the ground moves up to " + number(value, "%.1f") +
             " pixels during the exposure" + photos;
    case FindingCause::slowShutter:
      return "shutter slower than 1/80 s, up to " + number(value, "%.3g") + " s" + photos;
    case FindingCause::otherModel:
      return "camera model " + finding.label + photos;
    case FindingCause::otherSerial:
      return "camera serial number " + finding.label + photos;
    case FindingCause::otherFocalLength:
      return "35 mm focal length " + finding.label + photos;
    case FindingCause::otherZoom:
      return "digital zoom " + finding.label + photos;
    case FindingCause::zeroPosition:
      return "GPS position 0/0, no fix" + photos;
    case FindingCause::farFromNeighbours:
      return "GPS position more than " + number(value, "%.0f") + " m from every other photo" +
             photos;
    case FindingCause::missingAltitude:
      return "GPS position without altitude" + photos;
    case FindingCause::rtkMixed:
      return "without a fixed RTK solution, among " + number(value, "%.0f") + " photos with one" +
             photos;
    case FindingCause::sameTimeAndPosition:
      return "taken twice: same capture time and position" + photos;
    case FindingCause::stationary:
      return where(finding) + "photos at one spot that are not a hover" + photos;
    case FindingCause::flightGap:
      return where(finding) + "a new flight after " + number(value / 60, "%.0f") + " minutes" +
             photos;
    case FindingCause::otherDay:
      break;
  }
  return where(finding) + "a new flight on another day" + photos;
}

}  // namespace readiness
