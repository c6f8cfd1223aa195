#pragma once

// What an LV2 UI host offers the editor, read once from the features it hands to the UI's
// instantiate call. Every feature is optional: absent ones stay null (or 0).

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

namespace umbra {

struct LV2UIHostFeatures {
  // ui:parent: the host's X11 window to embed in (a window id carried in the pointer).
  void* parent = nullptr;
  // ui:resize: tells the host the editor's new size.
  const LV2UI_Resize* resize = nullptr;
  // ui:touch: the start and end of a gesture on a control port.
  const LV2UI_Touch* touch = nullptr;
  // Instance access: the running plug-in's handle, when the host lets the UI reach it.
  void* instance = nullptr;
  // ui:scaleFactor from the host's options (device pixels per logical pixel); 0 when not given.
  float scaleFactor = 0.f;

  static LV2UIHostFeatures Read(const LV2_Feature* const* features);
};

} // namespace umbra
