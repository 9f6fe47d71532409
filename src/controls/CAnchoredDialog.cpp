#include "controls/CAnchoredDialog.h"

#include <QEvent>
#include <QPolygon>
#include <QRegion>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSizeGrip>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace tessarine {

namespace {

constexpr const char* kControlIdProperty = "controlId";

// The lower-right half of a w x h rectangle: the part of the grip that is
// drawn and that takes the mouse.
QRegion TriangleRegion(const QSize& size) {
    const int w = size.width();
    const int h = size.height();
    return QRegion(QPolygon({QPoint(0, h), QPoint(w, h), QPoint(w, 0)}));
}

// The step in pixels at which edges fall on whole device pixels for a
// scale factor such as 1.25 (4), 1.5 (2) or 1.75 (4); 1 for whole factors.
int DevicePixelStep(qreal ratio) {
    for (int step = 1; step <= 8; ++step) {
        const qreal device = step * ratio;
        if (std::abs(device - std::round(device)) < 0.01)
            return step;
    }
    return 1;
}

// Moves each edge of r to the nearest multiple of step. Between device
// pixels a control's frame line may be clipped away: at 1.75 the lists
// lost their bottom border.
QRect SnapToStep(const QRect& r, int step) {
    if (step == 1)
        return r;
    auto snap = [step](int value) {
        return static_cast<int>(std::lround(static_cast<double>(value) / step)) * step;
    };
    const int left = snap(r.x()), top = snap(r.y());
    return QRect(left, top, std::max(0, snap(r.x() + r.width()) - left),
                 std::max(0, snap(r.y() + r.height()) - top));
}

} // namespace

CAnchoredDialog::CAnchoredDialog(QWidget* parent) : QWidget(parent, Qt::Window) {
    grip_ = new QSizeGrip(this);
    UpdateGripPosition();
}

CAnchoredDialog::~CAnchoredDialog() {
    RemoveAll();
}

void CAnchoredDialog::SetControlId(QWidget* control, int id) {
    if (control != nullptr)
        control->setProperty(kControlIdProperty, id);
}

int CAnchoredDialog::ControlId(const QWidget* control) {
    if (control == nullptr)
        return -1;
    const QVariant id = control->property(kControlIdProperty);
    bool ok = false;
    const int value = id.toInt(&ok);
    return id.isValid() && ok ? value : -1;
}

QWidget* CAnchoredDialog::FindControl(int id) const {
    for (QObject* child : children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget->property(kControlIdProperty).isValid() &&
            ControlId(widget) == id)
            return widget;
    }
    return nullptr;
}

QRect CAnchoredDialog::ClientRect() const {
    return contentsRect();
}

QRect CAnchoredDialog::RectInClient(const QWidget* control) const {
    QPoint topLeft;
    if (control->parentWidget() == this)
        topLeft = control->pos();
    else if (isAncestorOf(control))
        topLeft = control->mapTo(this, QPoint(0, 0));
    else
        topLeft = mapFromGlobal(control->mapToGlobal(QPoint(0, 0)));
    return QRect(topLeft - ClientRect().topLeft(), control->size());
}

void CAnchoredDialog::AnchorControl(QWidget* control, Anchor topLeft, Anchor bottomRight) {
    if (control == nullptr)
        return;
    PruneDestroyed();
    const QRect client = ClientRect();
    const int w = client.width();
    const int h = client.height();
    const QRect r = RectInClient(control);
    // Right and bottom are exclusive edges here: left + width, top + height.
    const int right = r.x() + r.width();
    const int bottom = r.y() + r.height();

    LayoutEntry entry;
    entry.window = control;
    entry.topLeftAnchor = topLeft;
    entry.topLeftMargin = QPoint(r.x() - w * topLeft.x / 100, r.y() - h * topLeft.y / 100);
    entry.bottomRightAnchor = bottomRight;
    entry.bottomRightMargin =
        QPoint(right - w * bottomRight.x / 100, bottom - h * bottomRight.y / 100);
    entries_.push_back(entry);
    index_.insert(control, entries_.size() - 1);
}

bool CAnchoredDialog::UnanchorControl(int id) {
    PruneDestroyed();
    const QWidget* control = FindControl(id);
    if (control == nullptr)
        return false;
    const auto found = index_.constFind(control);
    if (found == index_.cend())
        return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(found.value()));
    // Positions behind the removed entry have shifted; an older entry of the
    // same control (registered twice) becomes the indexed one again.
    RebuildIndex();
    return true;
}

