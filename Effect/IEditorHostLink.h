#pragma once

namespace umbra {

// The host as seen from an editor that lives apart from the audio: a UI shared object whose host
// hears of parameter changes through its own channel (port writes and touch notifications)
// rather than through the plug-in's wrapper. While set on the plug-in, everything the editor
// does to parameters and to its size is told to the link as well, on the editor's thread; a
// restored state or recalled preset is told too, from whatever thread restored it.
class IEditorHostLink {
public:
  virtual ~IEditorHostLink() = default;

  virtual void BeginParamGesture(int paramIdx) = 0;
  virtual void ParamChangedFromEditor(int paramIdx, double normalized) = 0;
  virtual void EndParamGesture(int paramIdx) = 0;
  // The editor asks for a new size of its window, in the platform's units. True when granted.
  virtual bool ResizeEditor(int width, int height) = 0;
  // Every parameter may have changed at once (a preset, a preset file, a state). Any thread.
  virtual void StateRestored() = 0;
};

} // namespace umbra
