// Reads the images of the list ahead of the check pass, several at a time.
//
// Reading a photo is mostly waiting: for the disk, or for a network share
// that answers each request a millisecond later. So a few worker threads
// read the next photos of the list while the pass prints, each image once,
// with many reads in flight. The pass takes the results one by one in list
// order, so what it prints is the same as if it had read them itself, one
// after another.
//
//   images  0 1 2 3 | 4 5 6 7 8 9 ... | 70 71 ...
//           taken     read or being     not started: at most `window`
//                     read               images past the next one to take
//
// Memory stays flat whatever the size of the set: at most `window` results
// wait, and at most `readsInFlight` photos are being read.
//
// Threads cost processor time, and when the photos are in the page cache a
// read waits on nothing but the processor: then one reader per core reads
// fastest. So the queue starts with one worker per core (two at least): the
// taking thread reads only the image it takes next when no worker has
// started it, never one further on, since a later photo whose read stalled
// would keep every result that came in meanwhile, and the lines made of
// them, behind it. When most of the latest reads
// say they waited on the storage (a disk, a network share), more reads in
// flight hide the waits, as many as Little's law asks: reads in flight =
// wanted rate x latency of a read. The rate wanted is what the processor can
// do (one image per kImageWork), the latency is the time the latest reads
// took; so a local disk keeps today's 16 reads in flight, a share that takes
// 20 ms a request gets up to 64. When the reads get faster, or stop waiting,
// workers beyond the number wanted start no read (they stay, idle) until it
// grows again. A read that is slow only because it computes or copies much
// (a photo searched to its end) says it did not wait; and one read now and
// then that waited (the processor was busy elsewhere) is not most of them.
// Only a very first read that waited kFarRead or longer counts alone: far
// storage shows itself there, and waiting for more reads to agree would cost
// a round trip each. Should it have waited that long by chance, the next few
// reads say so and the extra workers stay idle.
//
// A read that failed for want of the tool's own means (file descriptors,
// memory: ImageRead::shortage) says nothing about the photo. When the pass
// takes such a result, the queue goes on alone: it lets every worker finish
// its read and end, giving their descriptors and buffers back, and from then
// on the taking thread reads each image itself, one at a time; the image
// that ran short is read once more so. Only what cannot be read even then
// is past the tool's means: takeNext throws platform::ResourceShortage and
// the run stops. Each image is thus read at most twice, and the queue never
// retries anything more.
//
// The taking thread takes the results in batches: each time it holds the
// mutex it takes every result that is in, in list order from the next one
// (a quarter of the window at most), and hands them out one by one without
// the mutex, in the slots where the
// workers stored them (nothing is copied or moved on the way). The slots of
// a batch are given back to the workers at the next take that holds the
// mutex. While the reads do not wait on the storage, a worker wakes a
// taking thread that waits for a result only once kWakeRun results are in
// from the one it waits for (or no read could add another before it takes
// them): one wake-up per batch, not one per photo, where a wake-up costs
// more system time than reading a photo from the page cache. The taking
// thread's own timed wait (kOwnReadWatch) still ends such a wait, and on
// storage that waits each result wakes it at once.
//
// The same holds for the taking thread's own work on the image it took
// (runOnTakingThread): should that find no memory (std::bad_alloc) while
// workers read, the workers end and give their memory back, and the work is
// done once more, alone.
//
// Each worker reads into buffers of its own frame (ReadBuffers), made at its
// first photo and let go when it ends; the taking thread's are the queue's.
// Workers are the platform's threads (platform::startThread): a small stack
// of their own, given back whole when they end, so that a run that goes on
// alone has what a run that never started a worker would have had.
//
// Before the taking thread waits for a read (its own, when the latest reads
// waited on the storage or it reads alone; a worker's, at once then, and
// otherwise once the wait has lasted kOwnReadWatch, as most such waits end
// within microseconds) it calls `beforeWait`: the pass writes out its
// console lines there, so a caller reading them is not kept waiting on the
// storage too. A read of its own
// that was not expected to wait (the photos came from the page cache) may
// stall all the same: one photo's open or read on a share that takes
// seconds. Calling `beforeWait` before each such read would write the
// console once per photo, which costs more than the reads; instead a
// watching thread calls it every kOwnReadWatch while the taking thread is in
// a read of its own, so no line stays behind a stalled photo longer than
// that. (Where the watching thread cannot start, the taking thread calls
// `beforeWait` before each read of its own.)
#ifndef PHOTOCHECK_READING_READ_AHEAD_H
#define PHOTOCHECK_READING_READ_AHEAD_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <new>
#include <vector>

