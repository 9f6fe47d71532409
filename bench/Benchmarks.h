#pragma once
// The benchmarks of the suite. Each measures, adds its figures to the report
// and checks its targets.

#include "Harness.h"

namespace bench {

class ServerProcess;

struct Settings {
    int runs = 5;         // runs of the quick figures
    int bigRuns = 3;      // runs of the slow ones (1 GiB transfer, whole cycles)
};

// 1. One enclosure of 1 GiB and one of 100 MiB through the program's transfer
// code, against the curl tool on the same server.
void TransferBenchmark(const Settings& settings, ServerProcess& server, Report& report);
// 3. One feed of 5,000 items, with a new archive and with the archive on disk;
// unchanged cycles with an episode store beside those without.
void HugeFeedBenchmark(const Settings& settings, ServerProcess& server, Report& report);
// 2 and 5. 500 feeds of 200 items through the real window, and how long the
// GUI thread is busy at a time meanwhile.
void ManyFeedsBenchmark(const Settings& settings, ServerProcess& server, Report& report);
// 4. Start-up with 2,000 subscriptions, one refresh of their rows, 20,000
// queued downloads and painting that list.
void StartupBenchmark(const Settings& settings, Report& report);
// 6. Unchanged cycles of 500 feeds with and without validators beside one
// curl process's floor, their bytes, the command line program's whole check
// of them as a fresh process (and the size of the episode store it made), the
// settings file's writes in a cycle of 2,000 feeds, and resuming half of 1 GiB.
void NetworkBenchmark(const Settings& settings, ServerProcess& server, Report& report);

// 7. The Episodes window of a podcast with 5,000 stored episodes: opening it
// and scrolling through it.
void EpisodesBenchmark(const Settings& settings, Report& report);

} // namespace bench
