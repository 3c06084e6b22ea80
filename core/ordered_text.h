#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

// A piece of text written through a pointer: Room(n) makes room for n
// more bytes and returns where they go, Advance(end) keeps what was
// written up to end.
class TextPiece {
public:
    char* Room(std::size_t bytes)
    {
        if (bytes > capacity - size)
            Grow(size + bytes);
        return text.get() + size;
    }
    void Advance(const char* end) { size = static_cast<std::size_t>(end - text.get()); }
    void Append(std::string_view bytes);
    void Clear() { size = 0; }
    std::size_t Size() const { return size; }
    std::string_view View() const { return {text.get(), size}; }

private:
    void Grow(std::size_t needed);

    std::unique_ptr<char[]> text;
    std::size_t capacity = 0;
    std::size_t size = 0;
};

// Makes the pieces 0 .. count - 1 of a text with make(piece, text) (text
// empty on entry) and hands each to write in the order of the pieces. With
// withHelper, a helper thread makes pieces too, while the other thread
// writes those already made: so a long table is formatted on two cores
// and written as it goes. Only a few pieces wait for writing at any time.
// write runs on either thread, never on both at once; make runs on both
// at once. An exception from make (std::bad_alloc) reaches the caller after
// the helper has stopped. Without a thread to be had, the caller does
// everything itself.
using MakePiece = std::function<void(std::size_t piece, TextPiece& text)>;
using WritePiece = std::function<void(std::string_view text)>;
void MakeTextInOrder(std::size_t count, const MakePiece& make, const WritePiece& write, bool withHelper);
