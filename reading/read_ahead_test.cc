#include "reading/read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "tests/support/jpeg_builder.h"
#include "tests/support/sanitizer_build.h"
#include "tests/support/temp_folder.h"

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::seconds;

// An image that says which index it was read for.
ImageFacts factsOf(std::size_t index) {
  ImageFacts facts;
  facts.read = ImageRead::decoded;
  facts.imageWidth = static_cast<std::uint32_t>(index);
  return facts;
}

// What the reads saw, shared by the workers and the test.
struct ReadLog {
  std::atomic<std::size_t> takesStarted{0};  // set before each takeNext
  std::atomic<std::size_t> started{0};
  std::atomic<std::size_t> finished{0};
  std::atomic<std::size_t> running{0};
  std::atomic<std::size_t> mostRunning{0};
  std::atomic<std::size_t> highestStarted{0};
  std::atomic<bool> beyondWindow{false};

  void begin(std::size_t index, std::size_t window) {
    ++started;
    if (index >= takesStarted.load() + window) beyondWindow = true;
    std::size_t highest = highestStarted.load();
    while (index > highest && !highestStarted.compare_exchange_weak(highest, index)) {
    }
    const std::size_t now = ++running;
    std::size_t most = mostRunning.load();
    while (now > most && !mostRunning.compare_exchange_weak(most, now)) {
    }
  }
  void end() {
    --running;
    ++finished;
  }
};

