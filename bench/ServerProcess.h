#pragma once
// The loopback server of the transfer and feed benchmarks, in a process of
// its own: its threads and memory then do not count as the program's.

#include <string>
#include <sys/types.h>

namespace bench {

class ServerProcess {
public:
    // Forks the serving process. Call before any thread has been started.
    ServerProcess();
    ~ServerProcess(); // ends the serving process
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool Running() const { return port_ > 0; }
    std::string Origin() const; // "http://127.0.0.1:PORT"
    std::string Url(const std::string& path) const { return Origin() + path; }

private:
    pid_t pid_ = -1;
    int control_ = -1; // closing it tells the server to end
    int port_ = 0;
};

} // namespace bench
