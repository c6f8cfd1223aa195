#pragma once

// Whether this translation unit is compiled with a sanitizer that brings its own allocator and
// intercepts locks and system calls (AddressSanitizer, ThreadSanitizer, MemorySanitizer,
// hardware-assisted AddressSanitizer), as the compilers themselves say: whatever flags turned it
// on, the project's options or CXXFLAGS.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || \
    defined(__SANITIZE_HWADDRESS__)
#define UMBRAVOX_RUNTIME_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer) || __has_feature(hwaddress_sanitizer)
#define UMBRAVOX_RUNTIME_SANITIZER 1
#endif
#endif

#ifndef UMBRAVOX_RUNTIME_SANITIZER
#define UMBRAVOX_RUNTIME_SANITIZER 0
#endif
