#include "RealTransform.h"

#include <mutex>
#include <new>

namespace umbra {

namespace {
// Hosts make instances on several threads at once; FFTW's planner keeps global state.
std::mutex& PlannerMutex()
{
  static std::mutex mutex;
  return mutex;
}
} // namespace

RealTransform::RealTransform(int size)
  : mSize(size)
{
  std::lock_guard<std::mutex> lock(PlannerMutex());
  mTime = fftwf_alloc_real(static_cast<size_t>(size));
  mBins = fftwf_alloc_complex(static_cast<size_t>(size / 2 + 1));
  if (!mTime || !mBins)
  {
    fftwf_free(mTime);
    fftwf_free(mBins);
    throw std::bad_alloc();
  }
  for (int i = 0; i < size; ++i)
    mTime[i] = 0.f;
  for (int k = 0; k <= size / 2; ++k)
    mBins[k][0] = mBins[k][1] = 0.f;
  // Estimated plans take milliseconds where measured ones take seconds, and give the same
  // plan on every machine of a kind, so a render is the same from one run to the next.
  mForward = fftwf_plan_dft_r2c_1d(size, mTime, mBins, FFTW_ESTIMATE);
  mInverse = fftwf_plan_dft_c2r_1d(size, mBins, mTime, FFTW_ESTIMATE);
}

RealTransform::~RealTransform()
{
  std::lock_guard<std::mutex> lock(PlannerMutex());
  fftwf_destroy_plan(mForward);
  fftwf_destroy_plan(mInverse);
  fftwf_free(mTime);
  fftwf_free(mBins);
}

void RealTransform::Forward()
{
  fftwf_execute_dft_r2c(mForward, mTime, mBins);
}

void RealTransform::Inverse()
{
  fftwf_execute_dft_c2r(mInverse, mBins, mTime);
}

} // namespace umbra
