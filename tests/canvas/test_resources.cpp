// Resource lookup, the bitmap variant search, the (name, scale) cache and the process font cache,
// all against real files in temporary folders.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FontDataCache.h"
#include "IResourceLocator.h"
#include "StaticStorage.h"

using namespace umbra::ui;
namespace fs = std::filesystem;

namespace {

// A fresh folder that disappears with the test.
class TempFolder {
public:
  TempFolder()
  {
    static std::atomic<int> counter{0};
    mPath = fs::temp_directory_path()
          / ("umbravox-resources-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(mPath);
    fs::create_directories(mPath / "res");
  }
  ~TempFolder()
  {
    std::error_code ec;
    fs::remove_all(mPath, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder handed to the lookup; its parent is there to be escaped into.
  fs::path Resources() const { return mPath / "res"; }
  fs::path Outside() const { return mPath; }

private:
  fs::path mPath;
};

// Sets UMBRAVOX_RESOURCES for one test and puts back whatever was there before.
class ScopedResourceEnv {
public:
  explicit ScopedResourceEnv(const fs::path& folder)
  {
    if (const char* previous = std::getenv("UMBRAVOX_RESOURCES")) mPrevious = previous;
    setenv("UMBRAVOX_RESOURCES", folder.c_str(), 1);
  }
  ~ScopedResourceEnv()
  {
    if (mPrevious)
      setenv("UMBRAVOX_RESOURCES", mPrevious->c_str(), 1);
    else
      unsetenv("UMBRAVOX_RESOURCES");
  }
  ScopedResourceEnv(const ScopedResourceEnv&) = delete;
  ScopedResourceEnv& operator=(const ScopedResourceEnv&) = delete;

private:
  std::optional<std::string> mPrevious;
};

void WriteFile(const fs::path& path, const std::string& content)
{
  std::ofstream out(path, std::ios::binary);
  out << content;
}

std::vector<std::string> FileNames(const std::vector<BitmapCandidate>& candidates)
{
  std::vector<std::string> names;
  for (const auto& candidate : candidates) names.push_back(candidate.fileName);
  return names;
}

using Names = std::vector<std::string>;

} // namespace

// ---------------------------------------------------------------------------------------------
// Bitmap variants

TEST(BitmapCandidates, TargetScaleFirstThenThreeThenDownwards)
{
  EXPECT_EQ(FileNames(BitmapCandidates("knob.png", 1, 1.0)),
            (Names{"knob.png", "knob@3x.png", "knob@2x.png"}));
  EXPECT_EQ(FileNames(BitmapCandidates("knob.png", 2, 1.0)),
            (Names{"knob@2x.png", "knob@3x.png", "knob.png"}));
  EXPECT_EQ(FileNames(BitmapCandidates("knob.png", 3, 1.0)),
            (Names{"knob@3x.png", "knob@2x.png", "knob.png"}));
}

TEST(BitmapCandidates, EachCandidateCarriesItsScale)
{
  const auto candidates = BitmapCandidates("knob.png", 2, 1.0);
  ASSERT_EQ(candidates.size(), 3u);
  EXPECT_EQ(candidates[0].scale, 2);
  EXPECT_EQ(candidates[1].scale, 3);
  EXPECT_EQ(candidates[2].scale, 1);
}

TEST(BitmapCandidates, ZeroTargetMeansScreenScaleRoundedUp)
{
  EXPECT_EQ(BitmapCandidates("knob.png", 0, 1.0).front().fileName, "knob.png");
  EXPECT_EQ(BitmapCandidates("knob.png", 0, 1.5).front().fileName, "knob@2x.png");
  EXPECT_EQ(BitmapCandidates("knob.png", 0, 2.0).front().fileName, "knob@2x.png");
  EXPECT_EQ(BitmapCandidates("knob.png", 0, 2.25).front().fileName, "knob@3x.png");
}

TEST(BitmapCandidates, OnlyTheLastDotStartsTheExtension)
{
  EXPECT_EQ(BitmapCandidates("old.knob.jpeg", 2, 1.0).front().fileName, "old.knob@2x.jpeg");
}

TEST(BitmapExtension, PngAndJpegInAnyCase)
{
  EXPECT_TRUE(BitmapExtensionSupported("knob.png"));
  EXPECT_TRUE(BitmapExtensionSupported("knob.PNG"));
  EXPECT_TRUE(BitmapExtensionSupported("photo.jpg"));
  EXPECT_TRUE(BitmapExtensionSupported("photo.JPEG"));
}

TEST(BitmapExtension, OtherExtensionsAndNoExtensionRefused)
{
  EXPECT_FALSE(BitmapExtensionSupported("anim.gif"));
  EXPECT_FALSE(BitmapExtensionSupported("knob"));
  EXPECT_FALSE(BitmapExtensionSupported("png"));
  EXPECT_FALSE(BitmapExtensionSupported("knob.png.txt"));
}

TEST(FindBitmapFile, FirstExistingCandidateWins)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  WriteFile(folder.Resources() / "knob.png", "1");
  WriteFile(folder.Resources() / "knob@3x.png", "3");

  // No @2x: target 2 falls to @3x before the plain name.
  auto found = FindBitmapFile("knob.png", 2, 1.0);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path, folder.Resources() / "knob@3x.png");
  EXPECT_EQ(found->scale, 3);

