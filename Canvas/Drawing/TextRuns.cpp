#include "TextRuns.h"

namespace umbra::ui {

namespace {

// The code point starting at s[i] and its length in bytes; a malformed byte counts as itself.
std::uint32_t DecodeUTF8(const std::string& s, size_t i, size_t& length)
{
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
  if (extra < 0 || i + static_cast<size_t>(extra) >= s.size())
  {
    length = 1;
    return lead;
  }
  std::uint32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k)
  {
    const unsigned char c = byte(i + static_cast<size_t>(k));
    if ((c & 0xC0) != 0x80)
    {
      length = 1;
      return lead;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  length = static_cast<size_t>(extra) + 1;
  return cp;
}

} // namespace

std::vector<TextRun> SplitTextRuns(const char* str,
                                   const std::function<bool(std::uint32_t, bool)>& hasGlyph)
{
  std::vector<TextRun> runs;
  if (!str)
    return runs;
  const std::string s(str);
  for (size_t i = 0; i < s.size();)
  {
    size_t length = 1;
    const std::uint32_t cp = DecodeUTF8(s, i, length);
    // ASCII is always the style's: no text face lacks it, and asking would cost every string.
    const bool fallback = cp >= 0x80 && !hasGlyph(cp, false) && hasGlyph(cp, true);
    if (runs.empty() || runs.back().fallback != fallback)
      runs.push_back({std::string(), fallback});
    runs.back().text.append(s, i, length);
    i += length;
  }
  return runs;
}

} // namespace umbra::ui
