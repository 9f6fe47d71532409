#pragma once
// Dialog templates give positions in dialog units: a quarter of the average
// character width horizontally, an eighth of the line height vertically, both
// of the dialog's font. The average is taken over the letters A-Z and a-z,
// as dialog units are defined; QFontMetrics::averageCharWidth() reports a
// narrower figure for many fonts and would cut texts off.

#include <QFontMetricsF>
#include <QRect>
#include <QWidget>

#include <cmath>

namespace tessarine {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetricsF metrics(font);
        const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        charWidth_ = metrics.horizontalAdvance(letters) / letters.size();
        lineHeight_ = std::ceil(metrics.height());
    }
    explicit DialogUnits(const QWidget* widget) : DialogUnits(widget->font()) {}

    int X(int du) const { return static_cast<int>(du * charWidth_ / 4.0 + 0.5); }
    int Y(int du) const { return static_cast<int>(du * lineHeight_ / 8.0 + 0.5); }
    QRect Rect(int x, int y, int w, int h) const {
        // Edges are converted, not sizes, so neighbours stay flush.
        return QRect(QPoint(X(x), Y(y)), QPoint(X(x + w) - 1, Y(y + h) - 1));
    }
    QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }

private:
    double charWidth_ = 6.0;
    double lineHeight_ = 13.0;
};

} // namespace tessarine
