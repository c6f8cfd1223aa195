#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace umbra {

class IEffectBase;

namespace cli {

// A user error: printed as one line on stderr, and the program exits with status 2.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

constexpr int kExitError = 2;

// Names are matched as people type them: in any letter case, and with dashes or underscores
// for blanks ("whisper-mode", "Ghost-Choir").
bool SameName(const std::string& a, const std::string& b);

// Sets a parameter from "NAME=VALUE". VALUE is one of the parameter's display texts, "#N" for
// an enumerated parameter's index N, a number that equals one of its display texts ("1" and
// "+1" mean "+1", "0", "+0" and "-0" mean "0" for Octave), or a complete decimal number in the
// parameter's own units within its range.
void ApplySetting(IEffectBase& plug, const std::string& assignment);

// A plain decimal number, with a sign allowed: no exponent, hexadecimal or words such as "inf"
// (strtod would take "0x10" as sixteen).
bool ParseDecimal(const std::string& text, double& value);

// Parses VALUE for the parameter at paramIdx, as ApplySetting does.
double ParseParamValue(const IEffectBase& plug, int paramIdx, const std::string& text);

int FindParamByName(const IEffectBase& plug, const std::string& name);

// A factory preset by its number in 'umbravox presets', its name, or the name of its file from
// 'umbravox demo' ("02-Ghost-Choir"); -1 if none.
int FindPreset(const IEffectBase& plug, const std::string& text);
// Recalls that preset, or fails with a UsageError.
void RecallPreset(IEffectBase& plug, const std::string& text);

// The "unknown option" error every command gives.
[[noreturn]] void UnknownOption(const std::string& option, const std::string& command);

std::string NextValue(const std::vector<std::string>& args, size_t& i, const std::string& option);

// The command line as every command's parser takes it: "--name=value" becomes "--name" "value"
// for the options that take a value, and after "--" every argument is a name, never an option
// ("-x.wav" is passed on as "./-x.wav", the same file).
std::vector<std::string> ExpandOptionValues(const std::vector<std::string>& args);

// Text for a message line: control characters (a newline or an escape sequence in a file name)
// are shown escaped, as \n, \t or \xHH, so one line stays one line and the terminal is left alone.
std::string Printable(const std::string& text);

// Only mono and stereo play through the plug-in, for every command that plays a file.
void RequireMonoOrStereo(const std::string& name, int nChannels);

} // namespace cli
} // namespace umbra
