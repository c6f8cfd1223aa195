#include "FontDataCache.h"

#include <memory>

#include "IResourceLocator.h"

namespace umbra::ui {

namespace {
// Fonts do not depend on the screen density; every entry sits at scale 1.
constexpr double kFontScale = 1.0;
} // namespace

FontDataCache& FontDataCache::Process()
{
  static FontDataCache cache;
  return cache;
}

const FontData* FontDataCache::GetOrLoad(std::string_view fontID, std::string_view fileName)
{
  // The lock spans the file read: a second thread asking for the same font waits and then
  // finds it, rather than reading the file a second time.
  auto storage = mStorage.Lock();
  if (const FontData* cached = storage.Find(fontID, kFontScale)) return cached;

  const auto path = LocateResource(fileName);
  if (!path) return nullptr;
  auto data = std::make_unique<FontData>();
  data->bytes = ReadResourceBytes(*path);
  if (data->bytes.empty()) return nullptr;
  return storage.Add(std::move(data), fontID, kFontScale);
}

const FontData* FontDataCache::Find(std::string_view fontID)
{
  return mStorage.Lock().Find(fontID, kFontScale);
}

std::size_t FontDataCache::Size()
{
  return mStorage.Lock().Size();
}

} // namespace umbra::ui
