#pragma once
// Shared by the fuzz targets. Each target defines LLVMFuzzerTestOneInput and
// is linked either with libFuzzer (clang, `make fuzz`) or with FuzzMain.cpp,
// a small driver for builds without it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// A property that must hold for every input. A failure aborts, so that either
// driver keeps the input that caused it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace tessarine::fuzz {

inline bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || byte == 127;
}

// A name that can stand for one entry of a folder: not empty, not "." or "..",
// without separators or control characters.
inline bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || IsControl(c))
            return false;
    }
    return true;
}

// Whether `path` names something beneath `base` (which ends with "/"): it
// starts with `base`, and each part after it is a safe entry name.
inline bool StaysInside(std::string_view base, std::string_view path) {
    if (!path.starts_with(base) || path.size() == base.size())
        return false;
    std::string_view rest = path.substr(base.size());
    while (true) {
        const std::size_t slash = rest.find('/');
        if (!IsSafeEntryName(rest.substr(0, slash)))
            return false;
        if (slash == std::string_view::npos)
            return true;
        rest.remove_prefix(slash + 1);
    }
}

// A folder of this process's own for the files a target writes, removed at
// exit.
const std::string& ScratchFolder();

} // namespace tessarine::fuzz
