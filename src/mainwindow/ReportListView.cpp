#include "mainwindow/ReportListView.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace tessarine {

ReportListView::ReportListView(ReportTableModel* model, QWidget* parent)
    : QTreeView(parent), model_(model) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps long lists fast
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    // The last column takes the width the others leave.
    header()->setStretchLastSection(true);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (!selected.isEmpty())
                    selectionMark_ = selected.indexes().first().row();
            });
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (selectionMark_ > last)
                    selectionMark_ -= last - first + 1;
                else if (selectionMark_ >= first)
                    selectionMark_ = -1;
            });
    // Rows that change places (a sort) take the mark with them.
    connect(model_, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this] { markBeforeLayout_ = model_->index(selectionMark_, 0); });
    connect(model_, &QAbstractItemModel::layoutChanged, this, [this] {
        selectionMark_ = markBeforeLayout_.isValid() ? markBeforeLayout_.row() : -1;
        markBeforeLayout_ = QPersistentModelIndex();
    });
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { selectionMark_ = -1; });
}

void ReportListView::SetColumns(std::vector<ReportColumn> columns) {
    // The widths are given for a font whose average character is 6 pixels
    // wide; they grow with the font in use, and never cut off a header or a
    // column's widest sample text.
    const QFontMetrics metrics(font());
    const int padding = 2 * metrics.averageCharWidth() + 8;
    std::vector<int> widths;
    for (const ReportColumn& c : columns) {
        int width = c.width * std::max(6, metrics.averageCharWidth()) / 6;
        width = std::max(width, metrics.horizontalAdvance(c.header) + padding);
        if (!c.sample.isEmpty())
            width = std::max(width, metrics.horizontalAdvance(c.sample) + padding);
        widths.push_back(width);
    }
    model_->SetColumns(std::move(columns));
    for (size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(static_cast<int>(i), widths[i]);
}

void ReportListView::SelectRow(int row) {
    const QModelIndex index = model_->index(row, 0);
    if (!index.isValid())
        return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
}

QPoint ReportListView::KeyboardMenuPoint() {
    const QModelIndex index = model_->index(selectionMark_, 0);
    if (!index.isValid())
        return viewport()->mapToGlobal(QPoint(0, 0));
    scrollTo(index);
    // Indented a little and just below the row, which stays readable.
    const QRect row = visualRect(index);
    const int x = std::max(0, row.left()) + fontMetrics().averageCharWidth();
    return viewport()->mapToGlobal(QPoint(x, row.bottom() + 1));
}

void ReportListView::SetEmptyHint(const QString& hint) {
    emptyHint_ = hint;
    viewport()->update();
}

bool ReportListView::event(QEvent* event) {
    // The list's own paint events draw its frame; the rows are drawn in
    // paintEvent, for the viewport.
    const bool handled = QTreeView::event(event);
    if (event->type() == QEvent::Paint)
        DrawFrameOnDevicePixels();
    return handled;
}

void ReportListView::DrawFrameOnDevicePixels() {
    const qreal ratio = devicePixelRatioF();
    if (frameWidth() <= 0 || std::abs(ratio - std::round(ratio)) < 0.01)
        return;
    // The style draws the right and bottom lines one logical pixel inside
    // the edge. At 1.25 or 1.5 that lands on the last device pixel the
    // viewport covers, so the viewport paints over them and the list has
    // no right or bottom border. Here the frame is drawn again in device
    // pixels, over the ring between the edge and the contents, which no
    // child covers. The pixels are counted from the nearest whole device
    // pixel, as a list off the pixel grid starts between two of them.
    QPainter painter(this);
    const QPointF origin = painter.deviceTransform().map(QPointF(0, 0));
    const QPoint wholeOrigin = origin.toPoint();
    const QPointF shift = (QPointF(wholeOrigin) - origin) / ratio;
    painter.setWorldTransform(
        QTransform::fromTranslate(shift.x(), shift.y()).scale(1 / ratio, 1 / ratio), true);
    const auto device = [&](int x, int y) {
        return QPointF(origin.x() + x * ratio, origin.y() + y * ratio).toPoint() - wholeOrigin;
    };
    const QRect outer(device(0, 0), device(width(), height()) - QPoint(1, 1));
    const QRect contents = contentsRect();
    const QRect inner(device(contents.x(), contents.y()),
                      device(contents.x() + contents.width(), contents.y() + contents.height()) -
                          QPoint(1, 1));
    // The ring is as wide as the frame is in device pixels (2 at 1.75 on
    // every side, at 1.5 on the left and top); the frame is drawn one pixel
    // further in until the ring is filled, so no stripe of background shows
    // between the frame and the rows.
    const QRegion ring = QRegion(outer).subtracted(QRegion(inner));
    const int thickness = std::max({inner.left(), inner.top(), outer.right() - inner.right(),
                                    outer.bottom() - inner.bottom(), 1});
    painter.setClipRegion(ring, Qt::IntersectClip);
    QStyleOptionFrame option;
    initStyleOption(&option);
    option.lineWidth = 1;
    option.midLineWidth = 0;
    for (int i = 0; i < thickness; ++i) {
        option.rect = outer.adjusted(i, i, -i, -i);
        style()->drawControl(QStyle::CE_ShapedFrame, &option, &painter, this);
    }
}

void ReportListView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (emptyHint_.isEmpty() || model_->rowCount() > 0)
        return;
    // In the placeholder colour of the palette, wrapped to the list's width
    // with a margin of two average characters on each side.
    QPainter painter(viewport());
    const int margin = 2 * fontMetrics().averageCharWidth();
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignCenter | Qt::TextWordWrap, emptyHint_);
}

} // namespace tessarine
