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

bool FontDataCache::Register(std::string_view fontID, std::string_view fileName,
                             const std::function<bool(const FontData&)>& registerFont)
{
  if (!registerFont) return false;
  auto storage = mStorage.Lock();
  if (const FontData* cached = storage.Find(fontID, kFontScale)) return registerFont(*cached);

  const auto path = LocateResource(fileName);
  if (!path) return false;
  auto data = std::make_unique<FontData>();
  data->bytes = ReadResourceBytes(*path);
  if (data->bytes.empty() || !registerFont(*data)) return false;
  storage.Add(std::move(data), fontID, kFontScale);
  return true;
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
