#pragma once
// GUI helpers of the benchmarks: an application object that times every
// event the GUI thread handles, a probe for the longest stretch the GUI
// thread is busy, and an event loop that runs until a condition holds.

#include "Harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace bench {

class BenchApplication : public QApplication {
public:
    BenchApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The longest handling of one event on the GUI thread since the last
    // reset: in wall time, and in the thread's own CPU time (which leaves
    // out the time the system gave to other processes meanwhile).
    static void ResetLongestEvent();
    static double LongestEventSeconds();
    static double LongestEventCpuSeconds();
    static int LongestEventType();
};

// The calling thread's CPU time in seconds.
double ThreadCpuSeconds();

// Runs a 1 ms timer on the GUI thread and keeps the largest gap between its
// timeouts: the longest time the thread did not get back to its event loop,
// in wall time and in the CPU time the thread used in that stretch (its
// busy time; on a loaded machine the wall time also holds time the system
// gave to other processes).
class GuiProbe {
public:
    GuiProbe();
    void Start();
    void Stop();
    double LongestGapSeconds() const { return longestGap_; }
    double LongestBusySeconds() const { return longestBusy_; }
    double LongestEventSeconds() const { return longestEvent_; }
    double LongestEventCpuSeconds() const { return longestEventCpu_; }
    int LongestEventType() const { return longestEventType_; }

private:
    void Tick();
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    double lastCpu_ = 0;
    double longestGap_ = 0;
    double longestBusy_ = 0;
    double longestEvent_ = 0;
    double longestEventCpu_ = 0;
    int longestEventType_ = 0;
};

// Runs the event loop until `done` holds (looked at every millisecond);
// false when `timeoutSeconds` passed first.
bool RunEventsUntil(const std::function<bool()>& done, double timeoutSeconds);

} // namespace bench
