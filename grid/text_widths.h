#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <string_view>

// Extent of any text in a font: one line's height, or the lines' extent.
QSize TextExtent(const QFontMetrics& metrics, const QString& text);

// Text widths in one font, equal to what QFontMetrics::horizontalAdvance
// gives, but fast for the number texts that fill a grid ("12.500000").
// Qt lays a text out as a sum of 26.6 fixed-point advances and rounds the
// sum once. For the characters of numbers whose advances add up without
// kerning in this font (checked pair by pair against the font's own layout),
// the width of a single-line Latin-1 text is that same sum of cached
// advances; any other text takes QFontMetrics' own path.
class TextWidths {
public:
    explicit TextWidths(const QFont& font);

    const QFontMetrics& Metrics() const { return metrics; }
    int Width(std::string_view latin1) const;
    // Height of the text: one line's height, or the lines' extent.
    int Height(std::string_view latin1) const;

private:
    static constexpr std::int32_t kNotAdditive = -1;

    QFontMetrics metrics;
    std::array<std::int32_t, 256> advances;  // 26.6 fixed point, or kNotAdditive
};
