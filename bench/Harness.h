#pragma once
// A small timing harness: clocks, medians, the process's resident memory and
// its peak, child processes, and the table of results.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values);
double Max(const std::vector<double>& values);

// "1.23 s", "45.6 ms", "789 us" as fits the value.
std::string FormatSeconds(double seconds);
std::string FormatMiB(double kib);
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// Resident memory of this process in KiB (VmRSS), and its peak (VmHWM) since
// the last ResetPeak. ResetPeak first hands freed heap back to the system, so
// the peak of the next step is not hidden by what earlier steps left behind.
long ResidentKiB();
// CPU time used by this process so far (every thread, user and system).
double ProcessCpuSeconds();
long PeakResidentKiB();
bool ResetPeak(); // false when the kernel does not allow it

// Measures the peak resident memory of one step: VmHWM when it can be reset,
// otherwise the largest VmRSS sampled every millisecond on a thread.
class PeakMeter {
public:
    PeakMeter();
    ~PeakMeter();
    long StopKiB(); // the peak since construction
private:
    struct Impl;
    Impl* impl_;
};

struct ChildResult {
    int exitCode = -1;
    double seconds = 0;
    long maxRssKiB = 0; // from the kernel's accounting of the child
};
// Runs a program (searched on PATH) with `args` and waits for it; its
// standard output and error go to the file `output` when one is named.
ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& extraEnv = {},
                     const std::string& output = {});

// One line of the results table.
struct Result {
    std::string benchmark;
    std::string figure;
    std::string value;     // median (or the stated aggregate)
    std::string reference; // measured in the same run, or empty
    std::string runs;      // e.g. "5 runs: 1.1 / 1.2 / ..."
};

struct Verdict {
    std::string target;
    std::string measured;
    bool pass = false;
};

class Report {
public:
    void Add(Result result);
    void Check(std::string target, std::string measured, bool pass);
    void Note(std::string text);
    // A benchmark did not come out as it must (wrong rows, files or bytes).
    void Fail(std::string text);
    bool Failed() const { return failed_; }
    // Prints the table now (benchmarks print as they go).
    void Print() const;
    // Replaces the generated part of `path` (between its markers), keeping
    // what was written by hand around it.
    bool WriteMarkdown(const std::string& path, const std::string& header) const;
    bool AllPassed() const;

private:
    std::string Markdown() const;
    std::vector<Result> results_;
    std::vector<Verdict> verdicts_;
    std::vector<std::string> notes_;
    bool failed_ = false;
};

// With TESSARINE_BENCH_PERF_CTL naming the control fifo of
// `perf record --control=fifo:CTL[,ACK] -D -1` (and TESSARINE_BENCH_PERF_ACK
// its acknowledgement fifo), a profile covers only the timed steps.
void ProfileTimedStep(bool timed);

// Runs every listed run and returns the times; `runs` times in a row.
std::vector<double> Repeat(int runs, const std::function<double(int run)>& once);
std::string ListSeconds(const std::vector<double>& values);

} // namespace bench
