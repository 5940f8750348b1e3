// What names one run in the side files it writes, so that a pipeline that
// finds a report (or a person who finds a page) can tell this run's from an
// earlier one's: when the run wrote them, and an id of its own.
#ifndef PHOTOCHECK_APP_RUN_IDENTITY_H
#define PHOTOCHECK_APP_RUN_IDENTITY_H

#include <cstdint>
#include <ctime>
#include <string>

struct RunIdentity {
  std::string id;         // 16 lower-case hex digits
  std::string isoTime;    // local time with its offset, "2026-12-10T18:02:03+08:00"
  std::string shownTime;  // the page header's form of it, "2026-12-10 18:02:03"
};

// Made once per run, from the clock, the process number and the system's
// random source (where it has one), so that two runs started in the same
// second, on one machine or two, get different ids.
RunIdentity makeRunIdentity();

// The id's text for those three sources: every bit of each reaches every
// digit, so runs that differ in any of them differ in about half the digits.
std::string runIdOf(std::uint64_t time, std::uint64_t process, std::uint64_t random);

// ISO 8601 text of `local` (a broken-down local time) with its offset from
// UTC in seconds, as "+08:00", "-03:30" or "+00:00"; made by hand, since the
// C runtime's locale is the user's and Windows' %z gives a zone name.
std::string isoTimeOf(const std::tm& local, long offsetSeconds);

// Local time minus UTC in seconds, from the two broken-down forms of one
// instant (localtime and gmtime of one time_t).
long utcOffsetOf(const std::tm& local, const std::tm& utc);

#endif  // PHOTOCHECK_APP_RUN_IDENTITY_H
