#include "core/net/FeedFetcher.h"

#include "core/net/HttpTransfer.h"
#include "core/net/TransferDriver.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tessarine {

namespace {

enum class SlotState { Waiting, Running, Ready, Taken, Dropped };

struct Slot {
    FeedRequest request;
    SlotState state = SlotState::Waiting;
    bool urgent = false; // the consumer waits for it
    FeedResponse response;
};

} // namespace

struct FeedFetcher::Impl {
    FeedFetcherOptions options;
    const std::atomic<bool>* cancel = nullptr;
    std::unique_ptr<TransferDriver> driver;

    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Slot> slots; // references stay valid as it grows
    size_t nextToStart = 0; // every slot before it has started, or needs none
    bool stopping = false;
    std::thread thread;

    // Owned by the network thread.
    struct Active {
        std::unique_ptr<HttpTransfer> transfer;
        size_t index = 0;
        std::unique_ptr<std::string> body; // where the transfer writes; stays put
                                           // when `active` grows
    };
    std::vector<Active> active;
    std::vector<std::unique_ptr<HttpTransfer>> idle;

    bool Cancelled() const { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }
    void Wake() {
        if (driver)
            driver->Wake();
    }
    void Run();
    void StartDue(std::unique_lock<std::mutex>& lock);
    void Start(size_t index, std::unique_lock<std::mutex>& lock);
    size_t IndexOf(const HttpTransfer* transfer) const; // in `active`
    // Hands the end of active[at] to its slot; the transfer is off the driver.
    void Complete(size_t at, std::optional<CURLcode> code, bool cancelled, bool stalled,
                  const std::string& error);
    // Ends active[at] unfinished, as cancelled.
    void Abort(size_t at);
    size_t Held() const; // running plus ready, under the lock
};

size_t FeedFetcher::Impl::Held() const {
    size_t held = active.size();
    for (size_t i = 0; i < slots.size(); ++i)
        if (slots[i].state == SlotState::Ready)
            ++held;
    return held;
}

void FeedFetcher::Impl::Start(size_t index, std::unique_lock<std::mutex>& lock) {
    Slot& slot = slots[index];
    slot.state = SlotState::Running;
    const std::string url = slot.request.url;
    HttpRequest request;
    request.compressed = true;
    request.ifChanged = slot.request.validators;
    lock.unlock();
    Active entry;
    if (!idle.empty()) {
        entry.transfer = std::move(idle.back());
        idle.pop_back();
    } else {
        entry.transfer = std::make_unique<HttpTransfer>(options.http);
    }
    entry.index = index;
    entry.body = std::make_unique<std::string>();
    active.push_back(std::move(entry));
    Active& added = active.back();
    added.transfer->PrepareToString(url, request, *added.body, options.maxBodyBytes);
    const bool ok = driver->Add(*added.transfer);
    lock.lock();
    if (!ok) {
        lock.unlock();
        Complete(active.size() - 1, std::nullopt, false, false, "cannot start the transfer");
        lock.lock();
    }
}

void FeedFetcher::Impl::StartDue(std::unique_lock<std::mutex>& lock) {
    // The ones the consumer waits for first, whatever the limits (all slots
    // still waiting lie from nextToStart on).
    for (size_t i = nextToStart; i < slots.size(); ++i)
        if (slots[i].urgent && slots[i].state == SlotState::Waiting)
            Start(i, lock);
    const size_t connections = static_cast<size_t>(std::max(1, options.connections));
    const size_t window = std::max(connections, static_cast<size_t>(std::max(1, options.window)));
    while (nextToStart < slots.size()) {
        if (slots[nextToStart].state != SlotState::Waiting) {
            ++nextToStart;
            continue;
        }
        if (active.size() >= connections || Held() >= window)
            break;
        Start(nextToStart++, lock);
    }
}

size_t FeedFetcher::Impl::IndexOf(const HttpTransfer* transfer) const {
    for (size_t i = 0; i < active.size(); ++i)
        if (active[i].transfer.get() == transfer)
            return i;
    return active.size();
}

void FeedFetcher::Impl::Abort(size_t at) {
    driver->Remove(*active[at].transfer); // harmless for one that never was added
    Complete(at, std::nullopt, true, false, "");
}

