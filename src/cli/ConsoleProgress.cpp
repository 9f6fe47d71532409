#include "cli/ConsoleProgress.h"

#include "core/util/Strings.h"
#include "display/DisplayText.h"

#include <algorithm>

namespace tessarine {

namespace {

size_t Columns(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

} // namespace

ConsoleProgress::ConsoleProgress(std::FILE* out, std::FILE* err, bool terminal, bool quiet,
                                 Width width)
    : out_(out), err_(err), terminal_(terminal), quiet_(quiet), width_(std::move(width)) {}

ConsoleProgress::ConsoleProgress(std::FILE* out, std::FILE* err, bool terminal, bool quiet,
                                 size_t width)
    : ConsoleProgress(out, err, terminal, quiet, [width] { return width; }) {}

size_t ConsoleProgress::LineWidth() {
    // The last column stays free: a character there leaves the cursor
    // waiting to wrap, and some terminals wrap the line at the next one.
    return std::max<size_t>(width_ ? width_() : 80, 20) - 1;
}

std::string ConsoleProgress::OneLine(std::string_view text) {
    std::string out;
    bool brk = false;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            brk = true;
            continue;
        }
        if (brk && !out.empty() && out.back() != ' ')
            out += ' ';
        brk = false;
        out += c;
    }
    return out;
}

std::string ConsoleProgress::ByteSize(int64_t bytes) {
    return ByteSizeText(bytes);
}

std::string ConsoleProgress::Fit(std::string_view text, size_t width) {
    std::string out;
    size_t columns = 0;
    for (char c : text) {
        const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (starts && ++columns > width)
            break;
        out += c;
    }
    return out;
}

std::string ConsoleProgress::DownloadLine(const std::string& file, int64_t received, int64_t length,
                                          int64_t fresh, double seconds, size_t width) {
    // The figures, in a wide and a narrow form.
    std::string percent, wide, narrow;
    if (length > 0) {
        char number[8];
        std::snprintf(number, sizeof number, "%3d%%",
                      WholePercent(std::min(received, length), length));
        percent = number;
        wide = std::string(percent) + "  " + ByteSize(received) + " / " + ByteSize(length);
        narrow = std::string(percent) + " " + ByteSize(received) + "/" + ByteSize(length);
    } else {
        wide = narrow = ByteSize(received);
    }
    if (seconds > 0.0) {
        const auto rate =
            static_cast<int64_t>(static_cast<double>(std::max<int64_t>(fresh, 0)) / seconds);
        const std::string shown = FormatResString(TXT_CLI_RATE, ByteSize(rate));
        wide += "  " + shown;
        narrow += " " + shown;
    }
    // The name keeps this many columns before the figures give up room.
    constexpr size_t kName = 12;
    constexpr size_t kBar = 20, kShortestBar = 5;
    std::string right;
    if (kName + 2 + Columns(wide) <= width) {
        right = "  " + wide;
        if (length > 0) {
            right = " " + wide;
            // The bar takes what the name does not need, at most its own width.
            const size_t spare = width - kName - Columns(right);
            const size_t inner = std::min(kBar, spare >= 3 ? spare - 3 : 0);
            if (inner >= kShortestBar) {
                const auto filled =
                    static_cast<size_t>(static_cast<double>(std::min(received, length)) *
                                        static_cast<double>(inner) / static_cast<double>(length));
                right = " [" + std::string(filled, '#') + std::string(inner - filled, '-') + "]" +
                        right;
            }
        }
    } else {
        right = " " + narrow;
    }
    // A name is worth showing from a few columns on.
    constexpr size_t kShortestName = 6;
    const size_t rightColumns = Columns(right);
    if (rightColumns + std::min(kShortestName, Columns(file)) <= width)
        return Fit(file, width - rightColumns) + right;
    // No room for a name: the figures alone, as many as fit.
    const size_t blanks = narrow.find_first_not_of(' ');
    narrow.erase(0, blanks == std::string::npos ? 0 : blanks);
    if (Columns(narrow) > width && seconds > 0.0)
        narrow.erase(narrow.rfind(' '));
    return Fit(narrow, width);
}

void ConsoleProgress::Erase() {
    // A terminal that became narrower than the line on it has mostly
    // wrapped the line anew, the cursor on its last row: the rows above go
    // too, or each resize would leave a piece of the line behind.
    const size_t columns = LineWidth() + 1;
    const size_t rows = (Columns(shown_) + columns - 1) / columns;
    if (rows > 1)
        std::fputs(("\r\033[" + std::to_string(rows - 1) + "A\033[J").c_str(), out_);
    else
        std::fputs("\r\033[K", out_);
}

void ConsoleProgress::Clear() {
    if (!shown_.empty()) {
        Erase();
        shown_.clear();
    }
}

void ConsoleProgress::Show(const std::string& line) {
    if (quiet_ || !terminal_)
        return;
    const std::string fitted = Fit(line, LineWidth());
    if (fitted == shown_)
        return;
    Erase();
    std::fputs(fitted.c_str(), out_);
    std::fflush(out_);
    shown_ = fitted;
}

void ConsoleProgress::Finish(const std::string& line) {
    if (quiet_)
        return;
    Clear();
    std::fputs(line.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void ConsoleProgress::FeedStarted(const std::string& label) {
    std::lock_guard lock(mutex_);
    Show(LoadResString(IDS_STATUS_CHECKING) + " " + label);
}

void ConsoleProgress::FeedFinished(const std::string& line) {
    std::lock_guard lock(mutex_);
    Finish(line);
}

void ConsoleProgress::DownloadProgress(const std::string& file, int64_t received, int64_t length,
                                       int64_t fresh, double seconds) {
    std::lock_guard lock(mutex_);
    Show(DownloadLine(file, received, length, fresh, seconds, LineWidth()));
}

void ConsoleProgress::DownloadFinished(const std::string& line) {
    std::lock_guard lock(mutex_);
    Finish(line);
}

void ConsoleProgress::Failed(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (quiet_)
        ShowMessage(line);
    else
        Finish(line);
}

void ConsoleProgress::Line(const std::string& line) {
    std::lock_guard lock(mutex_);
    Finish(line);
}

void ConsoleProgress::Message(std::string_view text) {
    std::lock_guard lock(mutex_);
    ShowMessage(text);
}

void ConsoleProgress::ShowMessage(std::string_view text) {
    const std::string redraw = shown_;
    Clear();
    std::fflush(out_);
    const std::string line = OneLine(text) + "\n";
    std::fputs(line.c_str(), err_);
    std::fflush(err_);
    if (!redraw.empty()) {
        // Drawn again below the message, cut to the width the terminal has
        // now: it may have become narrower since.
        shown_ = Fit(redraw, LineWidth());
        std::fputs(shown_.c_str(), out_);
        std::fflush(out_);
    }
}

} // namespace tessarine
