#include "platform/shell_open.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <optional>

namespace platform {

Seam<int(const QString& target)>& ShellOpenSeam()
{
    static Seam<int(const QString& target)> seam;
    return seam;
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

int OpenTarget(const QString& target)
{
    if (const auto& handler = ShellOpenSeam().Handler())
        return handler(target);
    return OpenWithDesktop(target);
}

// QDesktopServices only says yes or no. A scheme that the desktop has no
// program for (a "mailto:" without a mail program) has no association (31),
// and so has any URL when the desktop's launcher is missing; a launch that
// failed otherwise has no entry in the shell's table. A target that names
// nothing is "file not found", as in the shell.
int OpenWithDesktop(const QString& target)
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

QString OpenErrorText(int code)
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

} // namespace platform
