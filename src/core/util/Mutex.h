#pragma once
// A mutex that clang's thread-safety analysis knows as a lock (the standard
// library's is not annotated). Lock it through MutexLock.

#include "core/util/ThreadSafety.h"

#include <mutex>

namespace tessarine {

class CAPABILITY("mutex") Mutex {
public:
    void Lock() ACQUIRE() { mutex_.lock(); }
    void Unlock() RELEASE() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

} // namespace tessarine
