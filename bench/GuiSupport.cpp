#include "GuiSupport.h"

#include <QEventLoop>
#include <QThread>

#include <ctime>

namespace bench {

namespace {

thread_local int depth = 0;
double longestEvent = 0;
double longestEventCpu = 0;
int longestEventType = 0;

} // namespace

BenchApplication::BenchApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool BenchApplication::notify(QObject* receiver, QEvent* event) {
    // Only the outermost event of the GUI thread counts: nested loops (a
    // modal dialog) and other threads' events are not a stretch of their own.
    if (depth > 0 || QThread::currentThread() != thread())
        return QApplication::notify(receiver, event);
    ++depth;
    const int type = event->type();
    const auto start = Clock::now();
    const double startCpu = ThreadCpuSeconds();
    const bool result = QApplication::notify(receiver, event);
    const double seconds = SecondsSince(start);
    const double cpu = ThreadCpuSeconds() - startCpu;
    --depth;
    if (seconds > longestEvent) {
        longestEvent = seconds;
        longestEventType = type;
    }
    longestEventCpu = std::max(longestEventCpu, cpu);
    return result;
}

void BenchApplication::ResetLongestEvent() {
    longestEvent = 0;
    longestEventCpu = 0;
    longestEventType = 0;
}
double BenchApplication::LongestEventSeconds() { return longestEvent; }
double BenchApplication::LongestEventCpuSeconds() { return longestEventCpu; }
int BenchApplication::LongestEventType() { return longestEventType; }

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

GuiProbe::GuiProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
}

void GuiProbe::Tick() {
    const qint64 now = clock_.nsecsElapsed();
    const double cpu = ThreadCpuSeconds();
    longestGap_ = std::max(longestGap_, static_cast<double>(now - last_) / 1e9);
    longestBusy_ = std::max(longestBusy_, cpu - lastCpu_);
    last_ = now;
    lastCpu_ = cpu;
}

void GuiProbe::Start() {
    longestGap_ = longestBusy_ = 0;
    BenchApplication::ResetLongestEvent();
    clock_.start();
    last_ = 0;
    lastCpu_ = ThreadCpuSeconds();
    timer_.start();
}

void GuiProbe::Stop() {
    timer_.stop();
    // The time since the last timeout is a stretch as well.
    Tick();
    longestEvent_ = BenchApplication::LongestEventSeconds();
    longestEventCpu_ = BenchApplication::LongestEventCpuSeconds();
    longestEventType_ = BenchApplication::LongestEventType();
}

bool RunEventsUntil(const std::function<bool()>& done, double timeoutSeconds) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    const auto start = Clock::now();
    bool reached = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) {
            reached = true;
            loop.quit();
        } else if (SecondsSince(start) > timeoutSeconds) {
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    return reached;
}

} // namespace bench
