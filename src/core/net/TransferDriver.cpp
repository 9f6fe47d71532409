#include "core/net/TransferDriver.h"

#include <algorithm>

namespace tessarine {

TransferDriver::TransferDriver(const HttpOptions& options, const std::atomic<bool>* cancel,
                               long maxConnections)
    : options_(options), cancel_(cancel) {
    if (!HttpGlobalInit())
        return;
    multi_ = curl_multi_init();
    if (multi_ != nullptr && maxConnections > 0)
        curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, maxConnections);
}

TransferDriver::~TransferDriver() {
    if (multi_ == nullptr)
        return;
    for (HttpTransfer* transfer : attached_)
        curl_multi_remove_handle(multi_, transfer->Easy());
    curl_multi_cleanup(multi_);
}

bool TransferDriver::Cancelled() const {
    return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed);
}

bool TransferDriver::Add(HttpTransfer& transfer) {
    if (multi_ == nullptr || !transfer.IsOpen() ||
        curl_multi_add_handle(multi_, transfer.Easy()) != CURLM_OK)
        return false;
    attached_.push_back(&transfer);
    return true;
}

void TransferDriver::Remove(HttpTransfer& transfer) {
    const auto it = std::find(attached_.begin(), attached_.end(), &transfer);
    if (it == attached_.end())
        return;
    attached_.erase(it);
    // Removing an unfinished transfer aborts it and closes its connection.
    curl_multi_remove_handle(multi_, transfer.Easy());
}

void TransferDriver::Detach(size_t at, Ended ended, std::vector<Ended>& out) {
    ended.transfer = attached_[at];
    attached_.erase(attached_.begin() + static_cast<std::ptrdiff_t>(at));
    // A finished transfer leaves its connection in the cache for the next
    // request; an unfinished one is aborted.
    curl_multi_remove_handle(multi_, ended.transfer->Easy());
    out.push_back(std::move(ended));
}

std::vector<TransferDriver::Ended> TransferDriver::Step() {
    std::vector<Ended> ended;
    if (multi_ == nullptr)
        return ended;
    // libcurl is driven here rather than by curl_easy_perform so that the
    // cancel flag is seen within one short wait even when the server sends
    // nothing, and so that a stall is measured from the last byte exactly.
    int running = 0;
    const CURLMcode mc = attached_.empty() ? CURLM_OK : curl_multi_perform(multi_, &running);
    if (mc != CURLM_OK) {
        const std::string error = curl_multi_strerror(mc);
        while (!attached_.empty())
            Detach(attached_.size() - 1, {nullptr, std::nullopt, false, false, error}, ended);
        return ended;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        for (size_t i = 0; i < attached_.size(); ++i) {
            if (attached_[i]->Easy() == message->easy_handle) {
                Detach(i, {nullptr, message->data.result, false, false, {}}, ended);
                break;
            }
        }
    }
    if (running == 0) {
        // Nothing runs any more: one still attached has ended without a word.
        while (!attached_.empty())
            Detach(attached_.size() - 1,
                   {nullptr, std::nullopt, false, false, "transfer ended without a result"},
                   ended);
    } else if (Cancelled()) {
        while (!attached_.empty())
            Detach(attached_.size() - 1, {nullptr, std::nullopt, true, false, {}}, ended);
    } else {
        const auto now = options_.clock->Now();
        for (size_t i = attached_.size(); i-- > 0;)
            if (attached_[i]->Stalled(now))
                Detach(i, {nullptr, std::nullopt, false, true, {}}, ended);
    }
    if (!ended.empty())
        return ended;
    if (curl_multi_poll(multi_, nullptr, 0, kPollSliceMs, nullptr) != CURLM_OK) {
        while (!attached_.empty())
            Detach(attached_.size() - 1,
                   {nullptr, std::nullopt, false, false, "waiting for the network failed"},
                   ended);
    }
    return ended;
}

void TransferDriver::Wake() {
    if (multi_ != nullptr)
        curl_multi_wakeup(multi_);
}

} // namespace tessarine
