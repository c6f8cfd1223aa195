#pragma once

// The four translucent full-window layers between the background picture and the controls: a
// glow breathing with the host tempo at the window's edges, drifting fog banks, falling dust and
// horizontal glitch artefacts. Each is a looping ILambdaControl that is redrawn every frame and
// never takes the mouse; it reads the plug-in's tempo and levels through the pointers given.

#include <atomic>

#include "Controls/ILambdaControl.h"

namespace umbra {

ui::ILambdaControl* CreateHauntedGlowOverlay(const ui::IRECT& bounds, const ui::IColor& color,
                                             std::atomic<float>* tempo,
                                             std::atomic<float>* inputLevel,
                                             std::atomic<float>* outputLevel);
ui::ILambdaControl* CreateDriftingFogOverlay(const ui::IRECT& bounds, const ui::IColor& color1,
                                             const ui::IColor& color2, std::atomic<float>* tempo,
                                             std::atomic<float>* level);
ui::ILambdaControl* CreateFallingDustOverlay(const ui::IRECT& bounds, const ui::IColor& color1,
                                             const ui::IColor& color2, std::atomic<float>* tempo,
                                             std::atomic<float>* level);
ui::ILambdaControl* CreateHauntedGlitchOverlay(const ui::IRECT& bounds, const ui::IColor& color1,
                                               const ui::IColor& color2,
                                               std::atomic<float>* tempo,
                                               std::atomic<float>* level);

// The pieces of the drawing that tests and tools look at.
namespace overlays {

// The animation counters. Each is a single process-wide value shared by every instance of its
// overlay and advanced once per drawing, so that all open editors move in step with one clock.
int& GlowFrame();
float& FogTime();
int& DustFrame();
int& GlitchFrame();

// How loud the music is, 0 at -60 dB or below to 1 at 0 dB or above.
float LevelFactor(float levelDb);

// A cheap repeatable pseudo-random value in -1..1 that keeps the sign of the sine it comes from.
float Hash(float x);

// The glow's base alpha (at the top edge) at the given frame count, tempo and level factor.
float GlowAlpha(int frame, float tempoBpm, float m);

// How many marks of each kind the glitch considers at level factor m.
struct GlitchCandidates {
  int tears;
  int verticalTears;
  int specks;
};
GlitchCandidates GlitchCandidateCounts(float m);

} // namespace overlays
} // namespace umbra
