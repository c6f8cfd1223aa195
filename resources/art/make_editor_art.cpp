// Draws the editor's bitmaps into the build tree's resources folder: the night-scene background
// and the two header icons, each at 1x and 2x. Built and run at build time, so no picture is kept
// in the repository. Every picture is one drawing in logical units scaled to the pixel size, and
// all its "randomness" comes from a fixed-seed generator of our own, so every build paints the
// same pixels.
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;

// SplitMix64: tiny, fast and the same on every platform and standard library.
class Random {
public:
  explicit Random(std::uint64_t seed) : mState(seed) {}

  std::uint64_t Next()
  {
    std::uint64_t z = (mState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in [lo, hi).
  double Range(double lo, double hi)
  {
    return lo + (hi - lo) * static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
  }

private:
  std::uint64_t mState;
};

struct RGB {
  double r, g, b;
};

RGB Byte(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

void Source(cairo_t* cr, RGB c, double a = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

void Stop(cairo_pattern_t* p, double at, RGB c, double a = 1.0)
{
  cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, a);
}

// The palette of the scene: near-black blues and violets, with the editor's pale ghost colour
// (180, 170, 190) and glow purple (120, 80, 160) as the light.
const RGB kSkyTop = Byte(5, 5, 14);
const RGB kSkyMid = Byte(11, 11, 30);
const RGB kSkyLow = Byte(24, 19, 46);
const RGB kSkyFloor = Byte(12, 10, 20);
const RGB kMoon = Byte(206, 204, 226);
const RGB kMoonShade = Byte(150, 148, 178);
const RGB kPale = Byte(180, 170, 190);
const RGB kViolet = Byte(120, 80, 160);
const RGB kSilhouette = Byte(5, 4, 9);
const RGB kFarSilhouette = Byte(13, 11, 22);
const RGB kIconPale = Byte(222, 216, 236);
const RGB kIconInk = Byte(22, 16, 34);

constexpr double kW = 1200.0;
constexpr double kH = 800.0;

// ---------------------------------------------------------------------------------------------
// The background

void Sky(cairo_t* cr)
{
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, kH);
  Stop(sky, 0.00, kSkyTop);
  Stop(sky, 0.45, kSkyMid);
  Stop(sky, 0.78, kSkyLow);
  Stop(sky, 1.00, kSkyFloor);
  cairo_set_source(cr, sky);
  cairo_paint(cr);
  cairo_pattern_destroy(sky);

  // A violet haze low on the horizon, off centre, where the ruin stands.
  cairo_pattern_t* haze = cairo_pattern_create_radial(520, 700, 0, 520, 700, 620);
  Stop(haze, 0.0, kViolet, 0.11);
  Stop(haze, 1.0, kViolet, 0.0);
  cairo_set_source(cr, haze);
  cairo_paint(cr);
  cairo_pattern_destroy(haze);
}

void Stars(cairo_t* cr)
{
  Random rng(0x5EED57A125ull);
  for (int i = 0; i < 170; ++i) {
    const double x = rng.Range(0, kW);
    // Denser high up, thinning towards the horizon.
    const double y = kH * 0.62 * std::pow(rng.Range(0, 1), 1.6);
    const double r = rng.Range(0.35, 1.1);
    const double a = rng.Range(0.10, 0.55) * (1.0 - y / (kH * 0.7));
    Source(cr, rng.Range(0, 1) < 0.3 ? Byte(190, 180, 230) : kPale, a);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    cairo_fill(cr);
  }
  // A few brighter ones with a faint cross of light.
  for (int i = 0; i < 7; ++i) {
    const double x = rng.Range(60, kW - 60);
    const double y = rng.Range(20, 300);
    cairo_pattern_t* g = cairo_pattern_create_radial(x, y, 0, x, y, 5);
    Stop(g, 0.0, kMoon, 0.55);
    Stop(g, 1.0, kMoon, 0.0);
    cairo_set_source(cr, g);
    cairo_arc(cr, x, y, 5, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
  }
}

constexpr double kMoonX = 842.0;
constexpr double kMoonY = 92.0;
constexpr double kMoonR = 40.0;

void Moon(cairo_t* cr)
{
  // The halo, wide and soft so the light seems to wet the clouds around it.
  cairo_pattern_t* halo = cairo_pattern_create_radial(kMoonX, kMoonY, kMoonR * 0.8, kMoonX, kMoonY, 330);
  Stop(halo, 0.00, Byte(150, 140, 200), 0.30);
  Stop(halo, 0.25, Byte(110, 90, 170), 0.12);
  Stop(halo, 1.00, kViolet, 0.0);
  cairo_set_source(cr, halo);
  cairo_paint(cr);
  cairo_pattern_destroy(halo);

  // The disc, lit from the upper left.
  cairo_pattern_t* disc = cairo_pattern_create_radial(kMoonX - 12, kMoonY - 14, 4, kMoonX, kMoonY, kMoonR);
  Stop(disc, 0.0, kMoon);
  Stop(disc, 0.8, Byte(190, 188, 214));
  Stop(disc, 1.0, kMoonShade);
  cairo_set_source(cr, disc);
  cairo_arc(cr, kMoonX, kMoonY, kMoonR, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(disc);

  // Maria: soft grey patches, kept inside the disc.
  cairo_save(cr);
  cairo_arc(cr, kMoonX, kMoonY, kMoonR, 0, 2 * kPi);
  cairo_clip(cr);
  const struct { double dx, dy, rx, ry, a; } maria[] = {
      {-10, -8, 13, 10, 0.22}, {9, 6, 11, 8, 0.18},  {-4, 16, 8, 6, 0.16},
      {16, -15, 6, 5, 0.14},   {-20, 8, 6, 9, 0.12}, {4, -2, 5, 4, 0.12},
  };
  for (const auto& m : maria) {
    cairo_save(cr);
    cairo_translate(cr, kMoonX + m.dx, kMoonY + m.dy);
    cairo_scale(cr, m.rx, m.ry);
    cairo_pattern_t* g = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
    Stop(g, 0.0, Byte(110, 108, 140), m.a);
    Stop(g, 1.0, Byte(110, 108, 140), 0.0);
    cairo_set_source(cr, g);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_restore(cr);
  }
  // The shadowed limb.
  cairo_pattern_t* limb = cairo_pattern_create_linear(kMoonX - kMoonR, kMoonY - kMoonR, kMoonX + kMoonR, kMoonY + kMoonR);
  Stop(limb, 0.45, Byte(40, 30, 80), 0.0);
  Stop(limb, 1.00, Byte(40, 30, 80), 0.45);
  cairo_set_source(cr, limb);
  cairo_paint(cr);
  cairo_pattern_destroy(limb);
  cairo_restore(cr);
}

// One soft horizontal wisp: an ellipse of fading colour.
void Wisp(cairo_t* cr, double x, double y, double rx, double ry, RGB c, double a)
{
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, rx, ry);
  cairo_pattern_t* g = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
  Stop(g, 0.0, c, a);
  Stop(g, 0.6, c, a * 0.45);
  Stop(g, 1.0, c, 0.0);
  cairo_set_source(cr, g);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  cairo_restore(cr);
}

void Clouds(cairo_t* cr)
{
  // Thin streaks drawn across the moon: dark undersides, lit edges nearest the light.
  Random rng(0xC10D5ull);
  const struct { double x, y, len, thick; } streaks[] = {
      {830, 80, 230, 7},  {880, 112, 260, 6}, {760, 128, 200, 5},
      {930, 62, 170, 4},  {640, 150, 260, 7}, {1040, 150, 220, 6},
      {420, 110, 260, 6}, {250, 70, 220, 5},  {120, 160, 260, 8},
  };
  for (const auto& s : streaks) {
    const double near = std::exp(-std::hypot(s.x - kMoonX, s.y - kMoonY) / 260.0);
    for (int k = 0; k < 5; ++k) {
      const double x = s.x + rng.Range(-0.35, 0.35) * s.len;
      const double y = s.y + rng.Range(-0.6, 0.6) * s.thick;
      const double rx = s.len * rng.Range(0.25, 0.45);
      const double ry = s.thick * rng.Range(0.6, 1.1);
      Wisp(cr, x, y + ry * 0.5, rx, ry, Byte(8, 7, 20), 0.35 + 0.25 * near);
      Wisp(cr, x, y - ry * 0.3, rx * 0.9, ry * 0.7, Byte(170, 160, 210), 0.05 + 0.28 * near);
    }
  }
}

// A fog band: a wavy ribbon whose top edge undulates and whose density fades upwards.
void FogBand(cairo_t* cr, std::uint64_t seed, double top, double depth, double alpha, RGB c)
{
  Random rng(seed);
  const double p1 = rng.Range(0, 2 * kPi), p2 = rng.Range(0, 2 * kPi), p3 = rng.Range(0, 2 * kPi);
  const double f1 = rng.Range(1.2, 2.2), f2 = rng.Range(3.0, 5.0), f3 = rng.Range(7.0, 11.0);
  cairo_new_path(cr);
  cairo_move_to(cr, -10, top + depth);
  for (int i = 0; i <= 120; ++i) {
    const double x = -10 + (kW + 20) * i / 120.0;
    const double t = x / kW * 2 * kPi;
    const double y = top + depth * 0.22 * std::sin(f1 * t + p1) + depth * 0.10 * std::sin(f2 * t + p2)
                   + depth * 0.04 * std::sin(f3 * t + p3);
    cairo_line_to(cr, x, y);
  }
  cairo_line_to(cr, kW + 10, top + depth * 1.6);
  cairo_line_to(cr, -10, top + depth * 1.6);
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, top - depth * 0.35, 0, top + depth * 1.6);
  Stop(g, 0.0, c, 0.0);
  Stop(g, 0.35, c, alpha);
  Stop(g, 0.7, c, alpha * 0.6);
  Stop(g, 1.0, c, 0.0);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);

  // Loose wisps along the band so it does not read as a clean stripe.
  for (int i = 0; i < 14; ++i) {
    Wisp(cr, rng.Range(0, kW), top + rng.Range(-0.2, 0.6) * depth, rng.Range(60, 200),
         rng.Range(4, 12), c, alpha * rng.Range(0.6, 1.3));
  }
}

// A dead tree: a tapering trunk splitting into gnarled, thinning branches.
void Branch(cairo_t* cr, Random& rng, double x, double y, double angle, double length, double width,
            int depth)
{
  // Each limb bends in a few short segments so it looks grown rather than ruled.
  const int segments = 4;
  double cx = x, cy = y, a = angle;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (int s = 0; s < segments; ++s) {
    a += rng.Range(-0.22, 0.22);
    const double nx = cx + std::cos(a) * length / segments;
    const double ny = cy - std::sin(a) * length / segments;
    cairo_set_line_width(cr, width * (1.0 - 0.35 * s / segments));
    cairo_move_to(cr, cx, cy);
    cairo_line_to(cr, nx, ny);
    cairo_stroke(cr);
    cx = nx;
    cy = ny;
  }
  if (depth == 0 || width < 0.7) return;
  const int children = rng.Range(0, 1) < 0.35 ? 3 : 2;
  for (int c = 0; c < children; ++c) {
    const double spread = rng.Range(0.3, 0.75) * (c % 2 == 0 ? 1 : -1) + (c == 2 ? rng.Range(-0.2, 0.2) : 0);
    Branch(cr, rng, cx, cy, a + spread, length * rng.Range(0.62, 0.8), width * rng.Range(0.55, 0.7),
           depth - 1);
  }
}

void Tree(cairo_t* cr, std::uint64_t seed, double x, double ground, double height, double width,
          double lean, RGB c)
{
  Random rng(seed);
  Source(cr, c);
  // Roots flaring into the ground, narrowing into the trunk.
  const double flare = width * 2.2;
  cairo_move_to(cr, x - width * 2.2, ground + 4);
  cairo_curve_to(cr, x - width * 0.9, ground - 2, x - width * 0.5, ground - flare * 0.4, x - width * 0.3,
                 ground - flare);
  cairo_line_to(cr, x + width * 0.3, ground - flare);
  cairo_curve_to(cr, x + width * 0.5, ground - flare * 0.4, x + width * 1.0, ground - 2, x + width * 2.4,
                 ground + 4);
  cairo_close_path(cr);
  cairo_fill(cr);
  Branch(cr, rng, x, ground + 2, kPi / 2 + lean, height * 0.42, width, 6);
}

void GroundAndTrees(cairo_t* cr)
{
  // Far layer: low hills and small trees, lighter so they recede into the fog.
  cairo_new_path(cr);
  cairo_move_to(cr, 0, kH);
  cairo_line_to(cr, 0, 700);
  cairo_curve_to(cr, 180, 676, 330, 712, 520, 694);
  cairo_curve_to(cr, 700, 678, 880, 702, 1020, 688);
  cairo_curve_to(cr, 1100, 680, 1160, 690, kW, 684);
  cairo_line_to(cr, kW, kH);
  cairo_close_path(cr);
  Source(cr, kFarSilhouette);
  cairo_fill(cr);
  Tree(cr, 0x7EE1ull, 420, 700, 150, 4.0, 0.12, kFarSilhouette);
  Tree(cr, 0x7EE2ull, 930, 696, 130, 3.5, -0.1, kFarSilhouette);
  Tree(cr, 0x7EE3ull, 1010, 692, 110, 3.0, 0.05, kFarSilhouette);
}

void NearTrees(cairo_t* cr)
{
  // Near layer: big gnarled trees framing the scene at both lower corners.
  Tree(cr, 0xDEAD1ull, 64, 790, 540, 26, -0.14, kSilhouette);
  Tree(cr, 0xDEAD2ull, 178, 790, 300, 12, 0.24, kSilhouette);
  Tree(cr, 0xDEAD3ull, 1128, 790, 580, 28, 0.12, kSilhouette);
  Tree(cr, 0xDEAD4ull, 1012, 790, 280, 11, -0.28, kSilhouette);

  // The near ground, a dark ridge along the lower edge.
  cairo_new_path(cr);
  cairo_move_to(cr, 0, kH);
  cairo_line_to(cr, 0, 768);
  cairo_curve_to(cr, 150, 752, 300, 776, 470, 770);
  cairo_curve_to(cr, 650, 762, 820, 780, 980, 764);
  cairo_curve_to(cr, 1080, 756, 1150, 766, kW, 758);
  cairo_line_to(cr, kW, kH);
  cairo_close_path(cr);
  Source(cr, kSilhouette);
  cairo_fill(cr);
}

// A pointed (gothic) arch: sides from bottom up to the springing line, then two arcs of radius
// larger than half the span, each centred on the far side, meeting in a point.
void PointedArch(cairo_t* cr, double x0, double x1, double spring, double bottom)
{
  const double r = (x1 - x0) * 0.85;
  const double cx = (x0 + x1) / 2;
  const double rise = std::sqrt(r * r - (cx - (x1 - r)) * (cx - (x1 - r)));
  cairo_move_to(cr, x0, bottom);
  cairo_line_to(cr, x0, spring);
  cairo_arc(cr, x0 + r, spring, r, kPi, std::atan2(-rise, cx - (x0 + r)) + 2 * kPi);
  cairo_arc(cr, x1 - r, spring, r, std::atan2(-rise, cx - (x1 - r)), 0);
  cairo_line_to(cr, x1, bottom);
  cairo_close_path(cr);
}

void RuinedWindow(cairo_t* cr)
{
  // The ruin stands a little left of centre; its window glows with the sky behind it.
  const double gx = 380, ground = 772;

  // Light through the empty window.
  cairo_pattern_t* glow = cairo_pattern_create_radial(gx + 80, 560, 10, gx + 80, 560, 260);
  Stop(glow, 0.0, kViolet, 0.22);
  Stop(glow, 1.0, kViolet, 0.0);
  cairo_set_source(cr, glow);
  cairo_arc(cr, gx + 80, 560, 260, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);

  // The wall: a gable whose right side has crumbled away in steps.
  cairo_new_path(cr);
  cairo_move_to(cr, gx - 70, ground);
  cairo_line_to(cr, gx - 70, 500);
  cairo_line_to(cr, gx - 40, 470);
  cairo_line_to(cr, gx + 10, 402);
  cairo_line_to(cr, gx + 60, 356);
  cairo_line_to(cr, gx + 80, 340);  // the gable's apex, with a broken finial
  cairo_line_to(cr, gx + 84, 326);
  cairo_line_to(cr, gx + 90, 330);
  cairo_line_to(cr, gx + 96, 352);
  cairo_line_to(cr, gx + 128, 384);
  cairo_line_to(cr, gx + 140, 412);
  cairo_line_to(cr, gx + 154, 418);
  cairo_line_to(cr, gx + 162, 452);
  cairo_line_to(cr, gx + 178, 470);
  cairo_line_to(cr, gx + 184, 520);
  cairo_line_to(cr, gx + 200, 546);
  cairo_line_to(cr, gx + 204, 606);
  cairo_line_to(cr, gx + 226, 630);
  cairo_line_to(cr, gx + 232, 690);
  cairo_line_to(cr, gx + 262, 712);
  cairo_line_to(cr, gx + 268, ground);
  cairo_close_path(cr);

  // The window opening, cut out of the wall (even-odd).
  PointedArch(cr, gx + 20, gx + 140, 520, 690);
  // A round opening in the gable above the window.
  cairo_new_sub_path(cr);
  cairo_arc(cr, gx + 80, 416, 17, 0, 2 * kPi);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  Source(cr, kSilhouette);
  cairo_fill_preserve(cr);

  // Faint courses of stone where the moonlight grazes the wall, broken at random so the joints
  // stagger like masonry.
  cairo_save(cr);
  cairo_clip(cr);
  Random courses(0x57011Full);
  cairo_set_line_width(cr, 1.0);
  for (double y = 352; y < ground; y += 14) {
    const double shade = 0.10 + 0.10 * (y - 352) / (ground - 352);
    Source(cr, Byte(70, 60, 110), shade);
    cairo_move_to(cr, gx - 80, y);
    cairo_line_to(cr, gx + 280, y);
    cairo_stroke(cr);
    for (double x = gx - 80 + courses.Range(0, 30); x < gx + 280; x += courses.Range(26, 44)) {
      cairo_move_to(cr, x, y);
      cairo_line_to(cr, x, y + 14);
    }
    cairo_stroke(cr);
  }
  // The lit edge facing the moon.
  cairo_pattern_t* rim = cairo_pattern_create_linear(gx + 120, 0, gx + 270, 0);
  Stop(rim, 0.0, kViolet, 0.0);
  Stop(rim, 1.0, kViolet, 0.16);
  cairo_set_source(cr, rim);
  cairo_paint(cr);
  cairo_pattern_destroy(rim);
  cairo_restore(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);

  // Tracery: the mullion, two lancets and a cusped circle, part of it fallen.
  Source(cr, kSilhouette);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_width(cr, 6);
  cairo_move_to(cr, gx + 80, 690);
  cairo_line_to(cr, gx + 80, 560);
  cairo_stroke(cr);
  cairo_set_line_width(cr, 4);
  cairo_new_path(cr);
  PointedArch(cr, gx + 28, gx + 80, 580, 690);
  cairo_stroke(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, gx + 80, 560);
  cairo_line_to(cr, gx + 80, 590);
  cairo_arc(cr, gx + 106, 580, 26, kPi, kPi * 1.55); // the right lancet, broken off
  cairo_stroke(cr);
  cairo_set_line_width(cr, 3.5);
  cairo_arc(cr, gx + 80, 540, 20, kPi * 0.75, kPi * 2.1);
  cairo_stroke(cr);
  // Cross bars in the round opening.
  cairo_set_line_width(cr, 3);
  cairo_move_to(cr, gx + 63, 416);
  cairo_line_to(cr, gx + 97, 416);
  cairo_move_to(cr, gx + 80, 399);
  cairo_line_to(cr, gx + 80, 433);
  cairo_stroke(cr);

  // A sill and rubble at the foot of the wall.
  cairo_rectangle(cr, gx + 14, 688, 132, 7);
  cairo_fill(cr);
  Random rng(0x57011Eull);
  for (int i = 0; i < 16; ++i) {
    const double x = gx + rng.Range(150, 330);
    const double s = rng.Range(5, 14);
    cairo_save(cr);
    cairo_translate(cr, x, ground - s * 0.3 - rng.Range(0, 6));
    cairo_rotate(cr, rng.Range(-0.5, 0.5));
    cairo_rectangle(cr, -s, -s * 0.6, 2 * s, 1.2 * s);
    cairo_restore(cr);
    cairo_fill(cr);
  }
}

// A faint figure drifting in the fog: hooded head, sloping shoulders, a robe that flares and
// dissolves into trailing wisps.
void FigurePath(cairo_t* cr, double k)
{
  // k widens the outline for the soft outer glow.
  cairo_new_path(cr);
  cairo_move_to(cr, 0, -k);
  cairo_curve_to(cr, 16 + k, -k, 21 + k, 16, 18 + k, 36);          // hood, right
  cairo_curve_to(cr, 34 + k, 44, 40 + k, 70, 40 + k, 110);         // shoulder, right
  cairo_curve_to(cr, 42 + k, 170, 62 + k, 220, 84 + k, 262);       // robe swept by the wind
  cairo_curve_to(cr, 60, 250, 50, 276, 30, 262);                   // trailing wisps
  cairo_curve_to(cr, 16, 282, 0, 258, -12, 276);
  cairo_curve_to(cr, -24, 258, -36, 270, -46 - k, 256);
  cairo_curve_to(cr, -40 - k, 200, -40 - k, 150, -36 - k, 104);    // robe, left
  cairo_curve_to(cr, -34 - k, 70, -30 - k, 46, -16 - k, 36);       // shoulder, left
  cairo_curve_to(cr, -21 - k, 16, -16 - k, -k, 0, -k);             // hood, left
  cairo_close_path(cr);
}

void GhostlyFigure(cairo_t* cr)
{
  const double x = 742, top = 424;
  cairo_save(cr);
  cairo_translate(cr, x, top);

  // An aura around the whole figure.
  cairo_save(cr);
  cairo_translate(cr, 0, 90);
  cairo_scale(cr, 0.75, 1.5);
  cairo_pattern_t* aura = cairo_pattern_create_radial(0, 0, 0, 0, 0, 110);
  Stop(aura, 0.0, Byte(170, 160, 220), 0.10);
  Stop(aura, 1.0, Byte(170, 160, 220), 0.0);
  cairo_set_source(cr, aura);
  cairo_arc(cr, 0, 0, 110, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(aura);
  cairo_restore(cr);

  // A wider, fainter outline and then the body, both fading out downwards.
  for (const auto& [grow, alpha] : {std::pair{6.0, 0.07}, std::pair{0.0, 0.20}}) {
    FigurePath(cr, grow);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, 270);
    Stop(body, 0.0, kPale, alpha);
    Stop(body, 0.35, kPale, alpha * 0.6);
    Stop(body, 1.0, kPale, 0.0);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
  }
  // Folds of the robe: faint darker streaks.
  cairo_set_line_width(cr, 2.0);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (const auto& [x0, x1] : {std::pair{-14.0, -22.0}, std::pair{6.0, 20.0}, std::pair{22.0, 48.0}}) {
    cairo_move_to(cr, x0, 60);
    cairo_curve_to(cr, x0, 120, x1, 170, x1 + 6, 230);
    cairo_pattern_t* fold = cairo_pattern_create_linear(0, 60, 0, 230);
    Stop(fold, 0.0, Byte(20, 16, 40), 0.22);
    Stop(fold, 1.0, Byte(20, 16, 40), 0.0);
    cairo_set_source(cr, fold);
    cairo_stroke(cr);
    cairo_pattern_destroy(fold);
  }

  // The face in shadow under the hood, with two faintly glowing eyes.
  cairo_save(cr);
  cairo_translate(cr, 0, 22);
  cairo_scale(cr, 10, 13);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  Source(cr, Byte(10, 8, 20), 0.5);
  cairo_fill(cr);
  for (double ex : {-4.0, 4.0}) {
    cairo_pattern_t* eye = cairo_pattern_create_radial(ex, 21, 0, ex, 21, 3.5);
    Stop(eye, 0.0, Byte(215, 210, 245), 0.55);
    Stop(eye, 1.0, Byte(215, 210, 245), 0.0);
    cairo_set_source(cr, eye);
    cairo_arc(cr, ex, 21, 3.5, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(eye);
  }
  cairo_restore(cr);
}

void Vignette(cairo_t* cr)
{
  cairo_pattern_t* v = cairo_pattern_create_radial(kW / 2, kH * 0.45, kH * 0.35, kW / 2, kH * 0.45, kW * 0.75);
  Stop(v, 0.0, Byte(0, 0, 0), 0.0);
  Stop(v, 1.0, Byte(0, 0, 4), 0.55);
  cairo_set_source(cr, v);
  cairo_paint(cr);
  cairo_pattern_destroy(v);
}

// A fine film-grain so the large gradients neither band nor look sterile.
void Grain(cairo_t* cr)
{
  Random rng(0x6A11Aull);
  for (int i = 0; i < 2400; ++i) {
    const double x = rng.Range(0, kW), y = rng.Range(0, kH);
    const bool light = rng.Range(0, 1) < 0.5;
    Source(cr, light ? kPale : Byte(0, 0, 0), rng.Range(0.02, 0.06));
    cairo_rectangle(cr, x, y, 1.2, 1.2);
    cairo_fill(cr);
  }
}

void DrawBackground(cairo_t* cr)
{
  Sky(cr);
  Stars(cr);
  Moon(cr);
  Clouds(cr);
  FogBand(cr, 0xF061ull, 520, 70, 0.10, Byte(120, 110, 170));
  GroundAndTrees(cr);
  FogBand(cr, 0xF062ull, 640, 60, 0.14, Byte(140, 128, 180));
  RuinedWindow(cr);
  GhostlyFigure(cr);
  FogBand(cr, 0xF063ull, 712, 50, 0.16, Byte(150, 140, 190));
  NearTrees(cr);
  FogBand(cr, 0xF064ull, 760, 40, 0.13, Byte(150, 140, 190));
  Vignette(cr);
  Grain(cr);
}

// ---------------------------------------------------------------------------------------------
// The icons, drawn on a 36-unit square

void DrawGhostIcon(cairo_t* cr)
{
  // A soft violet aura so the pale shape holds against the dark header.
  cairo_pattern_t* aura = cairo_pattern_create_radial(18, 17, 4, 18, 17, 18);
  Stop(aura, 0.0, kViolet, 0.35);
  Stop(aura, 1.0, kViolet, 0.0);
  cairo_set_source(cr, aura);
  cairo_arc(cr, 18, 17, 18, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(aura);

  // The body: a dome over straight sides and a three-lobed wavy hem.
  cairo_new_path(cr);
  cairo_move_to(cr, 7, 29);
  cairo_line_to(cr, 7, 15.5);
  cairo_arc(cr, 18, 15.5, 11, kPi, 2 * kPi);
  cairo_line_to(cr, 29, 29);
  const double hem = 29, lobe = 22.0 / 3.0;
  for (int i = 0; i < 3; ++i) {
    const double x0 = 29 - i * lobe;
    const double x1 = x0 - lobe;
    cairo_curve_to(cr, x0 - lobe * 0.15, hem + 4.2, x1 + lobe * 0.55, hem + 4.2, x1 + lobe * 0.5, hem + 0.8);
    cairo_curve_to(cr, x1 + lobe * 0.45, hem - 1.6, x1 + lobe * 0.1, hem - 1.6, x1, hem);
  }
  cairo_close_path(cr);
  cairo_pattern_t* body = cairo_pattern_create_linear(0, 4, 0, 33);
  Stop(body, 0.0, Byte(240, 236, 250));
  Stop(body, 0.7, kIconPale);
  Stop(body, 1.0, Byte(186, 176, 212));
  cairo_set_source(cr, body);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  Source(cr, Byte(90, 70, 130), 0.8);
  cairo_set_line_width(cr, 0.9);
  cairo_stroke(cr);

  // Two dark oval eyes and a small open mouth.
  Source(cr, kIconInk);
  for (double ex : {13.6, 22.4}) {
    cairo_save(cr);
    cairo_translate(cr, ex, 15.5);
    cairo_scale(cr, 2.2, 3.0);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_fill(cr);
  }
  cairo_save(cr);
  cairo_translate(cr, 18, 22.2);
  cairo_scale(cr, 1.5, 1.9);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  Source(cr, kIconInk, 0.75);
  cairo_fill(cr);
}

void DrawPresetIcon(cairo_t* cr)
{
  // Three list lines with round bullets, in the ghost icon's pale colour and the same aura.
  cairo_pattern_t* aura = cairo_pattern_create_radial(18, 18, 4, 18, 18, 18);
  Stop(aura, 0.0, kViolet, 0.28);
  Stop(aura, 1.0, kViolet, 0.0);
  cairo_set_source(cr, aura);
  cairo_arc(cr, 18, 18, 18, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(aura);

  Source(cr, kIconPale);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 3.0);
  const double ys[] = {10.5, 18, 25.5};
  const double ends[] = {29, 27, 29};
  for (int i = 0; i < 3; ++i) {
    cairo_arc(cr, 8.5, ys[i], 2.4, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_move_to(cr, 14, ys[i]);
    cairo_line_to(cr, ends[i], ys[i]);
    cairo_stroke(cr);
  }
}

// ---------------------------------------------------------------------------------------------

using Drawing = void (*)(cairo_t*);

bool Write(const std::string& path, Drawing draw, double logicalW, double logicalH, int scale)
{
  const int w = static_cast<int>(logicalW) * scale;
  const int h = static_cast<int>(logicalH) * scale;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  draw(cr);
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_editor_art OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const struct {
    const char* name;
    Drawing draw;
    double w, h;
  } pictures[] = {
      {"background_ghost", DrawBackground, kW, kH},
      {"GhostIcon", DrawGhostIcon, 36, 36},
      {"PresetIcon", DrawPresetIcon, 36, 36},
  };
  for (const auto& p : pictures) {
    for (int scale : {1, 2}) {
      const std::string path = dir + "/" + p.name + (scale == 1 ? "" : "@2x") + ".png";
      if (!Write(path, p.draw, p.w, p.h, scale)) {
        std::fprintf(stderr, "make_editor_art: cannot write %s\n", path.c_str());
        return 1;
      }
    }
  }
  return 0;
}
