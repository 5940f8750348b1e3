// Filling a finding's photo list: at most kMaxPhotosPerFinding kept, all
// counted.
#ifndef PHOTOCHECK_READINESS_FINDING_PHOTOS_H
#define PHOTOCHECK_READINESS_FINDING_PHOTOS_H

#include <algorithm>
#include <cstdint>

#include "readiness/readiness_result.h"
#include "readiness/thresholds.h"

namespace readiness {

inline void addPhoto(Finding& finding, std::uint32_t photo) {
  ++finding.photoCount;
  if (finding.photos.size() < kMaxPhotosPerFinding) finding.photos.push_back(photo);
}

// A finding of `kind` and `cause`, its photos put in list order.
inline Finding makeFinding(FindingKind kind, FindingCause cause) {
  Finding finding;
  finding.kind = kind;
  finding.cause = cause;
  return finding;
}

inline void putInListOrder(Finding& finding) {
  std::sort(finding.photos.begin(), finding.photos.end());
}

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_FINDING_PHOTOS_H
