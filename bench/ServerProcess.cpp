#include "ServerProcess.h"

#include "Harness.h"
#include "Workloads.h"
#include "support/LoopbackServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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
        // Bytes sent, for benchmark 6: bodies exactly, each response's
        // header block as 200 bytes.
        static std::atomic<int64_t> sent{0};
        constexpr int64_t kHeaderEstimate = 200;
        http.Get(R"(/blob/(\d+))",
                 [](const httplib::Request& request, httplib::Response& response) {
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
        http.Get(R"(/many/(\d+)\.xml)",
                 [origin](const httplib::Request& request, httplib::Response& response) {
                     const std::string text = ManyFeedText(origin, std::stoi(request.matches[1]));
                     sent += kHeaderEstimate + static_cast<int64_t>(text.size());
                     response.set_content(text, "application/rss+xml");
                 });
        // Benchmark 6: what a careful podcast host does.
        http.Get(R"(/v/many/(\d+)\.xml)",
                 [origin](const httplib::Request& request, httplib::Response& response) {
                     const int feed = std::stoi(request.matches[1]);
                     const std::string etag = Format("\"many-%d\"", feed);
                     response.set_header("ETag", etag);
                     response.set_header("Last-Modified", "Wed, 28 Jan 2009 13:24:41 GMT");
                     sent += kHeaderEstimate;
                     if (request.get_header_value("If-None-Match") == etag) {
                         response.status = 304;
                         return;
                     }
                     const std::string text = ManyFeedText(origin, feed);
                     sent += static_cast<int64_t>(text.size());
                     response.set_content(text, "application/rss+xml");
                 });
        http.Get(R"(/small/(\d+)\.xml)",
                 [origin](const httplib::Request& request, httplib::Response& response) {
                     response.set_content(SmallFeedText(origin, std::stoi(request.matches[1])),
                                          "application/rss+xml");
                 });
        http.Get(R"(/ranged/(\d+))",
                 [](const httplib::Request& request, httplib::Response& response) {
                     const size_t size = std::stoull(request.matches[1]);
                     const std::string etag = Format("\"blob-%zu\"", size);
                     response.set_header("ETag", etag);
                     sent += kHeaderEstimate;
                     // Ranges are answered here, not by httplib: the request is the
                     // server's own object.
                     const_cast<httplib::Request&>(request).ranges.clear();
                     size_t from = 0;
                     const std::string range = request.get_header_value("Range");
                     if (range.rfind("bytes=", 0) == 0 && range.back() == '-' &&
                         request.get_header_value("If-Range") == etag) {
                         from = std::stoull(range.substr(6));
                         if (from >= size) {
                             response.status = 416;
                             return;
                         }
                         response.status = 206;
                         response.set_header("Content-Range",
                                             Format("bytes %zu-%zu/%zu", from, size - 1, size));
                     }
                     response.set_content_provider(
                         size - from, "application/octet-stream",
                         [from](size_t offset, size_t length, httplib::DataSink& sink) {
                             const std::string& block = BlobBlock();
                             const size_t at = (from + offset) % block.size();
                             const size_t n = std::min(length, block.size() - at);
                             sent += static_cast<int64_t>(n);
                             return sink.write(block.data() + at, n);
                         });
                 });
        http.Get(kStatsPath, [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::to_string(sent.load()), "text/plain");
        });
        http.Get(std::string(kStatsPath) + "/reset",
                 [](const httplib::Request&, httplib::Response& response) {
                     sent = 0;
                     response.set_content("0", "text/plain");
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

std::string ServerProcess::Origin() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

} // namespace bench
