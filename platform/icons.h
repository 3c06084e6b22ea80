#pragma once

#include <QIcon>

// The program's icon resources, drawn as SVG in res/icons/<id>.svg:
// 128 program, 131 open file, 133 edit file, 139 edit data, 147 compute,
// 149 create data, 164 about, 166 exit.
namespace platform {

QIcon LoadIcon(int id);  // a null icon for an unknown id

} // namespace platform
