#include "reading/read_ahead.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "platform/platform.h"

ReadAheadQueue::ReadAheadQueue(std::size_t count, ReadImage read, ReadAheadLimits limits,
                               BeforeWait beforeWait, OnShortage onShortage)
    : count_(count),
      read_(std::move(read)),
      beforeWait_(std::move(beforeWait)),
      onShortage_(std::move(onShortage)),
      window_(std::max<std::size_t>(limits.window, 1)),
      mostWorkers_(std::min(limits.readsInFlight, count_)),
      slots_(window_),
      slotFilled_(window_, 0) {
  // One worker per core: the taking thread reads only what no worker has
  // started of the image it takes next.
  const std::size_t cores = std::thread::hardware_concurrency();
  workers_.reserve(mostWorkers_);
  std::lock_guard<std::mutex> lock(mutex_);
  addWorkers(limits.firstReads == 0 ? std::max<std::size_t>(cores, 2) : limits.firstReads);
  firstWorkers_ = workers_.size();
  wantedReads_ = firstWorkers_;
  if (beforeWait_ && count_ != 0) {
    watching_ = platform::startThread(watcher_, &ReadAheadQueue::runWatcher, this);
  }
}

std::size_t readsWantedInFlight(std::chrono::nanoseconds latency, std::size_t most) {
  const auto work = std::chrono::nanoseconds(kImageWork).count();
  const auto wanted =
      static_cast<std::size_t>((std::max<std::int64_t>(latency.count(), 0) + work - 1) / work);
  return std::min(std::max(wanted, kWaitingReads), most);
}

void ReadAheadQueue::runWorker(void* queue) { static_cast<ReadAheadQueue*>(queue)->work(); }

void ReadAheadQueue::runWatcher(void* queue) { static_cast<ReadAheadQueue*>(queue)->watch(); }

void ReadAheadQueue::addWorkers(std::size_t count) {
  // Within the room reserved at the start: no entry moves.
  while (workers_.size() < std::min(count, mostWorkers_)) {
    workers_.emplace_back();
    if (!platform::startThread(workers_.back(), &ReadAheadQueue::runWorker, this)) {
      // No more threads to be had, or no memory for a stack: the ones there
      // are (or the taking thread alone) read everything all the same.
      workers_.pop_back();
      mostWorkers_ = workers_.size();
    }
  }
}

ReadAheadQueue::~ReadAheadQueue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  readMayStart_.notify_all();
  watchMayEnd_.notify_all();
  for (platform::Thread& worker : workers_) platform::joinThread(worker);
  if (watching_) platform::joinThread(watcher_);
}

bool ReadAheadQueue::mayStartRead() const {
  return nextToStart_ < count_ && nextToStart_ - nextToTake_ < window_;
}

ImageFacts ReadAheadQueue::readGuarded(std::size_t index, ReadBuffers& buffers,
                                       bool& waited) const {
  try {
    return read_(index, buffers, waited);
  } catch (...) {
    // Whatever went wrong, the image is filed in its place.
    return factsOfFailedRead();
  }
}

std::size_t ReadAheadQueue::readNext(std::unique_lock<std::mutex>& lock, ReadBuffers& buffers) {
  const std::size_t index = nextToStart_++;
  lock.unlock();
  bool waited = false;
  const auto begin = std::chrono::steady_clock::now();
  // The slot is this thread's until it is marked filled: the result goes
  // straight into it, without the mutex.
  slots_[index % window_] = readGuarded(index, buffers, waited);
  const auto took =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - begin)
          .count();
  lock.lock();
  // The first read sets the latency, and when it waited kFarRead or longer,
  // the share of reads that waited: on a share that takes 20 ms a request,
  // every read the queue waits for to learn that reads wait costs as much as
  // reading some ten photos from a disk.
  const bool first = readsDone_++ == 0;
  const auto tookNanos = static_cast<std::uint64_t>(took);
  latencyNanos_ = first ? tookNanos : latencyNanos_ - latencyNanos_ / 8 + tookNanos / 8;
  slotFilled_[index % window_] = 1;
  const bool far = waited && std::chrono::nanoseconds(took) >= kFarRead;
  waitShare_ = first && far ? 1024 : waitShare_ - waitShare_ / 4 + (waited ? 256 : 0);
  return index;
}

void ReadAheadQueue::work() {
  // The worker's own buffers, let go when it ends.
  ReadBuffers buffers;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_ && !alone_ && nextToStart_ != count_) {
    if (mayStartRead() && workersReading_ < wantedReads_) {
      ++workersReading_;
      readNext(lock, buffers);
      --workersReading_;
      // The taking thread is woken for the results it waits for, not for
      // each of the 63 others that come in meanwhile, and once: the worker
      // that wakes it says so, so that no other wakes it again before it
      // runs (each wake-up is a system call).
      if (takerWaiting_ && wakeTaker()) {
        takerWaiting_ = false;
        resultStored_.notify_one();
      }
      continue;
    }
    // A full window is woken when a quarter of it is free again (see
    // takeBatch), not at each image taken: with 64 workers a wake-up per
    // image costs more system time than reading the photos from the page
    // cache.
    if (!mayStartRead()) roomWanted_ = true;
    readMayStart_.wait(lock);
  }
}

