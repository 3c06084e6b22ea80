#pragma once

class QKeyEvent;

// The key numbers the grid and its in-place editor pass around (the key
// that started or ended an edit), under the platform's own names. A typed
// character travels as its character code in the same number space, so a
// '!' (33) and Page Up (VK_PRIOR, 33) are the same number.
namespace platform {

enum VirtualKey : unsigned {
    VK_LBUTTON = 0x01,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_DELETE = 0x2E,
    VK_ADD = 0x6B,       // "+", on the main keys or the keypad
    VK_SUBTRACT = 0x6D,  // "-", likewise
    VK_F2 = 0x71,
};

// The virtual key of a key press (Qt::Key_PageUp -> VK_PRIOR ...; letters
// and digits as their upper-case codes), 0 for a key without one here.
unsigned VirtualKeyOf(const QKeyEvent& event);

// The character a key press types, as the number an edit starts with:
// Backspace, Tab, Enter and Esc as their control codes, any printable
// character as its code; 0 for none (Delete types nothing).
unsigned TypedCharacterOf(const QKeyEvent& event);

// True for Page Up, Page Down, End, Home and the four arrows (0x21..0x28).
inline bool IsNavigationKey(unsigned key)
{
    return key >= VK_PRIOR && key <= VK_DOWN;
}

} // namespace platform
