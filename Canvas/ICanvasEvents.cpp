// Mouse, wheel and key routing from the platform to the controls.
#include "ICanvas.h"

namespace umbra::ui {

// Not routed yet: every event is dropped as if it hit no control.
void ICanvas::OnMouseDown(const std::vector<IMouseInfo>&) {}
void ICanvas::OnMouseUp(const std::vector<IMouseInfo>&) {}
void ICanvas::OnMouseDrag(const std::vector<IMouseInfo>&) {}
bool ICanvas::OnMouseDblClick(float, float, const IMouseMod&) { return false; }
bool ICanvas::OnMouseOver(float, float, const IMouseMod&) { return false; }
void ICanvas::OnMouseOut() {}
bool ICanvas::OnMouseWheel(float, float, const IMouseMod&, float) { return false; }
bool ICanvas::OnKeyDown(float, float, const IKeyPress&) { return false; }
bool ICanvas::OnKeyUp(float, float, const IKeyPress&) { return false; }
void ICanvas::OnGUIIdle() {}

} // namespace umbra::ui
