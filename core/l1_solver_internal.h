#pragma once

#include <cmath>
#include <limits>
#include <vector>

namespace l1 {

// The candidate leaving rows of one simplex step, kept as a list with
// positions 0 .. Count() - 1, each entry a ratio (right-hand side over the
// entry of the entering column) and its row.
//
// The simplex takes the entry of least ratio (the first position among
// equal ratios) and fills the hole with the last entry of the list. Done
// literally, each take scans the whole list: O(k), and O(M^2) per step when
// many rows are passed over. Here the entries sit in a binary heap ordered
// by (ratio, position); moving the last entry into a hole lowers its
// position, so it only ever rises in the heap. Each take costs O(log k) and
// returns exactly the entry the scan would return, ties included.
//
// The scan starts from 1e20 and would find nothing when no ratio lies below
// it (huge or infinite ratios, NaNs from non-finite data), leaving the row
// undefined; the least ratio is taken in every case instead. A ratio that is
// not a number ranks after every other ratio; among such entries the first
// position is taken.
class RatioQueue {
public:
    // Obtains storage for up to capacity entries, so that adding them never
    // allocates. False when the storage could not be obtained.
    bool Reserve(int capacity);
    // Empties the list; keeps the storage for the next step.
    void Clear();
    // Appends an entry at position Count(). Call Order() after the last one.
    void Add(double ratio, int row)
    {
        const int position = Count();
        if (std::isnan(ratio))
            heap.push_back({kInfinity, position + kNanRank});
        else
            heap.push_back({ratio, position});
        rows.push_back(row);
    }
    // Builds the heap over the entries added since Clear().
    void Order();
    int Count() const { return static_cast<int>(rows.size()); }
    // Removes the entry of least ratio, moves the last entry into its
    // position and returns the removed entry's row. Requires Count() > 0.
    int TakeLeast();

private:
    // A ratio that is not a number is stored as +infinity with this bit set
    // in its rank, which puts it after every true +infinity.
    static constexpr int kNanRank = 1 << 30;
    static constexpr double kInfinity = std::numeric_limits<double>::infinity();

    struct Node {
        double ratio;  // never a NaN
        int rank;      // position, plus kNanRank for a ratio that was a NaN
    };

    static bool Precedes(const Node& a, const Node& b)
    {
        return a.ratio < b.ratio || (a.ratio == b.ratio && a.rank < b.rank);
    }
    void Place(int heapIndex, const Node& node);
    void SiftUp(int heapIndex);
    void SiftDown(int heapIndex);

    std::vector<int> rows;         // by position
    std::vector<int> heapIndexOf;  // by position
    std::vector<Node> heap;
};

}  // namespace l1
