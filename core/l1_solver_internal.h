#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

class BlockTeam;
class Matrix;

namespace l1 {

// How the exchange steps run: rows per block, whether a helper thread
// shares the blocks, and whether entries whose pivot-row or pivot-column
// factor is zero are left alone. Every schedule takes the same pivots and
// gives the same numbers; leaving those entries alone changes at most the
// sign of an entry that is zero (x - 0 * d is -0.0 or +0.0 by the signs),
// so without it the bits are those of the full update.
struct Schedule {
    int blockRows;
    bool helper;
    bool skipZeros = true;
    // With skipZeros: columns of small whole numbers kept as bytes while
    // their numbers stay such (the same numbers, zeros without sign).
    bool narrowIntegers = true;
};
Schedule DefaultSchedule(int m, int n);

// Matrix::SolveL1 with a chosen schedule: x and residuals rebuilt, A and b
// left as they are; with basic, the flags of the basic observations, with
// sides the sides of the others (as Matrix::SolveL1).
void SolveL1(const Matrix& A, const Matrix& b, Matrix& x, Matrix& residuals, const Schedule& schedule,
             std::vector<bool>* basic = nullptr, std::vector<signed char>* sides = nullptr);

// The candidate leaving rows of one simplex step, kept as a list with
// positions 0 .. Count() - 1, each entry a ratio (right-hand side over the
// entry of the entering column) and its row.
//
// The simplex takes the entry of least ratio (the first position among
// equal ratios) and fills the hole with the last entry of the list. Done
// literally, each take scans the whole list: O(k), and O(M^2) per step when
// many rows are passed over. Here a binary heap ordered by ratio holds the
// entries that can come next. Positions matter only among equal ratios:
// when the least ratio of the heap is shared, all its entries leave the heap
// together and go by position, as tied entries do below. Each take costs
// O(log k) and returns exactly the entry the scan would return, ties
// included.
//
// A step takes few of its many candidates, so the heap is filled lazily:
// the entries below a ratio that a sample puts above about twice as many as
// the step before took (at least `batch`) go in; every entry left out has a
// larger ratio, so none of them can come first, whatever positions they move
// to. When no ratio separates (all least ratios equal), the entries of the
// least ratio go by position alone, which needs no heap. When the heap runs
// empty, the next draw from what is left aims at twice as many.
//
// The scan starts from 1e20 and would find nothing when no ratio lies below
// it (huge or infinite ratios, NaNs from non-finite data), leaving the row
// undefined; the least ratio is taken in every case instead. A ratio that is
// not a number ranks after every other ratio; among such entries the first
// position is taken.
class RatioQueue {
public:
    // Entries drawn into the heap at least.
    explicit RatioQueue(int batch = 64) : batch(batch) {}
    // Obtains storage for up to capacity entries, so that adding them never
    // allocates. False when the storage could not be obtained.
    bool Reserve(int capacity);
    // Empties the list for the next step; keeps the storage.
    void Clear();
    // Appends rhs[i] / coefficients[i] for every row i in [first, last)
    // whose coefficient exceeds the tolerance, in the order of the rows;
    // rows below the capacity. Called once after Clear(); it draws the heap
    // on the way, so the takes may follow at once. With a team, both its
    // threads take part.
    void AddRatios(const double* coefficients, const double* rhs, int first, int last, double tolerance,
                   BlockTeam* team = nullptr);
    // The same for the rows listed[first .. last - 1] (ascending) instead
    // of the rows first .. last - 1; rows whose coefficient is not above the
    // tolerance may be listed too.
    void AddListedRatios(const double* coefficients, const double* rhs, const int* listed, int first, int last,
                         double tolerance, BlockTeam* team = nullptr);
    // The same for coefficients held as small whole numbers.
    void AddRatios(const std::int8_t* coefficients, const double* rhs, int first, int last, double tolerance,
                   BlockTeam* team = nullptr);
    void AddListedRatios(const std::int8_t* coefficients, const double* rhs, const int* listed, int first, int last,
                         double tolerance, BlockTeam* team = nullptr);
    int Count() const { return count; }
    // The row that TakeLeast would return now if it draws no more entries,
    // or -1; for fetching its data early.
    int NextRow() const
    {
        if (tieMode)
            return movedIn >= 0 ? rows[movedIn] : rows[PendingAt(pendingFront)];
        return heap.empty() ? -1 : heap.front().row;
    }
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
    // An entry in the heap: drawn ratios are less than +infinity, so never
    // NaNs, and its row names it while its position may change.
    struct Drawn {
        double ratio;
        int row;
    };
    // The heap's order, as a type so that the heap functions inline it.
    struct Later {
        bool operator()(const Drawn& a, const Drawn& b) const { return a.ratio > b.ratio; }
    };

