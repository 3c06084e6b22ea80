#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <cstring>
#include <optional>
#include <string_view>

// A cell's text in 16 bytes. Texts of up to 15 Latin-1 characters (every
// number the data editor shows, "0.000000" or "12.500000") live inside the
// object; longer texts and texts with other characters live in a QString on
// the heap. The grid holds millions of these, so one cell costs no more than
// its own bytes.
class CellText {
public:
    CellText() noexcept { storage[kTag] = 0; }
    explicit CellText(const QString& text) : CellText() { Set(text); }
    CellText(const CellText& other);
    CellText(CellText&& other) noexcept;
    CellText& operator=(const CellText& other);
    CellText& operator=(CellText&& other) noexcept;
    ~CellText() { Release(); }

    void Set(const QString& text);
    void Clear();
    QString ToString() const;
    bool IsEmpty() const;
    bool Equals(const QString& text) const;
    int Length() const;

    // The characters when they are stored inline (Latin-1), else nothing.
    std::optional<std::string_view> Latin1() const;

private:
    static constexpr int kCapacity = 15;
    static constexpr int kTag = 15;                   // inline length, or kHeap
    static constexpr unsigned char kHeap = 0xFF;

    bool OnHeap() const { return storage[kTag] == kHeap; }
    QString* Heap() const;
    void Release() noexcept;

    alignas(8) unsigned char storage[16];
};

// One cell of the grid: its text, its DrawText format and its state flags.
// Image, colours, parameter and font are rare, so they live in a side table
// of the grid (CellExtras) and a cell only carries a flag that it has some.
struct CCell {
    CellText text;
    unsigned format = 0;
    unsigned state = 0;

    // Set in state while the cell has an entry in the side table; never
    // shown to the owner.
    static constexpr unsigned kHasExtras = 0x80000000u;
};

// The attributes in which a cell differs from the grid's defaults. An invalid
// colour and an empty font stand for the grid's own.
struct CellExtras {
    int image = -1;
    QColor background;
    QColor foreground;
    unsigned parameter = 0;
    std::optional<QFont> font;

    bool IsDefault() const
    {
        return image == -1 && !background.isValid() && !foreground.isValid() && parameter == 0 && !font;
    }
};
