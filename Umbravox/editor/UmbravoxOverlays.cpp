#include "UmbravoxOverlays.h"

#include <algorithm>
#include <cmath>

#include "ICanvas.h"

namespace umbra {

using ui::ICanvas;
using ui::IColor;
using ui::IColorStop;
using ui::ILambdaControl;
using ui::IPattern;
using ui::IRECT;

namespace overlays {

int& GlowFrame()
{
  static int glowFrame = 0;
  return glowFrame;
}

float& FogTime()
{
  static float fogTime = 0.f;
  return fogTime;
}

int& DustFrame()
{
  static int dustFrame = 0;
  return dustFrame;
}

int& GlitchFrame()
{
  static int frameCount = 0;
  return frameCount;
}

float LevelFactor(float levelDb)
{
  return std::clamp((levelDb + 60.f) / 60.f, 0.f, 1.f);
}

float Hash(float x)
{
  const float v = std::sin(x * 12.9898f + 78.233f) * 43758.546875f;
  return v - std::trunc(v);
}

float GlowAlpha(int frame, float tempoBpm, float m)
{
  const float bps = tempoBpm / 60.f;
  const float t = static_cast<float>(frame) * 0.016f;
  // One breath every four beats.
  const float x = bps * t * 0.25f;
  const float f = x - std::trunc(x);
  const float s = std::sin(2.f * f * 3.14159f);
  return ((s * 0.5f + 0.5f) * 0.08f + 0.1f) * (m * 0.5f + 1.f);
}

GlitchCandidates GlitchCandidateCounts(float m)
{
  return {static_cast<int>(3.f * m) + 3, static_cast<int>(2.f * m) + 1,
          static_cast<int>(8.f * m) + 15};
}

} // namespace overlays

namespace {

// The overlays animate forever at their own per-frame pace; the short looping animation only
// keeps them marked for redrawing every frame.
constexpr int kOverlayAnimationMs = 50;

ILambdaControl* MakeOverlay(const IRECT& bounds, ui::ILambdaDrawFunction draw)
{
  return new ILambdaControl(bounds, std::move(draw), kOverlayAnimationMs, true, true,
                            ui::kNoParameter, true);
}

// The colour's R, G, B at the given opacity, truncated rather than rounded.
IColor At(const IColor& c, float a)
{
  return {static_cast<int32_t>(255.f * std::clamp(a, 0.f, 1.f)), c.R, c.G, c.B};
}

float Load(const std::atomic<float>* value)
{
  return value->load(std::memory_order_relaxed);
}

IRECT Around(float cx, float cy, float w, float h)
{
  return {cx - 0.5f * w, cy - 0.5f * h, cx + 0.5f * w, cy + 0.5f * h};
}

void FillEdge(ICanvas& g, const IColor& c, float alpha, float x1, float y1, float x2, float y2,
              const IRECT& r)
{
  const IPattern pattern = IPattern::CreateLinearGradient(
    x1, y1, x2, y2, {IColorStop(At(c, alpha), 0.f), IColorStop(ui::COLOR_TRANSPARENT, 1.f)});
  g.PathRect(r);
  g.PathFill(pattern);
}

} // namespace

ILambdaControl* CreateHauntedGlowOverlay(const IRECT& bounds, const IColor& color,
                                         std::atomic<float>* tempo,
                                         std::atomic<float>* inputLevel,
                                         std::atomic<float>* outputLevel)
{
  return MakeOverlay(bounds, [color, tempo, inputLevel, outputLevel](ILambdaControl*,
                                                                     ICanvas& g, const IRECT& r) {
    (void)inputLevel; // the glow follows what leaves the plug-in, not what enters it
    const float m = overlays::LevelFactor(Load(outputLevel));
    const int frame = ++overlays::GlowFrame();
    const float a = overlays::GlowAlpha(frame, Load(tempo), m);
    const float cx = r.MW();
    const float cy = r.MH();
    FillEdge(g, color, a, cx, r.T, cx, r.T + 150.f, IRECT(r.L, r.T, r.R, r.T + 150.f));
    FillEdge(g, color, 1.5f * a, cx, r.B, cx, r.B - 200.f, IRECT(r.L, r.B - 200.f, r.R, r.B));
    FillEdge(g, color, 0.7f * a, r.L, cy, r.L + 100.f, cy, IRECT(r.L, r.T, r.L + 100.f, r.B));
    FillEdge(g, color, 0.7f * a, r.R, cy, r.R - 100.f, cy, IRECT(r.R - 100.f, r.T, r.R, r.B));
  });
}

ILambdaControl* CreateDriftingFogOverlay(const IRECT& bounds, const IColor& color1,
                                         const IColor& color2, std::atomic<float>* tempo,
                                         std::atomic<float>* level)
{
  return MakeOverlay(bounds, [color1, color2, tempo, level](ILambdaControl*, ICanvas& g,
                                                           const IRECT& r) {
    // Fog drifts at its own slow pace whatever the tempo, in one colour.
    (void)color2;
    (void)tempo;
    const float m = overlays::LevelFactor(Load(level));
    overlays::FogTime() += 0.016f;
    const float T0 = overlays::FogTime();
    const float W = r.W();
    const float H = r.H();
    const float cx = r.MW();
    const float cy = r.MH();
    const IColor& c = color1;

    for (int k = 0; k < 5; ++k) {
      const float fk = static_cast<float>(k);
      const float z = std::sin(0.08f * T0 + 0.9f * fk) * 0.2f + 0.9f + 0.2f * m;
      const float w = z * (250.f + 60.f * fk);
      const float h = z * (180.f + 40.f * fk);
      const float a =
        (std::sin(0.03f * T0 + 1.5f * fk) * 0.005f + 0.025f + 0.008f * fk) * (1.f + 0.4f * m);
      const float ux = 0.04f + 0.015f * fk;
      const float uy = 0.035f + 0.012f * fk;
      const float ox = std::sin(ux * T0 + 1.7f * fk) * 0.35f +
                       std::sin(0.7f * ux * T0 + 1.3f * fk) * 0.15f;
      const float oy = std::cos(uy * T0 + 2.3f * fk) * 0.25f +
                       std::sin(0.5f * uy * T0 + 0.8f * fk) * 0.15f;
      const float px = cx + W * ox;
      const float py = cy + H * oy;
      g.FillEllipse(At(c, a), Around(px, py, w, h));
      g.FillEllipse(At(c, 0.75f * a), Around(px, py, 0.8f * w, 0.8f * h));
      g.FillEllipse(At(c, 0.5f * a), Around(px, py, 0.6f * w, 0.6f * h));
      g.FillEllipse(At(c, 0.25f * a), Around(px, py, 0.4f * w, 0.4f * h));
    }

    const float mw = 1.f + 0.3f * m;
    for (int j = 0; j < 4; ++j) {
      const float fj = static_cast<float>(j);
      const float p = (0.05f + 0.02f * fj) * T0 + fj * 3.14159f * 0.5f;
      const float q = (0.04f + 0.015f * fj) * T0 + 2.1f * fj;
      const float bx = cx + std::sin(p) * W * 0.4f;
      const float by = cy + std::cos(q) * H * 0.35f;
      const float a = (std::sin(0.05f * T0 + 1.2f * fj) * 0.005f + 0.03f) * mw;
      const float qx = bx + 0.1f * std::cos(0.7f * p) * W;
      const float qy = by + 0.1f * std::sin(0.6f * q) * H;
      const float rx = 80.f + 20.f * std::sin(0.1f * T0 + fj);
      const float ry = 30.f + 10.f * std::sin(0.12f * T0 + 0.7f * fj);
      g.FillEllipse(At(c, a), IRECT(qx - rx, qy - ry, qx + rx, qy + ry));
      g.FillEllipse(At(c, 0.6f * a),
                    IRECT(qx - 1.3f * rx, qy - 0.7f * ry, qx + 1.3f * rx, qy + 0.7f * ry));
    }
  });
}

ILambdaControl* CreateFallingDustOverlay(const IRECT& bounds, const IColor& color1,
                                         const IColor& color2, std::atomic<float>* tempo,
                                         std::atomic<float>* level)
{
  return MakeOverlay(bounds, [color1, color2, tempo, level](ILambdaControl*, ICanvas& g,
                                                           const IRECT& r) {
    (void)color2; // all the dust is one colour
    const float bps = Load(tempo) / 60.f;
    const float m = overlays::LevelFactor(Load(level));
    const int frame = ++overlays::DustFrame();
    const float t = static_cast<float>(frame) * 0.016f;
    const float b = t * bps;
    const float sg = 1.f + 0.3f * m;
    const float ag = 1.f + 0.8f * m;
    const float W = r.W();
    const float H = r.H();
    const IColor& c = color1;

    // Spread the motes over the window with three co-prime strides instead of random draws, so
    // the pattern is the same in every editor and every run.
    int cx = 0, cy = 0, cz = 0;
    for (int n = 0; n < 48; ++n, cx += 73, cy += 137, cz += 211) {
      const float rx = static_cast<float>(cx % 1000) / 1000.f;
      const float ry = static_cast<float>(cy % 1000) / 1000.f;
      const float rz = static_cast<float>(cz % 1000) / 1000.f;
      const float x = r.L + W * rx + 30.f * std::sin((0.2f + 0.3f * ry) * t * bps + 10.f * ry);
      const float y = r.T + std::fmod((10.f + 20.f * ry) * bps * 0.5f * t + rz * H, H);
      float rad = (1.f + 2.f * rx) * sg;
      float a = (std::sin(2.f * b + 20.f * rz) * 0.4f + 0.6f) * (0.08f + 0.12f * ry) * ag;
      if (rx > 0.85f) {
        rad *= 1.5f;
        a *= 2.f;
      }
      g.FillEllipse(At(c, a), IRECT(x - rad, y - rad, x + rad, y + rad));
    }

    const float sg2 = 1.f + 0.2f * m;
    for (int i = 0; i < 10; ++i) {
      const float fi = static_cast<float>(i);
      const float fx = static_cast<float>(89 * i) / 1000.f;
      const float fy = static_cast<float>((167 * i) % 1000) / 1000.f;
      const float x = r.L + W * fx + 50.f * std::sin(0.15f * t * bps + fi);
      const float y = r.T + std::fmod(fy * H + 1.8f * t * bps, H);
      const float rad = (2.f + 2.f * fx) * sg2;
      const float a = std::clamp(std::sin(0.5f * fi + 0.8f * t) * 0.04f + 0.06f, 0.f, 1.f);
      const float d = 2.f * std::sin(fi + 1.5f * t);
      g.FillEllipse(At(c, a), IRECT(x - rad + d, y - 0.7f * rad, x + rad + d, y + 0.7f * rad));
    }
  });
}

ILambdaControl* CreateHauntedGlitchOverlay(const IRECT& bounds, const IColor& color1,
                                           const IColor& color2, std::atomic<float>* tempo,
                                           std::atomic<float>* level)
{
  return MakeOverlay(bounds, [color1, color2, tempo, level](ILambdaControl*, ICanvas& g,
                                                           const IRECT& r) {
    using overlays::Hash;
    const float bps = Load(tempo) / 60.f;
    const float m = overlays::LevelFactor(Load(level));
    const int frame = ++overlays::GlitchFrame();
    const float t = static_cast<float>(frame) * 0.016f;
    const float gain = 0.5f + 0.5f * m;
    const float b = t * bps;
    const float W = r.W();
    const float H = r.H();
    const IColor& c1 = color1;
    const IColor& c2 = color2;
    const overlays::GlitchCandidates n = overlays::GlitchCandidateCounts(m);

    for (int k = 0; k < 8; ++k) {
      const float fk = static_cast<float>(k);
      const float direction = Hash(7.3f * fk) > 0.5f ? 1.f : -1.f;
      const float v = Hash(3.7f * fk);
      const float y =
        r.T + std::fmod(std::fabs(direction * (5.f * v + 2.f) * bps * t + 113.f * fk), H);
      const float a = (std::sin(2.f * b + 0.8f * fk) * 0.05f + 0.06f) * gain;
      g.DrawLine(At(c1, a), r.L, y, r.R, y, nullptr, 1.f);
    }

    // Louder music tears more often (lower threshold) and in more places (more candidates).
    const float tearThreshold = 0.4f - 0.2f * m;
    for (int i = 0; i < n.tears; ++i) {
      const float fi = static_cast<float>(i);
      const float e = Hash(13.7f * fi);
      if (std::sin(10.f * e + (1.f + 0.5f * fi) * b) * std::sin((0.5f + 0.25f * fi) * b) <=
          tearThreshold)
        continue;
      const float x0 = r.L + W * Hash(17.3f * fi + 0.1f * t) * 0.9f;
      const float y0 = r.T + H * Hash(23.7f * fi + 0.1f * t + 100.f) * 0.9f;
      const float w = (30.f + 170.f * Hash(t + fi)) * gain;
      const float h = (2.f + 13.f * Hash(2.f * t + fi)) * gain;
      const IColor c = (i % 2 == 0) ? At(c2, 0.2f * gain) : At(c1, 0.12f * gain);
      g.FillRect(c, IRECT(x0, y0, x0 + w, y0 + h));
    }

    const float verticalThreshold = 0.5f - 0.2f * m;
    for (int i = 0; i < n.verticalTears; ++i) {
      const float fi = static_cast<float>(i);
      if (std::sin((0.5f + 0.25f * fi) * b) * std::sin((0.75f + 0.3f * fi) * b) <=
          verticalThreshold)
        continue;
      const float x = r.L + W * Hash(50.f * fi + 0.5f * t);
      g.DrawLine(At(c2, 0.15f * gain), x, r.T, x + 2.f, r.B, nullptr, 3.f);
    }

    for (int i = 0; i < n.specks; ++i) {
      const float fi = static_cast<float>(i);
      const float x = r.L + W * Hash(97.f * fi + 0.3f * t);
      const float y = r.T + H * Hash(53.f * fi + 0.3f * t + 500.f);
      const float a = (std::sin(0.7f * fi + 4.f * b) * 0.5f + 0.5f) * (0.1f + 0.1f * m);
      g.FillEllipse(At(c1, a), IRECT(x - 2.f, y - 2.f, x + 2.f, y + 2.f));
    }
  });
}

} // namespace umbra
