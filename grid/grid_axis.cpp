#include "grid/grid_axis.h"

#include <algorithm>

void GridAxis::SetCount(int newCount)
{
    sizes.resize(newCount, DefaultSize);
    userSized.resize(newCount, 0);
    count = newCount;
    fixed = std::min(fixed, newCount);
    startsValid = false;
}

void GridAxis::SetFixedCount(int newFixed)
{
    fixed = newFixed;
    startsValid = false;
}

bool GridAxis::SetSize(int index, int size)
{
    if (index < 0 || index >= count || size < 0)
        return false;
    sizes[index] = size;
    startsValid = false;
    return true;
}

void GridAxis::MarkUserSized(int index)
{
    if (index >= 0 && index < count)
        userSized[index] = 1;
}

void GridAxis::Insert(int at, std::vector<int>&& newSizes, std::vector<char>&& newUserSized)
{
    newUserSized.resize(newSizes.size(), 0);
    sizes.insert(sizes.begin() + at, newSizes.begin(), newSizes.end());
    userSized.insert(userSized.begin() + at, newUserSized.begin(), newUserSized.end());
    count = int(sizes.size());
    startsValid = false;
}

void GridAxis::Take(int at, int taken, std::vector<int>& oldSizes, std::vector<char>& oldUserSized)
{
    oldSizes.assign(sizes.begin() + at, sizes.begin() + at + taken);
    oldUserSized.assign(userSized.begin() + at, userSized.begin() + at + taken);
    sizes.erase(sizes.begin() + at, sizes.begin() + at + taken);
    userSized.erase(userSized.begin() + at, userSized.begin() + at + taken);
    count = int(sizes.size());
    fixed = std::min(fixed, count);
    startsValid = false;
}

void GridAxis::UpdateStarts() const
{
    if (startsValid)
        return;
    starts.resize(count + 1);
    starts[0] = 0;
    for (int index = 0; index < count; ++index)
        starts[index + 1] = starts[index] + sizes[index];
    startsValid = true;
}

int GridAxis::Start(int index) const
{
    UpdateStarts();
    return starts[std::clamp(index, 0, count)];
}

int GridAxis::IndexAt(int offset) const
{
    UpdateStarts();
    if (offset < 0 || offset >= starts[count])
        return -1;
    return int(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
}

int GridAxis::FirstShown(int scroll) const
{
    const int last = std::max(fixed, count - 1);
    const int offset = FixedSize() + scroll;
    int index = IndexAt(offset);
    if (index < 0)
        return last;
    if (Start(index) < offset)
        ++index;
    return std::clamp(index, fixed, last);
}
