// Audio-only builds: the instance opens no editor (OpenWindow returns null).
#include "UmbravoxEditorHook.h"

namespace umbra {

void InstallUmbravoxEditor(IEffectBase&, const UmbravoxLiveValues&) {}

} // namespace umbra