void FeedFetcher::Impl::Complete(size_t at, std::optional<CURLcode> code, bool cancelled,
                                 bool stalled, const std::string& error) {
    Active entry = std::move(active[at]);
    active.erase(active.begin() + static_cast<std::ptrdiff_t>(at));
    FeedResponse response;
    response.result = entry.transfer->Finish(code, cancelled, stalled, error);
    if (response.result.Complete())
        response.body = std::move(*entry.body);
    idle.push_back(std::move(entry.transfer));

    std::lock_guard lock(mutex);
    Slot& slot = slots[entry.index];
    if (slot.state == SlotState::Running) {
        slot.state = SlotState::Ready;
        slot.response = std::move(response);
    }
    arrived.notify_all();
}

void FeedFetcher::Impl::Run() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        if (Cancelled()) {
            // Everything running ends now (the driver ends it at its next
            // step); nothing more starts.
            arrived.notify_all();
        } else {
            // Transfers the consumer dropped end at once.
            for (size_t i = active.size(); i-- > 0;) {
                if (slots[active[i].index].state == SlotState::Dropped) {
                    lock.unlock();
                    Abort(i);
                    lock.lock();
                }
            }
            StartDue(lock);
        }
        lock.unlock();
        for (const TransferDriver::Ended& ended : driver->Step())
            if (const size_t at = IndexOf(ended.transfer); at < active.size())
                Complete(at, ended.code, ended.cancelled, ended.stalled, ended.error);
        lock.lock();
    }
    lock.unlock();
    while (!active.empty())
        Abort(active.size() - 1);
}

FeedFetcher::FeedFetcher(FeedFetcherOptions options, const std::atomic<bool>* cancel)
    : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    impl_->cancel = cancel;
    // The connections of finished transfers stay open for the next ones.
    impl_->driver = std::make_unique<TransferDriver>(
        impl_->options.http, cancel,
        static_cast<long>(std::max(1, impl_->options.connections) + 1));
    if (!impl_->driver->IsOpen())
        return;
    impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
}

FeedFetcher::~FeedFetcher() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->Wake();
    if (impl_->thread.joinable())
        impl_->thread.join();
    // The multi handle goes before the easy handles it drove.
    impl_->driver.reset();
    impl_->idle.clear();
}

bool FeedFetcher::IsOpen() const {
    return impl_->thread.joinable();
}

size_t FeedFetcher::Add(FeedRequest request) {
    size_t index;
    {
        std::lock_guard lock(impl_->mutex);
        index = impl_->slots.size();
        impl_->slots.emplace_back().request = std::move(request);
    }
    impl_->Wake();
    return index;
}

FeedResponse FeedFetcher::Take(size_t index) {
    FeedResponse response;
    std::unique_lock lock(impl_->mutex);
    if (!IsOpen() || index >= impl_->slots.size() ||
        impl_->slots[index].state == SlotState::Taken ||
        impl_->slots[index].state == SlotState::Dropped) {
        response.result.error = IsOpen() ? "no such request" : "HTTP session not open";
        return response;
    }
    Slot& slot = impl_->slots[index];
    if (slot.state == SlotState::Waiting) {
        slot.urgent = true;
        lock.unlock();
        impl_->Wake();
        lock.lock();
    }
    while (slot.state != SlotState::Ready) {
        if (impl_->Cancelled()) {
            response.result.end = HttpEnd::Cancelled;
            return response; // the slot stays; its transfer is ended by the thread
        }
        impl_->arrived.wait_for(lock, std::chrono::milliseconds(kPollSliceMs));
    }
    slot.state = SlotState::Taken;
    response = std::move(slot.response);
    slot.response = {};
    slot.request = {};
    lock.unlock();
    impl_->Wake(); // room in the window
    return response;
}

bool FeedFetcher::WaitReady(size_t index, std::chrono::milliseconds timeout) {
    const Clock& clock = *impl_->options.http.clock;
    const auto until = clock.Now() + timeout;
    std::unique_lock lock(impl_->mutex);
    if (index >= impl_->slots.size())
        return true;
    Slot& slot = impl_->slots[index];
    if (slot.state == SlotState::Waiting && !slot.urgent) {
        slot.urgent = true;
        lock.unlock();
        impl_->Wake();
        lock.lock();
    }
    const auto arrived = [&] {
        return slot.state != SlotState::Waiting && slot.state != SlotState::Running;
    };
    clock.WaitUntil(impl_->arrived, lock, until,
                    [&] { return arrived() || impl_->Cancelled(); });
    return arrived();
}

void FeedFetcher::Drop(size_t index) {
    {
        std::lock_guard lock(impl_->mutex);
        if (index >= impl_->slots.size())
            return;
        Slot& slot = impl_->slots[index];
        if (slot.state == SlotState::Taken)
            return;
        slot.state = SlotState::Dropped;
        slot.response = {};
        slot.request = {};
    }
    impl_->Wake();
}

} // namespace tessarine
