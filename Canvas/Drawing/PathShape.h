#pragma once

// Follows the path being built, in device pixels, far enough to tell whether it is one
// axis-aligned rectangle or one axis-aligned ellipse (a full turn of an arc, stretched by the
// transform): the shapes the back end fills without the general rasteriser. Anything else makes
// the path "other", and it is filled the general way.

namespace umbra::ui {

class PathShape {
public:
  void Clear() { mState = kEmpty; mPoints = 0; }
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

  void Close()
  {
    if (mState == kLines && mPoints == 4)
      mState = kClosedLines;
    else if (mState == kEllipse)
      mState = kClosedEllipse;
    else if (mState != kEmpty)
      mState = kOther;
  }

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
  enum State { kEmpty, kLines, kClosedLines, kEllipse, kClosedEllipse, kOther };

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
};

} // namespace umbra::ui
