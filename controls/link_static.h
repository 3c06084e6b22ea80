#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QTimer>

#include <functional>

// A static text that acts as a hyperlink: drawn in link colours, underlined
// while the mouse is over it, with a hand cursor and the target as tooltip.
// A click opens the target (a URL or a "mailto:" address) with the desktop.
class CLinkStatic : public QLabel {
    Q_OBJECT

public:
    // Alignment styles of a static control, as the dialog resources number
    // them; FitToText keeps the text where these put it.
    static constexpr unsigned SS_CENTER = 0x0001;
    static constexpr unsigned SS_RIGHT = 0x0002;
    static constexpr unsigned SS_CENTERIMAGE = 0x0200;

    // Results of OpenTarget follow the desktop shell's convention: above 32
    // is success, 32 and below is an error code (see OpenErrorText).
    static constexpr int kOpenSucceeded = 42;
    static constexpr int kFileNotFound = 2;
    static constexpr int kNoAssociation = 31;
    static constexpr int kUnknownFailure = -1;

    // Opens a target and answers with a code as above. The default asks the
    // desktop (QDesktopServices::openUrl); tests install their own.
    using Opener = std::function<int(const QString& target)>;
    static Opener SetOpener(Opener opener);
    static int OpenWithDesktop(const QString& target);

    static const QColor kUnvisitedColour;  // RGB (0, 0, 238)
    static const QColor kVisitedColour;    // RGB (85, 26, 139)
    static const QColor kHoverColour;      // RGB (255, 0, 0)
    static constexpr int kHoverCheckMs = 100;

    // text: the visible text; when the target is not set before the control
    // is shown, the text is the target. style: SS_* bits.
    explicit CLinkStatic(const QString& text = QString(), unsigned style = 0, QWidget* parent = nullptr);

    // The target becomes target; size and tooltip follow. The visible text
    // stays as it is.
    void SetTarget(const QString& target);
    const QString& Target() const { return TargetText; }

    void MarkVisited(bool visited = true);
    bool IsVisited() const { return Visited; }
    bool IsOver() const { return Over; }
    unsigned Style() const { return StaticStyle; }

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

    // Opens target; a result of 32 or below is an error code.
    int OpenTarget(const QString& target);

    // Shows "Unable to open hyperlink:" with the text for code.
    void ReportOpenError(int code);
    static QString OpenErrorText(int code);

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
