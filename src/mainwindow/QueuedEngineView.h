#pragma once
// The engine's events for the window: called on the worker thread, they are
// queued and handed on in the order they were made on the thread this object
// lives on (the GUI thread), as signals. The worker never waits: the first
// event of a batch posts one delivery, later ones join the batch. Download
// list changes that follow each other go out together as one batch.

#include "core/update/EngineView.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

namespace tessarine {

// A change of the download list: a new row (column -1, its four cells) or
// one cell's new text.
struct DownloadChange {
    int row;
    int column;
    QStringList cells;
};

class QueuedEngineView : public QObject, public EngineView {
    Q_OBJECT
public:
    explicit QueuedEngineView(QObject* parent = nullptr);

    void RefreshSubscriptionRows() override;
    void InsertDownloadRow(size_t row, const DownloadRow& cells) override;
    void SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) override;
    void ShowError(const std::string& message) override;
    void CycleEnded(bool quit) override;

    // Hands on every event that has arrived, now (on this object's thread).
    Q_INVOKABLE void Deliver();

signals:
    void subscriptionsChanged();
    void downloadsChanged(const std::vector<DownloadChange>& changes);
    void errorArrived(const QString& message);
    void cyclesEnded(bool quit);

private:
    enum class Kind { Subscriptions, Download, Error, CycleEnd };
    struct Event {
        Kind kind;
        DownloadChange change;
        bool quit = false;
    };
    void Push(Event event);

    std::mutex mutex_;
    std::vector<Event> events_; // not yet handed on, in order; guarded by mutex_
};

} // namespace tessarine
