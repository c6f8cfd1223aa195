// FXP program files: the exact bytes written, loading into the current preset, and every way a
// file can be refused without changing anything.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "TestHelpers.h"
#include "Umbravox.h"

using namespace umbra;
using umbra::test::ParamValues;
using umbra::test::PresetNames;
using umbra::test::SmallConfig;
using umbra::test::SmallPlug;
using umbra::test::StateBytes;
using umbra::test::TempDir;

namespace {

std::vector<uint8_t> ReadFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void AppendBE32(std::vector<uint8_t>& out, uint32_t value)
{
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void AppendText(std::vector<uint8_t>& out, const char* text)
{
  out.insert(out.end(), text, text + std::strlen(text));
}

void SetBE32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
  bytes[offset] = static_cast<uint8_t>(value >> 24);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 16);
  bytes[offset + 2] = static_cast<uint8_t>(value >> 8);
  bytes[offset + 3] = static_cast<uint8_t>(value);
}

uint32_t FloatBits(float value)
{
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

std::unique_ptr<Umbravox> NewPlug() { return std::unique_ptr<Umbravox>(MakePlug()); }

struct PresetListener : IOfflineHostListener {
  void OnPresetChanged() override { ++presetChanges; }
  int presetChanges = 0;
};

// Everything a refused file must leave as it was.
struct Snapshot {
  explicit Snapshot(const IEffectBase& plug)
    : state(StateBytes(plug)), names(PresetNames(plug)), current(plug.CurrentPresetIndex())
  {
    for (int i = 0; i < plug.PresetCount(); ++i)
    {
      const IByteChunk& chunk = plug.GetPreset(i)->mChunk;
      presetChunks.emplace_back(chunk.GetData(), chunk.GetData() + chunk.Size());
    }
  }
  bool operator==(const Snapshot&) const = default;

  std::vector<uint8_t> state;
  std::vector<std::string> names;
  int current;
  std::vector<std::vector<uint8_t>> presetChunks;
};

class FxpTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(mDir.Valid()); }

  std::string Path(const std::string& name) const { return mDir.File(name); }

  // The file a fresh plug-in writes for factory preset presetIdx.
  std::vector<uint8_t> SavedPreset(int presetIdx)
  {
    auto plug = NewPlug();
    EXPECT_TRUE(plug->RestorePreset(presetIdx));
    const std::string path = Path("source.fxp");
    EXPECT_TRUE(plug->SavePresetAsFXP(path.c_str()));
    return ReadFile(path);
  }

  // A plug-in away from its initial state, so that "nothing changed" means something.
  static std::unique_ptr<Umbravox> PlugAtPreset3()
  {
    auto plug = NewPlug();
    EXPECT_TRUE(plug->RestorePreset(3));
    plug->GetParam(kFine)->StoreValue(12.0);
    return plug;
  }

  void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& what)
  {
    SCOPED_TRACE(what);
    auto plug = PlugAtPreset3();
    PresetListener listener;
    plug->SetHostListener(&listener);
    const Snapshot before(*plug);
    const std::string path = Path("refused.fxp");
    WriteFile(path, bytes);
    EXPECT_FALSE(plug->LoadPresetFromFXP(path.c_str()));
    EXPECT_TRUE(Snapshot(*plug) == before);
    EXPECT_EQ(listener.presetChanges, 0);
  }

  TempDir mDir;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(FxpTest, SavedInitPresetMatchesTheFormatByteForByte)
{
  std::vector<uint8_t> expected;
  AppendText(expected, "CcnK");
  AppendBE32(expected, 100); // the bytes after this field
  AppendText(expected, "FxCk");
  AppendBE32(expected, 1);
  AppendText(expected, "UmVx");
  AppendBE32(expected, 10000);
  AppendBE32(expected, 13);
  AppendText(expected, "Init");
  expected.resize(56, 0);
  // Normalised Init values: 50, 50, 75, 50 %, octave 2 of 0..4, interval 0, fine 0 of -50..50,
  // 80, 64, 0 %, mode 0, 50, 100 %.
  for (uint32_t bits : {0x3F000000u, 0x3F000000u, 0x3F400000u, 0x3F000000u, 0x3F000000u, 0u,
                        0x3F000000u, 0x3F4CCCCDu, 0x3F23D70Au, 0u, 0u, 0x3F000000u, 0x3F800000u})
    AppendBE32(expected, bits);
  ASSERT_EQ(expected.size(), 108u);

  auto plug = NewPlug();
  const std::string path = Path("init.fxp");
  ASSERT_TRUE(plug->SavePresetAsFXP(path.c_str()));
  EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(FxpTest, SavedFileHoldsTheCurrentValuesNotThePresetsStoredOnes)
{
  auto plug = NewPlug();
  plug->GetParam(kMix)->StoreValue(25.0);
  plug->GetParam(kOctave)->StoreValue(4.0);
  const std::string path = Path("edited.fxp");
  ASSERT_TRUE(plug->SavePresetAsFXP(path.c_str()));
  const std::vector<uint8_t> bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 108u);
  auto floatAt = [&](int paramIdx) {
    return std::vector<uint8_t>(bytes.begin() + 56 + 4 * paramIdx, bytes.begin() + 60 + 4 * paramIdx);
  };
  std::vector<uint8_t> quarter, one;
  AppendBE32(quarter, FloatBits(0.25f));
  AppendBE32(one, FloatBits(1.0f));
  EXPECT_EQ(floatAt(kMix), quarter);
  EXPECT_EQ(floatAt(kOctave), one);
}

