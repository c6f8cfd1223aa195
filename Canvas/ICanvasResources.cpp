// Bitmaps and fonts by resource name.

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "FontDataCache.h"
#include "ICanvas.h"
#include "IResourceLocator.h"

namespace umbra::ui {

namespace {

// Above any real display density; keeps a nonsense screen scale from overflowing the int.
constexpr double kLargestResolvedScale = 64.0;

} // namespace

int ICanvas::ResolveBitmapScale(int targetScale) const
{
  if (targetScale == 0)
  {
    const double rounded = std::ceil(static_cast<double>(GetScreenScale()));
    targetScale = static_cast<int>(std::clamp(rounded, 1.0, kLargestResolvedScale));
  }
  return std::max(targetScale, 1);
}

IBitmap ICanvas::LoadBitmap(const char* name, int nStates, bool framesAreHorizontal,
                            int targetScale)
{
  if (name == nullptr || name[0] == '\0') return IBitmap();
  const std::string resourceName(name);
  targetScale = ResolveBitmapScale(targetScale);

  // One Accessor across look-up, search, decode and add: two threads loading the same bitmap
  // into this canvas at once decode it once.
  auto cache = mBitmapCache.Lock();
  if (const CachedBitmap* cached = cache.Find(resourceName, targetScale))
    return IBitmap(cached->bitmap, nStates, framesAreHorizontal, resourceName);

  // FindBitmapFile refuses names whose extension is not png, jpg or jpeg, before any search.
  const auto file = FindBitmapFile(resourceName, targetScale, GetScreenScale());
  if (!file) return IBitmap();

  // A variant found at another scale is cached under the scale it was found at; asking again
  // for the same target finds that entry here instead of decoding the file a second time.
  if (const CachedBitmap* cached = cache.Find(resourceName, file->scale))
    return IBitmap(cached->bitmap, nStates, framesAreHorizontal, resourceName);

  auto decoded = LoadAPIBitmap(file->path.string(), file->scale);
  if (!decoded) return IBitmap();
  auto entry = std::make_unique<CachedBitmap>();
  entry->bitmap = std::move(decoded);
  const CachedBitmap* stored = cache.Add(std::move(entry), resourceName, file->scale);
  return IBitmap(stored->bitmap, nStates, framesAreHorizontal, resourceName);
}

IBitmap ICanvas::GetScaledBitmap(const IBitmap& bitmap)
{
  return LoadBitmap(bitmap.GetResourceName().c_str(), bitmap.N(), bitmap.GetFramesAreHorizontal(),
                    ResolveBitmapScale(0));
}

bool ICanvas::LoadFont(const char* fontID, const char* fileName)
{
  if (fontID == nullptr || fontID[0] == '\0' || fileName == nullptr) return false;
  return FontDataCache::Process().Register(fontID, fileName, [&](const FontData& font) {
    return LoadAPIFont(fontID, font.bytes, font.faceIndex);
  });
}

} // namespace umbra::ui
