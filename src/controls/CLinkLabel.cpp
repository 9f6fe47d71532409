#include "controls/CLinkLabel.h"

#include "platform/Browser.h"
#include "platform/Desktop.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace tessarine {
namespace {

constexpr int kHoverPeriodMs = 100;

std::function<void()>& BeepHook() {
    static std::function<void()> hook;
    return hook;
}

} // namespace

CLinkLabel::CLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    hoverTimer_.setInterval(kHoverPeriodMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &CLinkLabel::CheckHover);
}

void CLinkLabel::SetLinkUrl(const QString& url) {
    url_ = url;
    if (attached_) {
        FitToText();
        setToolTip(url_);
    }
}

void CLinkLabel::Attach() {
    if (url_.isEmpty())
        url_ = text();
    if (text().isEmpty())
        setText(url_);

    standardFont_ = font();
    underlineFont_ = standardFont_;
    underlineFont_.setUnderline(true);
    attached_ = true;

    FitToText();
    setCursor(Qt::PointingHandCursor);
    if (underlineMode != -1) {
        setFont(underlineMode == 1 ? underlineFont_ : standardFont_);
    }
    setToolTip(url_);
    ApplyColour();
}

void CLinkLabel::FitToText() {
    if (!attached_ || !adjustToFit)
        return;
    const QSize text = QFontMetrics(underlineFont_).size(0, this->text());
    // Frame and margins stay around the text.
    const int cx = text.width() + width() - contentsRect().width() + 2 * margin();
    const int cy = text.height() + height() - contentsRect().height() + 2 * margin();

    QRect r = geometry();
    if (alignment() & Qt::AlignVCenter) {
        const int shrink = (r.height() - cy) / 2;
        r.adjust(0, shrink, 0, -shrink);
    } else {
        r.setBottom(r.top() + cy - 1);
    }
    if (alignment() & Qt::AlignHCenter) {
        const int shrink = (r.width() - cx) / 2;
        r.adjust(shrink, 0, -shrink, 0);
    } else if (alignment() & Qt::AlignRight) {
        r.setLeft(r.right() - cx + 1);
    } else {
        r.setRight(r.left() + cx - 1);
    }
    setGeometry(r);
}

QColor CLinkLabel::CurrentColour() const {
    if (over_)
        return hoverColour;
    return visited_ ? visitedColour : unvisitedColour;
}

QColor CLinkLabel::ShownColour() const {
    // The link colours are made for a light background; on a dark one
    // (a dark desktop palette) the same hues are drawn light enough to read.
    const QColor colour = CurrentColour();
    if (palette().color(QPalette::Window).lightness() >= 128)
        return colour;
    const QColor hsl = colour.toHsl();
    return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), std::max(hsl.lightness(), 192),
                           hsl.alpha());
}

void CLinkLabel::ApplyColour() {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ShownColour());
    setPalette(colours);
    update();
}

void CLinkLabel::enterEvent(QEnterEvent* event) {
    BeginHover();
    QLabel::enterEvent(event);
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event) {
    BeginHover();
    QLabel::mouseMoveEvent(event);
}

void CLinkLabel::BeginHover() {
    if (over_)
        return;
    over_ = true;
    if (underlineMode == -1 && attached_)
        setFont(underlineFont_);
    ApplyColour();
    hoverTimer_.start();
}

// The hover timer watches for the mouse leaving the control.
void CLinkLabel::CheckHover() {
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        return;
    over_ = false;
    hoverTimer_.stop();
    if (underlineMode != 1 && attached_)
        setFont(standardFont_);
    ApplyColour();
}

void CLinkLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        Click();
}

void CLinkLabel::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                  event->key() == Qt::Key_Enter)) {
        Click();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CLinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void CLinkLabel::Click() {
    over_ = false;
    const int result = OpenLink(url_);
    if (result > ErrorLimit) {
        visited_ = true;
        ApplyColour();
        return;
    }
    visited_ = false;
    ApplyColour();
    if (BeepHook())
        BeepHook()();
    else
        QApplication::beep();
    ShowOpenError(result, window());
}

int CLinkLabel::OpenLink(const QString& address) { return OpenWebAddress(address); }

QString CLinkLabel::OpenErrorText(int code) {
    switch (code) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE "
                              "transactions\nwere being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
    }
}

void CLinkLabel::ShowOpenError(int code, QWidget* parent) {
    ShowMessageBox(parent, QMessageBox::Warning,
                   QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(code));
}

void CLinkLabel::SetBeep(std::function<void()> beep) { BeepHook() = std::move(beep); }

} // namespace tessarine
