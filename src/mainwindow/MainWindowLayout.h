#pragma once
// Where the main window's controls lie: the menu bar, "Subscribed Podcasts"
// with its list above, "Download Queue" with its list below, and the
// splitter bar between them, laid over a hidden placeholder. It creates the
// controls at their template places, anchors them to the window's corners,
// and moves the boundary between the lists.
//
// Dragging the bar down by delta makes the upper list delta pixels taller,
// the lower list delta pixels shorter, and moves the lower label and the
// placeholder with it. The bar's centre stays from 100 pixels below the top
// of the client area to the window's height less 100; when the window is
// made smaller than that allows, the boundary moves up with it, so that the
// lower label and list never leave the window.
//
// The bar divides the lists' height in a proportion (the upper list's share
// of both heights), which a drag sets: a window made taller or shorter gives
// each list its share of the change.

#include <utility>

class QLabel;
class QMenuBar;
class QWidget;

namespace tessarine {

class CAnchoredDialog;
class CSplitterBar;
class ReportListView;
class ReportTableModel;

class MainWindowLayout {
public:
    // Sizes `window` and creates its controls, in tab order, on the two
    // models (which the window keeps alive).
    MainWindowLayout(CAnchoredDialog& window, QMenuBar* menuBar, ReportTableModel* subscriptions,
                     ReportTableModel* downloads);

    ReportListView* SubscriptionList() const { return upperList_; }
    ReportListView* DownloadList() const { return lowerList_; }
    CSplitterBar* Bar() const { return bar_; }

    // Creates the bar over the placeholder with the window's range.
    void CreateBar();
    // After the window moved or was resized (its controls laid out anew):
    // the menu bar's width, the bar's place and range, and the boundary
    // back inside the range.
    void WindowGeometryChanged();
    // The upper list's share of both lists' heights as the bar sets it, and
    // the bar moved to give that share (within its range).
    double SplitterShare() const { return share_; }
    void SetSplitterShare(double share);

private:
    void AnchorControls();
    void MoveBoundary(int delta);
    // Moves the boundary to give the upper list its share, within the range.
    void KeepShare();
    double CurrentShare() const;
    void PlaceBar();
    // The range of the bar's centre in the window's coordinates; the first
    // may lie below the second for a window less than 200 pixels high.
    std::pair<int, int> Range() const;

    CAnchoredDialog& window_;
    QMenuBar* menuBar_;
    ReportListView* upperList_ = nullptr;
    ReportListView* lowerList_ = nullptr;
    QLabel* upperLabel_ = nullptr;
    QLabel* lowerLabel_ = nullptr;
    QWidget* placeholder_ = nullptr;
    CSplitterBar* bar_ = nullptr;
    int lowerBottomMargin_ = 0; // from the lower list's bottom to the client area's
    double share_ = 0.5;
};

} // namespace tessarine
