#include "platform/text_format.h"

#include <gtest/gtest.h>

namespace {

// The stored numbers are the platform's own: a grid cell's DT_CENTER (1)
// and a template's SS_CENTER (1) both centre, but 0x200 means "centred
// vertically" only for a static control.
TEST(TextFormat, StoredNumbersBecomeQtAlignment)
{
    struct Case {
        unsigned format;
        int flags;
    };
    const Case drawText[] = {
        {res::DT_LEFT, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic},
        {res::DT_CENTER, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic},
        {res::DT_RIGHT | res::DT_BOTTOM, Qt::AlignRight | Qt::AlignBottom | Qt::TextShowMnemonic},
        {res::DT_WORDBREAK, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic},
        {res::DT_CENTER | res::DT_VCENTER | res::DT_SINGLELINE | res::DT_NOPREFIX,
         Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine},
        {0x200, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic},
    };
    for (const Case& c : drawText)
        EXPECT_EQ(platform::DrawTextFlags(c.format), c.flags) << c.format;

    const std::pair<unsigned, Qt::Alignment> statics[] = {
        {res::SS_LEFT, Qt::AlignLeft | Qt::AlignTop},
        {res::SS_CENTER, Qt::AlignHCenter | Qt::AlignTop},
        {res::SS_RIGHT | res::SS_CENTERIMAGE, Qt::AlignRight | Qt::AlignVCenter},
        {res::DT_WORDBREAK, Qt::AlignLeft | Qt::AlignTop},
    };
    for (const auto& [style, alignment] : statics)
        EXPECT_EQ(platform::StaticAlignment(style), alignment) << style;
}

} // namespace