TEST_F(FxpTest, ProgramNameIsCutTo28Bytes)
{
  auto plug = NewPlug();
  plug->ModifyCurrentPreset("Abcdefghijklmnopqrstuvwxyz0123456789");
  const std::string path = Path("long.fxp");
  ASSERT_TRUE(plug->SavePresetAsFXP(path.c_str()));
  const std::vector<uint8_t> bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 108u);
  EXPECT_EQ(std::string(bytes.begin() + 28, bytes.begin() + 56), "Abcdefghijklmnopqrstuvwxyz01");
  EXPECT_EQ(bytes[56], 0x3F); // the values follow right after: Input 0.5

  auto other = NewPlug();
  ASSERT_TRUE(other->LoadPresetFromFXP(path.c_str()));
  EXPECT_STREQ(other->GetPresetName(0), "Abcdefghijklmnopqrstuvwxyz01");
}

TEST_F(FxpTest, SavingChangesNothingInThePlugIn)
{
  auto plug = PlugAtPreset3();
  const Snapshot before(*plug);
  const std::string path = Path("save.fxp");
  ASSERT_TRUE(plug->SavePresetAsFXP(path.c_str()));
  EXPECT_TRUE(Snapshot(*plug) == before);
}

TEST_F(FxpTest, SavingReplacesAnExistingFile)
{
  const std::string path = Path("existing.fxp");
  WriteFile(path, std::vector<uint8_t>(500, 0xAB));
  auto plug = NewPlug();
  ASSERT_TRUE(plug->SavePresetAsFXP(path.c_str()));
  EXPECT_EQ(std::filesystem::file_size(path), 108u);
}

TEST_F(FxpTest, SavingWithoutACurrentPresetWritesAnEmptyName)
{
  SmallPlug plug(SmallConfig(2, 0));
  plug.GetParam(0)->InitDouble("A", 0.5, 0.0, 1.0, 0.01);
  plug.GetParam(1)->InitDouble("B", 1.0, 0.0, 1.0, 0.01);
  const std::string path = Path("nameless.fxp");
  ASSERT_TRUE(plug.SavePresetAsFXP(path.c_str()));
  const std::vector<uint8_t> bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 56u + 2 * 4);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 28, bytes.begin() + 56), std::vector<uint8_t>(28, 0));
  EXPECT_EQ(std::string(bytes.begin() + 16, bytes.begin() + 20), "SmPl");
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 20, bytes.begin() + 24),
            (std::vector<uint8_t>{0x00, 0x00, 0x27, 0xDB})); // version 1.2.3 as 10203
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 24, bytes.begin() + 28),
            (std::vector<uint8_t>{0, 0, 0, 2}));
}

