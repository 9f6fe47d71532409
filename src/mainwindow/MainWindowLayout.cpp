#include "mainwindow/MainWindowLayout.h"

#include "controls/CAnchoredDialog.h"
#include "controls/CSplitterBar.h"
#include "controls/DialogUnits.h"
#include "core/util/OleDateTime.h"
#include "core/util/Strings.h"
#include "mainwindow/Commands.h"
#include "mainwindow/ReportListView.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>

#include <algorithm>
#include <cmath>

namespace tessarine {
namespace {

QString Text(int id) {
    return QString::fromStdString(LoadResString(id));
}

// Size of the window's client area in dialog units.
constexpr int kClientWidthDu = 362;
constexpr int kClientHeightDu = 233;
// The bar keeps this far from the client area's top and the window's bottom.
constexpr int kMargin = 100;

int Bottom(const QRect& r) {
    return r.y() + r.height();
} // exclusive

} // namespace

MainWindowLayout::MainWindowLayout(CAnchoredDialog& window, QMenuBar* menuBar,
                                   ReportTableModel* subscriptions, ReportTableModel* downloads)
    : window_(window), menuBar_(menuBar) {
    const DialogUnits du(&window);
    const int menuHeight = menuBar_->sizeHint().height();
    window.setContentsMargins(0, menuHeight, 0, 0);
    window.resize(du.X(kClientWidthDu), du.Y(kClientHeightDu) + menuHeight);
    menuBar_->setGeometry(0, 0, window.width(), menuHeight);

    const QPoint origin = window.ClientRect().topLeft();
    auto place = [&](QWidget* w, const char* name, int id, int x, int y, int cx, int cy) {
        w->setObjectName(name);
        CAnchoredDialog::SetControlId(w, id);
        w->setGeometry(du.Rect(x, y, cx, cy).translated(origin));
    };

    // Creation order is the tab order: the subscription list first.
    upperList_ = new ReportListView(subscriptions, &window);
    place(upperList_, "subscriptionList", IDC_SUBSCRIPTION_LIST, 7, 17, 348, 85);
    const QString lastChecked =
        QString::fromStdString(OleDateTime::FromFields({2000, 12, 28, 23, 59, 0}).FormatShown());
    upperList_->SetColumns(
        {{Text(IDS_COLUMN_NAME), Qt::AlignLeft, 225},
         {Text(IDS_COLUMN_LAST_CHECKED), Qt::AlignLeft, 100, lastChecked},
         {Text(IDS_COLUMN_STATUS), Qt::AlignLeft, 130, Text(IDS_STATUS_NEW_ITEMS)}});
    upperList_->SetEmptyHint(Text(TXT_EMPTY_LIST_HINT));
    // A click on a header sorts by its column; a third click returns to the
    // list's own order, in which it starts.
    upperList_->header()->setSortIndicatorClearable(true);
    upperList_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    upperList_->setSortingEnabled(true);

    lowerList_ = new ReportListView(downloads, &window);
    place(lowerList_, "downloadList", IDC_DOWNLOAD_LIST, 7, 124, 348, 102);
    lowerList_->SetColumns(
        {{Text(IDS_COLUMN_FILE), Qt::AlignLeft, 225},
         {Text(TXT_COLUMN_PODCAST), Qt::AlignLeft, 110},
         {Text(IDS_COLUMN_SIZE), Qt::AlignLeft, 80, "1024.0MB"},
         {Text(IDS_COLUMN_PROGRESS), Qt::AlignHCenter, 60, "100%"},
         {Text(IDS_COLUMN_DOWNLOAD_STATUS), Qt::AlignLeft, 90, Text(IDS_DOWNLOADING)}});

    upperLabel_ = new QLabel(Text(TXT_LABEL_SUBSCRIBED), &window);
    place(upperLabel_, "subscribedLabel", IDC_LABEL_SUBSCRIBED, 7, 7, 348, 8);
    lowerLabel_ = new QLabel(Text(TXT_LABEL_DOWNLOADS), &window);
    place(lowerLabel_, "downloadsLabel", IDC_LABEL_DOWNLOADS, 7, 113, 348, 8);
    for (QLabel* label : {upperLabel_, lowerLabel_})
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The bar's placeholder: invisible, it marks where the bar belongs.
    placeholder_ = new QFrame(&window);
    place(placeholder_, "splitterPlaceholder", IDC_SPLITTER, 7, 104, 348, 8);
    placeholder_->hide();

    lowerBottomMargin_ = Bottom(window.ClientRect()) - Bottom(lowerList_->geometry());
    AnchorControls();
}

void MainWindowLayout::AnchorControls() {
    // The upper list and the placeholder grow in width, the lower list in
    // width and height; the labels stay where they are.
    window_.AnchorControl(lowerList_, AnchorTopLeft, AnchorBottomRight);
    window_.AnchorControl(upperList_, AnchorTopLeft, AnchorTopRight);
    window_.AnchorControl(upperLabel_, AnchorTopLeft, AnchorTopLeft);
    window_.AnchorControl(lowerLabel_, AnchorTopLeft, AnchorTopLeft);
    window_.AnchorControl(placeholder_, AnchorTopLeft, AnchorTopRight);
}

void MainWindowLayout::CreateBar() {
    bar_ = new CSplitterBar(&window_);
    bar_->Create(placeholder_->geometry(), &window_, IDC_SPLITTER);
    bar_->setObjectName("splitterBar");
    bar_->SetOrientation(CSplitterBar::Horizontal);
    bar_->SetRange(kMargin, kMargin, -1);
    QObject::connect(bar_, &CSplitterBar::notify, &window_, [this](const SplitterNotify& notify) {
        MoveBoundary(notify.delta);
        share_ = CurrentShare();
    });
    share_ = CurrentShare();
    WindowGeometryChanged();
}

void MainWindowLayout::WindowGeometryChanged() {
    menuBar_->setGeometry(0, 0, window_.width(), window_.ClientRect().top());
    if (bar_ == nullptr)
        return;
    PlaceBar();
    if (window_.frameGeometry().height() <= 0)
        return;
    const auto [minPos, maxPos] = Range();
    bar_->SetRange(minPos, maxPos);
    bar_->update();
    if (!window_.isMinimized())
        KeepShare();
}

void MainWindowLayout::SetSplitterShare(double share) {
    share_ = std::clamp(share, 0.0, 1.0);
    if (bar_ != nullptr)
        KeepShare();
}

double MainWindowLayout::CurrentShare() const {
    const int upper = upperList_->height(), both = upper + lowerList_->height();
    return both > 0 ? static_cast<double>(upper) / both : 0.5;
}

void MainWindowLayout::KeepShare() {
    const int upper = upperList_->height(), both = upper + lowerList_->height();
    const int centre = bar_->Centre();
    int wanted = centre + static_cast<int>(std::lround(share_ * both)) - upper;
    // The share may ask for a place outside the range (a small window): the
    // boundary stays as a drag to the range's end would leave it (the
    // maximum wins when the range is inverted, as it does for a drag).
    const auto [minPos, maxPos] = Range();
    wanted = std::min(std::max(wanted, minPos), maxPos);
    if (wanted != centre)
        MoveBoundary(wanted - centre);
}

std::pair<int, int> MainWindowLayout::Range() const {
    const int top = window_.ClientRect().top();
    return {top + kMargin, top + window_.frameGeometry().height() - kMargin};
}

void MainWindowLayout::MoveBoundary(int delta) {
    CSplitterBar::AdjustHeight(upperList_, delta, CSplitterBar::AdjustBottom);
    // The lower list keeps its bottom where the layout puts it, also when a
    // window too small for it had collapsed it.
    const int top = lowerList_->y() + delta;
    const int bottom = Bottom(window_.ClientRect()) - lowerBottomMargin_;
    lowerList_->setGeometry(lowerList_->x(), top, lowerList_->width(), std::max(0, bottom - top));
    CSplitterBar::OffsetWindow(lowerLabel_, delta);
    CSplitterBar::OffsetWindow(placeholder_, delta);
    // The new places become the base of later resizing.
    for (int id : {IDC_DOWNLOAD_LIST, IDC_SUBSCRIPTION_LIST, IDC_LABEL_SUBSCRIBED,
                   IDC_LABEL_DOWNLOADS, IDC_SPLITTER})
        window_.UnanchorControl(id);
    AnchorControls();
    PlaceBar();
    window_.update();
}

void MainWindowLayout::PlaceBar() {
    // The bar lies over the placeholder, 4 pixels inside its top and bottom.
    bar_->setGeometry(placeholder_->geometry().adjusted(0, 4, 0, -4));
}

} // namespace tessarine
