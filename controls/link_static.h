#pragma once

#include "res/text_styles.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QTimer>

// A static text that acts as a hyperlink: drawn in link colours, underlined
// while the mouse is over it, with a hand cursor and the target as tooltip.
// A click opens the target (a URL or a "mailto:" address) with the desktop
// (platform/shell_open.h).
class CLinkStatic : public QLabel {
    Q_OBJECT

public:
    static const QColor kUnvisitedColour;  // RGB (0, 0, 238)
    static const QColor kVisitedColour;    // RGB (85, 26, 139)
    static const QColor kHoverColour;      // RGB (255, 0, 0)
    static constexpr int kHoverCheckMs = 100;

    // text: the visible text; when the target is not set before the control
    // is shown, the text is the target. style: the static control's style;
    // its SS_* alignment bits (res/text_styles.h, read through
    // platform/text_format.h) place the text, and FitToText keeps it there.
    explicit CLinkStatic(const QString& text = QString(), unsigned style = 0, QWidget* parent = nullptr);

    // The target becomes target; size and tooltip follow. The visible text
    // stays as it is.
    void SetTarget(const QString& target);
    const QString& Target() const { return TargetText; }

    void MarkVisited(bool visited = true);
    bool IsVisited() const { return Visited; }
    bool IsOver() const { return Over; }

    // The colour the text is drawn in now: hover, else visited, else unvisited.
    QColor TextColour() const;

    // Turns the label into a link once it has its place in the dialog: the
    // target defaults to the text (and an empty text to the target), the
    // fonts are taken from the label, the size is fitted, the tooltip set.
    // Runs by itself at the first showing if nobody called it before.
    void Attach();
    bool IsAttached() const { return Attached; }

    // Resizes the control to its text (measured in the underlined font),
    // keeping the edge or centre that the alignment style fixes.
    void FitToText();

    // Shows "Unable to open hyperlink:" with the text of the opener's
    // error code (platform/shell_open.h).
    void ReportOpenError(int code);

protected:
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnHoverCheck();
    void OnClicked();
    void ApplyColour();

    QString TargetText;
    unsigned StaticStyle;
    bool Over = false;
    bool Visited = false;
    bool Attached = false;
    bool Pressed = false;
    QFont NormalFont;
    QFont UnderlinedFont;
    QTimer HoverTimer;
};
