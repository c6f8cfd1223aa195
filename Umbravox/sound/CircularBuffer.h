#pragma once

#include <algorithm>
#include <vector>

namespace umbra {

// A fixed ring of samples. Indexes wrap modulo the size; callers pass only non-negative ones.
class CircularBuffer {
public:
  explicit CircularBuffer(int size) : mData(static_cast<size_t>(size), 0.0), mSize(size) {}

  void Reset() { std::fill(mData.begin(), mData.end(), 0.0); }
  void Write(int index, double value) { mData[index % mSize] = value; }
  double Read(int index) const { return mData[index % mSize]; }
  void Accumulate(int index, double value) { mData[index % mSize] += value; }
  void Clear(int index) { mData[index % mSize] = 0.0; }

  double* Data() { return mData.data(); }
  const double* Data() const { return mData.data(); }
  int Size() const { return mSize; }

private:
  std::vector<double> mData;
  int mSize;
};

} // namespace umbra