TEST_F(FxpTest, SavingToABadPathFails)
{
  auto plug = NewPlug();
  EXPECT_FALSE(plug->SavePresetAsFXP(nullptr));
  EXPECT_FALSE(plug->SavePresetAsFXP(""));
  EXPECT_FALSE(plug->SavePresetAsFXP(mDir.Path().string().c_str())); // a directory
  EXPECT_FALSE(plug->SavePresetAsFXP(Path("no/such/folder/x.fxp").c_str()));
  const std::string regular = Path("regular");
  WriteFile(regular, {1, 2, 3});
  EXPECT_FALSE(plug->SavePresetAsFXP((regular + "/x.fxp").c_str())); // under a plain file
  EXPECT_EQ(ReadFile(regular), (std::vector<uint8_t>{1, 2, 3}));
}

// ---------------------------------------------------------------------------------------------
// Loading

TEST_F(FxpTest, RoundTripThroughAFile)
{
  auto source = NewPlug();
  ASSERT_TRUE(source->RestorePreset(2));
  source->GetParam(kInput)->StoreValue(33.0);
  source->GetParam(kFine)->StoreValue(-15.0);
  source->GetParam(kOctave)->StoreValue(0.0);
  source->GetParam(kInterval)->StoreValue(9.0);
  source->GetParam(kWhisperMode)->StoreValue(1.0);
  const std::string path = Path("roundtrip.fxp");
  ASSERT_TRUE(source->SavePresetAsFXP(path.c_str()));

  auto target = NewPlug();
  ASSERT_TRUE(target->LoadPresetFromFXP(path.c_str()));
  for (int i = 0; i < kNumParams; ++i)
  {
    const IParam* param = target->GetParam(i);
    if (param->GetStepped())
      EXPECT_EQ(param->Value(), source->GetParam(i)->Value()) << param->GetName();
    else
      EXPECT_NEAR(param->Value(), source->GetParam(i)->Value(), 1e-4) << param->GetName();
  }
  EXPECT_STREQ(target->GetPresetName(0), "Banshee Scream");
}

TEST_F(FxpTest, LoadingGhostChoirIntoPresetZero)
{
  const std::vector<uint8_t> file = SavedPreset(1);
  const std::string path = Path("ghost.fxp");
  WriteFile(path, file);

  auto plug = NewPlug();
  PresetListener listener;
  plug->SetHostListener(&listener);
  ASSERT_EQ(plug->CurrentPresetIndex(), 0);
  ASSERT_TRUE(plug->LoadPresetFromFXP(path.c_str()));

  EXPECT_EQ(plug->CurrentPresetIndex(), 0);
  EXPECT_STREQ(plug->GetPresetName(0), "Ghost Choir");
  EXPECT_STREQ(plug->GetPresetName(1), "Ghost Choir"); // the factory preset is untouched
  EXPECT_EQ(listener.presetChanges, 1);

  const std::vector<double> ghost = {55, 52, 78, 91, 3, 0, 0, 84, 60, 59, 0, 73, 78};
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_NEAR(plug->GetParam(i)->Value(), ghost[i], 1e-4) << plug->GetParam(i)->GetName();
  EXPECT_EQ(plug->GetParam(kOctave)->Value(), 3.0);

  // Preset 0 now holds the loaded values.
  const std::vector<double> loaded = ParamValues(*plug);
  ASSERT_TRUE(plug->RestorePreset(5));
  ASSERT_TRUE(plug->RestorePreset(0));
  EXPECT_EQ(ParamValues(*plug), loaded);
}

