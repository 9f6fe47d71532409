#include "ServerProcess.h"

#include "Workloads.h"
#include "support/LoopbackServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

[[noreturn]] void Serve(int portOut, int control) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int status = 0;
    {
        tessarine::test::LoopbackServer server;
        const std::string origin = server.Url("");
        const auto huge = std::make_shared<std::string>(HugeFeedText(origin));
        httplib::Server& http = server.Server();
        http.Get(R"(/blob/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            const size_t size = std::stoull(request.matches[1]);
            response.set_content_provider(
                size, "application/octet-stream",
                [](size_t offset, size_t length, httplib::DataSink& sink) {
                    const std::string& block = BlobBlock();
                    const size_t at = offset % block.size();
                    const size_t n = std::min(length, block.size() - at);
                    return sink.write(block.data() + at, n);
                });
        });
        http.Get(R"(/many/(\d+)\.xml)", [origin](const httplib::Request& request,
                                                  httplib::Response& response) {
            response.set_content(ManyFeedText(origin, std::stoi(request.matches[1])),
                                 "application/rss+xml");
        });
        http.Get(HugeFeedPath(), [huge](const httplib::Request&, httplib::Response& response) {
            response.set_content(*huge, "application/rss+xml");
        });
        server.Start();
        const int port = server.Port();
        if (write(portOut, &port, sizeof port) != sizeof port)
            status = 1;
        close(portOut);
        // Serve until the benchmark closes its end (or ends).
        char byte;
        while (read(control, &byte, 1) > 0) {
        }
        server.Stop();
    }
    _exit(status);
}

} // namespace

ServerProcess::ServerProcess() {
    int portPipe[2], controlPipe[2];
    if (pipe2(portPipe, O_CLOEXEC) != 0 || pipe2(controlPipe, O_CLOEXEC) != 0)
        return;
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        close(portPipe[0]);
        close(controlPipe[1]);
        Serve(portPipe[1], controlPipe[0]);
    }
    close(portPipe[1]);
    close(controlPipe[0]);
    control_ = controlPipe[1];
    int port = 0;
    if (pid_ > 0 && read(portPipe[0], &port, sizeof port) == sizeof port)
        port_ = port;
    close(portPipe[0]);
}

ServerProcess::~ServerProcess() {
    if (control_ >= 0)
        close(control_);
    if (pid_ > 0) {
        int status;
        waitpid(pid_, &status, 0);
    }
}

std::string ServerProcess::Origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

} // namespace bench
