// Benchmark 1: one enclosure through the program's transfer code (the update
// engine's queue and RunDownloads, writing the file as the program does)
// against the curl tool fetching the same URL from the same server.
#include "Benchmarks.h"
#include "ServerProcess.h"
#include "Workloads.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/FeedReader.h"
#include "core/update/UpdateEngine.h"
#include "core/util/Strings.h"
#include "support/EventRecorder.h"
#include "support/TestSupport.h"
#include "support/UpdateEngineTestAccess.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace bench {

namespace fs = std::filesystem;
using tessarine::test::EventRecorder;
using tessarine::test::TempDir;

namespace {

constexpr const char* kFolder = "Transfer";

struct Fetch {
    double seconds = 0;
    long peakKiB = 0;
    long beforeKiB = 0; // resident before the transfer began
    bool ok = false;
};

Fetch ByProgram(const std::string& url, int64_t size, const TempDir& dir) {
    using namespace tessarine;
    SharedModel model;
    model.SetBaseDirectory(dir.Base());
    EventRecorder view;
    UpdateEngine engine(model, view, false);
    const std::string target = (dir.Path() / kFolder / FileNameFromUrl(url)).string();

    Fetch fetch;
    PeakMeter meter;
    fetch.beforeKiB = ResidentKiB();
    const auto start = Clock::now();
    const bool queued = UpdateEngineTestAccess::QueueDownload(engine, url, kFolder);
    const int result = UpdateEngineTestAccess::RunDownloads(engine);
    fetch.seconds = SecondsSince(start);
    fetch.peakKiB = meter.StopKiB();

    std::error_code error;
    const auto rows = view.Rows();
    fetch.ok = queued && result == 0 && rows.size() == 1 &&
               rows[0][tessarine::test::ColumnStatus] == LoadResString(IDS_COMPLETED) &&
               fs::file_size(target, error) == static_cast<uintmax_t>(size) && !error;
    return fetch;
}

Fetch ByCurl(const std::string& url, int64_t size, const TempDir& dir) {
    const std::string target = dir / "curl.bin";
    const ChildResult child = RunChild({"curl", "-s", "-o", target, url});
    Fetch fetch;
    fetch.seconds = child.seconds;
    fetch.peakKiB = child.maxRssKiB;
    std::error_code error;
    fetch.ok = child.exitCode == 0 && fs::file_size(target, error) == static_cast<uintmax_t>(size) &&
               !error;
    return fetch;
}

bool SameBytes(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (;;) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
        if (fa.gcount() == 0)
            return true;
    }
}

struct SizeOutcome {
    bool ok = false;
    double ratio = 0;
    long peakKiB = 0;
};

SizeOutcome OneSize(const std::string& label, int64_t size, int runs, ServerProcess& server,
                    Report& report) {
    const std::string url = server.Url(BlobPath(size));
    TempDir dir;
    std::vector<double> program, curl, programPeak, curlPeak, programBefore;
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        // Alternating, and each in turn first, so that both see the same
        // state of the machine.
        Fetch ours, theirs;
        if (run % 2 == 0) {
            ours = ByProgram(url, size, dir);
            theirs = ByCurl(url, size, dir);
        } else {
            theirs = ByCurl(url, size, dir);
            ours = ByProgram(url, size, dir);
        }
        ok = ok && ours.ok && theirs.ok;
        if (run == 0 && ours.ok && theirs.ok &&
            !SameBytes(dir / (std::string(kFolder) + "/" + tessarine::FileNameFromUrl(url)),
                       dir / "curl.bin")) {
            ok = false;
            report.Fail(label + ": the program's file differs from curl's");
        }
        fs::remove(dir.Path() / kFolder / tessarine::FileNameFromUrl(url));
        fs::remove(dir.Path() / "curl.bin");
        program.push_back(ours.seconds);
        curl.push_back(theirs.seconds);
        programPeak.push_back(static_cast<double>(ours.peakKiB));
        programBefore.push_back(static_cast<double>(ours.beforeKiB));
        curlPeak.push_back(static_cast<double>(theirs.peakKiB));
    }
    if (!ok)
        report.Fail(label + ": a transfer failed or delivered the wrong size");
    const double mib = static_cast<double>(size) / (1 << 20);
    const double ours = mib / Median(program), theirs = mib / Median(curl);
    std::vector<double> ourRates, curlRates;
    for (double s : program)
        ourRates.push_back(mib / s);
    for (double s : curl)
        curlRates.push_back(mib / s);
    auto rates = [](const std::vector<double>& v) {
        std::string text;
        for (double r : v)
            text += (text.empty() ? "" : " / ") + Format("%.0f", r);
        return text + " MiB/s";
    };
    report.Add({"1 Transfer " + label, "program throughput", Format("%.0f MiB/s", ours),
                Format("curl %.0f MiB/s", theirs),
                Format("%d runs each: ", runs) + rates(ourRates) + "; curl " + rates(curlRates)});
    report.Add({"1 Transfer " + label, "throughput ratio program/curl",
                Format("%.2f", ours / theirs), "", ""});
    report.Add({"1 Transfer " + label, "peak resident memory", FormatMiB(Max(programPeak)),
                "curl " + FormatMiB(Max(curlPeak)),
                "largest of the runs; the whole process, which held " +
                    FormatMiB(Max(programBefore)) + " before the transfer"});
    return {ok, ours / theirs, static_cast<long>(Max(programPeak))};
}

} // namespace

void TransferBenchmark(const Settings& settings, ServerProcess& server, Report& report) {
    std::cout << "1. Transfer" << std::endl;
    const SizeOutcome small = OneSize("100 MiB", int64_t{100} << 20, settings.runs, server, report);
    const SizeOutcome big = OneSize("1 GiB", int64_t{1} << 30, settings.bigRuns, server, report);
    report.Check("Transfer: at least 0.9 of curl's throughput (1 GiB)",
                 Format("%.2f", big.ratio), big.ok && big.ratio >= 0.9);
    report.Check("Transfer: at least 0.9 of curl's throughput (100 MiB)",
                 Format("%.2f", small.ratio), small.ok && small.ratio >= 0.9);
    const long peak = std::max(small.peakKiB, big.peakKiB);
    report.Check("Transfer: peak resident memory below 64 MiB, whatever the size",
                 FormatMiB(static_cast<double>(peak)) + " (100 MiB: " +
                     FormatMiB(static_cast<double>(small.peakKiB)) + ", 1 GiB: " +
                     FormatMiB(static_cast<double>(big.peakKiB)) + ")",
                 small.ok && big.ok && peak < 64 * 1024);
}

} // namespace bench
