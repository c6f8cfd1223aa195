#include "CairoPathWinding.h"

#include <cstddef>
#include <vector>

namespace umbra::ui {

namespace {

struct Point {
  double x = 0.0;
  double y = 0.0;
};

struct Segment {
  bool curve = false;
  Point c1, c2; // control points of a curve
  Point end;
};

struct Subpath {
  Point start;
  std::vector<Segment> segments;
  bool closed = false;
};

std::vector<Subpath> ReadPath(const cairo_path_t* path)
{
  std::vector<Subpath> subpaths;
  auto point = [](const cairo_path_data_t& d) { return Point{d.point.x, d.point.y}; };
  for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t* d = &path->data[i];
    switch (d->header.type) {
    case CAIRO_PATH_MOVE_TO:
      subpaths.push_back({point(d[1]), {}, false});
      break;
    case CAIRO_PATH_LINE_TO:
      if (subpaths.empty() || subpaths.back().closed)
        subpaths.push_back({point(d[1]), {}, false});
      else
        subpaths.back().segments.push_back({false, {}, {}, point(d[1])});
      break;
    case CAIRO_PATH_CURVE_TO:
      if (subpaths.empty() || subpaths.back().closed)
        subpaths.push_back({point(d[3]), {}, false});
      else
        subpaths.back().segments.push_back({true, point(d[1]), point(d[2]), point(d[3])});
      break;
    case CAIRO_PATH_CLOSE_PATH:
      if (!subpaths.empty())
        subpaths.back().closed = true;
      break;
    }
  }
  return subpaths;
}

// Twice the signed area of the polygon through all points, control points included: close
// enough to tell the direction of any outline a control draws. Positive is clockwise with y down.
double SignedArea(cairo_t* cr, const Subpath& s)
{
  std::vector<Point> pts{s.start};
  for (const Segment& seg : s.segments) {
    if (seg.curve) {
      pts.push_back(seg.c1);
      pts.push_back(seg.c2);
    }
    pts.push_back(seg.end);
  }
  for (Point& p : pts)
    cairo_user_to_device(cr, &p.x, &p.y);
  double area = 0.0;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const Point& a = pts[i];
    const Point& b = pts[(i + 1) % pts.size()];
    area += a.x * b.y - b.x * a.y;
  }
  return area;
}

Subpath Reversed(const Subpath& s)
{
  Subpath r;
  r.closed = s.closed;
  r.start = s.segments.empty() ? s.start : s.segments.back().end;
  for (std::size_t k = s.segments.size(); k-- > 0;) {
    const Segment& seg = s.segments[k];
    const Point previous = k == 0 ? s.start : s.segments[k - 1].end;
    r.segments.push_back({seg.curve, seg.c2, seg.c1, previous});
  }
  return r;
}

void Append(cairo_t* cr, const Subpath& s)
{
  cairo_move_to(cr, s.start.x, s.start.y);
  for (const Segment& seg : s.segments) {
    if (seg.curve)
      cairo_curve_to(cr, seg.c1.x, seg.c1.y, seg.c2.x, seg.c2.y, seg.end.x, seg.end.y);
    else
      cairo_line_to(cr, seg.end.x, seg.end.y);
  }
  if (s.closed)
    cairo_close_path(cr);
}

} // namespace

void SetLastSubpathWinding(cairo_t* cr, bool clockwise)
{
  cairo_path_t* path = cairo_copy_path(cr);
  if (path->status != CAIRO_STATUS_SUCCESS) {
    cairo_path_destroy(path);
    return;
  }
  std::vector<Subpath> subpaths = ReadPath(path);
  cairo_path_destroy(path);

  // A lone move (Cairo adds one after every close) has no direction.
  std::size_t last = subpaths.size();
  while (last > 0 && subpaths[last - 1].segments.empty())
    --last;
  if (last == 0)
    return;
  Subpath& target = subpaths[last - 1];
  const double area = SignedArea(cr, target);
  if (area == 0.0 || (area > 0.0) == clockwise)
    return;
  target = Reversed(target);

  cairo_new_path(cr);
  for (const Subpath& s : subpaths)
    Append(cr, s);
}

} // namespace umbra::ui
