#pragma once

#include "res/text_styles.h"

#include <Qt>

// The one translation from the stored text formats (res/text_styles.h) to
// Qt: the dialog builder, the link control and the grid all go through it.
namespace platform {

// DT_* flags to the alignment and flags of QPainter::drawText: horizontal
// left, centred or right; vertically top, centred or bottom; DT_WORDBREAK
// wraps at word boundaries, DT_SINGLELINE keeps one line; without
// DT_NOPREFIX '&' marks a mnemonic.
int DrawTextFlags(unsigned format);

// SS_* styles of a static control to its alignment: horizontal left,
// centred or right; vertically centred with SS_CENTERIMAGE, else top.
Qt::Alignment StaticAlignment(unsigned style);

} // namespace platform
