#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace umbra {

// A value that host threads change while the render thread reads it, always whole. There are two
// copies: the render thread reads the published one without a lock, an allocation or a system
// call (a few atomic operations per read); a writer builds the change in the other copy and
// publishes it by flipping an atomic index. Writers serialise on a mutex among themselves, never
// with the render thread. A writer waits only for a read still running in a copy it must reuse
// (a read is short: one walk of a list, one round of host calls), and once Modify has returned
// no read can still see the old value, so whatever the old value pointed to may go at once.
//
// Reads come from one thread at a time (the render thread). A change made on that thread from
// inside a read (a render notification that removes itself) does not wait for its own read,
// which goes on with what it had; a second change inside the same read is refused, since it
// would have to rewrite the copy that read is using.
template <typename T>
class IRealtimeShared {
public:
  // Render side: the published value, fixed for as long as the reader lives.
  class Reader {
  public:
    explicit Reader(const IRealtimeShared& shared) : mShared(shared)
    {
      for (;;)
      {
        const int index = shared.mPublished.load();
        shared.mReaders[index].fetch_add(1);
        // The copy may have been taken over for the next change between the two steps: then
        // step out and count again.
        if (shared.mPublished.load() == index)
        {
          mIndex = index;
          break;
        }
        shared.mReaders[index].fetch_sub(1);
      }
      shared.mReadingThread[mIndex].store(std::this_thread::get_id());
    }
    ~Reader() { mShared.mReaders[mIndex].fetch_sub(1); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    const T& operator*() const { return mShared.mCopies[mIndex]; }
    const T* operator->() const { return &mShared.mCopies[mIndex]; }

  private:
    const IRealtimeShared& mShared;
    int mIndex = 0;
  };

  IRealtimeShared() = default;
  explicit IRealtimeShared(const T& initial) : mCopies{initial, initial} {}
  IRealtimeShared(const IRealtimeShared&) = delete;
  IRealtimeShared& operator=(const IRealtimeShared&) = delete;

  Reader Read() const { return Reader(*this); }

  enum class EResult { kPublished, kDeclined, kInsideOwnRead };

  // Writer side (any thread): change(T&) edits a copy of the current value and returns true to
  // publish it, false to discard it.
  template <typename Change>
  EResult Modify(Change&& change)
  {
    std::lock_guard lock(mWriters);
    const int current = mPublished.load();
    const int next = 1 - current;
    if (!WaitForReaders(next))
      return EResult::kInsideOwnRead;
    mCopies[next] = mCopies[current];
    if (!change(mCopies[next]))
      return EResult::kDeclined;
    mPublished.store(next);
    WaitForReaders(current);
    return EResult::kPublished;
  }

private:
  // Waits until no read uses the copy; false at once when the calling thread is reading it.
  bool WaitForReaders(int index) const
  {
    while (mReaders[index].load() > 0)
    {
      if (mReadingThread[index].load() == std::this_thread::get_id())
        return false;
      std::this_thread::yield();
    }
    return true;
  }

  T mCopies[2]{};
  std::atomic<int> mPublished{0};
  mutable std::atomic<int> mReaders[2]{0, 0};
  mutable std::atomic<std::thread::id> mReadingThread[2]{};
  std::mutex mWriters;
};

} // namespace umbra
