#include "core/update/EnclosureTransfer.h"

#include "core/net/UrlReference.h"
#include "core/util/Strings.h"

#include <cerrno>

namespace tessarine {

EnclosureTransfer::EnclosureTransfer(HttpSession& session, LibraryEvents& events,
                                     const std::atomic<bool>& cancel, size_t row, std::string url,
                                     std::string target, bool replace)
    : session_(session), events_(events), cancel_(cancel), row_(row), url_(std::move(url)),
      target_(std::move(target)), file_(target_), replace_(replace) {}

std::optional<EnclosureTransfer::Result> EnclosureTransfer::Run() {
    partial_ = LoadKept();
    HttpResult result = Fetch();
    if (partial_ == Partial::MustRefetch && !cancel_) {
        // The kept beginning does not fit what the server has now: the whole
        // resource, from the start.
        file_.Discard();
        resume_.reset();
        partial_ = Partial::None;
        result = Fetch();
    }
    const Outcome outcome = End(Decide(result));
    if (cancel_)
        return std::nullopt;
    if (outcome == Outcome::Done) {
        events_.DownloadProgress(row_, received_, length_);
        return Result{Outcome::Done, {}};
    }
    return Result{outcome, Report(result)};
}

EnclosureTransfer::Partial EnclosureTransfer::LoadKept() {
    resume_ = file_.LoadResumeInfo();
    have_ = -1;
    if (resume_ && resume_->url == url_ && MayResume(resume_->validators) && resume_->total > 0)
        have_ = file_.OpenExisting();
    if (resume_ && have_ > 0 && have_ < resume_->total)
        return Partial::Resumed;
    file_.Discard(); // nothing to resume, or nothing that fits
    resume_.reset();
    have_ = -1;
    return Partial::None;
}

HttpResult EnclosureTransfer::Fetch() {
    HttpRequest request;
    if (partial_ == Partial::Resumed) {
        request.resumeFrom = have_;
        request.resumeIf = resume_->validators;
    }
    return session_.Fetch(
        url_, request, [this](const HttpResult& response) { return OnResponse(response); },
        [this](std::string_view chunk) { return OnData(chunk); });
}

bool EnclosureTransfer::OnResponse(const HttpResult& response) {
    if (partial_ == Partial::Resumed && !TakeRange(response))
        return false;
    int64_t offset = 0;
    if (partial_ == Partial::Resumed) {
        length_ = resume_->total;
        offset = have_;
    } else if (!CreateFor(response)) {
        return false;
    }
    received_ = reported_ = offset;
    lastPercent_ = Percent(offset);
    events_.DownloadProgress(row_, received_, length_);
    return true;
}

bool EnclosureTransfer::TakeRange(const HttpResult& response) {
    switch (DecideResume(response, have_, resume_->total)) {
    case ResumeAction::Append:
        // The range is exactly the rest; a body announced otherwise does not
        // carry it.
        if (response.contentLength >= 0 && response.contentLength != resume_->total - have_)
            return Refuse(Refusal::WrongReply, {FailureKind::CutShort});
        return true;
    case ResumeAction::StartOver:
        resume_.reset(); // the whole resource comes with this 200
        partial_ = Partial::None;
        return true;
    case ResumeAction::Refetch:
        partial_ = Partial::MustRefetch;
        return false;
    case ResumeAction::Fail:
        break;
    }
    return Refuse(Refusal::WrongReply,
                  {FailureKind::HttpStatus, response.status, response.reasonPhrase});
}

bool EnclosureTransfer::CreateFor(const HttpResult& response) {
    if (response.status != 200) {
        return Refuse(Refusal::WrongReply,
                      {FailureKind::HttpStatus, response.status, response.reasonPhrase});
    }
    if (response.contentLength == 0) // an empty body is no episode either
        return Refuse(Refusal::WrongReply, {FailureKind::EmptyReply});
    length_ = response.contentLength > 0 ? response.contentLength : 0;
    if (!file_.Create())
        return Refuse(Refusal::FileFailed, FileFailure(errno));
    // What a later attempt needs to ask for the rest.
    const bool resumable =
        MayResume(response.validators) && response.contentLength > 0 &&
        file_.StoreResumeInfo({url_, response.validators, response.contentLength});
    partial_ = resumable ? Partial::Resumable : Partial::Fresh;
    return true;
}

bool EnclosureTransfer::OnData(std::string_view chunk) {
    const auto size = static_cast<int64_t>(chunk.size());
    if (length_ != 0 && size > length_ - received_) // only the announced bytes belong to the file
        return Refuse(Refusal::WrongReply, {FailureKind::CutShort});
    if (!file_.Write(chunk))
        return Refuse(Refusal::FileFailed, FileFailure(errno));
    received_ += size;
    // Told at each whole percent and every 256 KiB, not per chunk.
    const int percent = length_ != 0 ? Percent(received_) : lastPercent_;
    if (percent != lastPercent_ || received_ - reported_ >= (int64_t{1} << 18)) {
        lastPercent_ = percent;
        reported_ = received_;
        events_.DownloadProgress(row_, received_, length_);
    }
    return true;
}

bool EnclosureTransfer::Refuse(Refusal refusal, Failure reason) {
    refusal_ = refusal;
    refused_ = std::move(reason);
    return false;
}

int EnclosureTransfer::Percent(int64_t bytes) const {
    return length_ != 0
               ? static_cast<int>(static_cast<double>(bytes) * 100.0 / static_cast<double>(length_))
               : 0;
}

EnclosureTransfer::Outcome EnclosureTransfer::Decide(const HttpResult& result) const {
    const bool holdsTheResource = partial_ == Partial::Fresh || partial_ == Partial::Resumable ||
                                  partial_ == Partial::Resumed;
    if (refusal_ != Refusal::None || !holdsTheResource)
        return Outcome::Discard;
    // `complete` holds only when at least the announced length arrived; the
    // file must hold exactly that length, or, where none was announced,
    // something at all.
    if (result.opened && result.Complete() && !cancel_ &&
        (length_ != 0 ? received_ == length_ : received_ > 0))
        return Outcome::Done;
    if (partial_ != Partial::Fresh && (result.NetworkFailure() || cancel_))
        return Outcome::KeepPartial;
    return Outcome::Discard;
}

EnclosureTransfer::Outcome EnclosureTransfer::End(Outcome outcome) {
    switch (outcome) {
    case Outcome::Done:
        // Something that took the name meanwhile is kept, and it counts as
        // the enclosure, as a file found there before would.
        if (file_.CommitToTarget(replace_) != PartialFile::Commit::Failed)
            return Outcome::Done;
        Refuse(Refusal::FileFailed, FileFailure(errno)); // the file is gone
        return Outcome::Discard;
    case Outcome::KeepPartial:
        file_.Keep();
        return outcome;
    case Outcome::Discard:
        break;
    }
    file_.Discard();
    return Outcome::Discard;
}

Failure EnclosureTransfer::Report(const HttpResult& result) {
    // Why it failed: what the reply or the file said first, else what ended
    // the request, else a body that came short (or empty, where no length
    // was announced).
    Failure reason = refusal_ != Refusal::None ? refused_ : result.failure;
    if (!reason)
        reason = {length_ != 0 || received_ > 0 ? FailureKind::CutShort : FailureKind::EmptyReply};
    if (!result.opened && !result.Cancelled())
        events_.MessagePosted({Message::Kind::Error, IDS_COULD_NOT_OPEN, {ShownUrl(url_)}, reason});
    else if (refusal_ == Refusal::FileFailed)
        events_.MessagePosted({Message::Kind::Error, IDS_ERROR_CREATING_FILE, {target_}, reason});
    return reason;
}

} // namespace tessarine
