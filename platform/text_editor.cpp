#include "platform/text_editor.h"

#include <QProcess>
#include <QStandardPaths>

namespace platform {

Seam<bool(const QString& fileName)>& TextEditorSeam()
{
    static Seam<bool(const QString& fileName)> seam;
    return seam;
}

namespace {

// Graphical editors that stay in the foreground until their window closes.
const QList<QStringList>& KnownEditors()
{
    static const QList<QStringList> editors = {
        {QStringLiteral("gnome-text-editor"), QStringLiteral("--standalone")},
        {QStringLiteral("gedit"), QStringLiteral("--standalone")},
        {QStringLiteral("kwrite")},
        {QStringLiteral("kate"), QStringLiteral("-b"), QStringLiteral("-n")},
        {QStringLiteral("mousepad"), QStringLiteral("--disable-server")},
        {QStringLiteral("pluma")},
        {QStringLiteral("xed")},
        {QStringLiteral("featherpad"), QStringLiteral("--standalone")},
        {QStringLiteral("leafpad")},
        {QStringLiteral("geany"), QStringLiteral("-i")},
        {QStringLiteral("gvim"), QStringLiteral("-f")},
    };
    return editors;
}

// A relative name that starts with '-' would reach the editor as an
// option; "./" in front keeps it a file name.
QString AsFileArgument(const QString& fileName)
{
    return fileName.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + fileName : fileName;
}

QStringList FromVariable(const char* name)
{
    const QString value = qEnvironmentVariable(name).trimmed();
    return value.isEmpty() ? QStringList() : QProcess::splitCommand(value);
}
} // namespace

QStringList FindTextEditor()
{
    for (const char* variable : {"TOLVAR_EDITOR", "VISUAL"}) {
        const QStringList command = FromVariable(variable);
        if (!command.isEmpty())
            return command;
    }
    for (const QStringList& editor : KnownEditors())
        if (!QStandardPaths::findExecutable(editor.constFirst()).isEmpty())
            return editor;
    return {};
}

bool RunTextEditor(const QString& fileName)
{
    if (const auto& handler = TextEditorSeam().Handler())
        return handler(fileName);
    QStringList command = FindTextEditor();
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, command << AsFileArgument(fileName));
    if (!process.waitForStarted(-1))
        return false;
    process.waitForFinished(-1);
    return true;
}

} // namespace platform
