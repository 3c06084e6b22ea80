#pragma once

// The program's resources: icons (res/icons.qrc), pictures
// (res/pictures.qrc) and the help text (res/help.qrc). They live in a static
// library, whose resources are linked in only when registered by name, so
// every reader of a ":/" path calls this first; after the first call it
// does nothing.
namespace platform {

void RegisterResources();

} // namespace platform
