#pragma once
// What tessarine-cli prints while it works. On a terminal the feed being
// checked and the download under way stand on one line that is redrawn in
// place (a download as a bar with size, percentage and rate); elsewhere one
// line is printed per finished feed and download. Messages go to the error
// stream, one line each, in any mode. Callable from any thread.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace tessarine {

class ConsoleProgress {
public:
    // The terminal's width in columns, asked before each redraw (it follows
    // a resize).
    using Width = std::function<size_t()>;

    // `out` receives progress and result lines, `err` the messages. Quiet
    // prints messages and failures only.
    ConsoleProgress(std::FILE* out, std::FILE* err, bool terminal, bool quiet, Width width);
    ConsoleProgress(std::FILE* out, std::FILE* err, bool terminal, bool quiet, size_t width = 80);

    bool Terminal() const { return terminal_; }
    bool Quiet() const { return quiet_; }

    void FeedStarted(const std::string& label);
    void FeedFinished(const std::string& line);
    // `fresh` of the `received` bytes came in this run, in `seconds`: the
    // rate is theirs (a resumed download had the rest on disk already).
    void DownloadProgress(const std::string& file, int64_t received, int64_t length, int64_t fresh,
                          double seconds);
    void DownloadFinished(const std::string& line);
    // A feed or download that failed: a finished line, and under quiet a
    // message.
    void Failed(const std::string& line);
    // A result line of its own (a summary), not redrawn.
    void Line(const std::string& line);
    void Message(std::string_view text);

    // The text on one line: each run of line breaks becomes one blank.
    static std::string OneLine(std::string_view text);
    // "512B", "12KB", "12.3MB", "1.25GB" (binary multiples).
    static std::string ByteSize(int64_t bytes);
    // The in-place line of a download, at most `width` columns:
    //   name [######------]  45%  12.3MB / 27.0MB  1.2MB/s
    // Without a known length the bar and percentage are left out. Where
    // the width is short the name gives way first, then the bar, then the
    // blanks between the figures: "name  45% 12.3MB/27.0MB 1.2MB/s".
    static std::string DownloadLine(const std::string& file, int64_t received, int64_t length,
                                    int64_t fresh, double seconds, size_t width);
    // `text` cut to at most `width` columns (one per UTF-8 character).
    static std::string Fit(std::string_view text, size_t width);

private:
    void Show(const std::string& line);   // the in-place line
    void Finish(const std::string& line); // a finished line
    void Erase();                         // the in-place line, for the cursor to draw it anew
    void Clear();
    void ShowMessage(std::string_view text);
    size_t LineWidth(); // the terminal's width now, less the cursor's column

    std::mutex mutex_;
    std::FILE* out_;
    std::FILE* err_;
    const bool terminal_;
    const bool quiet_;
    const Width width_;
    std::string shown_; // the in-place line on the terminal now, or empty
};

} // namespace tessarine
