#include "core/store/EpisodeLedger.h"

namespace tessarine {

namespace {

std::unordered_map<std::string, Failure> ReadCheckFailures(Database& db) {
    std::unordered_map<std::string, Failure> failures;
    Statement read(db, "SELECT p.url, c.reason_kind, c.reason_detail, c.http_status"
                       " FROM check_result c JOIN podcast p ON p.id = c.podcast_id"
                       " WHERE c.reason_kind <> ''");
    while (read.Step()) {
        Failure failure;
        failure.kind = FailureKindFromName(read.Text(1));
        failure.detail = read.Text(2);
        failure.httpStatus = static_cast<long>(read.Int(3));
        if (failure)
            failures[read.Text(0)] = std::move(failure);
    }
    return failures;
}

} // namespace

// ---- Archives ----

bool EpisodeLedger::RecordedArchive(const std::string& path, FileStamp& stamp, uint64_t& links) {
    std::lock_guard lock(mutex_);
    if (!store_.IsOpen() || !path.starts_with(base_))
        return false;
    Statement read(store_.Db(), "SELECT device, inode, size, modified, changed, links_hash"
                                " FROM archive_memo WHERE file = ?1");
    if (!read.Bind(1, std::string_view(path).substr(base_.size())).Step())
        return false;
    stamp.device = static_cast<uint64_t>(read.Int(0));
    stamp.inode = static_cast<uint64_t>(read.Int(1));
    stamp.size = read.Int(2);
    stamp.modified = read.Int(3);
    stamp.changed = read.Int(4);
    links = static_cast<uint64_t>(read.Int(5));
    return true;
}

void EpisodeLedger::RememberArchive(const std::string& path, const FileStamp& stamp, uint64_t links,
                                    bool current) {
    std::lock_guard lock(mutex_);
    if (!store_.IsOpen() || !path.starts_with(base_))
        return;
    const std::string_view file = std::string_view(path).substr(base_.size());
    if (!current) {
        Statement forget(store_.Db(), "DELETE FROM archive_memo WHERE file = ?1");
        forget.Bind(1, file).Run();
        return;
    }
    Statement put(store_.Db(),
                  "INSERT OR REPLACE INTO archive_memo (file, device, inode, size,"
                  " modified, changed, links_hash) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    put.Bind(1, file)
        .Bind(2, static_cast<int64_t>(stamp.device))
        .Bind(3, static_cast<int64_t>(stamp.inode))
        .Bind(4, stamp.size)
        .Bind(5, stamp.modified)
        .Bind(6, stamp.changed)
        .Bind(7, static_cast<int64_t>(links))
        .Run();
}

// ---- How checks ended ----

void EpisodeLedger::CheckEnded(const std::string& base, const std::string& url, int32_t status,
                               const Failure& failure, std::time_t now) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return;
    const int64_t podcast = PodcastId(url);
    if (podcast == 0)
        return;
    unwrittenChecks_.push_back({podcast, status, failure, now});
    if (now - unwrittenChecks_.front().at >= 1 || now < unwrittenChecks_.front().at)
        WriteCheckResults();
}

void EpisodeLedger::SaveCheckResults() {
    std::lock_guard lock(mutex_);
    WriteCheckResults();
}

void EpisodeLedger::BeginBatch(std::time_t now) {
    if (batch_)
        return;
    batch_ = std::make_unique<Transaction>(store_.Db());
    batchSince_ = now;
    if (batch_->Error())
        batch_.reset();
}

void EpisodeLedger::EndBatch() {
    if (batch_)
        batch_->Commit();
    batch_.reset();
}

void EpisodeLedger::WriteCheckResults() {
    if (!store_.IsOpen()) {
        unwrittenChecks_.clear();
        batch_.reset();
        return;
    }
    if (unwrittenChecks_.empty()) {
        EndBatch();
        return;
    }
    BeginBatch(unwrittenChecks_.front().at);
    Statement put(store_.Db(), "INSERT OR REPLACE INTO check_result (podcast_id, status,"
                               " reason_kind, reason_detail, http_status, checked_at)"
                               " VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    for (const CheckEnd& end : unwrittenChecks_) {
        put.Reset();
        put.Bind(1, end.podcast)
            .Bind(2, int64_t{end.status})
            .Bind(3, end.failure ? FailureKindName(end.failure.kind) : "")
            .Bind(4, end.failure.detail)
            .Bind(5, static_cast<int64_t>(end.failure.httpStatus))
            .Bind(6, static_cast<int64_t>(end.at))
            .Run();
    }
    EndBatch();
    unwrittenChecks_.clear();
}

std::unordered_map<std::string, int32_t> EpisodeLedger::CheckStatuses(const std::string& base) {
    std::lock_guard lock(mutex_);
    std::unordered_map<std::string, int32_t> statuses;
    if (!For(base))
        return statuses;
    WriteCheckResults();
    Statement read(store_.Db(), "SELECT p.url, c.status FROM check_result c JOIN podcast p"
                                " ON p.id = c.podcast_id");
    while (read.Step())
        statuses[read.Text(0)] = static_cast<int32_t>(read.Int(1));
    return statuses;
}

void EpisodeLedger::AddCheckStatuses(const std::string& base,
                                     const std::unordered_map<std::string, int32_t>& statuses) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return;
    EndBatch();
    Transaction transaction(store_.Db());
    for (const auto& [url, status] : statuses) {
        const int64_t podcast = PodcastId(url);
        if (podcast == 0)
            continue;
        Statement put(store_.Db(), "INSERT INTO check_result (podcast_id, status) VALUES (?1, ?2)"
                                   " ON CONFLICT (podcast_id) DO NOTHING");
        put.Bind(1, podcast).Bind(2, int64_t{status}).Run();
    }
    transaction.Commit();
}

std::optional<std::unordered_map<std::string, int32_t>>
EpisodeLedger::PeekCheckStatuses(const std::string& base) {
    EpisodeStore store;
    if (!store.OpenForReading(base))
        return std::nullopt;
    std::unordered_map<std::string, int32_t> statuses;
    Statement read(store.Db(), "SELECT p.url, c.status FROM check_result c JOIN podcast p"
                               " ON p.id = c.podcast_id");
    while (read.Step())
        statuses[read.Text(0)] = static_cast<int32_t>(read.Int(1));
    if (read.Error())
        return std::nullopt;
    return statuses;
}

std::unordered_map<std::string, Failure> EpisodeLedger::CheckFailures(const std::string& base) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return {};
    WriteCheckResults();
    return ReadCheckFailures(store_.Db());
}

std::unordered_map<std::string, Failure> EpisodeLedger::PeekCheckFailures(const std::string& base) {
    EpisodeStore store;
    if (!store.OpenForReading(base))
        return {};
    return ReadCheckFailures(store.Db());
}

std::unordered_map<std::string, SettingValues>
EpisodeLedger::PeekOwnSettings(const std::string& base) {
    std::unordered_map<std::string, SettingValues> settings;
    EpisodeStore store;
    if (!store.OpenForReading(base))
        return settings;
    Statement read(store.Db(), "SELECT p.url, s.key, s.value FROM setting s JOIN podcast p"
                               " ON p.id = s.podcast_id");
    while (read.Step())
        settings[read.Text(0)][read.Text(1)] = read.Text(2);
    return settings;
}

} // namespace tessarine
