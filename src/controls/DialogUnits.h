#pragma once
// Dialog templates give positions in dialog units: a quarter of the average
// character width horizontally, an eighth of the line height vertically, both
// of the dialog's font.

#include <QFontMetrics>
#include <QRect>
#include <QWidget>

namespace tessarine {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        charWidth_ = metrics.averageCharWidth();
        lineHeight_ = metrics.height();
    }
    explicit DialogUnits(const QWidget* widget) : DialogUnits(widget->font()) {}

    int X(int du) const { return du * charWidth_ / 4; }
    int Y(int du) const { return du * lineHeight_ / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
    QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }

private:
    int charWidth_ = 6;
    int lineHeight_ = 13;
};

} // namespace tessarine
