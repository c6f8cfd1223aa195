#include "IResourceLocator.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace umbra::ui {

namespace fs = std::filesystem;

namespace {

// The largest variant suffix an artist delivers (@3x); the search tries it right after the
// target scale, then walks down.
constexpr int kLargestBitmapScale = 3;

fs::path LoadedFromPath()
{
  // dladdr names the object that holds this function: the plug-in's shared object when the
  // library was linked into one and dlopen'd by a host, otherwise the executable. For the
  // executable glibc reports argv[0], which may be relative to a directory the process has
  // since left, so only an absolute answer is trusted.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LoadedFromPath), &info) != 0 && info.dli_fname != nullptr)
  {
    const fs::path reported(info.dli_fname);
    if (reported.is_absolute()) return reported;
  }
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe;
}

bool IsDirectory(const fs::path& folder)
{
  std::error_code ec;
  return !folder.empty() && fs::is_directory(folder, ec);
}

bool IsRegularFile(const fs::path& file)
{
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

std::string Lowered(std::string_view text)
{
  std::string lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lowered;
}

} // namespace

fs::path ResourceFolderBesideBinary()
{
  // The binary does not move while it runs; resolving it once also keeps later lookups free of
  // the dladdr and readlink calls.
  static const fs::path folder = [] {
    const fs::path binary = LoadedFromPath();
    if (binary.empty()) return fs::path();
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(binary, ec);
    return (ec ? binary : resolved).parent_path() / "resources";
  }();
  return folder;
}

std::vector<fs::path> ResourceSearchPath()
{
  std::vector<fs::path> candidates;
  if (const char* fromEnvironment = std::getenv("UMBRAVOX_RESOURCES"))
    candidates.emplace_back(fromEnvironment);
  const fs::path beside = ResourceFolderBesideBinary();
  if (!beside.empty())
  {
    candidates.push_back(beside);
#ifdef UMBRAVOX_INSTALLED_RESOURCES_FROM_BINDIR
    candidates.push_back(
      (beside.parent_path() / UMBRAVOX_INSTALLED_RESOURCES_FROM_BINDIR).lexically_normal());
#endif
  }
  return candidates;
}

std::vector<fs::path> ResourceFolders()
{
  std::vector<fs::path> folders;
  for (fs::path& folder : ResourceSearchPath())
  {
    if (IsDirectory(folder)) folders.push_back(std::move(folder));
  }
  return folders;
}

bool IsPlainResourceName(std::string_view name)
{
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::optional<fs::path> LocateResource(std::string_view name)
{
  if (!IsPlainResourceName(name)) return std::nullopt;
  for (const fs::path& folder : ResourceFolders())
  {
    fs::path file = folder / fs::path(std::string(name));
    if (IsRegularFile(file)) return file;
  }
  return std::nullopt;
}

std::vector<std::uint8_t> ReadResourceBytes(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  const std::streamoff size = in.tellg();
  if (size <= 0) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return {};
  return bytes;
}

bool BitmapExtensionSupported(std::string_view name)
{
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string extension = Lowered(name.substr(dot + 1));
  return extension.find("png") != std::string::npos || extension.find("jpg") != std::string::npos
      || extension.find("jpeg") != std::string::npos;
}

std::vector<BitmapCandidate> BitmapCandidates(std::string_view name, int targetScale,
                                              double screenScale)
{
  if (targetScale == 0)
  {
    // Clamped before the conversion: a nonsense screen scale must not overflow the int.
    const double rounded = std::ceil(screenScale);
    targetScale = rounded >= 1.0 ? static_cast<int>(std::min(rounded, 64.0)) : 1;
  }
  targetScale = std::max(targetScale, 1);

  const std::size_t dot = name.rfind('.');
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot);

  const auto fileName = [&](int scale) {
    if (scale == 1) return std::string(name);
    std::string file(base);
    file += '@';
    file += std::to_string(scale);
    file += 'x';
    file += extension;
    return file;
  };

  std::vector<BitmapCandidate> candidates;
  candidates.push_back({fileName(targetScale), targetScale});
  for (int scale = kLargestBitmapScale; scale >= 1; --scale)
  {
    if (scale != targetScale) candidates.push_back({fileName(scale), scale});
  }
  return candidates;
}

std::optional<BitmapFile> FindBitmapFile(std::string_view name, int targetScale,
                                         double screenScale)
{
  if (!BitmapExtensionSupported(name)) return std::nullopt;
  for (const BitmapCandidate& candidate : BitmapCandidates(name, targetScale, screenScale))
  {
    if (auto path = LocateResource(candidate.fileName))
      return BitmapFile{std::move(*path), candidate.scale};
  }
  return std::nullopt;
}

} // namespace umbra::ui