#include "platform/platform.h"
#include "reading/file_source.h"
#include "reading/image_facts.h"

// Reads image `index` of the list into the reading thread's `buffers`, and
// sets `waited` when a read of it waited on the storage. Called on worker
// threads, several at once for different indices, and on the taking thread
// while it would otherwise wait.
using ReadImage = std::function<ImageFacts(std::size_t index, ReadBuffers& buffers, bool& waited)>;

// Called on the taking thread before it waits for a read.
using BeforeWait = std::function<void()>;

// Called on the taking thread when a read ran short of the tool's means,
// before the image is read again alone: the caller lets go of what it keeps
// but can do without.
using OnShortage = std::function<void()>;

struct ReadAheadLimits {
  // The most worker threads, each with one read in flight; 0 reads every
  // image on the taking thread.
  std::size_t readsInFlight = 64;
  // How far past the next image to take a read may start (at least 1).
  std::size_t window = 128;
  // Worker threads at the start; 0 means one per processor core (at least
  // two).
  std::size_t firstReads = 0;
};

// What the processor needs for one image, about: reading it from the page
// cache and decoding its EXIF block. Reads at the latency below keep it busy.
inline constexpr std::chrono::microseconds kImageWork{50};
// Reads in flight while most reads wait, however short the wait: the number
// that served local disks best before latencies were measured.
inline constexpr std::size_t kWaitingReads = 16;
// A first read this slow has gone over a network or to a disk's platter, not
// been held up on a busy processor now and then.
inline constexpr std::chrono::milliseconds kFarRead{1};
// How often the watching thread looks whether the taking thread is in a read
// of its own (and then calls beforeWait), and how long the taking thread
// waits for a worker's read before it calls beforeWait: the console's own
// longest wait for a line (console::kFlushEvery).
inline constexpr std::chrono::milliseconds kOwnReadWatch{20};
// Results in from the one the taking thread waits for that wake it, while
// the reads do not wait on the storage: half the default window, two
// batches a wake-up. (20,000 photos from the page cache on two cores: 1,040
// waits of the taking thread with 16, 300 with 64, and 8 % less time.)
inline constexpr std::size_t kWakeRun = 64;

// Reads to keep in flight while most reads wait on the storage, `latency`
// being what a read takes: latency / kImageWork (Little's law at the rate the
// processor can take), at least kWaitingReads and at most `most`.
std::size_t readsWantedInFlight(std::chrono::nanoseconds latency, std::size_t most);

class ReadAheadQueue {
 public:
  // Starts reading images 0 to count - 1 with `read`.
  ReadAheadQueue(std::size_t count, ReadImage read, ReadAheadLimits limits = {},
                 BeforeWait beforeWait = {}, OnShortage onShortage = {});
  // Starts no further read, waits for those in flight and drops every result
  // not taken.
  ~ReadAheadQueue();
  ReadAheadQueue(const ReadAheadQueue&) = delete;
  ReadAheadQueue& operator=(const ReadAheadQueue&) = delete;

  // The facts of the next image in list order (image 0 first), waiting for
  // its read if need be (and reading later images meanwhile); taken at most
  // `count` times. They stay where they are, the caller's to read or move
  // from, until the next takeNext or the queue's end. A read that throws
  // std::bad_alloc counts as a shortage, any other exception gives an
  // unreadable image in its place. Never gives a shortage: throws
  // platform::ResourceShortage when the image cannot be read with the taking
  // thread alone at work.
  ImageFacts& takeNext() {
    // The batch taken last time holds it: no mutex.
    if (handed_ != batchEnd_) {
      ImageFacts& facts = slots_[handed_ % window_];
      if (facts.read != ImageRead::shortage) {
        ++handed_;
        return facts;
      }
    }
    return takeBatch();
  }

  // Runs `step`, work of the taking thread's own on what it took (filing an
  // image). Should it throw std::bad_alloc while workers read, every worker
  // ends first (as for a read that ran short: their memory is given back)
  // and `step` runs once more; what it throws then, or alone, goes on.
  template <typename Step>
  void runOnTakingThread(Step&& step) {
    try {
      step();
      return;
    } catch (const std::bad_alloc&) {
      if (!endWorkers()) throw;
    }
    step();
  }

