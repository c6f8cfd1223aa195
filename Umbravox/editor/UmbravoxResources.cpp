#include "UmbravoxResources.h"

#include "IResourceLocator.h"
#include "UmbravoxTheme.h"

namespace umbra {

std::string MissingEditorResources()
{
  std::string missing;
  for (const char* font : {kFontRobotoFile, kFontCinzelFile, kFontGipsyCurseFile})
    if (missing.empty() && !ui::LocateResource(font))
      missing = font;
  for (const char* bitmap : {"background_ghost.png", "GhostIcon.png", "PresetIcon.png"})
    if (missing.empty() && !ui::FindBitmapFile(bitmap, 1, 1.0))
      missing = bitmap;
  if (missing.empty())
    return {};

  std::string folders;
  for (const auto& folder : ui::ResourceSearchPath())
    folders += (folders.empty() ? "" : ", ") + folder.string();
  return "the editor's fonts and pictures are missing (no " + missing + " in " +
         (folders.empty() ? std::string("any folder") : folders) +
         "); reinstall, or set UMBRAVOX_RESOURCES to the folder holding them";
}

} // namespace umbra