bool ReadAheadQueue::wakeTaker() const {
  if (slotFilled_[nextToTake_ % window_] == 0) return false;
  // Storage that makes reads wait: each result is worth its wake-up. And a
  // taking thread that has said it waits (its caller wrote its lines) waits
  // for nothing but its result: a read that stalls further on must not keep
  // the results before it from the lines they make.
  if (!takerWantsRun_ || readsWait()) return true;
  // The results in, one after another, from the one it waits for.
  const std::size_t most = std::min({kWakeRun, window_, count_ - nextToTake_});
  std::size_t run = 1;
  while (run < most && slotFilled_[(nextToTake_ + run) % window_] != 0) ++run;
  if (run == most) return true;
  // The run ends at an image being read (its reader looks again when it
  // has stored it), or at the next to start, which this worker starts next
  // unless it may not: then nothing would come before the taking thread's
  // own timed wait ends.
  const std::size_t gap = nextToTake_ + run;
  if (gap < nextToStart_) return false;
  return stopping_ || alone_ || !mayStartRead() || workersReading_ >= wantedReads_;
}

void ReadAheadQueue::watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    watchMayEnd_.wait_for(lock, kOwnReadWatch);
    // The taking thread is inside its read and cannot come back before the
    // mutex is let go: beforeWait runs here as it would on that thread.
    if (takerReading_ && !stopping_) beforeWait_();
  }
}

bool ReadAheadQueue::readsWait() const { return alone_ || waitShare_ >= 512; }

void ReadAheadQueue::tellWait(std::unique_lock<std::mutex>& lock) {
  if (!beforeWait_) return;
  lock.unlock();
  beforeWait_();
  lock.lock();
}

void ReadAheadQueue::followTheLatency() {
  std::size_t wanted = firstWorkers_;
  if (waitShare_ >= 512) {
    wanted = readsWantedInFlight(std::chrono::nanoseconds(latencyNanos_), mostWorkers_);
    addWorkers(wanted);
  }
  wanted = std::min(wanted, workers_.size());
  if (wanted == wantedReads_) return;
  const bool more = wanted > wantedReads_;
  wantedReads_ = wanted;
  if (more) readMayStart_.notify_all();
}

void ReadAheadQueue::goAlone(std::unique_lock<std::mutex>& lock) {
  alone_ = true;
  mostWorkers_ = 0;
  std::vector<platform::Thread> ending = std::move(workers_);
  workers_.clear();
  lock.unlock();
  readMayStart_.notify_all();
  for (platform::Thread& worker : ending) platform::joinThread(worker);
  lock.lock();
}

bool ReadAheadQueue::endWorkers() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (alone_ || workers_.empty()) return false;
  goAlone(lock);
  return true;
}

ImageFacts& ReadAheadQueue::takeBatch() {
  std::unique_lock<std::mutex> lock(mutex_);
  // The slots handed out go back to the workers, which are woken once a
  // quarter of the window is free again. They are woken with the mutex let
  // go, so that they do not wake only to wait for it: once this take has
  // ended, or before it waits.
  for (; nextToTake_ != handed_; ++nextToTake_) slotFilled_[nextToTake_ % window_] = 0;
  bool room = roomWanted_ && window_ - (nextToStart_ - nextToTake_) >= (window_ + 3) / 4;
  if (room) roomWanted_ = false;
  if (!alone_) followTheLatency();
  const std::size_t slot = nextToTake_ % window_;
  bool told = false;
  while (slotFilled_[slot] == 0) {
    if (room) {
      room = false;
      readMayStart_.notify_all();
    }
    // The taking thread reads only the image it takes next, when no worker
    // has started it. A later one would be work done while it waits, but
    // should that read stall (one photo's open on a share), every result
    // that came in meanwhile would wait behind it untaken, and so would
    // the lines the pass makes of them. A read from the page cache is work,
    // not a wait; one from storage that makes reads wait is a wait.
    const bool reads = nextToStart_ == nextToTake_;
    if (!told && (readsWait() || (reads && !watching_))) {
      told = true;
      tellWait(lock);
      continue;  // the state may have moved on meanwhile
    }
    if (reads) {
      takerReading_ = true;
      readNext(lock, takerBuffers_);
      takerReading_ = false;
      continue;
    }
    // A worker reads it. Most such waits end within microseconds: the lines
    // are written only once this one has lasted kOwnReadWatch (the
    // console's own longest wait for a line), so they cost no write of
    // their own.
    takerWaiting_ = true;
    takerWantsRun_ = !told;
    const bool late = told ? (resultStored_.wait(lock), false)
                           : resultStored_.wait_for(lock, kOwnReadWatch) == std::cv_status::timeout;
    takerWaiting_ = false;
    if (late && slotFilled_[slot] == 0) {
      told = true;
      tellWait(lock);
    }
  }
  ImageFacts& facts = slots_[slot];
  const std::size_t index = nextToTake_;
  handed_ = index + 1;
  batchEnd_ = handed_;
  if (facts.read == ImageRead::shortage) {
    // The tool ran short while others read too: read the image once more
    // with nothing else at work. Should that run short as well, the run
    // cannot go on.
    if (!alone_) goAlone(lock);
    tellWait(lock);
    lock.unlock();
    if (onShortage_) onShortage_();
    bool waited = false;
    facts = readGuarded(index, takerBuffers_, waited);
    if (facts.read == ImageRead::shortage) throw platform::ResourceShortage{};
    return facts;
  }
  // Every result that is in after it joins the batch, up to a quarter of
  // the window: its slots go back at the next take only, so that while the
  // taking thread is at any image of it (kept there by its caller), the
  // reads may still run half the window past that image.
  const std::size_t end = std::min(count_, nextToTake_ + std::max<std::size_t>(window_ / 4, 1));
  while (batchEnd_ != end && slotFilled_[batchEnd_ % window_] != 0) ++batchEnd_;
  lock.unlock();
  if (room) readMayStart_.notify_all();
  return facts;
}