 private:
  // Gives the slots handed out back, takes the next batch (waiting for its
  // first result if need be) and hands out its first result.
  ImageFacts& takeBatch();
  bool mayStartRead() const;  // with the mutex held
  // With the mutex held, on a worker that stored a result: whether the
  // taking thread, waiting, is to be woken (see kWakeRun).
  bool wakeTaker() const;
  // Starts the next image and stores its result, and returns its index; the
  // lock is let go while the image is read.
  std::size_t readNext(std::unique_lock<std::mutex>& lock, ReadBuffers& buffers);
  // With the mutex held, on the taking thread only: adds workers up to
  // `count` (fewer when no more threads can be made).
  void addWorkers(std::size_t count);
  void work();
  // On the taking thread, with the mutex held: sets the worker reads wanted
  // from the latest reads' waits and latency, adding workers if need be.
  void followTheLatency();
  ImageFacts readGuarded(std::size_t index, ReadBuffers& buffers, bool& waited) const;
  // Whether a read by the taking thread is likely to wait on the storage.
  bool readsWait() const;  // with the mutex held
  // Calls beforeWait_ with the mutex let go.
  void tellWait(std::unique_lock<std::mutex>& lock);
  // On the taking thread, with the mutex held: no worker starts another
  // read, and every worker ends (their reads in flight are stored).
  void goAlone(std::unique_lock<std::mutex>& lock);
  // On the taking thread: goAlone; false when no worker was left to end.
  bool endWorkers();
  static void runWorker(void* queue);
  // The watching thread: see kOwnReadWatch.
  void watch();
  static void runWatcher(void* queue);

  const std::size_t count_;
  const ReadImage read_;
  const BeforeWait beforeWait_;
  const OnShortage onShortage_;
  const std::size_t window_;
  std::size_t mostWorkers_;

  std::mutex mutex_;
  std::condition_variable readMayStart_;  // workers wait here
  std::condition_variable resultStored_;  // the taking thread waits here
  // Image i's result waits in slot i % window_ until it is taken. The worker
  // that started image i alone touches its slot until the slot is marked
  // filled; then the taking thread alone, until it gives it back.
  std::vector<ImageFacts> slots_;
  std::vector<unsigned char> slotFilled_;
  std::size_t nextToStart_ = 0;
  // The first image whose slot the taking thread holds (the next to take
  // when it holds none): the window starts here.
  std::size_t nextToTake_ = 0;
  // The taking thread's own, read and written only by it: the images
  // nextToTake_ to handed_ - 1 are handed out, handed_ to batchEnd_ - 1
  // taken and waiting to be handed out.
  std::size_t handed_ = 0;
  std::size_t batchEnd_ = 0;
  // How many of the latest reads waited, as a share in 1/1024: each read
  // moves it a quarter of the way to 1024 (it waited) or to 0 (it did not);
  // a first read that waited kFarRead or longer sets it to 1024.
  unsigned waitShare_ = 0;
  // How long the latest reads took, in ns: the first read's time, then each
  // read moves it an eighth of the way to its own.
  std::uint64_t latencyNanos_ = 0;
  std::size_t readsDone_ = 0;
  // Worker reads that may run at once, and those running.
  std::size_t wantedReads_ = 0;
  std::size_t firstWorkers_ = 0;
  std::size_t workersReading_ = 0;
  bool stopping_ = false;
  // The taking thread waits for a worker's result; for a run of kWakeRun
  // (its wait is timed) or for that one result alone.
  bool takerWaiting_ = false;
  bool takerWantsRun_ = false;
  // A worker waits for room in the window.
  bool roomWanted_ = false;
  // Set once a read ran short of the tool's means: workers end, the taking
  // thread reads everything left.
  bool alone_ = false;
  // Reserved for the most workers at the start: a worker's entry stays where
  // it is while the worker runs.
  std::vector<platform::Thread> workers_;
  ReadBuffers takerBuffers_;
  // The taking thread is in a read of its own: it touches nothing of its
  // caller's until it has the mutex again.
  bool takerReading_ = false;
  bool watching_ = false;
  std::condition_variable watchMayEnd_;  // the watching thread waits here
  platform::Thread watcher_;
};

#endif  // PHOTOCHECK_READING_READ_AHEAD_H
