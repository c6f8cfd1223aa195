#include "CairoFonts.h"

#include <memory>
#include <mutex>
#include <string>

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace umbra::ui {

namespace {

struct FontEntry {
  std::string id;
  std::vector<std::uint8_t> bytes; // FreeType reads the face from these for as long as it lives
  FT_Face ftFace = nullptr;
  cairo_font_face_t* cairoFace = nullptr;
};

struct FontRegistry {
  std::mutex mutex;
  FT_Library library = nullptr;
  std::vector<std::unique_ptr<FontEntry>> entries;

  FontEntry* Find(const char* fontID)
  {
    for (auto& entry : entries)
      if (entry->id == fontID)
        return entry.get();
    return nullptr;
  }
};

// Never destroyed: faces may still be referenced by cairo's font caches when static objects
// are torn down at exit.
FontRegistry& Registry()
{
  static FontRegistry* registry = new FontRegistry;
  return *registry;
}

} // namespace

bool RegisterCairoFont(const char* fontID, const std::vector<std::uint8_t>& bytes, int faceIndex)
{
  if (!fontID || fontID[0] == '\0')
    return false;
  FontRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  if (registry.Find(fontID))
    return true;
  if (bytes.empty() || faceIndex < 0)
    return false;
  if (!registry.library && FT_Init_FreeType(&registry.library) != 0) {
    registry.library = nullptr;
    return false;
  }

  auto entry = std::make_unique<FontEntry>();
  entry->id = fontID;
  entry->bytes = bytes;
  if (FT_New_Memory_Face(registry.library, entry->bytes.data(),
                         static_cast<FT_Long>(entry->bytes.size()), faceIndex, &entry->ftFace) != 0)
    return false;
  entry->cairoFace = cairo_ft_font_face_create_for_ft_face(entry->ftFace, 0);
  if (cairo_font_face_status(entry->cairoFace) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(entry->cairoFace);
    FT_Done_Face(entry->ftFace);
    return false;
  }
  registry.entries.push_back(std::move(entry));
  return true;
}

cairo_font_face_t* FindCairoFont(const char* fontID)
{
  if (!fontID)
    return nullptr;
  FontRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  FontEntry* entry = registry.Find(fontID);
  return entry ? entry->cairoFace : nullptr;
}

} // namespace umbra::ui

namespace umbra::ui {

bool CairoFontHasGlyph(const char* fontID, std::uint32_t codePoint)
{
  if (!fontID)
    return false;
  FontRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  FontEntry* entry = registry.Find(fontID);
  return entry && FT_Get_Char_Index(entry->ftFace, codePoint) != 0;
}

} // namespace umbra::ui
