#include "support/UpdateEngineTestAccess.h"

#include "core/update/EnclosureQueue.h"

#include <utility>

namespace tessarine {

CycleResult UpdateEngineTestAccess::CheckCycle(UpdateEngine& engine) {
    return engine.RunCycle();
}

bool UpdateEngineTestAccess::QueueDownload(UpdateEngine& engine, const std::string& url,
                                           const std::string& folder, std::string fileName) {
    return EnclosureQueue(engine.model_, engine.events_)
        .Add(engine.model_.BaseDirectory(), nullptr, url, folder, std::move(fileName));
}

CycleResult UpdateEngineTestAccess::RunDownloads(UpdateEngine& engine) {
    return engine.RunDownloads();
}

uint64_t UpdateEngineTestAccess::CyclesRun(const UpdateEngine& engine) {
    return engine.cyclesRun_;
}

} // namespace tessarine
