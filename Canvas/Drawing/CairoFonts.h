#pragma once

#include <cstdint>
#include <vector>

#include <cairo.h>

namespace umbra::ui {

// The process-wide set of fonts, by identifier. Faces are made by FreeType from the bytes of a
// font file and live as long as the process, so that every canvas, in any editor instance, can
// draw with a font another one loaded.

// True when the identifier names a usable font afterwards. A font already registered under
// fontID is kept and the bytes are not read again.
bool RegisterCairoFont(const char* fontID, const std::vector<std::uint8_t>& bytes, int faceIndex);

// The face registered under fontID, or null. Owned by the registry.
cairo_font_face_t* FindCairoFont(const char* fontID);

// True when the font registered under fontID has a glyph for the Unicode code point.
bool CairoFontHasGlyph(const char* fontID, std::uint32_t codePoint);

} // namespace umbra::ui
