#pragma once

// Follows the path being built, in device pixels, far enough to tell whether it is one
// axis-aligned rectangle, rounded rectangle (four quarter turns, clockwise from the top-left
// corner) or ellipse (a full turn of an arc, stretched by the transform), or one straight
// line: the shapes the back end draws without the general rasteriser. Anything else makes the
// path "other", and it is drawn the general way.

namespace umbra::ui {

class PathShape {
public:
  void Clear()
  {
    mState = kEmpty;
    mPoints = 0;
    mCorners = 0;
  }
  void Other() { mState = kOther; }

  void MoveTo(double x, double y)
  {
    if (mState != kEmpty) {
      mState = kOther;
      return;
    }
    mState = kLines;
    mPoints = 0;
    Add(x, y);
  }

  void LineTo(double x, double y)
  {
    if (mState != kLines || mPoints >= 4) {
      mState = kOther;
      return;
    }
    Add(x, y);
  }

  // A whole clockwise turn around (cx, cy) with half-axes rx, ry, starting at the top.
  void FullTurn(double cx, double cy, double rx, double ry)
  {
    const bool fromCurrent = mState == kLines && mPoints == 1 && Near(mX[0], cx) && Near(mY[0], cy - ry);
    const bool fromNothing = mState == kEmpty;
    if (!fromCurrent && !fromNothing) {
      mState = kOther;
      return;
    }
    mState = kEllipse;
    mX[0] = cx;
    mY[0] = cy;
    mX[1] = rx;
    mY[1] = ry;
  }

  // A clockwise quarter turn starting at angle 270, 0, 90 or 180 (0 at twelve o'clock); the
  // four in this order, after a move to the first one's start, make a rounded rectangle.
  void QuarterTurn(int startAngle, double cx, double cy, double rx, double ry)
  {
    static constexpr int kOrder[4] = {270, 0, 90, 180};
    bool follows = false;
    if (mState == kLines && mPoints == 1)
      follows = startAngle == 270 && Near(mX[0], cx - rx) && Near(mY[0], cy);
    else if (mState == kRound && mCorners < 4)
      follows = startAngle == kOrder[mCorners];
    if (!follows) {
      mState = kOther;
      return;
    }
    if (mState != kRound)
      mCorners = 0;
    mState = kRound;
    mCX[mCorners] = cx;
    mCY[mCorners] = cy;
    mRX[mCorners] = rx;
    mRY[mCorners] = ry;
    ++mCorners;
  }

  void Close()
  {
    if (mState == kLines && mPoints == 4)
      mState = kClosedLines;
    else if (mState == kEllipse)
      mState = kClosedEllipse;
    else if (mState == kRound && mCorners == 4)
      mState = kClosedRound;
    else if (mState != kEmpty)
      mState = kOther;
  }

  // Still on its way to an ellipse or a rounded rectangle (so the arcs so far may never need
  // building as a general path).
  bool BuildingCurvedShape() const { return mState == kEllipse || mState == kRound; }

  // The rectangle [x0, x1) x [y0, y1), when the path is one.
  bool IsRect(double& x0, double& y0, double& x1, double& y1) const
  {
    if (mState != kClosedLines)
      return false;
    const bool horizontalFirst = mY[0] == mY[1] && mX[1] == mX[2] && mY[2] == mY[3] && mX[3] == mX[0];
    const bool verticalFirst = mX[0] == mX[1] && mY[1] == mY[2] && mX[2] == mX[3] && mY[3] == mY[0];
    if (!horizontalFirst && !verticalFirst)
      return false;
    x0 = mX[0] < mX[2] ? mX[0] : mX[2];
    x1 = mX[0] < mX[2] ? mX[2] : mX[0];
    y0 = mY[0] < mY[2] ? mY[0] : mY[2];
    y1 = mY[0] < mY[2] ? mY[2] : mY[0];
    return true;
  }

  // The bounds and the corners' half-axes (top-left, top-right, bottom-right, bottom-left).
  bool IsRoundRect(double& x0, double& y0, double& x1, double& y1, double rx[4], double ry[4]) const
  {
    if (mState != kClosedRound)
      return false;
    x0 = mCX[0] - mRX[0];
    y0 = mCY[0] - mRY[0];
    x1 = mCX[1] + mRX[1];
    y1 = mCY[2] + mRY[2];
    const bool consistent = Near(mCX[3] - mRX[3], x0) && Near(mCY[1] - mRY[1], y0) &&
                            Near(mCX[2] + mRX[2], x1) && Near(mCY[3] + mRY[3], y1);
    const double w = x1 - x0, h = y1 - y0;
    const bool fits = mRX[0] + mRX[1] <= w && mRX[3] + mRX[2] <= w && mRY[0] + mRY[3] <= h &&
                      mRY[1] + mRY[2] <= h;
    for (int i = 0; i < 4; ++i) {
      rx[i] = mRX[i];
      ry[i] = mRY[i];
    }
    return consistent && fits;
  }

  // One straight line from (x0, y0) to (x1, y1).
  bool IsLine(double& x0, double& y0, double& x1, double& y1) const
  {
    if (mState != kLines || mPoints != 2)
      return false;
    x0 = mX[0];
    y0 = mY[0];
    x1 = mX[1];
    y1 = mY[1];
    return true;
  }

  // A closed full turn only: an outline is stroked with a join where an open one has ends.
  bool IsClosedEllipse(double& cx, double& cy, double& rx, double& ry) const
  {
    return mState == kClosedEllipse && IsEllipse(cx, cy, rx, ry);
  }

  bool IsEllipse(double& cx, double& cy, double& rx, double& ry) const
  {
    if (mState != kClosedEllipse && mState != kEllipse)
      return false;
    cx = mX[0];
    cy = mY[0];
    rx = mX[1];
    ry = mY[1];
    return true;
  }

private:
  enum State { kEmpty, kLines, kClosedLines, kEllipse, kClosedEllipse, kRound, kClosedRound, kOther };

  static bool Near(double a, double b) { return a - b < 1e-6 && b - a < 1e-6; }
  void Add(double x, double y)
  {
    mX[mPoints] = x;
    mY[mPoints] = y;
    ++mPoints;
  }

  State mState = kEmpty;
  int mPoints = 0;
  double mX[4] = {};
  double mY[4] = {};
  int mCorners = 0;
  double mCX[4] = {}, mCY[4] = {}, mRX[4] = {}, mRY[4] = {};
};

} // namespace umbra::ui
