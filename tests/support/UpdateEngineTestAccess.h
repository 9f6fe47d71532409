#pragma once
// What tests and benchmarks reach of an update engine beyond the program's
// own operations: a cycle on the calling thread, a direct queueing, the
// transfer walk, and how many cycles the worker has run.

#include "core/update/UpdateEngine.h"

#include <cstdint>
#include <string>

namespace tessarine {

struct UpdateEngineTestAccess {
    // One cycle on the calling thread, without the end event.
    static CycleResult CheckCycle(UpdateEngine& engine);
    // Queues an enclosure under `fileName` in the folder of `folder` unless
    // that file exists; true when it added an entry and row. Without a file
    // name, the name the URL gives on its own (EnclosureNames).
    static bool QueueDownload(UpdateEngine& engine, const std::string& url,
                              const std::string& folder, std::string fileName = {});
    // Fetches every queued entry whose file is missing, on the calling thread.
    static CycleResult RunDownloads(UpdateEngine& engine);
    // How many cycles the worker has run to their end or cancellation.
    static uint64_t CyclesRun(const UpdateEngine& engine);
};

} // namespace tessarine
