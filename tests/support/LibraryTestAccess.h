#pragma once
// The library's model and engine for tests that look behind its operations
// (cycles run, saves from another thread). The product has no such door.

#include "core/library/PodcastLibrary.h"

namespace tessarine {

struct PodcastLibraryTestAccess {
    static SharedModel& Model(PodcastLibrary& library) { return library.model_; }
    static UpdateEngine& Engine(PodcastLibrary& library) { return library.engine_; }
};

} // namespace tessarine