void CAnchoredDialog::RemoveAll() {
    entries_.clear();
    index_.clear();
}

int CAnchoredDialog::AnchoredCount() const {
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                          [](const LayoutEntry& e) { return !e.window.isNull(); }));
}

void CAnchoredDialog::PruneDestroyed() {
    const auto removed = std::erase_if(entries_, [](const LayoutEntry& e) { return e.window.isNull(); });
    if (removed > 0)
        RebuildIndex();
}

void CAnchoredDialog::RebuildIndex() {
    index_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i)
        index_.insert(entries_[i].window.data(), i);
}

void CAnchoredDialog::ApplyLayout() {
    PruneDestroyed();
    if (entries_.empty())
        return;
    const QRect client = ClientRect();
    const int w = client.width();
    const int h = client.height();

    // Hold painting back until every control has its place, so that the
    // window is repainted once with the final arrangement.
    const int step = DevicePixelStep(devicePixelRatioF());
    const bool updatesWereEnabled = updatesEnabled();
    setUpdatesEnabled(false);
    for (const LayoutEntry& entry : entries_) {
        QWidget* control = entry.window.data();
        const int left = entry.topLeftMargin.x() + entry.topLeftAnchor.x * w / 100;
        const int top = entry.topLeftAnchor.y * h / 100 + entry.topLeftMargin.y();
        const int right = entry.bottomRightAnchor.x * w / 100 + entry.bottomRightMargin.x();
        const int bottom = entry.bottomRightAnchor.y * h / 100 + entry.bottomRightMargin.y();
        // A window too small for the margins collapses to zero size rather
        // than getting a negative one.
        QRect target(left, top, std::max(0, right - left), std::max(0, bottom - top));
        target = SnapToStep(target.translated(client.topLeft()), step);
        QWidget* parent = control->parentWidget();
        if (parent != this && parent != nullptr)
            target.moveTopLeft(parent->mapFrom(this, target.topLeft()));
        if (control->geometry() != target)
            control->setGeometry(target);
    }
    setUpdatesEnabled(updatesWereEnabled);
}

QSizeGrip* CAnchoredDialog::SizeGrip() const {
    return grip_;
}

int CAnchoredDialog::GripShowCount() const {
    return gripShowCount_;
}

void CAnchoredDialog::ShowSizeGrip(unsigned stateBit) {
    if ((gripTempState_ & stateBit) == 0) {
        gripTempState_ |= stateBit;
        ++gripShowCount_;
    }
    UpdateGripPosition();
}

void CAnchoredDialog::HideSizeGrip(unsigned stateBit) {
    if ((gripTempState_ & stateBit) != 0) {
        gripTempState_ &= ~stateBit;
        --gripShowCount_;
    }
    UpdateGripPosition();
}

void CAnchoredDialog::UpdateGripPosition() {
    if (grip_ == nullptr)
        return;
    // The grip takes its size from the style, which may change at run time.
    const QSize size = grip_->sizeHint();
    if (grip_->size() != size || grip_->mask().isEmpty()) {
        grip_->resize(size);
        grip_->setMask(TriangleRegion(size));
    }
    const QRect client = ClientRect();
    grip_->move(client.x() + client.width() - size.width(),
                client.y() + client.height() - size.height());
    grip_->lower();
    grip_->setVisible(gripShowCount_ > 0);
}

void CAnchoredDialog::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UpdateGripPosition();
    ApplyLayout();
}

void CAnchoredDialog::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::WindowStateChange: {
        // A maximized (or full-screen) window cannot be sized by its corner;
        // minimized and normal windows keep the grip.
        const Qt::WindowStates state = windowState();
        const bool maximized = (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) &&
                               !(state & Qt::WindowMinimized);
        if (maximized)
            HideSizeGrip(GripNotMaximized);
        else
            ShowSizeGrip(GripNotMaximized);
        break;
    }
    case QEvent::ContentsRectChange:
        // The client area moved within the window (e.g. a menu bar grew).
        UpdateGripPosition();
        ApplyLayout();
        break;
    case QEvent::StyleChange:
        UpdateGripPosition();
        break;
    default:
        break;
    }
}

void CAnchoredDialog::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        initialSize_ = size();
        setMinimumSize(initialSize_);
    }
}

} // namespace tessarine
