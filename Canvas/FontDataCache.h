#pragma once

// The bytes of every font file the process has loaded, by font identifier. Fonts are shared by
// all editor instances of the process: the second editor that opens registers its fonts from
// these bytes instead of reading the files again. Kept for the life of the process.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "StaticStorage.h"

namespace umbra::ui {

struct FontData {
  std::vector<std::uint8_t> bytes;
  // Which face of a collection file; a plain .ttf has the one face 0.
  int faceIndex = 0;
};

class FontDataCache {
public:
  // The cache shared by the whole process.
  static FontDataCache& Process();

  // The bytes cached for fontID, or else the bytes of the resource fileName, read once and kept
  // under fontID. Nothing when the file cannot be found or read; a failure is not remembered,
  // so a font installed later is picked up by the next call. The returned data lives as long
  // as the cache. Safe to call from several threads at once: each font is read once.
  const FontData* GetOrLoad(std::string_view fontID, std::string_view fileName);

  // Hands the bytes of fontID to registerFont: the cached bytes when there are some, otherwise
  // those of the resource fileName, which are kept under fontID only when registerFont accepts
  // them, so a file the back end rejects is not held for the rest of the process. The lock
  // spans the registration, so two editors loading one font at once read the file once.
  // Returns what registerFont returned, or false when there were no bytes to hand over.
  bool Register(std::string_view fontID, std::string_view fileName,
                const std::function<bool(const FontData&)>& registerFont);

  // The bytes cached for fontID without touching the disk.
  const FontData* Find(std::string_view fontID);

  std::size_t Size();

private:
  StaticStorage<FontData> mStorage;
};

} // namespace umbra::ui
