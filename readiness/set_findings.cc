#include "readiness/set_findings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "readiness/finding_photos.h"
#include "readiness/thresholds.h"

namespace readiness {

namespace {

// One finding per value of a camera property, when there is more than one:
// `keyOf` gives a photo's value (false where it does not say), `labelOf` its
// text.
template <typename Key, typename KeyOf, typename LabelOf>
void groupBy(const std::vector<SurveyPhoto>& photos, FindingCause cause, KeyOf keyOf,
             LabelOf labelOf, std::vector<Finding>& findings, std::uint32_t& leftOut) {
  std::map<Key, std::uint32_t> counts;
  Key key{};
  for (const SurveyPhoto& photo : photos) {
    if (keyOf(photo, key)) ++counts[key];
  }
  if (counts.size() < 2) return;
  std::vector<std::pair<Key, std::uint32_t>> groups(counts.begin(), counts.end());
  std::stable_sort(groups.begin(), groups.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  if (groups.size() > kMaxCameraGroups) {
    leftOut += static_cast<std::uint32_t>(groups.size() - kMaxCameraGroups);
    groups.resize(kMaxCameraGroups);
  }
  std::map<Key, std::size_t> findingOf;
  for (const auto& group : groups) {
    findingOf[group.first] = findings.size();
    Finding finding = makeFinding(FindingKind::mixedCamera, cause);
    finding.label = labelOf(group.first);
    findings.push_back(std::move(finding));
  }
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    if (!keyOf(photos[i], key)) continue;
    const auto found = findingOf.find(key);
    if (found != findingOf.end()) addPhoto(findings[found->second], i);
  }
}

std::string numberText(double value, const char* unit) {
  char text[32];
  std::snprintf(text, sizeof text, "%g%s", value, unit);
  return text;
}

// The placed photos filed by the cell of a square grid they lie in, sorted
// by cell, so that the photos of a cell are found by a binary search.
struct CellIndex {
  double cellM = 1;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> entries;

  static std::int64_t cellOf(double metres, double cellM) {
    return static_cast<std::int64_t>(std::clamp(std::floor(metres / cellM), -2e9, 2e9));
  }
  static std::uint64_t key(std::int64_t column, std::int64_t row) {
    return (std::uint64_t(std::uint32_t(column)) << 32) | std::uint32_t(row);
  }

  CellIndex(const SurveyLayout& layout, double cell) : cellM(cell) {
    for (std::uint32_t i = 0; i < layout.points.size(); ++i) {
      if (!layout.placed[i]) continue;
      entries.emplace_back(
          key(cellOf(layout.points[i].east, cellM), cellOf(layout.points[i].north, cellM)), i);
    }
    std::sort(entries.begin(), entries.end());
  }

