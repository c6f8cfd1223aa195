#include "IRECTList.h"

#include <algorithm>

namespace umbra::ui {

namespace {

bool HasArea(const IRECT& r) { return r.W() > 0.f && r.H() > 0.f; }

float Area(const IRECT& r) { return r.W() * r.H(); }

bool Overlap(const IRECT& a, const IRECT& b)
{
  return a.L < b.R && b.L < a.R && a.T < b.B && b.T < a.B;
}

bool ShareWholeEdge(const IRECT& a, const IRECT& b)
{
  const bool stacked = a.L == b.L && a.R == b.R && (a.B == b.T || b.B == a.T);
  const bool sideBySide = a.T == b.T && a.B == b.B && (a.R == b.L || b.R == a.L);
  return stacked || sideBySide;
}

// o is the overlap of r with another member, so it lies inside r. When o spans a whole side of
// r, what is left of r is a single rectangle and r becomes that.
bool ShrinkAway(IRECT& r, const IRECT& o)
{
  const bool fullWidth = o.L == r.L && o.R == r.R;
  const bool fullHeight = o.T == r.T && o.B == r.B;
  if (fullHeight && o.L == r.L)
    r.L = o.R;
  else if (fullHeight && o.R == r.R)
    r.R = o.L;
  else if (fullWidth && o.T == r.T)
    r.T = o.B;
  else if (fullWidth && o.B == r.B)
    r.B = o.T;
  else
    return false;
  return true;
}

// o covers one corner of r: r keeps one part of the rest and the other part is returned. The
// returned part takes the full width of r above or below o's edge; r keeps the strip beside o.
IRECT SplitAtCorner(IRECT& r, const IRECT& o)
{
  IRECT added;
  if (o.L == r.L && o.T == r.T) { // top-left
    added = {o.R, r.T, r.R, o.B};
    r = {r.L, o.B, r.R, r.B};
  }
  else if (o.R == r.R && o.T == r.T) { // top-right
    added = {r.L, r.T, o.L, o.B};
    r = {r.L, o.B, r.R, r.B};
  }
  else if (o.L == r.L && o.B == r.B) { // bottom-left
    added = {r.L, r.T, r.R, o.T};
    r = {o.R, o.T, r.R, r.B};
  }
  else { // bottom-right
    added = {r.L, r.T, r.R, o.T};
    r = {r.L, o.T, o.L, r.B};
  }
  return added;
}

// o crosses r from one side to the opposite one without reaching the other two (two members
// lying across each other like a plus sign): r keeps the part on one side of o, the part on the
// other side is returned.
IRECT SplitAcross(IRECT& r, const IRECT& o)
{
  IRECT added;
  if (o.L == r.L && o.R == r.R) { // o is a horizontal band through r
    added = {r.L, o.B, r.R, r.B};
    r.B = o.T;
  }
  else { // o is a vertical band through r
    added = {o.R, r.T, r.R, r.B};
    r.R = o.L;
  }
  return added;
}

enum class EResolved { kDisjoint, kDropFirst, kDropSecond, kShrunk, kSplit };

// Makes two members disjoint without changing the area they cover together. A split leaves the
// second part of the split member in `added`.
EResolved Resolve(IRECT& a, IRECT& b, IRECT& added)
{
  if (!Overlap(a, b))
    return EResolved::kDisjoint;

  const IRECT o = a.Intersect(b);
  if (o == b)
    return EResolved::kDropSecond;
  if (o == a)
    return EResolved::kDropFirst;
  if (ShrinkAway(a, o) || ShrinkAway(b, o))
    return EResolved::kShrunk;

  // Neither holds the other and the overlap spans no whole side: it is either a corner of both
  // or a band across both. The smaller member is cut, so that the larger stays whole.
  IRECT& r = Area(a) <= Area(b) ? a : b;
  const bool atCorner = (o.L == r.L || o.R == r.R) && (o.T == r.T || o.B == r.B);
  added = atCorner ? SplitAtCorner(r, o) : SplitAcross(r, o);
  return EResolved::kSplit;
}

} // namespace

IRECT IRECTList::Bounds() const
{
  IRECT bounds;
  for (const IRECT& r : mRects)
    bounds = bounds.Union(r);
  return bounds;
}

void IRECTList::PixelAlign(float scale)
{
  for (IRECT& r : mRects)
    r = r.GetPixelAligned(scale);
}

void IRECTList::Optimize()
{
  std::erase_if(mRects, [](const IRECT& r) { return !HasArea(r); });
  RemoveOverlaps();
  MergeNeighbours();
}

void IRECTList::RemoveAt(size_t i)
{
  mRects[i] = mRects.back();
  mRects.pop_back();
}

// Once the scan of member i is done, it overlaps no later member. Resolving a pair only shrinks
// members or cuts them into parts of themselves, which keeps that true for the members already
// scanned; new parts are appended and scanned in turn. Every resolution removes the overlap's
// area from the total and every new edge is an edge the list already had, so the scan ends.
void IRECTList::RemoveOverlaps()
{
  for (size_t i = 0; i < mRects.size(); ++i) {
    for (size_t j = i + 1; j < mRects.size();) {
      IRECT added;
      switch (Resolve(mRects[i], mRects[j], added)) {
      case EResolved::kDisjoint:
      case EResolved::kShrunk:
        ++j;
        break;
      case EResolved::kDropSecond:
        RemoveAt(j);
        break;
      case EResolved::kDropFirst:
        RemoveAt(i);
        j = i + 1;
        break;
      case EResolved::kSplit:
        mRects.push_back(added);
        ++j;
        break;
      }
    }
  }
}

// Joining two disjoint members that share a whole edge covers exactly what they covered, so the
// list stays free of overlaps. A joined member may now share an edge with one scanned before, so
// the scan repeats until a pass joins nothing.
void IRECTList::MergeNeighbours()
{
  bool joined = true;
  while (joined) {
    joined = false;
    for (size_t i = 0; i < mRects.size(); ++i) {
      for (size_t j = i + 1; j < mRects.size();) {
        if (ShareWholeEdge(mRects[i], mRects[j])) {
          mRects[i] = mRects[i].Union(mRects[j]);
          RemoveAt(j);
          joined = true;
        }
        else {
          ++j;
        }
      }
    }
  }
}

} // namespace umbra::ui
