#pragma once
// The texts both front ends show for the library's facts: a subscription's
// status, a download's state, size and percentage, a message, why something
// failed. Qt-free, in the current language of the string tables; the window
// and the command line word a fact the same way through here.

#include "core/model/DownloadQueue.h"
#include "core/model/LibraryEvents.h"
#include "core/search/PodcastDirectory.h"
#include "core/util/Failure.h"

#include <cstdint>
#include <string>

namespace tessarine {

// A subscription's status cell ("New items found"); empty for Idle and
// unknown codes.
std::string StatusText(int32_t status);
// A download's status cell: "Waiting", "Downloading", "Completed", "Failed".
std::string StateText(DownloadState state);
// A size in the download list's form: under a megabyte as ByteSizeText
// gives it ("512KB"), else megabytes with one decimal ("2.0MB").
std::string SizeText(int64_t bytes);
// A size in the command line's form, in the largest unit it fills: "1023B",
// "512KB", "2.0MB", "3.00GB".
std::string ByteSizeText(int64_t bytes);
// The whole percentage `received` is of `total` (rounded down; 0 when the
// total is not known).
int WholePercent(int64_t received, int64_t total);
// That percentage as shown: "45%".
std::string PercentText(int64_t received, int64_t total);
// A message's text with its arguments in place.
std::string MessageText(const Message& message);
// That text followed by why it happened, when the message carries a reason:
// "Could not open http://host/feed.xml (HTTP status 404 Not Found)". Both
// front ends show failures this way.
std::string MessageWithReason(const Message& message);
// Why something failed, in a few words ("Connection refused",
// "HTTP status 404 Not Found"); empty for no failure.
std::string FailureText(const Failure& failure);

// What the user is told about a search of `directory` (its Name()) for
// `term` that brought no results: nothing found, or why it failed; with
// `withKeys` (a directory asked with the user's key and secret) a 401 or 403
// says that they were not accepted. Empty when there are results.
std::string DirectorySearchText(const std::string& directory, const DirectorySearch& search,
                                const std::string& term, bool withKeys = false);

} // namespace tessarine
