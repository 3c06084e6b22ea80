#include "grid/text_widths.h"

#include <QFontMetricsF>

#include <cmath>

namespace {

// Characters of numbers as the grid shows and users type them.
constexpr char kNumberCharacters[] = "0123456789.,+-eE ";

// The text's advance in 26.6 fixed point.
std::int32_t Advance64(const QFontMetricsF& exact, const QString& text)
{
    return static_cast<std::int32_t>(std::lround(exact.horizontalAdvance(text) * 64.0));
}

} // namespace

TextWidths::TextWidths(const QFont& font) : metrics(font)
{
    const QFontMetricsF exact(font);
    advances.fill(kNotAdditive);
    std::string_view candidates(kNumberCharacters);
    for (char c : candidates)
        advances[static_cast<unsigned char>(c)] = Advance64(exact, QString(QLatin1Char(c)));
    // A character whose advance changes next to another (kerning, shaping)
    // leaves the fast path.
    for (char a : candidates)
        for (char b : candidates) {
            const auto ua = static_cast<unsigned char>(a);
            const auto ub = static_cast<unsigned char>(b);
            if (advances[ua] == kNotAdditive || advances[ub] == kNotAdditive)
                continue;
            const QString pair = QString(QLatin1Char(a)) + QLatin1Char(b);
            if (Advance64(exact, pair) != advances[ua] + advances[ub]) {
                advances[ua] = kNotAdditive;
                advances[ub] = kNotAdditive;
            }
        }
}

QSize TextExtent(const QFontMetrics& metrics, const QString& text)
{
    if (!text.contains(QLatin1Char('\n')))
        return {metrics.horizontalAdvance(text), metrics.height()};
    return metrics.size(0, text);
}

int TextWidths::Width(std::string_view latin1) const
{
    std::int32_t sum = 0;
    for (char c : latin1) {
        const std::int32_t advance = advances[static_cast<unsigned char>(c)];
        if (advance == kNotAdditive)
            return TextExtent(metrics, QString::fromLatin1(latin1.data(), qsizetype(latin1.size()))).width();
        sum += advance;
    }
    return (sum + 32) >> 6;  // QFixed's rounding
}

int TextWidths::Height(std::string_view latin1) const
{
    if (latin1.find('\n') == std::string_view::npos)
        return metrics.height();
    return TextExtent(metrics, QString::fromLatin1(latin1.data(), qsizetype(latin1.size()))).height();
}
