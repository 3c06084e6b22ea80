#include "platform/shell_open.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Stand-ins for the desktop's tools: PATH holds only them while it lives.
class DesktopTools {
public:
    DesktopTools() : SavedPath(qgetenv("PATH")) { qputenv("PATH", Dir.path().toLocal8Bit()); }
    ~DesktopTools() { qputenv("PATH", SavedPath); }

    // A shell script that appends its arguments to the file log and prints answer.
    void Write(const QString& name, const QString& log, const QString& answer)
    {
        QFile file(Dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho \"$@\" >> \"${0%/*}/%1\"\nprintf '%2'\n")
                       .arg(log, answer)
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString Read(const QString& log) const
    {
        QFile file(Dir.filePath(log));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QTemporaryDir Dir;
    QByteArray SavedPath;
};

// A "mailto:" for which the desktop names no mail program fails with "no
// association" before anything is launched; with a program named, the
// launch is tried.
TEST(ShellOpen, SchemeWithoutProgramHasNoAssociation)
{
    DesktopTools tools;
    tools.Write(QStringLiteral("xdg-open"), QStringLiteral("opened"), QString());
    tools.Write(QStringLiteral("xdg-mime"), QStringLiteral("queries"), QString());
    EXPECT_EQ(platform::OpenWithDesktop(QStringLiteral("mailto:nobody@example.org")), platform::kNoAssociation);
    EXPECT_EQ(tools.Read(QStringLiteral("queries")), QStringLiteral("query default x-scheme-handler/mailto\n"));

    tools.Write(QStringLiteral("xdg-mime"), QStringLiteral("queries"), QStringLiteral("mail.desktop\\n"));
    EXPECT_NE(platform::OpenWithDesktop(QStringLiteral("mailto:somebody@example.org")),
              platform::kNoAssociation);
    EXPECT_EQ(tools.Read(QStringLiteral("queries")).count(QStringLiteral("x-scheme-handler/mailto")), 2);
    EXPECT_FALSE(tools.Read(QStringLiteral("opened")).contains(QStringLiteral("nobody")));
}

TEST(ShellOpen, TargetsThatNameNothingAreNotFound)
{
    EXPECT_EQ(platform::OpenWithDesktop(QString()), platform::kFileNotFound);
    EXPECT_EQ(platform::OpenWithDesktop(QStringLiteral("   ")), platform::kFileNotFound);
    EXPECT_EQ(platform::OpenWithDesktop(QStringLiteral("/no/such/dir/tolvar-missing.htm")),
              platform::kFileNotFound);
}

} // namespace