  WriteFile(folder.Resources() / "knob@2x.png", "2");
  found = FindBitmapFile("knob.png", 2, 1.0);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path.filename(), "knob@2x.png");
  EXPECT_EQ(found->scale, 2);

  found = FindBitmapFile("knob.png", 1, 1.0);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path.filename(), "knob.png");
  EXPECT_EQ(found->scale, 1);

  // Without the plain file target 1 is served by the largest variant.
  fs::remove(folder.Resources() / "knob.png");
  found = FindBitmapFile("knob.png", 1, 1.0);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path.filename(), "knob@3x.png");
  EXPECT_EQ(found->scale, 3);

  // Target 0 follows the screen.
  found = FindBitmapFile("knob.png", 0, 1.5);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->scale, 2);
}

TEST(FindBitmapFile, NothingWhenNoCandidateExists)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  EXPECT_FALSE(FindBitmapFile("umbravox-absent-knob.png", 2, 1.0));
}

TEST(FindBitmapFile, CapitalExtensionFound)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  WriteFile(folder.Resources() / "Knob@2x.PNG", "2");
  const auto found = FindBitmapFile("Knob.PNG", 2, 1.0);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path.filename(), "Knob@2x.PNG");
}

TEST(FindBitmapFile, UnsupportedExtensionRefusedEvenWhenTheFileExists)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  WriteFile(folder.Resources() / "anim.gif", "GIF89a");
  WriteFile(folder.Resources() / "knob", "?");
  EXPECT_FALSE(FindBitmapFile("anim.gif", 1, 1.0));
  EXPECT_FALSE(FindBitmapFile("knob", 1, 1.0));
  // The files are there: only the extension rule keeps them out.
  EXPECT_TRUE(LocateResource("anim.gif"));
  EXPECT_TRUE(LocateResource("knob"));
}

// ---------------------------------------------------------------------------------------------
// Lookup

TEST(LocateResource, NamesThatLeaveTheFolderRefused)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  WriteFile(folder.Outside() / "x.png", "outside");
  fs::create_directories(folder.Resources() / "sub");
  WriteFile(folder.Resources() / "sub" / "x.png", "inside a subfolder");

  EXPECT_FALSE(LocateResource("../x.png"));
  EXPECT_FALSE(LocateResource("sub/x.png"));
  EXPECT_FALSE(LocateResource(".."));
  EXPECT_FALSE(LocateResource("."));
  EXPECT_FALSE(LocateResource(""));
  EXPECT_FALSE(LocateResource((folder.Outside() / "x.png").string()));
  EXPECT_FALSE(FindBitmapFile("../x.png", 1, 1.0));
  EXPECT_FALSE(IsPlainResourceName("..\\x.png"));
  EXPECT_TRUE(IsPlainResourceName("knob..png"));
}

TEST(LocateResource, FoldersAreNotResources)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  fs::create_directories(folder.Resources() / "knob.png");
  EXPECT_FALSE(LocateResource("knob.png"));
}

TEST(LocateResource, BinaryFolderIsBesideTheRunningProgram)
{
  const fs::path exe = fs::canonical("/proc/self/exe");
  EXPECT_EQ(ResourceFolderBesideBinary(), exe.parent_path() / "resources");
}

