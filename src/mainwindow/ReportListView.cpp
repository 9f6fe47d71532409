#include "mainwindow/ReportListView.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>

#include <algorithm>

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
    header()->setStretchLastSection(false);
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

void ReportListView::SetEmptyHint(const QString& hint) {
    emptyHint_ = hint;
    viewport()->update();
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
