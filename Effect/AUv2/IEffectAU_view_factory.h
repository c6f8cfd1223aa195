#pragma once

// What hosts ask for the editor: the view factory named in the unit's Cocoa UI property. On
// macOS it is a small Cocoa class answering the view-factory protocol; elsewhere this C++ class
// does the same, with the platform window handle (an X11 window id, or none for a top-level
// window) where the Cocoa class would be given a size.

#include <string>

#include "AUPlatform.h"

namespace umbra {

class IEffectAUViewFactory {
public:
  // pluginName: the description reads "<plug-in name> View".
  explicit IEffectAUViewFactory(const char* pluginName);

  // Asks the unit for its plug-in object (global scope, pointer size); when it answers and the
  // plug-in has a UI, opens its editor in parent and returns the view. None otherwise.
  void* UIViewForAudioUnit(AudioUnit unit, void* parent) const;
  UInt32 InterfaceVersion() const { return 0; }
  const std::string& Description() const { return mDescription; }

private:
  std::string mDescription;
};

} // namespace umbra
