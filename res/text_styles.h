#pragma once

// The stored numbers that say how a text sits in its rectangle, under the
// platform's own names: the DrawText format flags that grid cells carry,
// and the alignment styles of static controls that dialog templates carry.
// platform/text_format.h turns both into Qt alignment and wrapping.
namespace res {

enum DrawTextFormat : unsigned {
    DT_LEFT = 0x00,
    DT_CENTER = 0x01,
    DT_RIGHT = 0x02,
    DT_VCENTER = 0x04,
    DT_BOTTOM = 0x08,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_NOPREFIX = 0x800,
};

enum StaticStyle : unsigned {
    SS_LEFT = 0x000,
    SS_CENTER = 0x001,
    SS_RIGHT = 0x002,
    SS_CENTERIMAGE = 0x200,  // text centred vertically
};

} // namespace res