  // Calls visit(other) for the other photos of the 3 x 3 cells about
  // `photo`, at most `limit` of them; false when the limit cut it short.
  template <typename Visit>
  bool around(const SurveyLayout& layout, std::uint32_t photo, std::uint32_t limit,
              Visit visit) const {
    const std::int64_t column = cellOf(layout.points[photo].east, cellM);
    const std::int64_t row = cellOf(layout.points[photo].north, cellM);
    std::uint32_t visited = 0;
    for (std::int64_t dc = -1; dc <= 1; ++dc) {
      for (std::int64_t dr = -1; dr <= 1; ++dr) {
        const std::uint64_t wanted = key(column + dc, row + dr);
        auto at = std::lower_bound(entries.begin(), entries.end(),
                                   std::make_pair(wanted, std::uint32_t(0)));
        for (; at != entries.end() && at->first == wanted; ++at) {
          if (at->second == photo) continue;
          if (++visited > limit) return false;
          if (!visit(at->second)) return true;
        }
      }
    }
    return true;
  }
};

double distanceBetween(const LocalPoint& a, const LocalPoint& b) {
  return std::hypot(a.east - b.east, a.north - b.north);
}

// Of `values`, the one at `fraction` of the way up.
double quantile(std::vector<double>& values, double fraction) {
  auto at = values.begin() + std::ptrdiff_t(fraction * double(values.size() - 1));
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

bool isHover(const std::vector<SurveyPhoto>& photos, const std::vector<std::uint32_t>& order,
             std::uint32_t begin, std::uint32_t end) {
  bool allSpeeds = true, allStill = true;
  for (std::uint32_t k = begin; k < end; ++k) {
    const SurveyPhoto& photo = photos[order[k]];
    allSpeeds = allSpeeds && photo.hasSpeed;
    allStill = allStill && photo.hasSpeed &&
               std::sqrt(photo.speedXMps * photo.speedXMps + photo.speedYMps * photo.speedYMps +
                         photo.speedZMps * photo.speedZMps) < kHoverSpeedMps;
  }
  if (allSpeeds) return allStill;
  const double spread = photos[order[end - 1]].captureSeconds - photos[order[begin]].captureSeconds;
  return spread >= (end - begin - 1) * kHoverSecondsPerPhoto;
}

}  // namespace

void findMixedCameras(const std::vector<SurveyPhoto>& photos, std::vector<Finding>& findings,
                      std::uint32_t& leftOut) {
  const auto text = [](std::string_view value) { return std::string(value); };
  groupBy<std::string_view>(
      photos, FindingCause::otherModel,
      [](const SurveyPhoto& p, std::string_view& key) { return !(key = p.model).empty(); }, text,
      findings, leftOut);
  groupBy<std::string_view>(
      photos, FindingCause::otherSerial,
      [](const SurveyPhoto& p, std::string_view& key) { return !(key = p.serial).empty(); }, text,
      findings, leftOut);
  // Tenths of a millimetre and hundredths of a ratio: what the tags can hold.
  groupBy<long>(
      photos, FindingCause::otherFocalLength,
      [](const SurveyPhoto& p, long& key) {
        key = std::lround(p.focalLength35mm * 10.0);
        return key > 0;
      },
      [](long key) { return numberText(key / 10.0, " mm"); }, findings, leftOut);
  groupBy<long>(
      photos, FindingCause::otherZoom,
      [](const SurveyPhoto& p, long& key) {
        // 0 is EXIF's "digital zoom not used", as 1.
        key = std::lround(std::max(1.0f, p.digitalZoomRatio) * 100.0);
        return true;
      },
      [](long key) { return numberText(key / 100.0, "x"); }, findings, leftOut);
}

std::optional<double> medianNeighbourSpacing(const SurveyLayout& layout) {
  std::vector<double> easts, norths;
  for (std::uint32_t i = 0; i < layout.points.size(); ++i) {
    if (!layout.placed[i]) continue;
    easts.push_back(layout.points[i].east);
    norths.push_back(layout.points[i].north);
  }
  if (easts.size() < 2) return std::nullopt;
  const double n = double(easts.size());
  const double width = quantile(easts, 0.95) - quantile(easts, 0.05);
  const double height = quantile(norths, 0.95) - quantile(norths, 0.05);
  // Twice the spacing of photos spread evenly over the middle 90 %, over an
  // area or along a line, whichever is more.
  const double cell = 2 * std::max({std::sqrt(width * height / n), (width + height) / n, 0.1});
  const CellIndex index(layout, cell);
  std::vector<double> spacings;
  for (const auto& entry : index.entries) {
    const std::uint32_t photo = entry.second;
    double nearest = -1;
    index.around(layout, photo, 64, [&](std::uint32_t other) {
      const double d = distanceBetween(layout.points[photo], layout.points[other]);
      if (nearest < 0 || d < nearest) nearest = d;
      return true;
    });
    // Photos at one spot (a hover, a copy) say nothing of the spacing.
    if (nearest >= 0.5) spacings.push_back(nearest);
  }
  if (spacings.empty()) return std::nullopt;
  return quantile(spacings, 0.5);
}

std::optional<Finding> findFarPhotos(const SurveyLayout& layout) {
  const std::optional<double> spacing = medianNeighbourSpacing(layout);
  if (!spacing) return std::nullopt;
  const double radius = kOutlierSpacingFactor * *spacing;
  const CellIndex index(layout, radius);
  Finding far = makeFinding(FindingKind::gpsOutlier, FindingCause::farFromNeighbours);
  for (const auto& entry : index.entries) {
    const std::uint32_t photo = entry.second;
    bool lonely = true;
    // Past 256 candidates the photo stands in a crowd, not alone.
    const bool whole = index.around(layout, photo, 256, [&](std::uint32_t other) {
      lonely = distanceBetween(layout.points[photo], layout.points[other]) > radius;
      return lonely;
    });
    if (lonely && whole) addPhoto(far, photo);
  }
  if (far.photoCount == 0) return std::nullopt;
  far.value = radius;
  putInListOrder(far);
  return far;
}

void findGpsTrouble(const std::vector<SurveyPhoto>& photos, const SurveyLayout& layout,
                    std::vector<Finding>& findings) {
  Finding zero = makeFinding(FindingKind::gpsOutlier, FindingCause::zeroPosition);
  std::uint32_t placed = 0, withAltitude = 0, fixed = 0;
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    if (photos[i].hasPosition && photos[i].latitude == 0 && photos[i].longitude == 0) {
      addPhoto(zero, i);
    }
    if (!layout.placed[i]) continue;
    ++placed;
    withAltitude += photos[i].hasGpsAltitude;
    fixed += photos[i].hasRtkFlag && photos[i].rtkFlag == kRtkFixed;
  }
  if (zero.photoCount > 0) findings.push_back(std::move(zero));

