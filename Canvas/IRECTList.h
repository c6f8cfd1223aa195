#pragma once

#include <vector>

#include "ICanvasStructs.h"

namespace umbra::ui {

// The regions to redraw in one frame.
class IRECTList {
public:
  void Add(const IRECT& rect) { mRects.push_back(rect); }
  int Size() const { return static_cast<int>(mRects.size()); }
  const IRECT& Get(int i) const { return mRects[static_cast<size_t>(i)]; }
  void Clear() { mRects.clear(); }

  auto begin() const { return mRects.begin(); }
  auto end() const { return mRects.end(); }

  // The union of all members; the empty rectangle for an empty list.
  IRECT Bounds() const;

  // Snaps every member outwards onto the device pixel grid of the given scale.
  void PixelAlign(float scale);

  // Rewrites the list so that it covers exactly the same area with no two members overlapping,
  // so that no pixel is painted twice in a frame; then joins members that share a whole edge.
  // Members without area are dropped.
  void Optimize();

private:
  void RemoveOverlaps();
  void MergeNeighbours();
  void RemoveAt(size_t i);

  std::vector<IRECT> mRects;
};

} // namespace umbra::ui