    static Node MakeNode(double ratio, int position)
    {
        const bool nan = std::isnan(ratio);
        return Node{nan ? kInfinity : ratio, position | (nan ? kNanRank : 0)};
    }
    // Entries of one class keep their order among themselves but may change
    // it against each other: same ratio, and both or neither a NaN.
    static bool ClassPrecedes(const Node& a, const Node& b)
    {
        return a.ratio < b.ratio || (a.ratio == b.ratio && (a.rank & kNanRank) < (b.rank & kNanRank));
    }
    void Refill();
    // True when every ratio gathered is the same number (no NaN): then they
    // all go by position, without heap or draw.
    template <class Coefficient, class RowAt>
    void AddRatiosOf(const Coefficient* coefficients, const double* rhs, const RowAt& rowAt, int first, int last,
                     double tolerance, BlockTeam* team);
    template <class Coefficient, class RowAt>
    bool GatherInHalves(const Coefficient* coefficients, const double* rhs, const RowAt& rowAt, int first, int last,
                        double tolerance, BlockTeam* team);
    void DrawInHalves(double threshold, BlockTeam* team);
    struct Gathered {
        int count = 0;
        bool uniform = false;       // every ratio the same number (none a NaN)
        double ratio = 0.0;         // that number
        bool ratiosLeftOut = false; // right-hand sides all 0: the ratios not written
    };
    // The rows rowAt(k) for k in [first, last).
    template <class Coefficient, class RowAt>
    Gathered Gather(const Coefficient* coefficients, const double* rhs, const RowAt& rowAt, int first, int last,
                    double tolerance, int start);
    std::size_t Draw(int from, int to, double threshold, std::size_t start);
    void StartHeap();
    int TakeFromHeap();
    void StartTies(const Drawn& least);
    void EnterTieMode(bool everyPosition);
    int TakeTied();
    bool MoveLastInto(int taken);
    template <class RatioAt>
    double DrawThreshold(const RatioAt& ratioAt);

    int batch;
    int drawSize = 0;     // entries the next draw takes into the heap
    int takenInStep = 0;  // takes since Clear()
    int count = 0;
    std::vector<Node> entries;     // by position
    std::vector<int> rows;         // by position
    std::vector<double> ratios;    // scratch of AddRatios
    std::vector<double> divisors;  // scratch of AddRatios
    std::vector<int> positionOf;   // by row
    std::vector<Drawn> heap;
    std::vector<Drawn> firstDraw;  // scratch of AddRatios, by capacity
    std::vector<double> sample;    // ratios that choose the next draw
    // Tie mode: the least entries all share one class, and none of them is
    // in the heap.
    bool tieMode = false;
    Node tieClass{};
    std::vector<int> pending;      // positions of members not yet taken, ascending
    int pendingFront = 0;
    // With every entry a member, pending is pendingFront .. pendingEnd - 1
    // without being written out.
    bool pendingEveryPosition = false;
    int pendingEnd = 0;
    int PendingAt(int k) const { return pendingEveryPosition ? k : pending[static_cast<std::size_t>(k)]; }
    int PendingCount() const { return pendingEveryPosition ? pendingEnd : static_cast<int>(pending.size()); }
    int movedIn = -1;              // position of a member moved into the last hole
};

}  // namespace l1
