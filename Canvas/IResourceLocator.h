#pragma once

// Turns resource names into files. A resource name is a plain file name ("knob.png",
// "Roboto-Regular.ttf"); it is looked for in three folders, in this order:
//   1. the folder named by the environment variable UMBRAVOX_RESOURCES, when set;
//   2. resources/ beside the program or plug-in shared object that contains this library (the
//      build tree links it there; an LV2 bundle carries it);
//   3. the installed data folder, found from the binary's own folder as the install laid them
//      out (<bindir>/../<datadir>/umbravox/resources), so an install under any prefix, or one
//      moved elsewhere whole, finds its own files and never another install's.
// Folders that do not exist are skipped; the first folder holding a regular file of that name
// wins. The environment is read on every lookup, so a test or tool may point it elsewhere at
// run time.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace umbra::ui {

// The folders searched, in order, that exist right now.
std::vector<std::filesystem::path> ResourceFolders();

// Every folder the search would try, in order, whether or not it exists: for telling a user
// where the files were looked for.
std::vector<std::filesystem::path> ResourceSearchPath();

// The resources/ folder beside the file this library was loaded from (the executable, or the
// plug-in shared object when the library is linked into one), whether or not it exists.
std::filesystem::path ResourceFolderBesideBinary();

// A name with a path separator, or "." or "..", is refused: names never reach outside the
// resource folders.
bool IsPlainResourceName(std::string_view name);

std::optional<std::filesystem::path> LocateResource(std::string_view name);

// The whole file, or nothing when it cannot be read. Fonts are handed to the back end as bytes.
std::vector<std::uint8_t> ReadResourceBytes(const std::filesystem::path& path);

// The extension is the text after the last '.'; in lower case it must contain "png", "jpg" or
// "jpeg". A name without '.' has no extension and is refused.
bool BitmapExtensionSupported(std::string_view name);

struct BitmapCandidate {
  std::string fileName;
  int scale = 1;
};

// The files to try for a bitmap, in order: the target scale first, then 3, then downwards to 1,
// skipping the target scale. Scale 1 is the name itself; scale n > 1 is the base name, "@nx",
// and the extension with its dot (knob.png at 2 is knob@2x.png). A target scale of 0 means
// ceil(screenScale); targets below 1 are taken as 1.
std::vector<BitmapCandidate> BitmapCandidates(std::string_view name, int targetScale,
                                              double screenScale);

struct BitmapFile {
  std::filesystem::path path;
  int scale = 1;
};

// The first candidate that exists, with the scale it stands for; nothing for an unsupported
// extension or when no candidate exists.
std::optional<BitmapFile> FindBitmapFile(std::string_view name, int targetScale,
                                         double screenScale);

} // namespace umbra::ui
