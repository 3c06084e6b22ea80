#include "platform/text_format.h"

namespace platform {

namespace {

Qt::Alignment Horizontal(unsigned format, unsigned centre, unsigned right)
{
    if (format & centre)
        return Qt::AlignHCenter;
    if (format & right)
        return Qt::AlignRight;
    return Qt::AlignLeft;
}

} // namespace

int DrawTextFlags(unsigned format)
{
    Qt::Alignment vertical = Qt::AlignTop;
    if (format & res::DT_BOTTOM)
        vertical = Qt::AlignBottom;
    else if (format & res::DT_VCENTER)
        vertical = Qt::AlignVCenter;
    int flags = static_cast<int>(Horizontal(format, res::DT_CENTER, res::DT_RIGHT) | vertical);
    if (format & res::DT_WORDBREAK)
        flags |= Qt::TextWordWrap;
    if (format & res::DT_SINGLELINE)
        flags |= Qt::TextSingleLine;
    if (!(format & res::DT_NOPREFIX))
        flags |= Qt::TextShowMnemonic;
    return flags;
}

Qt::Alignment StaticAlignment(unsigned style)
{
    const Qt::Alignment vertical = (style & res::SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    return Horizontal(style, res::SS_CENTER, res::SS_RIGHT) | vertical;
}

} // namespace platform