// Waits until `done` holds, for at most a few seconds (a loaded machine, a
// sanitizer build).
template <typename Condition>
bool eventually(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

// Reads that take random times, so later images often finish first: the
// results still come in list order, no read starts further ahead than the
// window, and no more reads run at once than there are workers (plus the
// taking thread, which reads an image nobody has started). Every so often the
// taker pauses: the reads then run at least half the window ahead (workers
// that found it full start again once a quarter of it is free, and the
// taker holds at most a quarter in its batch), and never further than the
// window.
TEST(ReadAheadQueue, KeepsListOrderAndStaysWithinTheWindow) {
  // All workers from the start: {most reads, window, first reads}.
  const ReadAheadLimits cases[] = {{0, 1, 0},    {1, 1, 1},   {2, 1, 2},  {4, 2, 4},
                                   {16, 64, 16}, {16, 4, 16}, {3, 100, 3}};
  constexpr std::size_t kCount = 300;
  for (const ReadAheadLimits& limits : cases) {
    SCOPED_TRACE(testing::Message() << limits.readsInFlight << " reads, window " << limits.window);
    ReadLog log;
    {
      ReadAheadQueue queue(
          kCount,
          [&log, &limits](std::size_t index, ReadBuffers&, bool&) {
            log.begin(index, limits.window);
            std::mt19937 random(static_cast<unsigned>(index));
            std::this_thread::sleep_for(microseconds(random() % 400));
            log.end();
            return factsOf(index);
          },
          limits);
      for (std::size_t k = 0; k < kCount; ++k) {
        log.takesStarted = k + 1;
        const ImageFacts& facts = queue.takeNext();
        EXPECT_EQ(facts.imageWidth, k);
        if (k % 60 != 17 || limits.readsInFlight == 0) continue;
        // Paused after k + 1 takes: images up to k + window may start, and
        // those up to k + window / 2 at least do. The facts handed out stay
        // as they were meanwhile: no read is stored over them.
        const std::size_t halfFilled = std::min(kCount - 1, k + limits.window / 2);
        EXPECT_TRUE(eventually([&] { return log.highestStarted.load() >= halfFilled; }));
        std::this_thread::sleep_for(milliseconds(5));
        EXPECT_LE(log.highestStarted.load(), k + limits.window);
        EXPECT_EQ(facts.imageWidth, k);
      }
    }
    EXPECT_FALSE(log.beyondWindow.load());
    EXPECT_EQ(log.started.load(), kCount);  // each image read once
    EXPECT_LE(log.mostRunning.load(), limits.readsInFlight + 1);
  }
}

// A read that throws anything but std::bad_alloc gives an unreadable image
// in its place; the images around it are unaffected.
TEST(ReadAheadQueue, FilesAFailingReadInPlace) {
  for (const ReadAheadLimits& limits : {ReadAheadLimits{0, 1}, ReadAheadLimits{4, 8, 4}}) {
    ReadAheadQueue queue(
        40,
        [](std::size_t index, ReadBuffers&, bool&) -> ImageFacts {
          if (index % 5 == 2) throw std::runtime_error("read failed");
          if (index == 13) throw 13;
          return factsOf(index);
        },
        limits);
    for (std::size_t k = 0; k < 40; ++k) {
      const ImageFacts facts = queue.takeNext();
      const bool failed = k % 5 == 2 || k == 13;
      EXPECT_EQ(facts.read, failed ? ImageRead::unreadable : ImageRead::decoded) << k;
      EXPECT_EQ(facts.imageWidth, failed ? 0u : k);
    }
  }
}

// A read that runs short of the tool's means (a shortage, or std::bad_alloc)
// while other reads are at work is read once more with no other read at
// work and gives its facts; every later image is read by the taking thread
// alone. A read that runs short even alone stops the queue with
// ResourceShortage. No image is read more than twice. Before the second
// read the caller is told once, with no read at work, to let go of what it
// can spare.
TEST(ReadAheadQueue, AReadThatRunsShortIsReadAgainAlone) {
  struct Case {
    const char* what;
    std::size_t shortAt;  // the image whose first read runs short
    bool shortAlone;      // its second read too
    bool throwsBadAlloc;  // runs short by throwing rather than by saying so
  };
  const Case cases[] = {
      {"a shortage while others read", 5, false, false},
      {"std::bad_alloc while others read", 5, false, true},
      {"a shortage of the first image", 0, false, false},
      {"a shortage even alone", 9, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    constexpr std::size_t kCount = 40;
    std::atomic<unsigned> reads[kCount] = {};
    std::atomic<std::size_t> running{0};
    std::atomic<bool> othersRanWhileAlone{false};
    std::atomic<bool> retried{false};
    std::atomic<int> spared{0};
    std::atomic<bool> sparedWhileReading{false};
    ReadAheadQueue queue(
        kCount,
        [&](std::size_t index, ReadBuffers&, bool&) -> ImageFacts {
          const unsigned nth = ++reads[index];
          if (index == c.shortAt && nth == 2) retried = true;
          if (++running > 1 && retried) othersRanWhileAlone = true;
          std::this_thread::sleep_for(microseconds(200));
          --running;
          if (index == c.shortAt && (nth == 1 || c.shortAlone)) {
            if (c.throwsBadAlloc) throw std::bad_alloc();
            ImageFacts facts;
            facts.read = ImageRead::shortage;
            return facts;
          }
          return factsOf(index);
        },
        ReadAheadLimits{4, 8, 4}, {},
        [&] {
          ++spared;
          if (running > 0 || retried) sparedWhileReading = true;
        });
    bool stopped = false;
    for (std::size_t k = 0; k < kCount && !stopped; ++k) {
      try {
        const ImageFacts facts = queue.takeNext();
        EXPECT_EQ(facts.read, ImageRead::decoded) << k;
        EXPECT_EQ(facts.imageWidth, k);
      } catch (const platform::ResourceShortage&) {
        stopped = true;
        EXPECT_EQ(k, c.shortAt);
      }
    }
    EXPECT_EQ(stopped, c.shortAlone);
    EXPECT_EQ(reads[c.shortAt].load(), 2u);
    for (std::size_t k = 0; k < kCount; ++k) EXPECT_LE(reads[k].load(), 2u) << k;
    EXPECT_FALSE(othersRanWhileAlone.load());
    EXPECT_EQ(spared.load(), 1);
    EXPECT_FALSE(sparedWhileReading.load());
  }
}

// Work of the taking thread's own (filing the image it took) that finds no
// memory while workers read ends every worker first, and is done once more
// with no worker left: every later image is read by the taking thread.
// Should it find no memory even then, or with no worker to end,
// std::bad_alloc goes to the caller.
TEST(ReadAheadQueue, TakingThreadWorkWithoutMemoryEndsTheWorkersAndIsDoneAgain) {
  struct Case {
    const char* what;
    std::size_t workers;
    bool shortAlone;  // the second try finds no memory either
    unsigned tries;   // of the work on image 5
    bool stops;
  };
  const Case cases[] = {
      {"no memory while workers read", 4, false, 2, false},
      {"no memory even alone", 4, true, 2, true},
      {"no memory with no worker", 0, false, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    constexpr std::size_t kCount = 40;
    const std::thread::id taker = std::this_thread::get_id();
    std::atomic<std::size_t> running{0};
    std::atomic<bool> workersEnded{false};
    std::atomic<bool> workerReadAfterwards{false};
    ReadAheadQueue queue(
        kCount,
        [&](std::size_t index, ReadBuffers&, bool&) {
          ++running;
          if (workersEnded && std::this_thread::get_id() != taker) workerReadAfterwards = true;
          std::this_thread::sleep_for(microseconds(200));
          --running;
          return factsOf(index);
        },
        ReadAheadLimits{c.workers, 8, c.workers});
    unsigned tries = 0;
    bool stopped = false;
    for (std::size_t k = 0; k < kCount && !stopped; ++k) {
      EXPECT_EQ(queue.takeNext().imageWidth, k);
      try {
        queue.runOnTakingThread([&] {
          if (k != 5) return;
          if (++tries == 2) {
            // Every worker has ended, its read stored: none is at work.
            workersEnded = true;
            EXPECT_EQ(running.load(), 0u);
          }
          if (tries == 1 || c.shortAlone) throw std::bad_alloc();
        });
      } catch (const std::bad_alloc&) {
        stopped = true;
        EXPECT_EQ(k, 5u);
      }
    }
    EXPECT_EQ(tries, c.tries);
    EXPECT_EQ(stopped, c.stops);
    EXPECT_FALSE(workerReadAfterwards.load());
  }
}

#ifndef _WIN32
// Reads that wait on the storage (1 ms each, so that up to 64 workers
// start), each through a file source into its thread's buffers, under
// address-space limits from below what the test process holds to some
// 24 MiB more: every run gives every image or stops with ResourceShortage (a
// worker that cannot start, or finds no memory for its buffers or its stack,
// is a shortage), and none ends by a signal. Each read also maps 64 KiB of
// fresh memory, as decoding takes some, so that the lowest limits leave no
// read any: free memory the process already holds serves no read.
TEST(ReadAheadQueue, AddressSpaceLimitsGiveEveryImageOrAShortageNeverAnAbort) {
  if (testsupport::kSanitized) {
    GTEST_SKIP() << "a sanitizer runtime reserves terabytes of address space: a limit of a few "
                    "MiB tests it, not the queue";
  }
  TempFolder folder;
  testsupport::ExifBuilder exif;
  exif.addShorts(testsupport::Ifd::exif, 0xA405, {35});  // FocalLengthIn35mmFilm
  const testsupport::Bytes photo = testsupport::JpegBuilder().exif(exif.segment()).build();
  std::vector<platform::FilePath> paths;
  for (int i = 0; i < 100; ++i) {
    paths.emplace_back(folder / ("p" + std::to_string(i) + ".jpg"));
    writeFileBytes(paths.back().text, photo);
  }
  // What the process holds now, in bytes (VmSize, in KiB).
  std::size_t held = 0;
  {
    const std::string status = readFileBytes("/proc/self/status").value_or("");
    const std::size_t at = status.find("VmSize:");
    ASSERT_NE(at, std::string::npos);
    held = std::stoul(status.substr(at + 7)) * 1024;
  }
  enum Outcome { everyImage = 0, shortage = 1, wrongImage = 2 };
  int runs[3] = {0, 0, 0};
  // From 1 MiB below what the process holds, in 128 KiB steps where the
  // first workers start, then 1 MiB ones.
  held -= std::size_t{1} << 20;
  for (std::size_t more = 0; more <= std::size_t{25} << 20;
       more += more < std::size_t{5} << 20 ? 128 * 1024 : 1024 * 1024) {
    SCOPED_TRACE(testing::Message()
                 << "limit: 1 MiB less than the process holds, and " << (more >> 10) << " KiB");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const struct rlimit limit = {held + more, held + more};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(wrongImage);
      try {
        ReadAheadQueue queue(
            paths.size(),
            [&paths](std::size_t index, ReadBuffers& buffers, bool& waited) {
              std::this_thread::sleep_for(milliseconds(1));
              constexpr std::size_t kFresh = 64 * 1024;
              void* fresh = ::mmap(nullptr, kFresh, PROT_READ | PROT_WRITE,
                                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
              if (fresh == MAP_FAILED) throw std::bad_alloc();
              ::munmap(fresh, kFresh);
              ImageFacts facts = readImageFacts(paths[index], buffers, waited);
              waited = true;
              return facts;
            },
            ReadAheadLimits{64, 128, 1});
        for (std::size_t k = 0; k < paths.size(); ++k) {
          if (queue.takeNext().focalLength35mm != 35) ::_exit(wrongImage);
        }
      } catch (const platform::ResourceShortage&) {
        ::_exit(shortage);
      } catch (const std::bad_alloc&) {
        ::_exit(shortage);
      }
      ::_exit(everyImage);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    ASSERT_LE(WEXITSTATUS(status), 2);
    ++runs[WEXITSTATUS(status)];
  }
  EXPECT_EQ(runs[wrongImage], 0);
  // The sweep reaches both ends.
  EXPECT_GT(runs[everyImage], 0);
  EXPECT_GT(runs[shortage], 0);
}
#endif

// Dropped early (the run ends on an error of its own) while every worker is
// in the middle of a read: the queue waits for those reads to end, and starts
// no other.
TEST(ReadAheadQueue, ShutsDownWithReadsInFlight) {
  // Every worker holds a read when the queue goes: it starts no further read
  // and waits for those in flight. Nothing is taken, so the taking thread,
  // which reads too while it waits, holds none itself.
  constexpr std::size_t kWorkers = 8;
  ReadLog log;
  std::atomic<bool> released{false};
  std::thread releaser;
  {
    ReadAheadQueue queue(
        10000,
        [&log, &released](std::size_t index, ReadBuffers&, bool&) {
          log.begin(index, 32);
          while (!released.load()) std::this_thread::sleep_for(microseconds(200));
          log.end();
          return factsOf(index);
        },
        ReadAheadLimits{kWorkers, 32, kWorkers});
    EXPECT_TRUE(eventually([&] { return log.running.load() == kWorkers; }));
    releaser = std::thread([&released] {
      std::this_thread::sleep_for(milliseconds(20));
      released = true;
    });
  }
  EXPECT_EQ(log.finished.load(), kWorkers);
  EXPECT_EQ(log.started.load(), kWorkers);
  releaser.join();
}

// Reads that say they waited (on a disk, on a share) add workers up to the
// most allowed; reads that did not, however long they took (a photo searched
// to its end), keep the workers the queue started with, and so does one
// waiting read in ten (the processor was busy elsewhere now and then).
TEST(ReadAheadQueue, AddsWorkersOnlyWhileReadsWait) {
  struct Case {
    ReadAheadLimits limits;
    std::size_t waitEvery;                   // every n-th read waits; 0: none
    std::size_t fewestRunning, mostRunning;  // reads at once, taker included
  };
  const Case cases[] = {
      {{8, 64, 1}, 1, 6, 9}, {{8, 64, 1}, 0, 1, 2}, {{8, 64, 1}, 10, 1, 2},
      {{8, 64, 3}, 0, 1, 4}, {{2, 64, 5}, 1, 1, 3},  // never more than the most
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.limits.firstReads << " first, most "
                                    << c.limits.readsInFlight << ", waiting every " << c.waitEvery);
    ReadLog log;
    {
      ReadAheadQueue queue(
          200,
          [&log, &c](std::size_t index, ReadBuffers&, bool& waited) {
            log.begin(index, 64);
            std::this_thread::sleep_for(milliseconds(2));
            log.end();
            // The first reads do not wait: one that waited 2 ms alone would
            // be far storage.
            waited = c.waitEvery != 0 && index % c.waitEvery == c.waitEvery - 1;
            return factsOf(index);
          },
          c.limits);
      for (std::size_t k = 0; k < 200; ++k) {
        log.takesStarted = k + 1;
        EXPECT_EQ(queue.takeNext().imageWidth, k);
      }
    }
    EXPECT_GE(log.mostRunning.load(), c.fewestRunning);
    EXPECT_LE(log.mostRunning.load(), c.mostRunning);
  }
}

// Little's law at the processor's rate: the reads in flight follow the
// latency of a read, from the number that serves local disks up to the most.
TEST(ReadsWantedInFlight, FollowTheLatency) {
  using std::chrono::nanoseconds;
  struct Case {
    nanoseconds latency;
    std::size_t most, wanted;
  };
  const Case cases[] = {
      {microseconds(0), 64, 16},    {microseconds(300), 64, 16},  // a local disk
      {microseconds(800), 64, 16},  {microseconds(801), 64, 17},
      {milliseconds(1), 64, 20},    {milliseconds(2), 64, 40},
      {milliseconds(20), 64, 64},   {milliseconds(80), 64, 64},  // a far share
      {milliseconds(80), 128, 128}, {milliseconds(2), 8, 8},
      {microseconds(10), 4, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readsWantedInFlight(c.latency, c.most), c.wanted)
        << c.latency.count() << " ns, most " << c.most;
  }
}

// Reads that wait 20 ms each get far more reads in flight than a local disk
// does; once the reads stop waiting, no more worker reads run at once than
// the queue started with.
TEST(ReadAheadQueue, ReadsInFlightGrowWithTheLatencyAndShrinkAgain) {
  constexpr std::size_t kSlow = 300, kCount = 700, kMeasuredFrom = 620;
  ReadLog slow, fast;
  {
    ReadAheadQueue queue(
        kCount,
        [&](std::size_t index, ReadBuffers&, bool& waited) {
          ReadLog& log = index < kSlow ? slow : fast;
          if (index < kSlow || index >= kMeasuredFrom) log.begin(index, 128);
          std::this_thread::sleep_for(index < kSlow ? milliseconds(20) : microseconds(300));
          if (index < kSlow || index >= kMeasuredFrom) log.end();
          waited = index < kSlow;
          return factsOf(index);
        },
        ReadAheadLimits{64, 128, 2});
    for (std::size_t k = 0; k < kCount; ++k) EXPECT_EQ(queue.takeNext().imageWidth, k);
  }
  EXPECT_GT(slow.mostRunning.load(), kWaitingReads + 1);
  EXPECT_LE(slow.mostRunning.load(), 65u);
  // Two workers and the taking thread.
  EXPECT_LE(fast.mostRunning.load(), 3u);
}

TEST(ReadAheadQueue, WithoutWorkersTheTakingThreadReads) {
  const std::thread::id taker = std::this_thread::get_id();
  std::atomic<bool> elsewhere{false};
  ReadAheadQueue queue(
      10,
      [&](std::size_t index, ReadBuffers&, bool&) {
        if (std::this_thread::get_id() != taker) elsewhere = true;
        return factsOf(index);
      },
      ReadAheadLimits{0, 4});
  for (std::size_t k = 0; k < 10; ++k) EXPECT_EQ(queue.takeNext().imageWidth, k);
  EXPECT_FALSE(elsewhere.load());
}

// The taking thread says when it is about to wait: before each of its own
// reads once the latest reads waited on the storage (never for reads that
// did not wait: those are work, not waits), and before it waits for a
// worker's read. (What the watching thread says while a read of the taking
// thread's own goes on is counted apart: see the next test.)
TEST(ReadAheadQueue, SaysWhenTheTakingThreadIsAboutToWait) {
  struct Case {
    bool readsWait;
    microseconds readTime;
    std::size_t fewestTold, mostTold;  // of kCount takes
  };
  constexpr std::size_t kCount = 20;
  // The share of reads that waited passes one half at the third such read,
  // or at once when the first read waited a millisecond or more (which a
  // busy machine may make of a short one).
  const Case cases[] = {{false, microseconds(0), 0, 0},
                        {false, microseconds(1500), 0, 0},
                        {true, microseconds(200), kCount - 3, kCount - 1},
                        {true, microseconds(1500), kCount - 1, kCount - 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "waited " << c.readsWait << ", " << c.readTime.count() << " us");
    std::size_t told = 0;
    const std::thread::id taker = std::this_thread::get_id();
    ReadAheadQueue queue(
        kCount,
        [&c](std::size_t index, ReadBuffers&, bool& waited) {
          std::this_thread::sleep_for(c.readTime);
          waited = c.readsWait;
          return factsOf(index);
        },
        ReadAheadLimits{0, 4},
        [&told, taker] {
          if (std::this_thread::get_id() == taker) ++told;
        });
    for (std::size_t k = 0; k < kCount; ++k) EXPECT_EQ(queue.takeNext().imageWidth, k);
    EXPECT_GE(told, c.fewestTold);
    EXPECT_LE(told, c.mostTold);
  }

  // A worker's read that goes on until the taking thread has said it waits.
  std::atomic<bool> toldWhileReading{false};
  std::atomic<bool> workerStarted{false};
  ReadAheadQueue queue(
      1,
      [&](std::size_t index, ReadBuffers&, bool&) {
        workerStarted = true;
        EXPECT_TRUE(eventually([&] { return toldWhileReading.load(); }));
        return factsOf(index);
      },
      ReadAheadLimits{1, 1, 1}, [&] { toldWhileReading = workerStarted.load(); });
  ASSERT_TRUE(eventually([&] { return workerStarted.load(); }));
  EXPECT_EQ(queue.takeNext().imageWidth, 0u);
  EXPECT_TRUE(toldWhileReading.load());
}

// A read of the taking thread's own that stalls (one photo's open takes
// seconds on a share, while the others came from the page cache and said
// they did not wait): the lines made before it are written while it stalls,
// within a few kOwnReadWatch, not when it ends. (No worker: the taking
// thread reads every image.)
TEST(ReadAheadQueue, LinesBeforeAStalledReadOfTheTakingThreadAreWrittenDuringTheStall) {
  const std::thread::id taker = std::this_thread::get_id();
  std::atomic<std::size_t> linesMade{0};
  std::atomic<std::size_t> linesWritten{0};
  std::atomic<bool> stalled{false};
  std::atomic<bool> writtenDuringTheStall{false};
  std::atomic<std::size_t> madeBeforeTheStall{0};
  {
    ReadAheadQueue queue(
        200,
        [&](std::size_t index, ReadBuffers&, bool&) {
          // Its first read after image 50 stalls.
          if (std::this_thread::get_id() == taker && linesMade >= 50 && !stalled.exchange(true)) {
            madeBeforeTheStall = linesMade.load();
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (linesWritten < madeBeforeTheStall && std::chrono::steady_clock::now() < end) {
              std::this_thread::sleep_for(milliseconds(1));
            }
            writtenDuringTheStall = linesWritten >= madeBeforeTheStall;
          }
          return factsOf(index);
        },
        ReadAheadLimits{0, 8, 0}, [&] { linesWritten = linesMade.load(); });
    for (std::size_t k = 0; k < 200; ++k) {
      EXPECT_EQ(queue.takeNext().imageWidth, k);
      ++linesMade;  // the line of image k
    }
  }
  ASSERT_TRUE(stalled.load());
  EXPECT_TRUE(writtenDuringTheStall.load()) << madeBeforeTheStall.load() << " lines made";
}

// Whichever thread reads a photo that stalls, the lines of every photo
// before it are made and written while it stalls: the taking thread takes
// each result that is in and says it waits (its caller writes its lines
// there), and no read of a later photo keeps it from them. Each of the
// photos kFirst to kLast stalls until the lines of all photos before it
// are written, or for 5 s; the worker's reads are slow enough that the
// taking thread is often left waiting for one.
TEST(ReadAheadQueue, LinesBeforeAStalledReadOfAnyThreadAreWrittenDuringTheStall) {
  constexpr std::size_t kCount = 120;
  constexpr std::size_t kFirst = 40;
  constexpr std::size_t kLast = 47;
  const std::thread::id taker = std::this_thread::get_id();
  std::atomic<std::size_t> linesMade{0};
  std::atomic<std::size_t> linesWritten{0};
  std::atomic<bool> keptBehind{false};
  std::atomic<std::size_t> behindPhoto{0};
  std::atomic<std::size_t> writtenThen{0};
  {
    ReadAheadQueue queue(
        kCount,
        [&](std::size_t index, ReadBuffers&, bool&) {
          if (std::this_thread::get_id() != taker) std::this_thread::sleep_for(milliseconds(2));
          if (index < kFirst || index > kLast || keptBehind) return factsOf(index);
          const auto begin = std::chrono::steady_clock::now();
          while (linesWritten < index && std::chrono::steady_clock::now() - begin < seconds(5)) {
            std::this_thread::sleep_for(milliseconds(1));
          }
          if (linesWritten < index || std::chrono::steady_clock::now() - begin > seconds(2)) {
            behindPhoto = index;
            writtenThen = linesWritten.load();
            keptBehind = true;
          }
          return factsOf(index);
        },
        ReadAheadLimits{1, 16, 1}, [&] { linesWritten = linesMade.load(); });
    for (std::size_t k = 0; k < kCount; ++k) {
      EXPECT_EQ(queue.takeNext().imageWidth, k);
      ++linesMade;  // the line of image k
    }
  }
  EXPECT_FALSE(keptBehind.load()) << "the lines before photo " << behindPhoto.load()
                                  << " were not written within 2 s of its stall ("
                                  << writtenThen.load() << " at its end)";
}

TEST(ReadAheadQueue, AnEmptyListReadsNothing) {
  std::atomic<int> reads{0};
  {
    ReadAheadQueue queue(0, [&reads](std::size_t index, ReadBuffers&, bool&) {
      ++reads;
      return factsOf(index);
    });
  }
  EXPECT_EQ(reads.load(), 0);
}

}  // namespace
