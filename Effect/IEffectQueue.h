#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

namespace umbra {

// Fixed-size single-producer, single-consumer ring queue. The storage is allocated once, with
// one slot more than the capacity so that "full" and "empty" can be told apart; pushing and
// popping never allocate or block. A push into a full queue is dropped.
template <typename T>
class IEffectQueue {
public:
  explicit IEffectQueue(int capacity) : mSlots(static_cast<size_t>(capacity) + 1) {}

  IEffectQueue(const IEffectQueue&) = delete;
  IEffectQueue& operator=(const IEffectQueue&) = delete;

  // Producer side.
  bool Push(const T& item)
  {
    const size_t write = mWriteIndex.load(std::memory_order_relaxed);
    const size_t next = Advance(write);
    if (next == mReadIndex.load(std::memory_order_acquire))
      return false;
    mSlots[write] = item;
    mWriteIndex.store(next, std::memory_order_release);
    return true;
  }

  // Consumer side.
  bool Pop(T& item)
  {
    const size_t read = mReadIndex.load(std::memory_order_relaxed);
    if (read == mWriteIndex.load(std::memory_order_acquire))
      return false;
    item = mSlots[read];
    mReadIndex.store(Advance(read), std::memory_order_release);
    return true;
  }

  size_t ElementsAvailable() const
  {
    const size_t write = mWriteIndex.load(std::memory_order_acquire);
    const size_t read = mReadIndex.load(std::memory_order_acquire);
    return (write + mSlots.size() - read) % mSlots.size();
  }

  int Capacity() const { return static_cast<int>(mSlots.size()) - 1; }

private:
  size_t Advance(size_t index) const { return index + 1 == mSlots.size() ? 0 : index + 1; }

  std::vector<T> mSlots;
  std::atomic<size_t> mWriteIndex{0};
  std::atomic<size_t> mReadIndex{0};
};

} // namespace umbra
