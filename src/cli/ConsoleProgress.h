#pragma once
// What tessarine-cli prints while it works. On a terminal the feed being
// checked and the download under way stand on one line that is redrawn in
// place (a download as a bar with size, percentage and rate); elsewhere one
// line is printed per finished feed and download. Messages go to the error
// stream, one line each, in any mode. Callable from any thread.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace tessarine {

class ConsoleProgress {
public:
    // `out` receives progress and result lines, `err` the messages. Quiet
    // prints messages only.
    ConsoleProgress(std::FILE* out, std::FILE* err, bool terminal, bool quiet, size_t width = 80);

    bool Terminal() const { return terminal_; }
    bool Quiet() const { return quiet_; }

    void FeedStarted(const std::string& label);
    void FeedFinished(const std::string& line);
    void DownloadProgress(const std::string& file, int64_t received, int64_t length,
                          double seconds);
    void DownloadFinished(const std::string& line);
    // A result line of its own (a summary), not redrawn.
    void Line(const std::string& line);
    void Message(std::string_view text);

    // The text on one line: each run of line breaks becomes one blank.
    static std::string OneLine(std::string_view text);
    // "512B", "12KB", "12.3MB", "1.25GB" (binary multiples).
    static std::string ByteSize(int64_t bytes);
    // The in-place line of a download, at most `width` columns:
    //   name [######------]  45%  12.3MB / 27.0MB  1.2MB/s
    // Without a known length the bar and percentage are left out.
    static std::string DownloadLine(const std::string& file, int64_t received, int64_t length,
                                    double seconds, size_t width);
    // `text` cut to at most `width` columns (one per UTF-8 character).
    static std::string Fit(std::string_view text, size_t width);

private:
    void Show(const std::string& line);   // the in-place line
    void Finish(const std::string& line); // a finished line
    void Clear();

    std::mutex mutex_;
    std::FILE* out_;
    std::FILE* err_;
    const bool terminal_;
    const bool quiet_;
    const size_t width_;
    std::string shown_; // the in-place line on the terminal now, or empty
};

} // namespace tessarine
