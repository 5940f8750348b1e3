#include "checks/read_ahead.h"

#include <algorithm>
#include <system_error>
#include <utility>

ReadAheadQueue::ReadAheadQueue(std::size_t count, ReadImage read, ReadAheadLimits limits)
    : count_(count),
      read_(std::move(read)),
      window_(std::max<std::size_t>(limits.window, 1)),
      slots_(window_),
      slotFilled_(window_, 0) {
  const std::size_t workers = std::min(limits.readsInFlight, count_);
  workers_.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) {
    try {
      workers_.emplace_back(&ReadAheadQueue::work, this);
    } catch (const std::system_error&) {
      // No more threads to be had: the ones there are (or the taking thread
      // alone) read everything all the same.
      break;
    }
  }
}

ReadAheadQueue::~ReadAheadQueue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  readMayStart_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool ReadAheadQueue::mayStartRead() const {
  return nextToStart_ < count_ && nextToStart_ - nextToTake_ < window_;
}

ImageFacts ReadAheadQueue::readGuarded(std::size_t index) const {
  try {
    return read_(index);
  } catch (...) {
    // Whatever went wrong, the image is filed as one that could not be read,
    // in its place, and the run goes on.
    ImageFacts failed;
    failed.read = ImageRead::unreadable;
    return failed;
  }
}

void ReadAheadQueue::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    readMayStart_.wait(lock,
                       [this] { return stopping_ || mayStartRead() || nextToStart_ == count_; });
    if (stopping_ || nextToStart_ == count_) return;
    const std::size_t index = nextToStart_++;
    lock.unlock();
    ImageFacts facts = readGuarded(index);
    lock.lock();
    slots_[index % window_] = std::move(facts);
    slotFilled_[index % window_] = 1;
    resultStored_.notify_one();
  }
}

ImageFacts ReadAheadQueue::takeNext() {
  std::unique_lock<std::mutex> lock(mutex_);
  const std::size_t index = nextToTake_;
  if (nextToStart_ == index) {
    // No worker has started it (none could be made, or none has got to it
    // yet): read it here rather than wait.
    ++nextToStart_;
    lock.unlock();
    ImageFacts facts = readGuarded(index);
    lock.lock();
    ++nextToTake_;
    lock.unlock();
    readMayStart_.notify_one();
    return facts;
  }
  const std::size_t slot = index % window_;
  resultStored_.wait(lock, [this, slot] { return slotFilled_[slot] != 0; });
  ImageFacts facts = std::move(slots_[slot]);
  slots_[slot] = ImageFacts();
  slotFilled_[slot] = 0;
  ++nextToTake_;
  lock.unlock();
  // One more image may now be started.
  readMayStart_.notify_one();
  return facts;
}
