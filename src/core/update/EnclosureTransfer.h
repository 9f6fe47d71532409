#pragma once
// One enclosure's transfer into its file.
//
// The body goes to a partial file beside the target, which becomes the
// target only when the transfer completed. Only a 200 carries the enclosure
// (or a 206 with exactly the rest of a kept partial file): an empty 204, a
// redirect without a target or an error page is not kept, nor an empty body,
// nor more or fewer bytes than the reply announced.
//
// A transfer that the network ends (or quitting stops) keeps its partial file
// when the first reply named the whole length and either usable validators
// or none at all; the next attempt then asks for the rest, under the
// condition that the resource is still the same where there are validators,
// and takes the rest only where the reply's range starts at the partial
// file's end and the whole length is the one recorded. Any other failure
// leaves no file, and the next cycle queues the enclosure again.

#include "core/model/LibraryEvents.h"
#include "core/net/HttpClient.h"
#include "core/update/PartialFile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessarine {

class EnclosureTransfer {
public:
    // What became of the transfer's file.
    enum class Outcome {
        Done,        // the file is there under its name
        KeepPartial, // failed; what arrived stays for the next attempt to resume
        Discard,     // failed; nothing stays
    };
    struct Result {
        Outcome outcome = Outcome::Discard;
        Failure reason{}; // why it failed; none when Done
    };

    // The download at `row` of the queue from `url` into `target`; its
    // progress is told to `events`. With `replace` the completed file takes
    // the place of one that is there (a download asked for again).
    EnclosureTransfer(HttpSession& session, LibraryEvents& events, const std::atomic<bool>& cancel,
                      size_t row, std::string url, std::string target, bool replace = false);
    EnclosureTransfer(const EnclosureTransfer&) = delete;
    EnclosureTransfer& operator=(const EnclosureTransfer&) = delete;

    // Runs the transfer, telling a failure's message; none when quitting
    // stopped it (nothing more is told then).
    std::optional<Result> Run();

private:
    // What the partial file is to this transfer.
    enum class Partial {
        None,        // nothing kept to resume, or nothing created for the reply
        Fresh,       // created for a whole reply, without resume information
        Resumable,   // created for a whole reply, its resume information beside it
        Resumed,     // the beginning an earlier attempt kept, continued here
        MustRefetch, // a kept beginning that does not fit what the server has now
    };
    // Why the bytes of the reply were not taken (`refused_` says it as data).
    enum class Refusal {
        None,
        WrongReply, // its status, an empty body, a length that does not add up
        FileFailed, // the partial file could not be created, written or completed
    };

    Partial LoadKept();
    HttpResult Fetch();
    bool OnResponse(const HttpResult& response);
    // A reply to the request for the rest of a kept partial file; false when
    // the request ends here.
    bool TakeRange(const HttpResult& response);
    // A reply for the whole resource: the partial file is created for it.
    bool CreateFor(const HttpResult& response);
    bool OnData(std::string_view chunk);
    bool Refuse(Refusal refusal, Failure reason);
    int Percent(int64_t bytes) const;
    Outcome Decide(const HttpResult& result) const;
    // Commits, keeps or discards the partial file as `outcome` says.
    Outcome End(Outcome outcome);
    // Why the failed transfer failed, with its message where there is one.
    Failure Report(const HttpResult& result);

    HttpSession& session_;
    LibraryEvents& events_;
    const std::atomic<bool>& cancel_;
    const size_t row_;
    const std::string url_;
    const std::string target_;
    PartialFile file_;
    const bool replace_;

    Partial partial_ = Partial::None;
    std::optional<ResumeInfo> resume_; // of the Resumed partial file
    int64_t have_ = -1;                // its size
    Refusal refusal_ = Refusal::None;
    Failure refused_{};
    int64_t length_ = 0;   // the whole length; 0 when none was announced
    int64_t received_ = 0; // bytes in the partial file
    int64_t reported_ = 0; // as last told
    int lastPercent_ = 0;
};

} // namespace tessarine
