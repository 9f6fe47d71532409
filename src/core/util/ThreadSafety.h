#pragma once
// Attributes for clang's thread-safety analysis (-Wthread-safety): which lock
// guards a field and which lock a function needs. Other compilers ignore them.

#if defined(__clang__)
#define TS_ATTRIBUTE(x) __attribute__((x))
#else
#define TS_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) TS_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY TS_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) TS_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) TS_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) TS_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRED_BEFORE(...) TS_ATTRIBUTE(acquired_before(__VA_ARGS__))
#define EXCLUDES(...) TS_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) TS_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TS_ATTRIBUTE(release_capability(__VA_ARGS__))
#define RETURN_CAPABILITY(x) TS_ATTRIBUTE(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS TS_ATTRIBUTE(no_thread_safety_analysis)