TEST_F(FxpTest, LoadingGoesIntoWhicheverPresetIsCurrent)
{
  const std::string path = Path("poltergeist.fxp");
  WriteFile(path, SavedPreset(7));
  auto plug = NewPlug();
  ASSERT_TRUE(plug->RestorePreset(4));
  ASSERT_TRUE(plug->LoadPresetFromFXP(path.c_str()));
  EXPECT_EQ(plug->CurrentPresetIndex(), 4);
  EXPECT_STREQ(plug->GetPresetName(4), "Poltergeist");
  EXPECT_STREQ(plug->GetPresetName(0), "Init");
  EXPECT_NEAR(plug->GetParam(kFine)->Value(), 25.0, 1e-4);
}

TEST_F(FxpTest, AnEmptyProgramNameKeepsThePresetName)
{
  std::vector<uint8_t> file = SavedPreset(1);
  std::fill(file.begin() + 28, file.begin() + 56, 0);
  const std::string path = Path("nameless.fxp");
  WriteFile(path, file);
  auto plug = NewPlug();
  ASSERT_TRUE(plug->LoadPresetFromFXP(path.c_str()));
  EXPECT_STREQ(plug->GetPresetName(0), "Init");
  EXPECT_NEAR(plug->GetParam(kPossess)->Value(), 91.0, 1e-4);
}

// Earlier versions wrote 0 as the byte size; the plug-in's version is only informative.
TEST_F(FxpTest, ByteSizeZeroAndAnyPlugInVersionAreAccepted)
{
  std::vector<uint8_t> file = SavedPreset(1);
  SetBE32(file, 4, 0);      // byte size
  SetBE32(file, 20, 99999); // plug-in version
  const std::string path = Path("fields.fxp");
  WriteFile(path, file);
  auto plug = NewPlug();
  EXPECT_TRUE(plug->LoadPresetFromFXP(path.c_str()));
  EXPECT_NEAR(plug->GetParam(kPossess)->Value(), 91.0, 1e-4);
}

TEST_F(FxpTest, ValuesOutsideZeroToOneAreClamped)
{
  std::vector<uint8_t> file = SavedPreset(0);
  SetBE32(file, 56 + 4 * kInput, FloatBits(1.5f));
  SetBE32(file, 56 + 4 * kOutput, FloatBits(-0.5f));
  SetBE32(file, 56 + 4 * kOctave, FloatBits(0.625f)); // 2.5 steps up to 3
  const std::string path = Path("clamped.fxp");
  WriteFile(path, file);
  auto plug = NewPlug();
  ASSERT_TRUE(plug->LoadPresetFromFXP(path.c_str()));
  EXPECT_EQ(plug->GetParam(kInput)->Value(), 100.0);
  EXPECT_EQ(plug->GetParam(kOutput)->Value(), 0.0);
  EXPECT_EQ(plug->GetParam(kOctave)->Value(), 3.0);
}

TEST_F(FxpTest, BytesAfterTheLastValueAreIgnored)
{
  std::vector<uint8_t> file = SavedPreset(1);
  file.insert(file.end(), 64, 0xFF); // would be NaN if read as values
  const std::string path = Path("long.fxp");
  WriteFile(path, file);
  auto plug = NewPlug();
  EXPECT_TRUE(plug->LoadPresetFromFXP(path.c_str()));
  EXPECT_NEAR(plug->GetParam(kMix)->Value(), 78.0, 1e-4);
}

// ---------------------------------------------------------------------------------------------
// Short files

// A file missing any part of the program would leave some parameters as they were: refused,
// with the reason.
TEST_F(FxpTest, CutShortFilesAreRefused)
{
  const std::vector<uint8_t> file = SavedPreset(1);
  for (size_t size : {0u, 1u, 15u, 16u, 20u, 28u, 55u, 56u, 57u, 60u, 70u, 107u})
    ExpectRefused(std::vector<uint8_t>(file.begin(), file.begin() + size),
                  "truncated at " + std::to_string(size));
  auto plug = NewPlug();
  const std::string path = Path("short.fxp");
  WriteFile(path, std::vector<uint8_t>(file.begin(), file.begin() + 70));
  std::string why;
  EXPECT_FALSE(plug->LoadPresetFromFXP(path.c_str(), &why));
  EXPECT_EQ(why, "cut short: 70 of 108 bytes");
}

