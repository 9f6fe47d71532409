#include "controls/CSplitterBar.h"

#include "controls/CAnchoredDialog.h"

#include <QColor>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace tessarine {

namespace {

const QColor kLineColor(200, 200, 200);
const QColor kFillColor(200, 220, 220);

} // namespace

// A transparent sheet over the bar's parent on which the drag line is
// drawn. It takes no mouse input, and hiding it leaves the parent exactly as
// it was.
class SplitterDragOverlay : public QWidget {
public:
    SplitterDragOverlay(const CSplitterBar* bar, QWidget* parent) : QWidget(parent), bar_(bar) {
        setObjectName(QStringLiteral("SplitterDragOverlay"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (bar_.isNull())
            return;
        QPainter painter(this);
        bar_->DrawDragLine(painter);
    }

private:
    QPointer<const CSplitterBar> bar_;
};

CSplitterBar::CSplitterBar(QWidget* parent) : QWidget(parent) {
    SetOrientation(Horizontal);
}

CSplitterBar::~CSplitterBar() {
    delete overlay_.data();
}

bool CSplitterBar::Create(const QRect& rect, QWidget* parent, int id) {
    if (parent == nullptr)
        return false;
    if (parentWidget() != parent)
        setParent(parent);
    QRect r = rect;
    if (r.width() < r.height()) {
        SetOrientation(Vertical);
        r.setWidth(Thickness);
    } else {
        SetOrientation(Horizontal);
        r.setHeight(Thickness);
    }
    CAnchoredDialog::SetControlId(this, id);
    setGeometry(r);
    show();
    // Immovable until the owner gives a range.
    minPos_ = maxPos_ = Centre();
    return true;
}

int CSplitterBar::SetOrientation(int orientation) {
    const int previous = orientation_;
    orientation_ = orientation;
    setCursor(IsVertical() ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    return previous;
}

void CSplitterBar::SetRange(int minPos, int maxPos) {
    minPos_ = minPos;
    maxPos_ = maxPos;
}

void CSplitterBar::SetRange(int before, int after, int centre) {
    if (centre < 0)
        centre = Centre();
    minPos_ = centre - before;
    maxPos_ = centre + after;
}

int CSplitterBar::Orientation() const {
    return orientation_;
}

int CSplitterBar::Centre() const {
    const QRect r = geometry();
    return IsVertical() ? r.x() + r.width() / 2 : r.y() + r.height() / 2;
}

void CSplitterBar::DrawDragLine(QPainter& painter) const {
    // Two one-pixel lines, one on each side of the drag position, as long
    // as the bar.
    const QRect bar = geometry();
    if (IsVertical()) {
        painter.fillRect(dragPos_.x() - 1, bar.y(), 1, bar.height(), kLineColor);
        painter.fillRect(dragPos_.x() + 1, bar.y(), 1, bar.height(), kLineColor);
    } else {
        painter.fillRect(bar.x(), dragPos_.y() - 1, bar.width(), 1, kLineColor);
        painter.fillRect(bar.x(), dragPos_.y() + 1, bar.width(), 1, kLineColor);
    }
}

void CSplitterBar::ShowDragLine() {
    QWidget* parent = parentWidget();
    if (parent == nullptr)
        return;
    if (overlay_.isNull())
        overlay_ = new SplitterDragOverlay(this, parent);
    overlay_->setGeometry(parent->rect());
    overlay_->raise();
    overlay_->show();
    overlay_->update();
}

void CSplitterBar::HideDragLine() {
    // Removing the sheet lets the parent repaint what lay beneath the line.
    delete overlay_.data();
}

void CSplitterBar::AdjustHeight(QWidget* window, int dy, int mode) {
    if (window == nullptr || window->isWindow() || window->parentWidget() == nullptr)
        return;
    const QRect r = window->geometry();
    const int top = r.y();
    const int bottom = r.y() + r.height(); // exclusive
    QRect target;
    if (mode == AdjustBottom)
        target = QRect(r.x(), top, r.width(), std::max(0, bottom + dy - top));
    else if (mode == AdjustTop) {
        const int newTop = std::min(top - dy, bottom); // never past the bottom edge
        target = QRect(r.x(), newTop, r.width(), bottom - newTop);
    } else
        return;
    window->setGeometry(target);
    window->update();
}

void CSplitterBar::OffsetWindow(QWidget* window, int dy) {
    if (window == nullptr || window->isWindow() || window->parentWidget() == nullptr)
        return;
    window->move(window->x(), window->y() + dy);
    window->update();
}

void CSplitterBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width();
    const int h = height();
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    // Raised frame: light top and left edges, dark bottom and right edges.
    painter.fillRect(0, 0, w - 1, 1, light);
    painter.fillRect(0, 0, 1, h - 1, light);
    painter.fillRect(w - 1, 0, 1, h, dark);
    painter.fillRect(0, h - 1, w, 1, dark);
    // Inside it a filled rectangle with a grey outline; on a dark palette
    // the palette's own shades, as the light ones would glare.
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    if (inner.isEmpty())
        return;
    const bool darkPalette = palette().color(QPalette::Window).lightness() < 128;
    painter.fillRect(inner, darkPalette ? palette().color(QPalette::Mid) : kLineColor);
    const QRect fill = inner.adjusted(1, 1, -1, -1);
    if (!fill.isEmpty())
        painter.fillRect(fill, darkPalette ? palette().color(QPalette::Button) : kFillColor);
}

void CSplitterBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    // The pressed widget keeps receiving the mouse until the button is
    // released, wherever the pointer goes.
    pressed_ = 1;
    const int centre = Centre();
    if (IsVertical())
        dragPos_.setX(centre);
    else
        dragPos_.setY(centre);
    startPos_ = centre;
    ShowDragLine();
}

void CSplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    QPoint pos = mapToParent(event->position().toPoint());
    // Both coordinates are held in the range; when the range is inverted
    // the maximum wins.
    const auto clamp = [this](int value) {
        if (value < minPos_)
            value = minPos_;
        if (value > maxPos_)
            value = maxPos_;
        return value;
    };
    pos = QPoint(clamp(pos.x()), clamp(pos.y()));
    dragPos_ = pos;
    if (!overlay_.isNull())
        overlay_->update();
}

void CSplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    HideDragLine();
    pressed_ = 0;
    if (parentWidget() == nullptr)
        return;
    // Put the bar's centre on the drop point, then report how far it went.
    const int dropPos = IsVertical() ? dragPos_.x() : dragPos_.y();
    const int shift = dropPos - Centre();
    setGeometry(geometry().translated(IsVertical() ? shift : 0, IsVertical() ? 0 : shift));
    update();
    const SplitterNotify record{this, CAnchoredDialog::ControlId(this), SPLITTER_MOVED,
                                dropPos - startPos_};
    emit notify(record);
}

} // namespace tessarine
