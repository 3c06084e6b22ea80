#include "platform/lp_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace platform {

Seam<int(char* command, int length)>& LpSeam()
{
    static Seam<int(char* command, int length)> seam;
    return seam;
}

namespace {
QString& ConfiguredPath()
{
    static QString path;
    return path;
}

using LpEntry = int (*)(char*, int);
} // namespace

void SetLpLibraryPath(const QString& path)
{
    ConfiguredPath() = path;
}

QString LpLibraryPath()
{
    if (!ConfiguredPath().isEmpty())
        return ConfiguredPath();
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libnormex.so"));
}

int CallLp(char* command, int length)
{
    if (const auto& handler = LpSeam().Handler())
        return handler(command, length);
    // Loaded once and kept for the rest of the program.
    static QLibrary library;
    if (!library.isLoaded()) {
        library.setFileName(LpLibraryPath());
        if (!library.load())
            return kLpLibraryMissing;
    }
    const auto entry = reinterpret_cast<LpEntry>(library.resolve("LP"));
    if (!entry)
        return kLpLibraryMissing;
    return entry(command, length);
}

} // namespace platform
