#include "grid/cell.h"

namespace {

bool FitsInline(const QString& text, int capacity)
{
    if (text.size() > capacity)
        return false;
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

} // namespace

CellText::CellText(const CellText& other) : CellText()
{
    *this = other;
}

CellText::CellText(CellText&& other) noexcept
{
    std::memcpy(storage, other.storage, sizeof storage);
    other.storage[kTag] = 0;
}

CellText& CellText::operator=(const CellText& other)
{
    if (this == &other)
        return *this;
    if (other.OnHeap()) {
        Set(*other.Heap());
    } else {
        Release();
        std::memcpy(storage, other.storage, sizeof storage);
    }
    return *this;
}

CellText& CellText::operator=(CellText&& other) noexcept
{
    if (this != &other) {
        Release();
        std::memcpy(storage, other.storage, sizeof storage);
        other.storage[kTag] = 0;
    }
    return *this;
}

QString* CellText::Heap() const
{
    QString* text;
    std::memcpy(&text, storage, sizeof text);
    return text;
}

void CellText::Release() noexcept
{
    if (OnHeap())
        delete Heap();
    storage[kTag] = 0;
}

void CellText::Set(const QString& text)
{
    if (FitsInline(text, kCapacity)) {
        Release();
        for (int i = 0; i < text.size(); ++i)
            storage[i] = static_cast<unsigned char>(text[i].unicode());
        storage[kTag] = static_cast<unsigned char>(text.size());
        return;
    }
    if (OnHeap()) {
        *Heap() = text;
        return;
    }
    QString* copy = new QString(text);
    std::memcpy(storage, &copy, sizeof copy);
    storage[kTag] = kHeap;
}

void CellText::Clear()
{
    Release();
}

QString CellText::ToString() const
{
    if (OnHeap())
        return *Heap();
    return QString::fromLatin1(reinterpret_cast<const char*>(storage), storage[kTag]);
}

bool CellText::IsEmpty() const
{
    return Length() == 0;
}

int CellText::Length() const
{
    return OnHeap() ? static_cast<int>(Heap()->size()) : storage[kTag];
}

bool CellText::Equals(const QString& text) const
{
    if (OnHeap())
        return *Heap() == text;
    if (text.size() != storage[kTag])
        return false;
    for (int i = 0; i < text.size(); ++i)
        if (text[i].unicode() != storage[i])
            return false;
    return true;
}

std::optional<std::string_view> CellText::Latin1() const
{
    if (OnHeap())
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(storage), storage[kTag]);
}
