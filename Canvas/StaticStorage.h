#pragma once

// A cache of owned resources keyed by (name, scale): decoded bitmaps per graphics context, font
// bytes per process. Entries are never evicted; the cache only grows until it is cleared.
//
// Thread safety: the entries are reachable only through an Accessor, which holds the cache's
// mutex for as long as it lives. A caller that finds nothing and then loads and adds keeps one
// Accessor across the whole find-load-add sequence, so two threads loading the same resource at
// once produce one entry and one load. Pointers returned by Find and Add stay valid after the
// Accessor is gone, until the entry is cleared: entries own their resource through a unique_ptr
// and adding never moves an existing resource.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace umbra::ui {

template <class T>
class StaticStorage {
public:
  struct Entry {
    std::uint64_t hash = 0;
    std::string name;
    double scale = 1.0;
    std::unique_ptr<T> data;
  };

  // The key string is the name followed by "-%.1fx" of the scale (knob.png at scale 2 gives
  // knob.png-2.0x). to_chars formats it without consulting the C locale: a host that switches
  // LC_NUMERIC to a comma locale must not change the keys halfway through a session.
  static std::string KeyString(std::string_view name, double scale)
  {
    char number[64];
    const auto [end, ec] = std::to_chars(number, number + sizeof(number), scale,
                                         std::chars_format::fixed, 1);
    std::string key(name);
    key += '-';
    if (ec == std::errc()) key.append(number, end);
    key += 'x';
    return key;
  }

  static std::uint64_t Hash(std::string_view name, double scale)
  {
    return static_cast<std::uint64_t>(std::hash<std::string>{}(KeyString(name, scale)));
  }

  // Holds the cache's lock while it lives; every read and write of the entries goes through it.
  class Accessor {
  public:
    explicit Accessor(StaticStorage& storage) : mStorage(&storage), mLock(storage.mMutex) {}

    // The first entry whose hash, scale and name all match; the hash only narrows the search,
    // the name and scale decide.
    T* Find(std::string_view name, double scale = 1.0) const
    {
      const std::uint64_t hash = Hash(name, scale);
      for (const Entry& entry : mStorage->mEntries)
      {
        if (entry.hash == hash && entry.scale == scale && entry.name == name)
          return entry.data.get();
      }
      return nullptr;
    }

    // Takes ownership; returns the stored resource. Adding a key that is already present adds a
    // second entry that Find never reaches, so callers look up first under the same Accessor.
    T* Add(std::unique_ptr<T> data, std::string_view name, double scale = 1.0)
    {
      if (!data) return nullptr;
      Entry entry;
      entry.hash = Hash(name, scale);
      entry.name = std::string(name);
      entry.scale = scale;
      entry.data = std::move(data);
      T* stored = entry.data.get();
      mStorage->mEntries.push_back(std::move(entry));
      return stored;
    }

    // Destroys every resource; a bitmap cache releases its images this way when its view goes.
    void Clear() { mStorage->mEntries.clear(); }

    std::size_t Size() const { return mStorage->mEntries.size(); }

  private:
    StaticStorage* mStorage;
    std::unique_lock<std::mutex> mLock;
  };

  StaticStorage() = default;
  StaticStorage(const StaticStorage&) = delete;
  StaticStorage& operator=(const StaticStorage&) = delete;

  Accessor Lock() { return Accessor(*this); }

private:
  std::mutex mMutex;
  std::vector<Entry> mEntries;
};

} // namespace umbra::ui
