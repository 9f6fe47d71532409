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
                                 size_t width)
    : out_(out), err_(err), terminal_(terminal), quiet_(quiet),
      width_(std::max<size_t>(width, 20)) {}

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
                                          double seconds, size_t width) {
    std::string tail;
    std::string bar;
    if (length > 0) {
        const int64_t shown = std::min(received, length);
        const int percent = WholePercent(shown, length);
        char number[8];
        std::snprintf(number, sizeof number, "%3d%%", percent);
        constexpr size_t kBar = 20;
        const auto filled =
            static_cast<size_t>(static_cast<double>(shown) * kBar / static_cast<double>(length));
        bar = "[" + std::string(filled, '#') + std::string(kBar - filled, '-') + "] " + number;
        tail = "  " + ByteSize(received) + " / " + ByteSize(length);
    } else {
        tail = "  " + ByteSize(received);
    }
    if (seconds > 0.0) {
        const auto rate = static_cast<int64_t>(static_cast<double>(received) / seconds);
        tail += "  " + FormatResString(TXT_CLI_RATE, ByteSize(rate));
    }
    std::string right = bar.empty() ? tail : " " + bar + tail;
    // The name gives way first, then the figures.
    const size_t rightColumns = Columns(right);
    if (rightColumns + 8 > width)
        return Fit(file + right, width);
    return Fit(file, width - rightColumns) + right;
}

void ConsoleProgress::Clear() {
    if (!shown_.empty()) {
        std::fputs("\r\033[K", out_);
        shown_.clear();
    }
}

void ConsoleProgress::Show(const std::string& line) {
    if (quiet_ || !terminal_)
        return;
    const std::string fitted = Fit(line, width_ - 1);
    if (fitted == shown_)
        return;
    std::fputs("\r\033[K", out_);
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
                                       double seconds) {
    std::lock_guard lock(mutex_);
    Show(DownloadLine(file, received, length, seconds, width_ - 1));
}

void ConsoleProgress::DownloadFinished(const std::string& line) {
    std::lock_guard lock(mutex_);
    Finish(line);
}

void ConsoleProgress::Line(const std::string& line) {
    std::lock_guard lock(mutex_);
    Finish(line);
}

void ConsoleProgress::Message(std::string_view text) {
    std::lock_guard lock(mutex_);
    const std::string redraw = shown_;
    Clear();
    std::fflush(out_);
    const std::string line = OneLine(text) + "\n";
    std::fputs(line.c_str(), err_);
    std::fflush(err_);
    if (!redraw.empty()) {
        std::fputs(redraw.c_str(), out_);
        std::fflush(out_);
        shown_ = redraw;
    }
}

} // namespace tessarine
