#pragma once

// Listings for scripts: 'params', 'presets' and 'fxp show' print a table for people by default,
// and with --format tsv or json the same facts for programs, numbers at full precision (what
// the plug-in holds, not what it displays).

#include <string>
#include <vector>

namespace umbra {

class IEffectBase;

namespace cli {

enum class ListFormat { kText, kTsv, kJson };

// Takes "--format tsv|json" out of args (which the command then parses as before).
ListFormat TakeListFormat(std::vector<std::string>& args);

// One row per parameter: its index, name, unit, range, default, the value now held, and its
// display texts if it has any.
void PrintParameterTable(const IEffectBase& plug, ListFormat format);

// The values now held, under a name: one row per parameter (tsv), or {"name", "values"} (json),
// for a preset or a preset file's program. json: an object; several are the caller's to join.
void PrintValues(const IEffectBase& plug, const std::string& label, int number, ListFormat format);

// A number that reads back as the same double.
std::string FullPrecision(double value);
// A JSON string literal.
std::string JsonString(const std::string& text);

} // namespace cli
} // namespace umbra
