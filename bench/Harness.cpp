#include "Harness.h"

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

extern char** environ;

namespace bench {

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Max(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

std::string Format(const char* pattern, ...) {
    char buffer[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

std::string FormatSeconds(double seconds) {
    if (seconds >= 1)
        return Format("%.2f s", seconds);
    if (seconds >= 0.01)
        return Format("%.1f ms", seconds * 1e3);
    if (seconds >= 0.001)
        return Format("%.2f ms", seconds * 1e3);
    return Format("%.0f us", seconds * 1e6);
}

std::string FormatMiB(double kib) { return Format("%.1f MiB", kib / 1024.0); }

namespace {

long StatusField(const char* name) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(name);
    while (std::getline(in, line)) {
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':')
            return std::atol(line.c_str() + length + 1);
    }
    return 0;
}

} // namespace

long ResidentKiB() { return StatusField("VmRSS"); }

double ProcessCpuSeconds() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
long PeakResidentKiB() { return StatusField("VmHWM"); }

bool ResetPeak() {
    malloc_trim(0);
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.close();
    return !out.fail();
}

struct PeakMeter::Impl {
    bool resetWorked = false;
    std::atomic<bool> stop{false};
    std::atomic<long> sampled{0};
    std::thread sampler;
};

PeakMeter::PeakMeter() : impl_(new Impl) {
    impl_->resetWorked = ResetPeak();
    impl_->sampled = ResidentKiB();
    if (!impl_->resetWorked) {
        impl_->sampler = std::thread([impl = impl_] {
            while (!impl->stop) {
                const long now = ResidentKiB();
                if (now > impl->sampled)
                    impl->sampled = now;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
}

PeakMeter::~PeakMeter() {
    StopKiB();
    delete impl_;
}

long PeakMeter::StopKiB() {
    if (impl_->sampler.joinable()) {
        impl_->stop = true;
        impl_->sampler.join();
    }
    if (impl_->resetWorked)
        return std::max(PeakResidentKiB(), impl_->sampled.load());
    return impl_->sampled;
}

ChildResult RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                     const std::string& output) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e)
        envStrings.emplace_back(*e);
    for (const std::string& e : extraEnv)
        envStrings.push_back(e);
    std::vector<char*> env;
    for (const std::string& e : envStrings)
        env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);

    ChildResult result;
    const auto start = Clock::now();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!output.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return result;
    // The kernel's account of a spawned child's peak (ru_maxrss) starts from
    // this process's own peak, so the child's VmHWM is read while it runs.
    std::atomic<bool> ended{false};
    std::atomic<long> peak{0};
    std::thread sampler([&] {
        const std::string statusPath = "/proc/" + std::to_string(pid) + "/status";
        while (!ended) {
            std::ifstream in(statusPath);
            std::string line;
            while (std::getline(in, line))
                if (line.rfind("VmHWM:", 0) == 0)
                    peak = std::max(peak.load(), std::atol(line.c_str() + 6));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    int status = 0;
    waitpid(pid, &status, 0);
    ended = true;
    sampler.join();
    result.maxRssKiB = peak;
    result.seconds = SecondsSince(start);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

void ProfileTimedStep(bool timed) {
    const char* control = std::getenv("TESSARINE_BENCH_PERF_CTL");
    if (control == nullptr)
        return;
    {
        std::ofstream out(control);
        out << (timed ? "enable\n" : "disable\n") << std::flush;
    }
    if (const char* ack = std::getenv("TESSARINE_BENCH_PERF_ACK")) {
        std::ifstream in(ack);
        std::string line;
        std::getline(in, line);
    }
}

std::vector<double> Repeat(int runs, const std::function<double(int run)>& once) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run)
        times.push_back(once(run));
    return times;
}

std::string ListSeconds(const std::vector<double>& values) {
    std::string text;
    for (double v : values) {
        if (!text.empty())
            text += " / ";
        text += FormatSeconds(v);
    }
    return text;
}

void Report::Add(Result result) {
    std::cout << "  " << result.benchmark << " | " << result.figure << ": " << result.value;
    if (!result.reference.empty())
        std::cout << "  (reference " << result.reference << ")";
    if (!result.runs.empty())
        std::cout << "  [" << result.runs << "]";
    std::cout << std::endl;
    results_.push_back(std::move(result));
}

void Report::Check(std::string target, std::string measured, bool pass) {
    std::cout << "  " << (pass ? "PASS" : "MISS") << "  " << target << ": " << measured
              << std::endl;
    verdicts_.push_back({std::move(target), std::move(measured), pass});
}

void Report::Fail(std::string text) {
    failed_ = true;
    Note("FAILED: " + std::move(text));
}

void Report::Note(std::string text) {
    std::cout << "  note: " << text << std::endl;
    notes_.push_back(std::move(text));
}

bool Report::AllPassed() const {
    return std::all_of(verdicts_.begin(), verdicts_.end(), [](const Verdict& v) { return v.pass; });
}

void Report::Print() const {
    size_t w0 = 9, w1 = 6, w2 = 6, w3 = 9;
    for (const Result& r : results_) {
        w0 = std::max(w0, r.benchmark.size());
        w1 = std::max(w1, r.figure.size());
        w2 = std::max(w2, r.value.size());
        w3 = std::max(w3, r.reference.size());
    }
    auto pad = [](const std::string& s, size_t w) { return s + std::string(w - std::min(w, s.size()), ' '); };
    std::cout << "\n" << pad("Benchmark", w0) << "  " << pad("Figure", w1) << "  "
              << pad("Median", w2) << "  " << pad("Reference", w3) << "\n"
              << std::string(w0 + w1 + w2 + w3 + 6, '-') << "\n";
    for (const Result& r : results_)
        std::cout << pad(r.benchmark, w0) << "  " << pad(r.figure, w1) << "  " << pad(r.value, w2)
                  << "  " << pad(r.reference, w3) << "\n";
    std::cout << "\nTargets\n";
    for (const Verdict& v : verdicts_)
        std::cout << (v.pass ? "PASS  " : "MISS  ") << v.target << ": " << v.measured << "\n";
    std::cout << std::flush;
}

namespace {

std::string Cell(std::string text) {
    std::string out;
    for (char c : text)
        out += c == '|' ? std::string("\\|") : std::string(1, c);
    return out;
}

constexpr const char* kBegin = "<!-- generated by tessarine_bench: begin -->";
constexpr const char* kEnd = "<!-- generated by tessarine_bench: end -->";

} // namespace

std::string Report::Markdown() const {
    std::ostringstream md;
    md << "| Benchmark | Figure | Median | Reference | Runs |\n|---|---|---|---|---|\n";
    for (const Result& r : results_)
        md << "| " << Cell(r.benchmark) << " | " << Cell(r.figure) << " | " << Cell(r.value)
           << " | " << Cell(r.reference) << " | " << Cell(r.runs) << " |\n";
    md << "\n| Target | Measured | Result |\n|---|---|---|\n";
    for (const Verdict& v : verdicts_)
        md << "| " << Cell(v.target) << " | " << Cell(v.measured) << " | "
           << (v.pass ? "PASS" : "MISS") << " |\n";
    if (!notes_.empty()) {
        md << "\n";
        for (const std::string& n : notes_)
            md << "- " << n << "\n";
    }
    return md.str();
}

bool Report::WriteMarkdown(const std::string& path, const std::string& header) const {
    std::string before = "# Benchmark results\n\nWritten by `make bench` (bench/tessarine_bench); "
                         "the figures between the markers are replaced at every run.\n\n";
    std::string after;
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::stringstream buffer;
            buffer << in.rdbuf();
            const std::string old = buffer.str();
            const size_t begin = old.find(kBegin);
            const size_t end = old.find(kEnd);
            if (begin != std::string::npos && end != std::string::npos && end > begin) {
                before = old.substr(0, begin);
                after = old.substr(end + std::strlen(kEnd));
            } else {
                before = old + "\n";
            }
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << before << kBegin << "\n\n" << header << "\n\n" << Markdown() << "\n" << kEnd << after;
    if (after.empty())
        out << "\n";
    return static_cast<bool>(out);
}

} // namespace bench