TEST_F(FxpTest, AnotherParameterCountOrByteSizeIsRefused)
{
  for (uint32_t count : {0u, 5u, 12u, 14u, 200u})
  {
    std::vector<uint8_t> file = SavedPreset(1);
    SetBE32(file, 24, count);
    ExpectRefused(file, "count " + std::to_string(count));
  }
  for (uint32_t size : {1u, 99u, 101u, 108u, 12345u})
  {
    std::vector<uint8_t> file = SavedPreset(1);
    SetBE32(file, 4, size);
    ExpectRefused(file, "byte size " + std::to_string(size));
  }
}

// ---------------------------------------------------------------------------------------------
// Malformed files

TEST_F(FxpTest, WrongFirstMagicIsRefused)
{
  std::vector<uint8_t> file = SavedPreset(1);
  file[0] = 'X';
  ExpectRefused(file, "magic XcnK");
  file = SavedPreset(1);
  file[3] = 'k';
  ExpectRefused(file, "magic Ccnk");
}

TEST_F(FxpTest, WrongFormatVersionIsRefused)
{
  for (uint32_t version : {0u, 2u, 0x01000000u})
  {
    std::vector<uint8_t> file = SavedPreset(1);
    SetBE32(file, 12, version);
    ExpectRefused(file, "version " + std::to_string(version));
  }
}

TEST_F(FxpTest, AnotherPlugInsFileIsRefused)
{
  std::vector<uint8_t> file = SavedPreset(1);
  SetBE32(file, 16, static_cast<uint32_t>(MakeFourCC("UmVy")));
  ExpectRefused(file, "unique id UmVy");

  SmallPlug other(SmallConfig(13, 1));
  for (int i = 0; i < 13; ++i)
    other.GetParam(i)->InitDouble("p", 0.5, 0.0, 1.0, 0.01);
  const std::string path = Path("other.fxp");
  ASSERT_TRUE(other.SavePresetAsFXP(path.c_str()));
  ExpectRefused(ReadFile(path), "file of another plug-in");
}

TEST_F(FxpTest, ChunkVariantIsRefusedByAPlugInWithoutStateChunks)
{
  std::vector<uint8_t> file = SavedPreset(1);
  std::memcpy(&file[8], "FPCh", 4);
  ExpectRefused(file, "FPCh");
}

TEST_F(FxpTest, UnknownTypeMagicIsRefused)
{
  std::vector<uint8_t> file = SavedPreset(1);
  std::memcpy(&file[8], "FxBk", 4);
  ExpectRefused(file, "FxBk");
  std::memcpy(&file[8], "\0\0\0\0", 4);
  ExpectRefused(file, "zero type");
}

TEST_F(FxpTest, NonFiniteValuesRefuseTheWholeFile)
{
  struct Case {
    int paramIdx;
    uint32_t bits;
    const char* what;
  } cases[] = {
    {kInterval, 0x7FC00000u, "NaN"},
    {kInput, 0x7F800000u, "+inf first"},
    {kMix, 0xFF800000u, "-inf last"},
    {kFreeze, 0xFFC00001u, "negative NaN with payload"},
  };
  for (const Case& c : cases)
  {
    std::vector<uint8_t> file = SavedPreset(1);
    SetBE32(file, 56 + 4 * static_cast<size_t>(c.paramIdx), c.bits);
    ExpectRefused(file, c.what);
  }
}

TEST_F(FxpTest, BadPathsAreRefused)
{
  auto plug = PlugAtPreset3();
  PresetListener listener;
  plug->SetHostListener(&listener);
  const Snapshot before(*plug);
  EXPECT_FALSE(plug->LoadPresetFromFXP(nullptr));
  EXPECT_FALSE(plug->LoadPresetFromFXP(""));
  EXPECT_FALSE(plug->LoadPresetFromFXP(Path("missing.fxp").c_str()));
  EXPECT_FALSE(plug->LoadPresetFromFXP(mDir.Path().string().c_str()));
  EXPECT_TRUE(Snapshot(*plug) == before);
  EXPECT_EQ(listener.presetChanges, 0);
}
