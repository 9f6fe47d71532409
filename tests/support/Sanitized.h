#pragma once
// Whether this build runs under AddressSanitizer or ThreadSanitizer, which
// slow every step down many times and change how memory is held: tests that
// measure memory or run at large scale adapt to it.

namespace tessarine::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

} // namespace tessarine::test
