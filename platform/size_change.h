#pragma once

#include <QSize>

#include <optional>

namespace platform {

// The change of a window's client size from one size event to the next, for
// windows that move and grow their own controls by it. No change is known
// until a first size has been recorded.
class SizeChange {
public:
    void Record(QSize size) { last = size; }
    bool Recorded() const { return last.isValid(); }

    // The change since the size recorded last, which size replaces; the
    // first size is only recorded.
    std::optional<QSize> Follow(QSize size)
    {
        const std::optional<QSize> change = Recorded() ? std::optional(size - last) : std::nullopt;
        last = size;
        return change;
    }

private:
    QSize last;  // invalid until the first Record or Follow
};

} // namespace platform
