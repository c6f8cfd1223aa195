// The main run loop, reduced to what the wrapper uses it for: repeating timers. Nothing runs by
// itself; the program's main thread runs the loop (CFRunLoopRunInMode), as a host's does between
// its other work, and due timers fire there.
#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "CFObjects.h"

using namespace umbra::au::cf;

namespace {

using Clock = std::chrono::steady_clock;

struct Timer : Object {
  Timer() : Object(kTypeRunLoopTimer) {}
  ~Timer() override
  {
    if (context.release)
      context.release(context.info);
  }
  CFTimeInterval interval = 0.0;
  CFAbsoluteTime nextFire = 0.0;
  CFRunLoopTimerCallBack callout = nullptr;
  CFRunLoopTimerContext context{};
  bool valid = true;
};

struct RunLoop : Object {
  RunLoop() : Object(kTypeRunLoop) { immortal = true; }
  std::recursive_mutex mutex; // a timer may add or invalidate timers while it fires
  std::vector<Timer*> timers; // each retained while scheduled
};

RunLoop& TheMainRunLoop()
{
  static RunLoop loop;
  return loop;
}

Timer* FromRef(CFRunLoopTimerRef ref)
{
  return AsMutable<Timer>(ref, kTypeRunLoopTimer);
}

// Fires the timers due at now; true when any did.
bool FireDueTimers(RunLoop& loop, CFAbsoluteTime now)
{
  std::lock_guard lock(loop.mutex);
  bool fired = false;
  // A copy: firing may change the list.
  const std::vector<Timer*> timers = loop.timers;
  for (Timer* timer : timers)
  {
    if (!timer->valid || timer->nextFire > now)
      continue;
    CFRetain(reinterpret_cast<CFRunLoopTimerRef>(static_cast<Object*>(timer)));
    timer->nextFire = timer->interval > 0.0 ? std::max(timer->nextFire + timer->interval, now)
                                            : now;
    if (timer->interval <= 0.0)
      timer->valid = false; // fires once
    timer->callout(reinterpret_cast<CFRunLoopTimerRef>(static_cast<Object*>(timer)),
                   timer->context.info);
    fired = true;
    CFRelease(reinterpret_cast<CFRunLoopTimerRef>(static_cast<Object*>(timer)));
  }
  // Timers no longer valid leave the loop, which lets them go.
  for (auto it = loop.timers.begin(); it != loop.timers.end();)
  {
    if ((*it)->valid)
    {
      ++it;
      continue;
    }
    Timer* gone = *it;
    it = loop.timers.erase(it);
    CFRelease(reinterpret_cast<CFRunLoopTimerRef>(static_cast<Object*>(gone)));
  }
  return fired;
}

CFAbsoluteTime NextDue(RunLoop& loop, CFAbsoluteTime limit)
{
  std::lock_guard lock(loop.mutex);
  for (const Timer* timer : loop.timers)
    if (timer->valid)
      limit = std::min(limit, timer->nextFire);
  return limit;
}

bool HasTimers(RunLoop& loop)
{
  std::lock_guard lock(loop.mutex);
  return !loop.timers.empty();
}

} // namespace

extern "C" {

const CFRunLoopMode kCFRunLoopDefaultMode = MakeConstantString("kCFRunLoopDefaultMode");
const CFRunLoopMode kCFRunLoopCommonModes = MakeConstantString("kCFRunLoopCommonModes");

CFAbsoluteTime CFAbsoluteTimeGetCurrent(void)
{
  // Seconds on a clock that never goes back; only differences between readings matter here.
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

CFRunLoopRef CFRunLoopGetMain(void)
{
  return reinterpret_cast<CFRunLoopRef>(static_cast<Object*>(&TheMainRunLoop()));
}

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate,
                                       CFTimeInterval interval, CFOptionFlags, CFIndex,
                                       CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context)
{
  if (!callout)
    return nullptr;
  auto* timer = new Timer;
  timer->interval = interval;
  timer->nextFire = fireDate;
  timer->callout = callout;
  if (context)
  {
    timer->context = *context;
    if (context->retain)
      context->retain(context->info);
  }
  return reinterpret_cast<CFRunLoopTimerRef>(static_cast<Object*>(timer));
}

void CFRunLoopAddTimer(CFRunLoopRef ref, CFRunLoopTimerRef timerRef, CFRunLoopMode)
{
  auto* loop = AsMutable<RunLoop>(ref, kTypeRunLoop);
  Timer* timer = FromRef(timerRef);
  if (!loop || !timer || !timer->valid)
    return;
  std::lock_guard lock(loop->mutex);
  if (std::find(loop->timers.begin(), loop->timers.end(), timer) != loop->timers.end())
    return;
  CFRetain(timerRef);
  loop->timers.push_back(timer);
}

void CFRunLoopTimerInvalidate(CFRunLoopTimerRef ref)
{
  Timer* timer = FromRef(ref);
  if (!timer)
    return;
  RunLoop& loop = TheMainRunLoop();
  std::lock_guard lock(loop.mutex);
  timer->valid = false;
  auto found = std::find(loop.timers.begin(), loop.timers.end(), timer);
  if (found != loop.timers.end())
  {
    loop.timers.erase(found);
    CFRelease(ref);
  }
}

CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode, CFTimeInterval seconds,
                                      Boolean returnAfterSourceHandled)
{
  RunLoop& loop = TheMainRunLoop();
  const CFAbsoluteTime deadline = CFAbsoluteTimeGetCurrent() + std::max(seconds, 0.0);
  for (;;)
  {
    if (!HasTimers(loop))
      return kCFRunLoopRunFinished;
    const bool fired = FireDueTimers(loop, CFAbsoluteTimeGetCurrent());
    if (fired && returnAfterSourceHandled)
      return kCFRunLoopRunHandledSource;
    const CFAbsoluteTime now = CFAbsoluteTimeGetCurrent();
    if (now >= deadline)
      return kCFRunLoopRunTimedOut;
    const CFAbsoluteTime wake = NextDue(loop, deadline);
    if (wake > now)
      std::this_thread::sleep_for(std::chrono::duration<double>(wake - now));
  }
}

} // extern "C"
