#include "core/net/HttpClient.h"

#include "core/net/HttpTransfer.h"

#include <curl/curl.h>

#include <chrono>

namespace tessarine {

namespace {

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

} // namespace

bool HttpGlobalInit() {
    // A function-local static is initialised exactly once, even when several
    // threads get here at the same time.
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

struct HttpSession::Impl {
    HttpOptions options;
    const std::atomic<bool>* cancel = nullptr;
    std::unique_ptr<HttpTransfer> transfer;
    // The multi handle owns the connection cache, so it outlives requests and
    // is cleaned up before the easy handle, which is never left attached
    // between requests.
    std::unique_ptr<CURLM, MultiDeleter> multi;

    ~Impl() {
        multi.reset();
        transfer.reset();
    }

    bool Cancelled() const { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }
    bool IsOpen() const { return transfer && transfer->IsOpen() && multi; }
    HttpResult Run();
};

HttpResult HttpSession::Impl::Run() {
    if (!IsOpen()) {
        HttpResult result =
            transfer ? transfer->Finish(std::nullopt, false, false, "") : HttpResult();
        result.error = "HTTP session not open";
        return result;
    }
    if (Cancelled())
        return transfer->Finish(std::nullopt, true, false, "");

    CURL* easy = transfer->Easy();
    if (curl_multi_add_handle(multi.get(), easy) != CURLM_OK)
        return transfer->Finish(std::nullopt, false, false, "cannot start the transfer");

    // libcurl is driven here rather than by curl_easy_perform so that the
    // cancel flag is seen within one short wait even when the server sends
    // nothing, and so that a stall is measured from the last byte exactly.
    std::optional<CURLcode> code;
    bool cancelled = false, stalled = false;
    std::string multiError;
    for (;;) {
        int running = 0;
        const CURLMcode mc = curl_multi_perform(multi.get(), &running);
        if (mc != CURLM_OK) {
            multiError = curl_multi_strerror(mc);
            break;
        }
        if (running == 0) {
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                    code = message->data.result;
            }
            if (!code)
                multiError = "transfer ended without a result";
            break;
        }
        if (Cancelled()) {
            cancelled = true;
            break;
        }
        if (transfer->Stalled(options.clock->Now())) {
            stalled = true;
            break;
        }
        if (curl_multi_poll(multi.get(), nullptr, 0, kPollSliceMs, nullptr) != CURLM_OK) {
            multiError = "waiting for the network failed";
            break;
        }
    }
    // Removing an unfinished transfer aborts it and closes its connection;
    // a finished one leaves its connection in the cache for the next request.
    curl_multi_remove_handle(multi.get(), easy);
    return transfer->Finish(code, cancelled, stalled, multiError);
}

HttpSession::HttpSession(HttpOptions options, const std::atomic<bool>* cancel)
    : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    impl_->cancel = cancel;
    if (HttpGlobalInit()) {
        impl_->transfer = std::make_unique<HttpTransfer>(impl_->options);
        impl_->multi.reset(curl_multi_init());
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
