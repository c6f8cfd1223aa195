// FXP program files: a 56-byte big-endian header followed by one normalised 32-bit float per
// parameter.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "IEffectBase.h"

namespace umbra {

namespace {

constexpr int kFxpHeaderSize = 56;
// The byte-size field counts what follows it.
constexpr int kFxpSizeFieldEnd = 8;
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
bool ReadFilePrefix(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& why)
{
  FilePtr file(std::fopen(path, "rb"));
  if (!file)
  {
    why = std::strerror(errno);
    return false;
  }
  bytes.resize(maxBytes);
  const size_t n = std::fread(bytes.data(), 1, maxBytes, file.get());
  bytes.resize(n);
  if (std::ferror(file.get()))
  {
    why = std::strerror(errno);
    return false;
  }
  return true;
}

size_t FxpFileSize(int nParams)
{
  return kFxpHeaderSize + 4 * static_cast<size_t>(nParams);
}

} // namespace

bool IEffectBase::SavePresetAsFXP(const char* path) const
{
  if (!path || !*path)
    return false;

  std::vector<uint8_t> bytes;
  bytes.reserve(kFxpHeaderSize + 4 * static_cast<size_t>(NParams()));
  PutBigEndian32(bytes, static_cast<uint32_t>(kFxpChunkMagic));
  PutBigEndian32(bytes, static_cast<uint32_t>(FxpFileSize(NParams()) - kFxpSizeFieldEnd));
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

bool IEffectBase::LoadPresetFromFXP(const char* path, std::string* whyRefused)
{
  std::string why;
  auto refuse = [&](std::string reason) {
    if (whyRefused)
      *whyRefused = std::move(reason);
    return false;
  };
  if (!path || !*path)
    return refuse("no file name");

  const size_t expectedSize = FxpFileSize(NParams());
  std::vector<uint8_t> bytes;
  if (!ReadFilePrefix(path, expectedSize, bytes, why))
    return refuse(why);

  // Every check happens before anything is applied, so a refused file changes nothing. A file
  // cut short would leave some parameters where they were: a sound nobody saved, under the
  // file's name. So the whole program must be there.
  if (bytes.size() < 4 || static_cast<int32_t>(GetBigEndian32(&bytes[0])) != kFxpChunkMagic)
    return refuse("not a preset file");
  if (bytes.size() < static_cast<size_t>(kFxpHeaderSize))
    return refuse("cut short: " + std::to_string(bytes.size()) + " of " + std::to_string(expectedSize) + " bytes");
  const int32_t fxMagic = static_cast<int32_t>(GetBigEndian32(&bytes[8]));
  if (GetBigEndian32(&bytes[12]) != 1)
    return refuse("a preset file format this program does not read");
  if (static_cast<int32_t>(GetBigEndian32(&bytes[16])) != GetUniqueID())
    return refuse("a preset of another plug-in");
  if (fxMagic == kFxpOpaqueMagic && !DoesStateChunks())
    return refuse("a preset in a form this plug-in does not read");
  if (fxMagic != kFxpParamsMagic)
    return refuse("not a preset file");
  const uint32_t nInFile = GetBigEndian32(&bytes[24]);
  if (nInFile != static_cast<uint32_t>(NParams()))
    return refuse("it holds " + std::to_string(nInFile) + " parameters, not " + std::to_string(NParams()));
  if (bytes.size() < expectedSize)
    return refuse("cut short: " + std::to_string(bytes.size()) + " of " + std::to_string(expectedSize) + " bytes");
  // Earlier versions wrote 0 here.
  const uint32_t byteSize = GetBigEndian32(&bytes[4]);
  if (byteSize != 0 && byteSize != expectedSize - kFxpSizeFieldEnd)
    return refuse("its size field says " + std::to_string(byteSize) + " bytes, not " +
                  std::to_string(expectedSize - kFxpSizeFieldEnd));

  std::vector<float> normalized(static_cast<size_t>(NParams()));
  for (int i = 0; i < NParams(); ++i)
  {
    normalized[i] = FloatFromBits(GetBigEndian32(&bytes[kFxpHeaderSize + 4 * i]));
    if (!std::isfinite(normalized[i]))
      return refuse("a value in it is not a number");
  }

  char programName[kMaxFxpProgramNameLen + 1] = {};
  std::memcpy(programName, &bytes[28], kMaxFxpProgramNameLen);

  for (int i = 0; i < NParams(); ++i)
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
