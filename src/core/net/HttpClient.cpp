#include "core/net/HttpClient.h"

#include "core/net/HttpTransfer.h"
#include "core/net/TransferDriver.h"

namespace tessarine {

struct HttpSession::Impl {
    HttpOptions options;
    const std::atomic<bool>* cancel = nullptr;
    std::unique_ptr<HttpTransfer> transfer;
    // The driver's multi handle owns the connection cache, so it outlives
    // requests and is cleaned up before the easy handle, which is never left
    // attached between requests.
    std::unique_ptr<TransferDriver> driver;

    ~Impl() {
        driver.reset();
        transfer.reset();
    }

    bool IsOpen() const { return transfer && transfer->IsOpen() && driver && driver->IsOpen(); }
    HttpResult Run();
};

HttpResult HttpSession::Impl::Run() {
    if (!IsOpen()) {
        HttpResult result =
            transfer ? transfer->Finish(std::nullopt, false, false, "") : HttpResult();
        result.error = "HTTP session not open";
        return result;
    }
    if (driver->Cancelled())
        return transfer->Finish(std::nullopt, true, false, "");
    if (!driver->Add(*transfer))
        return transfer->Finish(std::nullopt, false, false, "cannot start the transfer");
    for (;;) {
        for (const TransferDriver::Ended& ended : driver->Step())
            if (ended.transfer == transfer.get())
                return transfer->Finish(ended.code, ended.cancelled, ended.stalled, ended.error);
    }
}

HttpSession::HttpSession(HttpOptions options, const std::atomic<bool>* cancel)
    : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    impl_->cancel = cancel;
    if (HttpGlobalInit()) {
        impl_->transfer = std::make_unique<HttpTransfer>(impl_->options);
        impl_->driver = std::make_unique<TransferDriver>(impl_->options, cancel);
    }
}

HttpSession::~HttpSession() = default;

bool HttpSession::IsOpen() const {
    return impl_->IsOpen();
}

HttpResult HttpSession::Fetch(const std::string& url, const ResponseFn& onResponse,
                              const DataFn& onData) {
    return Fetch(
        url, HttpRequest{},
        [&onResponse](const HttpResult& response) {
            return onResponse(response.status, response.contentLength);
        },
        onData);
}

HttpResult HttpSession::Fetch(const std::string& url, const HttpRequest& request,
                              const ResponseInfoFn& onResponse, const DataFn& onData) {
    if (impl_->transfer)
        impl_->transfer->Prepare(url, request, onResponse, onData);
    return impl_->Run();
}

HttpResult HttpSession::FetchToString(const std::string& url, std::string& body, int64_t maxBytes) {
    return FetchToString(url, HttpRequest{}, body, maxBytes);
}

HttpResult HttpSession::FetchToString(const std::string& url, const HttpRequest& request,
                                      std::string& body, int64_t maxBytes) {
    body.clear();
    if (impl_->transfer)
        impl_->transfer->PrepareToString(url, request, body, maxBytes);
    return impl_->Run();
}

} // namespace tessarine
