#pragma once
// A resizable top-level window whose registered controls follow its size.
//
// Each registered control is anchored by its top-left and its bottom-right
// corner to points of the client area given as percentages of the client
// width and height, and keeps the pixel offsets (margins) it had from those
// points when it was registered. The window cannot be made smaller than it
// was when first shown, and shows a size grip in its lower-right corner
// except while maximized.

#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

class QSizeGrip;

namespace tessarine {

// A point of the client area, in percent of its width (x) and height (y).
struct Anchor {
    int x;
    int y;
};

inline constexpr Anchor AnchorNone{-1, -1};
inline constexpr Anchor AnchorTopLeft{0, 0};
inline constexpr Anchor AnchorTopCentre{50, 0};
inline constexpr Anchor AnchorTopRight{100, 0};
inline constexpr Anchor AnchorMiddleLeft{0, 50};
inline constexpr Anchor AnchorMiddleCentre{50, 50};
inline constexpr Anchor AnchorMiddleRight{100, 50};
inline constexpr Anchor AnchorBottomLeft{0, 100};
inline constexpr Anchor AnchorBottomCentre{50, 100};
inline constexpr Anchor AnchorBottomRight{100, 100};

class CAnchoredDialog : public QWidget {
public:
    // Reasons for hiding the size grip; the grip shows while no reason holds.
    // The bit is set while the reason does NOT hold (the grip is "allowed").
    static constexpr unsigned GripNotMaximized = 1;

    explicit CAnchoredDialog(QWidget* parent = nullptr);
    ~CAnchoredDialog() override;

    // Control ids: a child's id is its dynamic property "controlId".
    static void SetControlId(QWidget* control, int id);
    static int ControlId(const QWidget* control); // -1 when none
    // The first direct child widget (in creation order) carrying the id.
    QWidget* FindControl(int id) const;

    // The area the controls are laid out in: contentsRect().
    QRect ClientRect() const;

    // Registers a control (a descendant of this window) with its two
    // anchors; its current position fixes the margins. Registering a
    // control again adds a second entry, and the newer one is the one that
    // UnanchorControl removes first.
    void AnchorControl(QWidget* control, Anchor topLeft, Anchor bottomRight);
    // Removes the registration of the control FindControl(id) returns;
    // false when there is no such control or it is not registered.
    bool UnanchorControl(int id);
    void RemoveAll();
    int AnchoredCount() const;
    // Positions every registered control for the current client size, all
    // in one pass with updates held back.
    void ApplyLayout();

    // The size grip and its show count (shown while the count is positive).
    QSizeGrip* SizeGrip() const;
    int GripShowCount() const;
    // Showing by a bit not yet set sets it and raises the count; hiding by
    // a bit that is set clears it and lowers the count; otherwise nothing.
    void ShowSizeGrip(unsigned stateBit);
    void HideSizeGrip(unsigned stateBit);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct LayoutEntry {
        QPointer<QWidget> window;
        Anchor topLeftAnchor;
        QPoint topLeftMargin;
        Anchor bottomRightAnchor;
        QPoint bottomRightMargin;
    };

    void PruneDestroyed();
    void RebuildIndex();
    void UpdateGripPosition();
    QRect RectInClient(const QWidget* control) const;

    std::vector<LayoutEntry> entries_;
    QHash<const QWidget*, std::size_t> index_; // newest entry of each control
    QSizeGrip* grip_ = nullptr;
    int gripShowCount_ = 1;
    unsigned gripTempState_ = GripNotMaximized;
    QSize initialSize_;
    bool shownOnce_ = false;
};

} // namespace tessarine
