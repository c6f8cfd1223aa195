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

// Sets a parameter from "NAME=VALUE", where NAME is the parameter's name exactly and VALUE is one
// of its display texts, a whole index for an enumerated parameter, or a complete decimal number in
// the parameter's own units within its range.
void ApplySetting(IEffectBase& plug, const std::string& assignment);

// Parses VALUE for the parameter at paramIdx, as ApplySetting does.
double ParseParamValue(const IEffectBase& plug, int paramIdx, const std::string& text);

int FindParamByName(const IEffectBase& plug, const std::string& name);

// Writes through a temporary file beside the target, renamed into place once complete, so that a
// failure never leaves a half-written file (or destroys an existing one).
template <typename WriteFunc>
void WriteFileAtomically(const std::string& path, WriteFunc&& write);

std::string TemporaryPathBeside(const std::string& path);
void CommitTemporary(const std::string& temporary, const std::string& path);
void DiscardTemporary(const std::string& temporary);

template <typename WriteFunc>
void WriteFileAtomically(const std::string& path, WriteFunc&& write)
{
  const std::string temporary = TemporaryPathBeside(path);
  try
  {
    if (!write(temporary))
      throw UsageError("cannot write '" + path + "'");
    CommitTemporary(temporary, path);
  }
  catch (...)
  {
    DiscardTemporary(temporary);
    throw;
  }
}

} // namespace cli
} // namespace umbra