TEST(LocateResource, EnvironmentFolderBeforeBinaryFolder)
{
  const fs::path besideBinary = ResourceFolderBesideBinary();
  const bool created = !fs::exists(besideBinary);
  fs::create_directories(besideBinary);
  const std::string name = "umbravox-order-probe-" + std::to_string(getpid()) + ".txt";
  WriteFile(besideBinary / name, "binary");

  TempFolder folder;
  {
    ScopedResourceEnv env(folder.Resources());
    auto found = LocateResource(name);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, besideBinary / name) << "only the binary folder has it yet";

    WriteFile(folder.Resources() / name, "environment");
    found = LocateResource(name);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, folder.Resources() / name);
  }
  {
    // A folder that does not exist is skipped, not an error.
    ScopedResourceEnv env(folder.Outside() / "no-such-folder");
    const auto found = LocateResource(name);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, besideBinary / name);
  }

  fs::remove(besideBinary / name);
  if (created) fs::remove(besideBinary);
}

TEST(LocateResource, BuildTreeFontReachable)
{
  // The test program points the lookup at the build tree's resources/, where the build copies
  // the editor's default face.
  const auto path = LocateResource("Roboto-Regular.ttf");
  const char* folder = std::getenv("UMBRAVOX_RESOURCES");
  ASSERT_TRUE(path) << "UMBRAVOX_RESOURCES=" << (folder ? folder : "(unset)");
  const auto bytes = ReadResourceBytes(*path);
  ASSERT_GE(bytes.size(), 4u);
  // The TrueType outline tag 0x00010000.
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0x01);
  EXPECT_EQ(bytes[2], 0x00);
  EXPECT_EQ(bytes[3], 0x00);
}

TEST(ReadResourceBytes, WholeFileOrNothing)
{
  TempFolder folder;
  const std::string content("\x00\x01\xff\x7f" "font", 8);
  WriteFile(folder.Resources() / "f.ttf", content);
  const auto bytes = ReadResourceBytes(folder.Resources() / "f.ttf");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
  EXPECT_TRUE(ReadResourceBytes(folder.Resources() / "absent.ttf").empty());
}

// ---------------------------------------------------------------------------------------------
// The (name, scale) cache

namespace {

struct Counted {
  explicit Counted(int v, int* destroyed) : value(v), mDestroyed(destroyed) {}
  ~Counted() { ++*mDestroyed; }
  int value;
  int* mDestroyed;
};

} // namespace

TEST(StaticStorage, KeyStringAndHash)
{
  EXPECT_EQ(StaticStorage<int>::KeyString("knob.png", 2.0), "knob.png-2.0x");
  EXPECT_EQ(StaticStorage<int>::KeyString("knob.png", 1.5), "knob.png-1.5x");
  EXPECT_EQ(StaticStorage<int>::KeyString("Roboto", 1.0), "Roboto-1.0x");
  EXPECT_EQ(StaticStorage<int>::Hash("knob.png", 2.0),
            static_cast<std::uint64_t>(std::hash<std::string>{}("knob.png-2.0x")));
}

TEST(StaticStorage, FindMatchesNameAndScale)
{
  StaticStorage<int> storage;
  auto access = storage.Lock();
  int* two = access.Add(std::make_unique<int>(2), "knob.png", 2.0);
  int* one = access.Add(std::make_unique<int>(1), "knob.png", 1.0);
  int* other = access.Add(std::make_unique<int>(7), "slider.png", 2.0);
  ASSERT_NE(two, nullptr);

  EXPECT_EQ(access.Find("knob.png", 2.0), two);
  EXPECT_EQ(access.Find("knob.png", 1.0), one);
  EXPECT_EQ(access.Find("slider.png", 2.0), other);
  EXPECT_EQ(access.Find("knob.png", 3.0), nullptr);
  EXPECT_EQ(access.Find("slider.png", 1.0), nullptr);
  EXPECT_EQ(access.Find("knob.PNG", 2.0), nullptr);
  // Scales that print alike ("2.0") are still different keys.
  EXPECT_EQ(access.Find("knob.png", 2.01), nullptr);
  EXPECT_EQ(*access.Find("knob.png", 2.0), 2);
  EXPECT_EQ(access.Size(), 3u);
}

TEST(StaticStorage, FirstMatchingEntryWins)
{
  StaticStorage<int> storage;
  auto access = storage.Lock();
  int* first = access.Add(std::make_unique<int>(1), "knob.png", 2.0);
  access.Add(std::make_unique<int>(2), "knob.png", 2.0);
  EXPECT_EQ(access.Find("knob.png", 2.0), first);
}

