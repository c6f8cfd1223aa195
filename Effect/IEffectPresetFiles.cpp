// FXP program files: a 56-byte big-endian header followed by one normalised 32-bit float per
// parameter.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "IEffectBase.h"

namespace umbra {

namespace {

constexpr int kFxpHeaderSize = 56;
const int32_t kFxpChunkMagic = MakeFourCC("CcnK");
const int32_t kFxpParamsMagic = MakeFourCC("FxCk");
const int32_t kFxpOpaqueMagic = MakeFourCC("FPCh");

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value)
{
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

uint32_t GetBigEndian32(const uint8_t* in)
{
  return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
         (static_cast<uint32_t>(in[2]) << 8) | static_cast<uint32_t>(in[3]);
}

float FloatFromBits(uint32_t bits)
{
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

uint32_t BitsFromFloat(float value)
{
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Reads at most maxBytes: nothing past the last parameter value is used, and a device or a
// huge file must not hold the caller.
bool ReadFilePrefix(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes)
{
  FilePtr file(std::fopen(path, "rb"));
  if (!file)
    return false;
  bytes.resize(maxBytes);
  const size_t n = std::fread(bytes.data(), 1, maxBytes, file.get());
  bytes.resize(n);
  return !std::ferror(file.get());
}

} // namespace

bool IEffectBase::SavePresetAsFXP(const char* path) const
{
  if (!path || !*path)
    return false;

  std::vector<uint8_t> bytes;
  bytes.reserve(kFxpHeaderSize + 4 * static_cast<size_t>(NParams()));
  PutBigEndian32(bytes, static_cast<uint32_t>(kFxpChunkMagic));
  PutBigEndian32(bytes, 0); // byte size: not used by readers
  PutBigEndian32(bytes, static_cast<uint32_t>(kFxpParamsMagic));
  PutBigEndian32(bytes, 1); // format version
  PutBigEndian32(bytes, static_cast<uint32_t>(GetUniqueID()));
  PutBigEndian32(bytes, static_cast<uint32_t>(GetPluginVersion(true)));
  PutBigEndian32(bytes, static_cast<uint32_t>(NParams()));

  char programName[kMaxFxpProgramNameLen] = {};
  const char* currentName = GetPresetName(CurrentPresetIndex());
  std::memcpy(programName, currentName, strnlen(currentName, sizeof(programName)));
  bytes.insert(bytes.end(), programName, programName + sizeof(programName));

  for (int i = 0; i < NParams(); ++i)
    PutBigEndian32(bytes, BitsFromFloat(static_cast<float>(GetParam(i)->CurrentNormalized())));

  FilePtr file(std::fopen(path, "wb"));
  if (!file)
    return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  // A full disk shows up at flush or close: only then is the file known to be whole.
  const bool closed = std::fclose(file.release()) == 0;
  return written && closed;
}

bool IEffectBase::LoadPresetFromFXP(const char* path)
{
  if (!path || !*path)
    return false;

  std::vector<uint8_t> bytes;
  if (!ReadFilePrefix(path, kFxpHeaderSize + 4 * static_cast<size_t>(NParams()), bytes))
    return false;

  // Every check happens before anything is applied, so a refused file changes nothing. The
  // header holds the identity and the program name: without all of it there is no program.
  if (bytes.size() < static_cast<size_t>(kFxpHeaderSize))
    return false;
  if (static_cast<int32_t>(GetBigEndian32(&bytes[0])) != kFxpChunkMagic)
    return false;
  const int32_t fxMagic = static_cast<int32_t>(GetBigEndian32(&bytes[8]));
  if (GetBigEndian32(&bytes[12]) != 1)
    return false;
  if (static_cast<int32_t>(GetBigEndian32(&bytes[16])) != GetUniqueID())
    return false;
  if (fxMagic == kFxpOpaqueMagic && !DoesStateChunks())
    return false;
  if (fxMagic != kFxpParamsMagic)
    return false;

  const int nPresent =
    std::min(NParams(), static_cast<int>((bytes.size() - kFxpHeaderSize) / sizeof(float)));
  std::vector<float> normalized(static_cast<size_t>(nPresent));
  for (int i = 0; i < nPresent; ++i)
  {
    normalized[i] = FloatFromBits(GetBigEndian32(&bytes[kFxpHeaderSize + 4 * i]));
    if (!std::isfinite(normalized[i]))
      return false;
  }

  char programName[kMaxFxpProgramNameLen + 1] = {};
  std::memcpy(programName, &bytes[28], kMaxFxpProgramNameLen);

  // Parameters the file does not reach keep their current values.
  for (int i = 0; i < nPresent; ++i)
  {
    IParam* param = GetParam(i);
    param->StoreValue(param->ValueFromNormalized(normalized[i]));
  }

  ModifyCurrentPreset(programName);
  RestorePreset(CurrentPresetIndex());
  InformHostOfPresetChange();
  return true;
}

} // namespace umbra
