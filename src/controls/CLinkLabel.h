#pragma once
// A static text that works as a web link: link colours, underlined while the
// mouse is over it, the address as its tooltip, a hand cursor, sized to its
// text, and a click opens the address with the desktop's web browser. Tab
// reaches it (it then shows a focus frame), and Space or Enter opens it as a
// click does.
//
// Usage: create it with its caption at its place in the dialog, optionally
// SetLinkUrl(), then Attach(). An empty address is taken from the caption and
// an empty caption from the address.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace tessarine {

class CLinkLabel : public QLabel {
    Q_OBJECT
public:
    // Result codes of OpenLink: those of OpenWebAddress.
    enum : int { ErrorLimit = 32, Opened = 33, NotFound = 2, AccessDenied = 5, NoAssociation = 31 };

    explicit CLinkLabel(const QString& text = QString(), QWidget* parent = nullptr);

    void SetLinkUrl(const QString& url);
    const QString& LinkUrl() const { return url_; }

    // Completes the set-up once the control has its caption, font and place.
    void Attach();
    bool IsAttached() const { return attached_; }

    // Resizes the control to its text in the underlined font; left-aligned text
    // keeps its left edge, right-aligned its right edge, centred text its middle.
    void FitToText();

    bool IsOver() const { return over_; }
    bool IsVisited() const { return visited_; }
    // The text colour for the present state.
    QColor CurrentColour() const;
    // The colour the text is drawn in: CurrentColour(), made light enough to
    // read when the background is dark.
    QColor ShownColour() const;
    const QTimer& HoverTimer() const { return hoverTimer_; }

    QColor unvisitedColour{0, 0, 238};
    QColor visitedColour{85, 26, 139};
    QColor hoverColour{255, 0, 0};
    // -1 = underlined only while hovered, 0 = never, 1 = always.
    int underlineMode = -1;
    bool adjustToFit = true;

    // Opens `address` (see OpenWebAddress). Above ErrorLimit on success, else
    // an error code for ShowOpenError.
    static int OpenLink(const QString& address);
    static QString OpenErrorText(int code);
    static void ShowOpenError(int code, QWidget* parent = nullptr);

    // The sound of a failed click; tests install their own, an empty function
    // restores the system beep.
    static void SetBeep(std::function<void()> beep);

protected:
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void BeginHover();
    void CheckHover();
    void Click();
    void ApplyColour();

    bool over_ = false;
    bool visited_ = false;
    bool attached_ = false;
    bool pressed_ = false;
    QString url_;
    QFont standardFont_;
    QFont underlineFont_;
    QTimer hoverTimer_;
};

} // namespace tessarine
