// The benchmark suite: `make bench` runs it in a release build.
//
//   tessarine_bench [--only=transfer,huge,many,startup,network,episodes] [--runs=N] [--big-runs=N]
//                   [--no-results]
//
// It prints one table and, unless --no-results is given or only some
// benchmarks ran, writes it into bench/results.md.
#include "Benchmarks.h"
#include "GuiSupport.h"
#include "ServerProcess.h"

#include "core/net/HttpClient.h"
#include "core/util/Strings.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

using namespace bench;

namespace {

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

std::string Header(const std::set<std::string>& only, const Settings& settings) {
    char date[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&now));
    struct utsname host {};
    uname(&host);
    std::ostringstream text;
    text << "Measured " << date << " on " << sysconf(_SC_NPROCESSORS_ONLN) << " x " << CpuModel()
         << ", Linux " << host.release << "; release build; medians of " << settings.runs
         << " runs (" << settings.bigRuns << " for the 1 GiB transfer and whole check cycles)";
    if (!only.empty())
        text << "; only some benchmarks ran";
    text << ".";
    return text.str();
}

} // namespace

int main(int argc, char** argv) {
    // The serving process is forked first, while this process has one thread.
    ServerProcess server;

    Settings settings;
    std::set<std::string> only;
    bool writeResults = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--only=", 0) == 0) {
            std::stringstream list(arg.substr(7));
            std::string name;
            while (std::getline(list, name, ','))
                only.insert(name);
        } else if (arg.rfind("--runs=", 0) == 0) {
            settings.runs = std::max(1, std::atoi(arg.c_str() + 7));
        } else if (arg.rfind("--big-runs=", 0) == 0) {
            settings.bigRuns = std::max(1, std::atoi(arg.c_str() + 11));
        } else if (arg == "--no-results") {
            writeResults = false;
        } else {
            std::cerr << "usage: " << argv[0]
                      << " [--only=transfer,huge,many,startup,network,episodes] [--runs=N] [--big-runs=N]"
                         " [--no-results]\n";
            return 2;
        }
    }
    if (!server.Running()) {
        std::cerr << "cannot start the loopback server\n";
        return 1;
    }
    auto wanted = [&](const char* name) { return only.empty() || only.count(name) != 0; };

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    tessarine::SetLanguage(tessarine::Language::English);
    tessarine::HttpGlobalInit();

    Report report;
    const auto start = Clock::now();
    // The transfer runs before the GUI exists, as the engine does not need it.
    if (wanted("transfer"))
        TransferBenchmark(settings, server, report);

    BenchApplication app(argc, argv);
    if (wanted("huge"))
        HugeFeedBenchmark(settings, server, report);
    if (wanted("many"))
        ManyFeedsBenchmark(settings, server, report);
    if (wanted("startup"))
        StartupBenchmark(settings, report);
    if (wanted("network"))
        NetworkBenchmark(settings, server, report);
    if (wanted("episodes"))
        EpisodesBenchmark(settings, report);

    report.Print();
    std::cout << "\n(total " << FormatSeconds(SecondsSince(start)) << ")" << std::endl;
    if (writeResults && only.empty()) {
        if (report.WriteMarkdown(TESSARINE_BENCH_RESULTS, Header(only, settings)))
            std::cout << "written to " << TESSARINE_BENCH_RESULTS << std::endl;
    }
    // A missed target is reported, not an error; a benchmark whose program
    // did not do what it must is.
    return report.Failed() ? 1 : 0;
}
