#pragma once

// A text cut into runs by the font that draws them: the style's own font wherever it has the
// glyph, the fallback font where only the fallback has it (symbols such as check marks and
// arrows that text faces often lack). Code points neither font has stay with the style's font,
// which draws its missing-glyph box for them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace umbra::ui {

struct TextRun {
  std::string text; // UTF-8
  bool fallback = false;
};

// hasGlyph(codePoint, fallback) tells whether the style's font (fallback false) or the fallback
// font (true) has a glyph. Malformed UTF-8 bytes are kept in the run they appear in.
std::vector<TextRun> SplitTextRuns(const char* str,
                                   const std::function<bool(std::uint32_t, bool)>& hasGlyph);

} // namespace umbra::ui