  if (withAltitude > 0 && withAltitude < placed) {
    Finding missing = makeFinding(FindingKind::gpsOutlier, FindingCause::missingAltitude);
    for (std::uint32_t i = 0; i < photos.size(); ++i) {
      if (layout.placed[i] && !photos[i].hasGpsAltitude) addPhoto(missing, i);
    }
    findings.push_back(std::move(missing));
  }
  if (fixed > 0 && fixed < placed) {
    Finding mixed = makeFinding(FindingKind::gpsOutlier, FindingCause::rtkMixed);
    for (std::uint32_t i = 0; i < photos.size(); ++i) {
      if (layout.placed[i] && !(photos[i].hasRtkFlag && photos[i].rtkFlag == kRtkFixed)) {
        addPhoto(mixed, i);
      }
    }
    mixed.value = fixed;
    findings.push_back(std::move(mixed));
  }
}

void findDuplicates(const std::vector<SurveyPhoto>& photos, const SurveyLayout& layout,
                    std::vector<Finding>& findings, std::uint32_t& leftOut) {
  Finding same = makeFinding(FindingKind::duplicate, FindingCause::sameTimeAndPosition);
  std::vector<std::uint32_t> run;
  const std::vector<std::uint32_t>& order = layout.timeOrder;
  for (std::size_t begin = 0, end = 0; begin < order.size(); begin = end) {
    end = begin + 1;
    while (end < order.size() &&
           photos[order[end]].captureSeconds == photos[order[begin]].captureSeconds) {
      ++end;
    }
    if (end - begin < 2) continue;
    run.clear();
    for (std::size_t k = begin; k < end; ++k) {
      if (layout.placed[order[k]]) run.push_back(order[k]);
    }
    const auto position = [&](std::uint32_t p) {
      return std::make_pair(photos[p].latitude, photos[p].longitude);
    };
    std::sort(run.begin(), run.end(),
              [&](std::uint32_t a, std::uint32_t b) { return position(a) < position(b); });
    for (std::size_t k = 0; k < run.size(); ++k) {
      const bool twin = (k > 0 && position(run[k - 1]) == position(run[k])) ||
                        (k + 1 < run.size() && position(run[k + 1]) == position(run[k]));
      if (twin) addPhoto(same, run[k]);
    }
  }
  if (same.photoCount > 0) {
    putInListOrder(same);
    findings.push_back(std::move(same));
  }

  const std::vector<std::uint32_t>& placed = layout.lineOrder;
  std::uint32_t stationaryFindings = 0;
  for (std::uint32_t begin = 0, end = 0; begin < placed.size(); begin = end) {
    const std::uint32_t flight = *layout.flightOf[placed[begin]];
    end = begin + 1;
    while (end < placed.size() && *layout.flightOf[placed[end]] == flight &&
           distanceBetween(layout.points[placed[end]], layout.points[placed[begin]]) <=
               kStationaryRadiusM) {
      ++end;
    }
    if (end - begin < std::uint32_t(kStationaryPhotos) || isHover(photos, placed, begin, end)) {
      continue;
    }
    if (++stationaryFindings > kMaxGapFindings) {
      ++leftOut;
      continue;
    }
    Finding still = makeFinding(FindingKind::duplicate, FindingCause::stationary);
    for (std::uint32_t k = begin; k < end; ++k) addPhoto(still, placed[k]);
    still.flight = flight;
    putInListOrder(still);
    findings.push_back(std::move(still));
  }
}

}  // namespace readiness
