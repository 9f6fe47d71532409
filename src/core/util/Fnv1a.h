#pragma once
// 64-bit FNV-1a: the one stable hash behind the names and checks of the
// program's own files (cache entries, check records, file-name tags). It is
// fast and the same on every system and in every version, which stored names
// rely on; it is no protection against someone choosing colliding inputs.

#include <cstdint>
#include <string_view>

namespace tessarine {

inline constexpr uint64_t kFnv1aStart = 0xcbf29ce484222325ULL;

// The hash of `bytes`; with `hash` from an earlier call, of the bytes of both.
constexpr uint64_t Fnv1a(std::string_view bytes, uint64_t hash = kFnv1aStart) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

} // namespace tessarine
