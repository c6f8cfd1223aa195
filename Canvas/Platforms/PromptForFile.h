#pragma once

// Asking the user for a file to open or save, with the desktop's own file chooser. There is no
// toolkit in this framework to build one from, so a chooser program installed on the desktop is
// run (zenity, else kdialog) and waited for; without one the request ends as cancelled. Tests
// and embedders replace the chooser with a hook.

#include <functional>
#include <optional>
#include <string>

namespace umbra::ui {

enum class EFileAction { kOpen, kSave };

struct IFileRequest {
  EFileAction action = EFileAction::kOpen;
  // Where the chooser starts, and the name it suggests (for saving).
  std::string directory;
  std::string fileName;
  // The selectable extensions, space-separated ("fxp wav"; dots and "*." are allowed); empty
  // for any file.
  std::string extensions;
};

// The full path chosen, or none when the user cancelled.
using IFileChooser = std::function<std::optional<std::string>(const IFileRequest&)>;

// Replaces the desktop chooser for every later prompt; an empty function restores it.
void SetFileChooserHook(IFileChooser chooser);

// Asks and waits. fileName and path carry the suggested name and starting directory in, and the
// chosen file's name and directory out; on cancel fileName becomes empty and path is kept. With
// a completion function the result is also handed to it, after the chooser has closed. True
// when a file was chosen.
bool PromptForFile(std::string& fileName, std::string& path, EFileAction action,
                   const std::string& extensions,
                   const std::function<void(const std::string& fileName, const std::string& path)>&
                     completion = {});

// The chooser used when no hook is set: a desktop program, run without a shell. None when the
// user cancelled or no chooser program is installed (said once per process on stderr).
std::optional<std::string> RunDesktopFileChooser(const IFileRequest& request);

} // namespace umbra::ui
