// Replaces the allocator and mutex entry points of this test program so that the audio path can
// be shown to allocate nothing and lock nothing, and runs work under a seccomp filter to show it
// makes no system call. A sanitizer's runtime already owns those entry points: in a sanitized
// build the replacements are left out and the proofs skip themselves (RealtimeGuards.h).
#include "RealtimeGuards.h"

#include <dlfcn.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#if UMBRAVOX_RUNTIME_SANITIZER

namespace umbra::test {

RealtimeCounts CountRealtimeViolations(const std::function<void()>& work)
{
  work();
  return {};
}

bool RunsWithoutSystemCalls(const std::function<void()>&, const std::function<void()>&)
{
  return false;
}

} // namespace umbra::test

#else // no sanitizer

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);
extern "C" void* __libc_memalign(size_t, size_t);

namespace {

thread_local bool tCounting = false;
thread_local umbra::test::RealtimeCounts tCounts;

void NoteAllocation() { if (tCounting) ++tCounts.allocations; }
void NoteFree() { if (tCounting) ++tCounts.frees; }
void NoteLock() { if (tCounting) ++tCounts.locks; }

template <typename Fn>
Fn RealFunction(const char* name)
{
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

void* malloc(size_t size) { NoteAllocation(); return __libc_malloc(size); }
void* calloc(size_t n, size_t size) { NoteAllocation(); return __libc_calloc(n, size); }
void* realloc(void* p, size_t size) { NoteAllocation(); return __libc_realloc(p, size); }
void free(void* p) { if (p) NoteFree(); __libc_free(p); }
void* aligned_alloc(size_t alignment, size_t size) { NoteAllocation(); return __libc_memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size)
{
  NoteAllocation();
  *out = __libc_memalign(alignment, size);
  return *out ? 0 : 12; // ENOMEM
}

int pthread_mutex_lock(pthread_mutex_t* mutex)
{
  NoteLock();
  static auto real = RealFunction<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
  return real(mutex);
}

int pthread_mutex_trylock(pthread_mutex_t* mutex)
{
  NoteLock();
  static auto real = RealFunction<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
  return real(mutex);
}

int pthread_rwlock_rdlock(pthread_rwlock_t* lock)
{
  NoteLock();
  static auto real = RealFunction<int (*)(pthread_rwlock_t*)>("pthread_rwlock_rdlock");
  return real(lock);
}

int pthread_rwlock_wrlock(pthread_rwlock_t* lock)
{
  NoteLock();
  static auto real = RealFunction<int (*)(pthread_rwlock_t*)>("pthread_rwlock_wrlock");
  return real(lock);
}

int pthread_spin_lock(pthread_spinlock_t* lock)
{
  NoteLock();
  static auto real = RealFunction<int (*)(pthread_spinlock_t*)>("pthread_spin_lock");
  return real(lock);
}

} // extern "C"

void* operator new(size_t size)
{
  NoteAllocation();
  if (void* p = __libc_malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { NoteAllocation(); return __libc_malloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { NoteAllocation(); return __libc_malloc(size ? size : 1); }
void operator delete(void* p) noexcept { if (p) NoteFree(); __libc_free(p); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace umbra::test {

RealtimeCounts CountRealtimeViolations(const std::function<void()>& work)
{
  tCounts = {};
  tCounting = true;
  work();
  tCounting = false;
  return tCounts;
}

bool RunsWithoutSystemCalls(const std::function<void()>& prepare, const std::function<void()>& work)
{
  const pid_t child = fork();
  if (child < 0)
    return false;
  if (child == 0)
  {
    prepare();

    // Everything but leaving is fatal from here on.
    sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_exit_group, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_exit, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program = {static_cast<unsigned short>(sizeof(filter) / sizeof(filter[0])), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) != 0)
      _exit(3);

    work();
    syscall(SYS_exit_group, 0);
  }

  int status = 0;
  while (waitpid(child, &status, 0) < 0)
  {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace umbra::test

#endif // no sanitizer
