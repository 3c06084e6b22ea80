#include "controls/link_static.h"

#include "platform/message_box.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <optional>
#include <utility>

const QColor CLinkStatic::kUnvisitedColour(0, 0, 238);
const QColor CLinkStatic::kVisitedColour(85, 26, 139);
const QColor CLinkStatic::kHoverColour(255, 0, 0);

namespace {

CLinkStatic::Opener& CurrentOpener()
{
    static CLinkStatic::Opener opener;
    return opener;
}

Qt::Alignment AlignmentOf(unsigned style)
{
    Qt::Alignment alignment = Qt::AlignLeft;
    if (style & CLinkStatic::SS_CENTER)
        alignment = Qt::AlignHCenter;
    else if (style & CLinkStatic::SS_RIGHT)
        alignment = Qt::AlignRight;
    return alignment | ((style & CLinkStatic::SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop);
}

} // namespace

CLinkStatic::Opener CLinkStatic::SetOpener(Opener opener)
{
    return std::exchange(CurrentOpener(), std::move(opener));
}

namespace {

constexpr int kHandlerQueryMs = 3000;

// Whether the desktop names a program for a URL scheme ("mailto"), as
// xdg-mime answers; nullopt when it cannot tell. The desktop's launcher
// starts without waiting for the program, so a missing handler shows
// nowhere else.
std::optional<bool> DesktopHasHandler(const QString& scheme)
{
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(query, {QStringLiteral("query"), QStringLiteral("default"),
                          QStringLiteral("x-scheme-handler/") + scheme});
    if (!process.waitForFinished(kHandlerQueryMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return !process.readAllStandardOutput().trimmed().isEmpty();
}

// Files and web pages always find a program: the launcher falls back on
// the file manager or a browser.
bool NeedsSchemeHandler(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return !url.isLocalFile() && scheme != QLatin1String("http") && scheme != QLatin1String("https");
}

} // namespace

// QDesktopServices only says yes or no. A scheme that the desktop has no
// program for (a "mailto:" without a mail program) has no association (31),
// and so has any URL when the desktop's launcher is missing; a launch that
// failed otherwise has no entry in the shell's table. A target that names
// nothing is "file not found", as in the shell.
int CLinkStatic::OpenWithDesktop(const QString& target)
{
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty())
        return kFileNotFound;
    QUrl url(trimmed, QUrl::StrictMode);
    if (url.isValid() && url.scheme().isEmpty()) {
        const QFileInfo file(trimmed);
        if (!file.exists())
            return kFileNotFound;
        url = QUrl::fromLocalFile(file.absoluteFilePath());
    }
    if (!url.isValid())
        return kFileNotFound;
    if (NeedsSchemeHandler(url) && DesktopHasHandler(url.scheme()) == false)
        return kNoAssociation;
    if (QDesktopServices::openUrl(url))
        return kOpenSucceeded;
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty() ? kNoAssociation : kUnknownFailure;
}

CLinkStatic::CLinkStatic(const QString& text, unsigned style, QWidget* parent)
    : QLabel(text, parent), StaticStyle(style)
{
    setTextFormat(Qt::PlainText);
    setAlignment(AlignmentOf(style));
    setMouseTracking(true);
    setAutoFillBackground(true);  // the dialog face behind the text
    setCursor(Qt::PointingHandCursor);
    HoverTimer.setInterval(kHoverCheckMs);
    connect(&HoverTimer, &QTimer::timeout, this, &CLinkStatic::OnHoverCheck);
    ApplyColour();
}

void CLinkStatic::Attach()
{
    if (Attached)
        return;
    Attached = true;
    if (TargetText.isEmpty())
        TargetText = text();
    if (text().isEmpty())
        setText(TargetText);
    NormalFont = font();
    UnderlinedFont = NormalFont;
    UnderlinedFont.setUnderline(true);
    FitToText();
    setToolTip(TargetText);
}

void CLinkStatic::SetTarget(const QString& target)
{
    TargetText = target;
    if (!Attached)
        return;
    FitToText();
    setToolTip(TargetText);
}

void CLinkStatic::MarkVisited(bool visited)
{
    Visited = visited;
    ApplyColour();
}

QColor CLinkStatic::TextColour() const
{
    if (Over)
        return kHoverColour;
    return Visited ? kVisitedColour : kUnvisitedColour;
}

void CLinkStatic::ApplyColour()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, TextColour());
    setPalette(colours);
    update();
}

// The frame around the text (the label's frame and margins) is kept; only
// the text area takes the size of the text. Centred styles move both edges
// by half the difference, truncated toward zero.
void CLinkStatic::FitToText()
{
    if (!Attached)
        return;
    QRect window = geometry();
    const QRect client = contentsRect();
    const int insetLeft = client.left();
    const int insetTop = client.top();
    const int insetRight = width() - (client.left() + client.width());
    const int insetBottom = height() - (client.top() + client.height());
    const QSize textSize = QFontMetrics(UnderlinedFont).size(0, text());

    const int newHeight = textSize.height() + insetTop + insetBottom;
    if (StaticStyle & SS_CENTERIMAGE) {
        const int half = (window.height() - newHeight) / 2;
        window.setTop(window.top() + half);
        window.setBottom(window.bottom() - half);
    } else {
        window.setHeight(newHeight);
    }

    const int newWidth = textSize.width() + insetLeft + insetRight;
    if (StaticStyle & SS_CENTER) {
        const int half = (window.width() - newWidth) / 2;
        window.setLeft(window.left() + half);
        window.setRight(window.right() - half);
    } else if (StaticStyle & SS_RIGHT) {
        window.setLeft(window.left() + window.width() - newWidth);
    } else {
        window.setWidth(newWidth);
    }
    setGeometry(window);
}

int CLinkStatic::OpenTarget(const QString& target)
{
    if (CurrentOpener())
        return CurrentOpener()(target);
    return OpenWithDesktop(target);
}

QString CLinkStatic::OpenErrorText(int code)
{
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
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE transactions\n"
                              "were being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QString::asprintf("Unknown Error (%d) occurred.", code);
    }
}

void CLinkStatic::ReportOpenError(int code)
{
    platform::ShowMessage(QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(code), this,
                          platform::MessageIcon::Warning);
}

void CLinkStatic::showEvent(QShowEvent* event)
{
    Attach();
    QLabel::showEvent(event);
}

void CLinkStatic::mouseMoveEvent(QMouseEvent* event)
{
    if (!Over) {
        Over = true;
        setFont(UnderlinedFont);
        ApplyColour();
        HoverTimer.start();
    }
    QLabel::mouseMoveEvent(event);
}

// The hover ends when a check finds the cursor outside; a leave event alone
// does not end it, so a fast exit is caught by the next check.
void CLinkStatic::OnHoverCheck()
{
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        return;
    Over = false;
    HoverTimer.stop();
    setFont(NormalFont);
    ApplyColour();
}

void CLinkStatic::mousePressEvent(QMouseEvent* event)
{
    Pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = Pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    Pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        OnClicked();
}

// The second press of a double click is no click of its own: a double
// click opens the target once.
void CLinkStatic::mouseDoubleClickEvent(QMouseEvent* event)
{
    Pressed = false;
    event->accept();
}

// 32 and below are failures, compared signed: negative codes fail too.
void CLinkStatic::OnClicked()
{
    Over = false;
    ApplyColour();
    const int result = OpenTarget(TargetText);
    if (result > 32) {
        MarkVisited(true);
        return;
    }
    QApplication::beep();
    ReportOpenError(result);
}
