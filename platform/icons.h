#pragma once

#include <QIcon>
#include <QString>

// The program's icon resources, drawn as SVG in res/icons/<id>.svg:
// 128 program, 131 open file, 133 edit file, 139 edit data, 147 compute,
// 149 create data, 164 about, 166 exit.
namespace platform {

QString IconPath(int id);  // ":/icons/<id>.svg"
QIcon LoadIcon(int id);    // a null icon for an unknown id

} // namespace platform