TEST(StaticStorage, ResourcesStayPutAndClearDestroysThem)
{
  int destroyed = 0;
  StaticStorage<Counted> storage;
  Counted* firstAdded = nullptr;
  {
    auto access = storage.Lock();
    firstAdded = access.Add(std::make_unique<Counted>(0, &destroyed), "bitmap-0.png", 1.0);
    for (int i = 1; i < 100; ++i)
      access.Add(std::make_unique<Counted>(i, &destroyed), "bitmap-" + std::to_string(i) + ".png",
                 1.0);
  }
  // No eviction and no relocation: the first resource is where it was, a hundred adds later.
  EXPECT_EQ(storage.Lock().Find("bitmap-0.png", 1.0), firstAdded);
  EXPECT_EQ(firstAdded->value, 0);
  EXPECT_EQ(destroyed, 0);

  storage.Lock().Clear();
  EXPECT_EQ(destroyed, 100);
  EXPECT_EQ(storage.Lock().Size(), 0u);
  EXPECT_EQ(storage.Lock().Find("bitmap-0.png", 1.0), nullptr);
}

TEST(StaticStorage, AddingNothingStoresNothing)
{
  StaticStorage<int> storage;
  EXPECT_EQ(storage.Lock().Add(nullptr, "knob.png", 1.0), nullptr);
  EXPECT_EQ(storage.Lock().Size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// The process font cache

TEST(FontDataCache, ReadsTheFileOnce)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  WriteFile(folder.Resources() / "Face.ttf", "face bytes");

  FontDataCache cache;
  const FontData* first = cache.GetOrLoad("Face", "Face.ttf");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::string(first->bytes.begin(), first->bytes.end()), "face bytes");
  EXPECT_EQ(first->faceIndex, 0);

  // The second load must come from the cache: the file is gone.
  fs::remove(folder.Resources() / "Face.ttf");
  const FontData* second = cache.GetOrLoad("Face", "Face.ttf");
  EXPECT_EQ(second, first);
  EXPECT_EQ(std::string(second->bytes.begin(), second->bytes.end()), "face bytes");
  EXPECT_EQ(cache.Size(), 1u);

  // The cache is by identifier: another identifier for the same file needs the file.
  EXPECT_EQ(cache.GetOrLoad("Face Again", "Face.ttf"), nullptr);
  EXPECT_EQ(cache.Find("Face"), first);
}

TEST(FontDataCache, MissingFileIsNotRemembered)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  FontDataCache cache;
  EXPECT_EQ(cache.GetOrLoad("Late", "Late.ttf"), nullptr);
  EXPECT_EQ(cache.Size(), 0u);

  WriteFile(folder.Resources() / "Late.ttf", "late");
  const FontData* late = cache.GetOrLoad("Late", "Late.ttf");
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(late->bytes.size(), 4u);
}

TEST(FontDataCache, RefusesNamesOutsideTheFolder)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  WriteFile(folder.Outside() / "Outside.ttf", "outside");
  FontDataCache cache;
  EXPECT_EQ(cache.GetOrLoad("Outside", "../Outside.ttf"), nullptr);
}

TEST(FontDataCache, ConcurrentLoadsMakeOneEntry)
{
  TempFolder folder;
  ScopedResourceEnv env(folder.Resources());
  WriteFile(folder.Resources() / "Shared.ttf", std::string(64 * 1024, 'f'));

  FontDataCache cache;
  constexpr int kThreads = 8;
  std::vector<const FontData*> results(kThreads, nullptr);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
  {
    threads.emplace_back([&, t] {
      // Start together so that the loads overlap.
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      results[static_cast<std::size_t>(t)] = cache.GetOrLoad("Shared", "Shared.ttf");
    });
  }
  for (auto& thread : threads) thread.join();

  ASSERT_NE(results[0], nullptr);
  for (const FontData* result : results) EXPECT_EQ(result, results[0]);
  EXPECT_EQ(cache.Size(), 1u);
  EXPECT_EQ(results[0]->bytes.size(), 64u * 1024u);
}

TEST(FontDataCache, ProcessCacheLoadsTheBuildTreeFont)
{
  const FontData* roboto =
      FontDataCache::Process().GetOrLoad("Roboto-Regular", "Roboto-Regular.ttf");
  ASSERT_NE(roboto, nullptr);
  EXPECT_GT(roboto->bytes.size(), 1000u);
  EXPECT_EQ(FontDataCache::Process().GetOrLoad("Roboto-Regular", "Roboto-Regular.ttf"), roboto);
}
