#pragma once

// Whether the editor's fonts and pictures can be found. Without them the editor would open as an
// empty dark window with no text, so every way of opening it asks first and says why instead.

#include <string>

namespace umbra {

// Empty when every font and picture the layout loads is found; otherwise one line (without a
// program name or newline) naming the first missing file and the folders searched.
std::string MissingEditorResources();

} // namespace umbra
