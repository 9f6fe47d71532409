#pragma once
// A thin bar that the user drags to move the boundary between two controls.
//
// The bar knows nothing of the controls around it. While it is dragged it
// shows a double line at the drag position; when the button is released it
// moves itself there and tells its owner, through notify(), how far it moved.
// A vertical bar moves along x, a horizontal bar along y.

#include <QMetaType>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QPainter;

namespace tessarine {

inline constexpr unsigned SPLITTER_MOVED = 0x401;

// What the bar reports to its owner when a drag ends.
struct SplitterNotify {
    QWidget* hwndFrom; // the bar
    int idFrom;        // the bar's control id
    unsigned code;     // SPLITTER_MOVED
    int delta;         // pixels moved: positive = down (horizontal) or right (vertical)
};

class SplitterDragOverlay;

class CSplitterBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int Vertical = 1;   // moves along x
    static constexpr int Horizontal = 2; // moves along y
    static constexpr int Thickness = 5;

    explicit CSplitterBar(QWidget* parent = nullptr);
    ~CSplitterBar() override;

    // Places the bar on parent at rect (parent's widget coordinates) with the
    // control id. A rect narrower than high makes a vertical bar, any other a
    // horizontal one; the bar is made Thickness pixels thick from rect's
    // left or top edge. The range is set to the bar's centre, so the bar does
    // not move until a range is given. False without a parent.
    bool Create(const QRect& rect, QWidget* parent, int id);
    // Stores the orientation (Vertical or Horizontal); returns the previous one.
    int SetOrientation(int orientation);
    // The range the drag position may take, in the parent's coordinates.
    void SetRange(int minPos, int maxPos);
    // The range from centre - before to centre + after; a negative centre
    // means the bar's current centre along its axis.
    void SetRange(int before, int after, int centre);

    int Orientation() const;
    // The bar's centre along its axis in the parent's coordinates.
    int Centre() const;

    // Paints the double drag line; the painter works in the parent's
    // coordinates.
    virtual void DrawDragLine(QPainter& painter) const;

    // Helpers for the owner to move the controls around the bar, in the
    // coordinates of the window's parent; both do nothing for a window
    // without a parent. Mode AdjustBottom: bottom += dy; AdjustTop: top -= dy.
    static constexpr int AdjustBottom = 3;
    static constexpr int AdjustTop = 4;
    static void AdjustHeight(QWidget* window, int dy, int mode);
    static void OffsetWindow(QWidget* window, int dy);

signals:
    void notify(const tessarine::SplitterNotify& notify);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool IsVertical() const { return orientation_ == Vertical; }
    void ShowDragLine();
    void HideDragLine();
    QRect DragLineArea() const;

    int pressed_ = 0;
    int orientation_ = Horizontal;
    QPoint dragPos_;
    int minPos_ = -1;
    int maxPos_ = -1;
    int startPos_ = 0;
    QPointer<SplitterDragOverlay> overlay_;
};

} // namespace tessarine

Q_DECLARE_METATYPE(tessarine::SplitterNotify)
