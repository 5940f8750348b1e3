// What the readiness analyses cost: the whole analysis of a synthetic survey
// of N photos, timed, with the peak memory it adds.
//
//   readiness_cost [-r RUNS] N...
//
// Each N runs in a child process of its own, so that each peak is its own:
// the child builds the survey (flights of 20 lines of 100 photos side by
// side, a lawnmower at 80/70 100 m up, the last flight cut to fit N), then
// analyses it RUNS times (default 5). One line per N: the median time, the
// time per photo, the peak resident memory of the child before the first
// analysis (the input) and the peak it reached during the analyses, in MiB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "readiness/readiness.h"
#include "tests/support/survey_builder.h"

namespace {

double peakMiB() {
  struct rusage usage;
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // KiB on Linux
}

std::vector<readiness::SurveyPhoto> surveyOf(long count) {
  std::vector<readiness::SurveyPhoto> photos;
  photos.reserve(count);
  survey::Plan plan;
  plan.lines = 20;
  plan.photosPerLine = 100;
  const double width = plan.lines * survey::lineSpacingM(plan);
  const double length = plan.photosPerLine * survey::photoSpacingM(plan);
  for (int flight = 0; long(photos.size()) < count; ++flight) {
    // Flights of 2,000 photos (70 minutes), side by side in rows of ten,
    // eight flights a day from 08:00, an hour and a half apart.
    survey::Plan next = plan;
    next.startSeconds += (flight / 8) * 86400.0 + (flight % 8) * 5400.0;
    std::vector<readiness::SurveyPhoto> flown = survey::lawnmower(next);
    for (readiness::SurveyPhoto& photo : flown) {
      if (long(photos.size()) == count) break;
      survey::movePhoto(plan, photo, (flight % 10) * width, (flight / 10) * length);
      photos.push_back(photo);
    }
  }
  return photos;
}

int measure(long count, int runs) {
  const std::vector<readiness::SurveyPhoto> photos = surveyOf(count);
  const double inputPeak = peakMiB();
  std::vector<double> seconds;
  std::string findings;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const readiness::ReadinessResult result = readiness::analyzeReadiness(photos, {});
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    findings.clear();
    std::map<std::string, int> kinds;
    for (const readiness::Finding& finding : result.findings) {
      ++kinds[readiness::kindName(finding.kind)];
    }
    for (const auto& kind : kinds)
      findings += " " + kind.first + " x" + std::to_string(kind.second);
  }
  std::sort(seconds.begin(), seconds.end());
  const double median = seconds[seconds.size() / 2];
  std::printf("%9ld %5d %10.3fs %10.2f us %12.1f %12.1f  %s\n", count, runs, median,
              median / double(count) * 1e6, inputPeak, peakMiB(), findings.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  int next = 1;
  if (next + 1 < argc && std::strcmp(argv[next], "-r") == 0) {
    runs = std::max(1, std::atoi(argv[next + 1]));
    next += 2;
  }
  if (next >= argc) {
    std::fprintf(stderr, "usage: readiness_cost [-r RUNS] N...\n");
    return 2;
  }
  std::printf("%9s %5s %11s %13s %12s %12s  %s\n", "photos", "runs", "median", "per photo",
              "input MiB", "peak MiB", "findings");
  std::fflush(stdout);
  for (; next < argc; ++next) {
    const long count = std::atol(argv[next]);
    if (count <= 0) continue;
    const pid_t child = ::fork();
    if (child == 0) {
      const int status = measure(count, runs);
      std::fflush(stdout);
      std::_Exit(status);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
  }
  return 0;
}
