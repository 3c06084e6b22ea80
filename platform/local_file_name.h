#pragma once

#include <QFile>
#include <QString>

#include <string>

namespace platform {

// A file name as the numerical core's C library opens it: in the
// platform's encoding of file names.
inline std::string LocalFileName(const QString& fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

} // namespace platform
