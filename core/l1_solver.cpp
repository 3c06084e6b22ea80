// L1 solution of an overdetermined system A x = b (M equations, N unknowns)
// by the modified simplex method of Barrodale and Roberts: minimise the sum
// of abs(b(i) - a(i) x) over x.
//
// The tableau has M + 2 rows and N + 2 columns:
//   rows 0 .. M-1   one per equation, later the rows of the basis
//   row  M          marginal costs (column N: cost of the right-hand side)
//   row  M+1        column labels
//   column N        right-hand side, column N+1 row labels.
// Labels are whole numbers: j + 1 names unknown j, N + 1 + i names the
// residual of equation i. A negative label marks a negated row or column.
//
// Stage I brings the unknowns into the basis, one pivot each, and gathers
// their rows at the top (rows 0 .. t-1); a column without a leaving row is
// linearly dependent on the basis and set aside (columns 0 .. s-1), its
// unknown stays 0. Stage II exchanges residuals until no marginal cost
// promises a descent. Instead of pivoting, a row may be "passed over": the
// objective keeps falling past that vertex, so the row is negated and the
// next least ratio is tried.
//
// Every floating-point operation happens in the same order and with the
// same operands as in the textbook transcription, so the results are
// identical to it bit for bit (but for the sign of a zero, where entries
// with a zero factor are left alone: l1::Schedule); what differs is the
// bookkeeping of the ratio
// test (a lazily filled heap instead of a scan), the storage (by columns;
// columns of small whole numbers as bytes, which hold the same numbers),
// the order in which independent elements are visited (blocks of rows,
// shared with a helper thread; passed-over rows finished after the test,
// column by column on both threads; the candidates of the ratio test
// gathered in two halves of the rows, one on each thread).

#include "core/l1_solver_internal.h"

#include "core/block_team.h"
#include "core/matrix.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace l1 {

bool RatioQueue::Reserve(int capacity)
{
    try {
        entries.resize(static_cast<std::size_t>(capacity) + 1);
        rows.resize(static_cast<std::size_t>(capacity) + 1);
        ratios.resize(static_cast<std::size_t>(capacity) + 1);
        divisors.resize(static_cast<std::size_t>(capacity) + 1);
        positionOf.resize(static_cast<std::size_t>(capacity) + 1);
        heap.reserve(static_cast<std::size_t>(capacity));
        firstDraw.resize(static_cast<std::size_t>(capacity) + 1);
        sample.reserve(512);
        pending.reserve(static_cast<std::size_t>(capacity) + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

namespace {

// work(0) and work(1), on the two threads of the team when there is one.
template <class Work>
void InHalves(BlockTeam* team, const Work& work)
{
    if (team != nullptr) {
        team->Run(2, work);
        return;
    }
    work(0);
    work(1);
}

}  // namespace

// The rows go in two halves, each gathered and drawn apart.
void RatioQueue::AddRatios(const double* coefficients, const double* rhs, int first, int last, double tolerance,
                           BlockTeam* team)
{
    AddRatiosOf(coefficients, rhs, [](int k) { return k; }, first, last, tolerance, team);
}

void RatioQueue::AddListedRatios(const double* coefficients, const double* rhs, const int* listed, int first,
                                 int last, double tolerance, BlockTeam* team)
{
    AddRatiosOf(coefficients, rhs, [listed](int k) { return listed[k]; }, first, last, tolerance, team);
}

void RatioQueue::AddRatios(const std::int8_t* coefficients, const double* rhs, int first, int last, double tolerance,
                           BlockTeam* team)
{
    AddRatiosOf(coefficients, rhs, [](int k) { return k; }, first, last, tolerance, team);
}

void RatioQueue::AddListedRatios(const std::int8_t* coefficients, const double* rhs, const int* listed, int first,
                                 int last, double tolerance, BlockTeam* team)
{
    AddRatiosOf(coefficients, rhs, [listed](int k) { return listed[k]; }, first, last, tolerance, team);
}

template <class Coefficient, class RowAt>
void RatioQueue::AddRatiosOf(const Coefficient* coefficients, const double* rhs, const RowAt& rowAt, int first, int last,
                             double tolerance, BlockTeam* team)
{
    if (GatherInHalves(coefficients, rhs, rowAt, first, last, tolerance, team)) {
        // Degenerate steps (every right-hand side 0) come here: the takes
        // go by position at once, and no entry needs making.
        EnterTieMode(true);
        return;
    }
    const double threshold = DrawThreshold([this](int p) { return MakeNode(ratios[p], p).ratio; });
    DrawInHalves(threshold, team);
}

// The second half is gathered from the furthest position it can need and
// then closes the gap.
template <class Coefficient, class RowAt>
bool RatioQueue::GatherInHalves(const Coefficient* coefficients, const double* rhs, const RowAt& rowAt, int first,
                                int last, double tolerance, BlockTeam* team)
{
    const int middle = first + (last - first) / 2;
    Gathered gathered[2];
    InHalves(team, [&](int half) {
        gathered[half] = half == 0 ? Gather(coefficients, rhs, rowAt, first, middle, tolerance, 0)
                                   : Gather(coefficients, rhs, rowAt, middle, last, tolerance, middle - first);
    });
    const int to = gathered[0].count;
    const int gap = middle - first - gathered[0].count;
    if (gap > 0 && gathered[1].count > 0) {
        std::copy_n(&rows[static_cast<std::size_t>(to + gap)], gathered[1].count, &rows[static_cast<std::size_t>(to)]);
        std::copy_n(&ratios[static_cast<std::size_t>(to + gap)], gathered[1].count,
                    &ratios[static_cast<std::size_t>(to)]);
    }
    count = to + gathered[1].count;
    // An empty half has no say; a NaN is not the same as itself.
    const bool uniform[2] = {gathered[0].count == 0 || gathered[0].uniform,
                             gathered[1].count == 0 || gathered[1].uniform};
    const bool sameRatio = gathered[0].count == 0 || gathered[1].count == 0 || gathered[0].ratio == gathered[1].ratio;
    if (count > 0 && uniform[0] && uniform[1] && sameRatio)
        return true;
    // A half of right-hand sides all 0 beside one that is not: its ratios
    // after all, each the right-hand side itself (0 over a positive
    // coefficient keeps the zero's sign).
    const int halfStart[2] = {0, to};
    for (int half = 0; half < 2; ++half)
        if (gathered[half].ratiosLeftOut)
            for (int p = halfStart[half]; p < halfStart[half] + gathered[half].count; ++p)
                ratios[static_cast<std::size_t>(p)] = rhs[rows[static_cast<std::size_t>(p)]];
    return false;
}

// The entries and the first draw of the heap, each half drawn into its own
// part of firstDraw.
void RatioQueue::DrawInHalves(double threshold, BlockTeam* team)
{
    const int split = count / 2;
    const auto secondStart = static_cast<std::size_t>(split);
    std::size_t drawn[2] = {0, 0};
    InHalves(team, [&](int half) {
        drawn[half] = half == 0 ? Draw(0, split, threshold, 0) : Draw(split, count, threshold, secondStart);
    });
    if (drawn[0] + drawn[1] == 0)
        return;
    const auto second = firstDraw.begin() + static_cast<std::ptrdiff_t>(secondStart);
    heap.assign(firstDraw.begin(), firstDraw.begin() + static_cast<std::ptrdiff_t>(drawn[0]));
    heap.insert(heap.end(), second, second + static_cast<std::ptrdiff_t>(drawn[1]));
    StartHeap();
}

// The candidates among the rows rowAt(first) .. rowAt(last - 1), from
// position start on, with their ratios; returns how many. Every row is written and only the kept ones
// are counted, so no branch that the data could make unpredictable; the
// ratios follow in a loop that vectorises.
template <class Coefficient, class RowAt>
RatioQueue::Gathered RatioQueue::Gather(const Coefficient* coefficients, const double* rhs, const RowAt& rowAt, int first,
                                        int last, double tolerance, int start)
{
    Gathered gathered;
    int position = start;
    // Right-hand sides all 0 (every step of a problem whose observations
    // are all 0): the ratios are all 0, and only the rows are needed.
    bool allZero = true;
    for (int k = first; k < last && allZero; ++k)
        allZero = rhs[rowAt(k)] == 0.0;
    if (allZero) {
        for (int k = first; k < last; ++k) {
            const int i = rowAt(k);
            rows[position] = i;
            position += coefficients[i] > tolerance ? 1 : 0;
        }
        gathered.count = position - start;
        gathered.uniform = true;
        gathered.ratiosLeftOut = true;
        return gathered;
    }
    int* const candidateRows = rows.data();
    double* const candidateRatios = ratios.data();
    double* const candidateDivisors = divisors.data();
    for (int k = first; k < last; ++k) {
        const int i = rowAt(k);
        candidateRows[position] = i;
        candidateRatios[position] = rhs[i];
        candidateDivisors[position] = coefficients[i];
        position += coefficients[i] > tolerance ? 1 : 0;
    }
    gathered.count = position - start;
    if (gathered.count == 0)
        return gathered;
    for (int p = start; p < position; ++p)
        ratios[p] = ratios[p] / divisors[p];
    // Mostly the first entries tell that the ratios are not all the same.
    const double* const begin = ratios.data() + start;
    const double* const end = ratios.data() + position;
    const double ratio = *begin;
    gathered.uniform = std::all_of(begin, end, [ratio](double value) { return value == ratio; });
    gathered.ratio = ratio;
    return gathered;
}

// The entries at positions [from, to), made from their ratios, and the
// first draw with them: the entries below the threshold go to firstDraw
// from start on. Returns how many were drawn.
std::size_t RatioQueue::Draw(int from, int to, double threshold, std::size_t start)
{
    std::size_t drawn = start;
    for (int p = from; p < to; ++p) {
        const Node node = MakeNode(ratios[p], p);
        entries[p] = node;
        positionOf[rows[p]] = p;
        firstDraw[drawn] = Drawn{node.ratio, rows[p]};
        drawn += node.ratio < threshold ? 1 : 0;
    }
    return drawn - start;
}

void RatioQueue::Clear()
{
    count = 0;
    heap.clear();
    tieMode = false;
    // A step tends to take about as many entries as the step before it.
    drawSize = std::max(batch, takenInStep + takenInStep / 4);
    takenInStep = 0;
}

// A ratio below which about twice drawSize of the entries lie, read off an
// even sample of them; +infinity when every entry is to be drawn.
template <class RatioAt>
double RatioQueue::DrawThreshold(const RatioAt& ratioAt)
{
    if (2 * static_cast<long long>(drawSize) >= count)
        return kInfinity;
    constexpr int kSampleSize = 256;
    const int step = std::max(1, count / kSampleSize);
    sample.clear();
    for (int position = 0; position < count; position += step)
        sample.push_back(ratioAt(position));
    const double share = 2.0 * drawSize / count;
    const std::size_t rank = std::min(sample.size() - 1, static_cast<std::size_t>(share * sample.size()) + 1);
    std::nth_element(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(rank), sample.end());
    return sample[rank];
}

void RatioQueue::Refill()
{
    const double threshold = DrawThreshold([this](int p) { return entries[p].ratio; });
    heap.clear();
    // The entries left out: their least class, and the positions of the
    // entries of that class, ascending, for the case that no ratio separates.
    Node leastLeftOut{kInfinity, kNanRank};
    pending.clear();
    for (int position = 0; position < count; ++position) {
        const Node node = entries[position];
        if (node.ratio < threshold) {
            heap.push_back(Drawn{node.ratio, rows[position]});
        } else if (ClassPrecedes(node, leastLeftOut)) {
            leastLeftOut = node;
            pending.clear();
            pending.push_back(position);
        } else if (!ClassPrecedes(leastLeftOut, node)) {
            pending.push_back(position);
        }
    }
    if (heap.empty()) {
        // No ratio separates the least entries: they all share the least
        // class and go by position alone.
        tieClass = leastLeftOut;
        EnterTieMode(false);
        return;
    }
    StartHeap();
}

void RatioQueue::StartHeap()
{
    std::make_heap(heap.begin(), heap.end(), Later());
    // A step that needs more than drawn draws twice as many next time.
    drawSize *= 2;
}

int RatioQueue::TakeLeast()
{
    if (!tieMode && heap.empty())
        Refill();
    ++takenInStep;
    return tieMode ? TakeTied() : TakeFromHeap();
}

// The least drawn entry when its ratio is its own; when the heap holds
// more of that ratio, they all go by position.
int RatioQueue::TakeFromHeap()
{
    std::pop_heap(heap.begin(), heap.end(), Later());
    const Drawn least = heap.back();
    heap.pop_back();
    if (!heap.empty() && heap.front().ratio == least.ratio) {
        StartTies(least);
        return TakeTied();
    }
    MoveLastInto(positionOf[least.row]);
    --count;
    return least.row;
}

// Tie mode for the drawn entries of least's ratio: every entry of that
// ratio is in the heap (all below the draw's ratio are), none has a NaN.
void RatioQueue::StartTies(const Drawn& least)
{
    pending.clear();
    pending.push_back(positionOf[least.row]);
    while (!heap.empty() && heap.front().ratio == least.ratio) {
        std::pop_heap(heap.begin(), heap.end(), Later());
        pending.push_back(positionOf[heap.back().row]);
        heap.pop_back();
    }
    std::sort(pending.begin(), pending.end());
    tieClass = Node{least.ratio, 0};
    EnterTieMode(false);
}

// Tie mode over the pending positions, or over every position when every
// entry is a member (then the entries themselves are never made).
void RatioQueue::EnterTieMode(bool everyPosition)
{
    pendingEveryPosition = everyPosition;
    pendingEnd = count;
    pendingFront = 0;
    movedIn = -1;
    tieMode = true;
}

// Entries of one class, by position: the least is an entry that the last
// take moved into its hole (the hole was below every other member), else
// the first one still pending. A member that is the last entry is the last
// one pending, and when it moves it is next.
int RatioQueue::TakeTied()
{
    int taken = movedIn;
    if (taken >= 0)
        movedIn = -1;
    else
        taken = PendingAt(pendingFront++);
    const int row = rows[taken];
    if (MoveLastInto(taken) && (pendingEveryPosition || !ClassPrecedes(tieClass, entries[taken]))) {
        if (pendingEveryPosition)
            --pendingEnd;
        else
            pending.pop_back();
        movedIn = taken;
    }
    --count;
    if (movedIn < 0 && pendingFront == PendingCount())
        tieMode = false;
    return row;
}

// Fills the hole at position taken with the last entry; false when the
// taken entry was the last.
bool RatioQueue::MoveLastInto(int taken)
{
    const int last = count - 1;
    if (taken == last)
        return false;
    rows[taken] = rows[last];
    positionOf[rows[last]] = taken;
    entries[taken] = Node{entries[last].ratio, taken | (entries[last].rank & kNanRank)};
    return true;
}

}  // namespace l1

namespace {

// Entries of the entering column at or below this are not pivot candidates;
// a row is passed over while the marginal cost stays above it after the pass.
constexpr double kTolerance = 1e-9;
// Start of the best stage II marginal cost: below every real candidate.
constexpr double kMinusHuge = -1e20;
// The exchange step goes down the listed rows instead of whole columns when
// at most this share of the rows is updated.
constexpr int kSparseRowShare = 4;
// Entries that the passes over rows change, from which the helper thread
// takes part in finishing them.
constexpr double kTeamEntries = 1 << 14;
// |x| <= kLargestFinite is false for an infinity and a NaN alike, in a
// comparison that vectorises.
constexpr double kLargestFinite = std::numeric_limits<double>::max();

// Entries of a column kept as bytes lie within this magnitude.
constexpr int kNarrowLimit = 127;
// Rows of one block of the exchange step on columns of bytes.
constexpr int kNarrowBlockRows = 1 << 13;

// True when value can be kept as a byte: a whole number within the limit
// (a zero loses its sign there).
bool FitsNarrow(double value)
{
    return std::fabs(value) <= kNarrowLimit && value == std::trunc(value);
}

// A column of the tableau: M entries, as doubles or, while they are all
// small whole numbers, as bytes. A levelling network's entries stay -1, 0
// and +1 throughout (every pivot is +1 or -1), and arithmetic on such
// numbers is exact either way, so the bytes hold the numbers the doubles
// would hold, but for the sign of a zero, while an exchange step moves an
// eighth of the memory. A column becomes doubles for good when a result
// might not fit.
struct TableauColumn {
    double* wide = nullptr;         // used while !isNarrow
    std::int8_t* narrow = nullptr;  // used while isNarrow
    bool isNarrow = false;
    int bound = 0;                  // while narrow: no entry exceeds it in magnitude
};

// x - d * f over [first, last), d doubles or bytes; x bytes only where the
// caller has made sure every result fits (then f is a whole number).
template <class Factor>
void SubtractMultiple(double* __restrict x, const Factor* __restrict d, double f, int first, int last)
{
    for (int i = first; i < last; ++i)
        x[i] = x[i] - static_cast<double>(d[i]) * f;
}

void SubtractMultiple(std::int8_t* __restrict x, const std::int8_t* __restrict d, double f, int first, int last)
{
    const auto factor = static_cast<std::int8_t>(f);
    for (int i = first; i < last; ++i)
        x[i] = static_cast<std::int8_t>(x[i] - d[i] * factor);
}

// The same for f = +1 and f = -1, without a product.
void SubtractNarrow(std::int8_t* __restrict x, const std::int8_t* __restrict d, int first, int last)
{
    for (int i = first; i < last; ++i)
        x[i] = static_cast<std::int8_t>(x[i] - d[i]);
}

void AddNarrow(std::int8_t* __restrict x, const std::int8_t* __restrict d, int first, int last)
{
    for (int i = first; i < last; ++i)
        x[i] = static_cast<std::int8_t>(x[i] + d[i]);
}

// x - d * f over the listed rows rows[first .. last - 1], x doubles.
template <class Factor>
void SubtractMultipleListed(double* x, const Factor* d, double f, const int* rows, int first, int last)
{
    for (int k = first; k < last; ++k) {
        const int i = rows[k];
        x[i] = x[i] - static_cast<double>(d[i]) * f;
    }
}

// The tableau is stored by columns: the ratio test reads one column and the
// right-hand side, and the exchange step runs down whole columns. Each of the
// columns 0 .. N-1 (coefficients) and N (right-hand side) holds the M
// equation rows; the marginal costs and the labels live beside them.
// Columns are reached through a table, so that setting a column aside swaps
// two entries of the table instead of M numbers. The right-hand side is
// always kept as doubles.
class SimplexTableau {
public:
    SimplexTableau(const Matrix& A, const Matrix& b, const l1::Schedule& schedule);

    // False when the tableau or the candidate list could not be obtained.
    bool IsValid() const { return valid; }
    void Solve();
    // x (N x 1) and the residuals a(i) x - b(i) (M x 1), both pre-zeroed;
    // with basic, which observations the solution passes through.
    void ReadOut(Matrix& x, Matrix& residuals, std::vector<bool>* basic, std::vector<signed char>* sides);

private:
    bool Allocate(bool narrowing);
    void Fill(const Matrix& A, const Matrix& b, bool narrowing);
    void RunStageOne();
    void RunStageTwo();
    int ChooseColumnStageOne();
    int ChooseColumnStageTwo(double& best);
    int ChooseLeavingRow(int q);
    void FinishPassOvers(int q);
    void FinishPassOvers(int q, int j);
    void Pivot(int r, int q);
    bool ListingPays();
    bool ListNonZeroRows(int q);
    bool ListNonZeroColumns(int q);
    void KeepOrWidenTargets(int q);
    bool StaysNarrow(TableauColumn& target, TableauColumn& entering, double f);
    template <class Work>
    void RunJobs(int count, const Work& job);
    void PivotRows(int q, double p, int first, int last, bool divideEntering);
    void PivotListedRows(int q, int first, int last);
    void PivotNarrowRows(int q, int first, int last);
    void DivideEntering(int q, double p, bool listedRows);
    void GatherUnknownRow(int r);
    void SetColumnAside(int q);
    void NegateColumn(int q);
    void MakeUnknownRowsPositive();

    double Entry(int i, int j) const
    {
        const TableauColumn& c = column[j];
        return c.isNarrow ? static_cast<double>(c.narrow[i]) : c.wide[i];
    }
    void SetEntry(int i, int j, double value);
    void NegateEntry(int i, int j);
    void Widen(TableauColumn& c);
    int MaxMagnitude(const TableauColumn& c) const;
    double& Cost(int j) { return cost[j]; }

    const int m;
    const int n;
    const int rhsColumn;
    const int blockRows;
    const bool skipZeros;
    BlockTeam team;
    bool valid = false;
    std::unique_ptr<double[]> wideStorage;         // (N + 1) x M; a column's pages are touched only when used
    std::unique_ptr<std::int8_t[]> narrowStorage;  // N x M, when columns may be bytes
    std::vector<TableauColumn> column;  // N + 1
    std::vector<double> cost;           // N + 1 marginal costs
    std::vector<double> rowLabel;       // M
    std::vector<double> columnLabel;    // N
    std::vector<double> pivotRow;       // N + 1, scratch of the exchange step
    // The exchange step's columns, and its rows (M): with enteringListed,
    // the rows whose entry in the entering column is non-zero, listed by
    // the ratio test (the passes over rows change only signs there).
    std::vector<int> updatedColumns;
    std::vector<int> narrowTargets;  // the step's columns of bytes, out of updatedColumns
    std::vector<int> updatedRows;
    int updatedRowCount = 0;
    bool enteringListed = false;
    double listedDensity = 0.0;  // share of non-zero rows, averaged over the listed columns
    int stepsUnlisted = 0;
    std::vector<int> passedOver;      // rows passed over in the current ratio test
    l1::RatioQueue candidates;
    int pivotCount = 0;
    int firstColumn = 0;       // columns before it were set aside as dependent
    int firstResidualRow = 0;  // rows before it hold unknowns
};

SimplexTableau::SimplexTableau(const Matrix& A, const Matrix& b, const l1::Schedule& schedule)
    : m(A.Rows()), n(A.Columns()), rhsColumn(n), blockRows(std::max(1, schedule.blockRows)),
      skipZeros(schedule.skipZeros), team(schedule.helper)
{
    // Bytes lose the signs of zeros, which only the update that leaves
    // entries with a zero factor alone may lose.
    const bool narrowing = schedule.skipZeros && schedule.narrowIntegers;
    if (!Allocate(narrowing))
        return;
    Fill(A, b, narrowing);
}

bool SimplexTableau::Allocate(bool narrowing)
{
    const std::size_t height = static_cast<std::size_t>(m);
    const std::size_t width = static_cast<std::size_t>(n) + 1;
    try {
        if (height > std::vector<double>().max_size() / width)
            return false;
        wideStorage.reset(new double[height * width]);
        if (narrowing)
            narrowStorage.reset(new std::int8_t[height * (width - 1)]);
        column.resize(width);
        for (std::size_t j = 0; j < width; ++j) {
            column[j].wide = wideStorage.get() + j * height;
            if (narrowing && j + 1 < width)
                column[j].narrow = narrowStorage.get() + j * height;
        }
        cost.assign(width, 0.0);
        rowLabel.assign(height, 0.0);
        columnLabel.assign(width - 1, 0.0);
        pivotRow.assign(width, 0.0);
        updatedColumns.reserve(width);
        narrowTargets.reserve(width);
        updatedRows.assign(height, 0);
        passedOver.reserve(height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    valid = candidates.Reserve(m);
    return valid;
}

// Each row is made to have a non-negative right-hand side, so the residuals
// form a feasible starting basis. A coefficient column whose entries are all
// small whole numbers is kept as bytes.
void SimplexTableau::Fill(const Matrix& A, const Matrix& b, bool narrowing)
{
    for (int j = 0; j < n; ++j) {
        columnLabel[j] = j + 1;
        column[j].isNarrow = narrowing;
    }
    for (int i = 0; i < m && narrowing; ++i)
        for (int j = 0; j < n; ++j)
            column[j].isNarrow = column[j].isNarrow && FitsNarrow(A[i][j]);
    for (int i = 0; i < m; ++i) {
        const double* source = A[i];
        rowLabel[i] = n + i + 1;
        const bool negate = b[i][0] < 0;
        for (int j = 0; j < n; ++j) {
            const double value = negate ? -source[j] : source[j];
            TableauColumn& c = column[j];
            if (c.isNarrow)
                c.narrow[i] = static_cast<std::int8_t>(value);
            else
                c.wide[i] = value;
        }
        column[rhsColumn].wide[i] = negate ? -b[i][0] : b[i][0];
        if (negate)
            rowLabel[i] = -rowLabel[i];
    }
    for (int j = 0; j <= rhsColumn; ++j) {
        TableauColumn& c = column[j];
        if (c.isNarrow)
            c.bound = MaxMagnitude(c);
        double sum = 0.0;
        for (int i = 0; i < m; ++i)
            sum = sum + Entry(i, j);
        cost[j] = sum;
    }
}

void SimplexTableau::SetEntry(int i, int j, double value)
{
    TableauColumn& c = column[j];
    if (c.isNarrow && FitsNarrow(value)) {
        c.narrow[i] = static_cast<std::int8_t>(value);
        c.bound = std::max(c.bound, static_cast<int>(std::fabs(value)));
        return;
    }
    if (c.isNarrow)
        Widen(c);
    c.wide[i] = value;
}

void SimplexTableau::NegateEntry(int i, int j)
{
    TableauColumn& c = column[j];
    if (c.isNarrow)
        c.narrow[i] = static_cast<std::int8_t>(-c.narrow[i]);
    else
        c.wide[i] = -c.wide[i];
}

void SimplexTableau::Widen(TableauColumn& c)
{
    for (int i = 0; i < m; ++i)
        c.wide[i] = c.narrow[i];
    c.isNarrow = false;
}

int SimplexTableau::MaxMagnitude(const TableauColumn& c) const
{
    int largest = 0;
    for (int i = 0; i < m; ++i)
        largest = std::max(largest, std::abs(static_cast<int>(c.narrow[i])));
    return largest;
}

void SimplexTableau::Solve()
{
    RunStageOne();
    RunStageTwo();
}

void SimplexTableau::RunStageOne()
{
    // Every pivot brings one unknown into the basis, every set-aside column
    // removes one from the game: at most N rounds.
    while (pivotCount + firstColumn != n) {
        const int q = ChooseColumnStageOne();
        const int r = ChooseLeavingRow(q);
        if (r < 0) {
            SetColumnAside(q);
            continue;
        }
        Pivot(r, q);
        GatherUnknownRow(r);
    }
}

void SimplexTableau::RunStageTwo()
{
    for (;;) {
        double best = 0.0;
        const int q = ChooseColumnStageTwo(best);
        if (best <= kTolerance) {
            MakeUnknownRowsPositive();
            return;
        }
        if (!(Cost(q) > 0)) {
            // The residual enters the basis on its other side: the column
            // changes sign, and its cost falls by 2 because the residual's
            // unit weight now counts with the opposite sign.
            NegateColumn(q);
            Cost(q) = Cost(q) - 2.0;
        }
        const int r = ChooseLeavingRow(q);
        if (r < 0)
            return;  // rounding left no leaving row: stop with what there is
        Pivot(r, q);
    }
}
// The unknown column of largest absolute marginal cost, the first among
// equals; a cost that is not a number is never largest, and when all are,
// the first unknown column is taken.
int SimplexTableau::ChooseColumnStageOne()
{
    int q = -1;
    double best = -1.0;
    for (int j = firstColumn; j < n; ++j) {
        if (std::fabs(columnLabel[j]) > n)
            continue;
        if (q < 0)
            q = j;
        const double d = std::fabs(Cost(j));
        if (d > best) {
            best = d;
            q = j;
        }
    }
    if (Cost(q) < 0)
        NegateColumn(q);
    return q;
}

// A residual column promises a descent when its cost exceeds the tolerance
// as it stands (cost d > 0) or after a change of sign (cost -d - 2 for
// d <= -2); costs in (-2, 0) promise none. Returns -1 with best -1e20 when
// no column is left.
int SimplexTableau::ChooseColumnStageTwo(double& best)
{
    int q = -1;
    best = kMinusHuge;
    for (int j = firstColumn; j < n; ++j) {
        double d = Cost(j);
        if (d < 0) {
            if (d > -2.0)
                continue;
            d = -d - 2.0;
        }
        if (d > best) {
            best = d;
            q = j;
        }
    }
    return q;
}

// The ratio test of the modified simplex: candidates are the residual rows
// with an entry above the tolerance in column q, tried by increasing ratio.
// While the marginal cost stays above the tolerance after subtracting twice
// the pivot, the row is passed over. Returns -1 when every candidate was
// passed over or there was none.
int SimplexTableau::ChooseLeavingRow(int q)
{
    candidates.Clear();
    enteringListed = skipZeros && ListingPays() && ListNonZeroRows(q);
    const TableauColumn& entering = column[q];
    const double* const rhs = column[rhsColumn].wide;
    if (enteringListed) {
        // The listed residual rows: from the first one on.
        const int* const listed = updatedRows.data();
        const int first = static_cast<int>(std::lower_bound(listed, listed + updatedRowCount, firstResidualRow) - listed);
        if (entering.isNarrow)
            candidates.AddListedRatios(entering.narrow, rhs, listed, first, updatedRowCount, kTolerance, &team);
        else
            candidates.AddListedRatios(entering.wide, rhs, listed, first, updatedRowCount, kTolerance, &team);
    } else if (entering.isNarrow) {
        candidates.AddRatios(entering.narrow, rhs, firstResidualRow, m, kTolerance, &team);
    } else {
        candidates.AddRatios(entering.wide, rhs, firstResidualRow, m, kTolerance, &team);
    }
    int leaving = -1;
    while (candidates.Count() > 0) {
        const int r = candidates.TakeLeast();
        const int next = candidates.NextRow();
        if (next >= 0)
            __builtin_prefetch(entering.isNarrow ? static_cast<const void*>(&entering.narrow[next])
                                                 : static_cast<const void*>(&entering.wide[next]));
        const double p = Entry(r, q);
        if (Cost(q) - p - p > kTolerance) {
            // The pass over row r, as far as the rest of the test sees it;
            // the other columns follow once the test is over.
            Cost(q) = Cost(q) - p - p;
            passedOver.push_back(r);
            continue;
        }
        leaving = r;
        break;
    }
    FinishPassOvers(q);
    return leaving;
}

// Passing over row r negates it over the columns in play and subtracts
// twice each of its entries from the marginal cost. Column q's cost was
// done during the test; the other columns get theirs now, column by column
// but over the rows in the order they were passed over, as the test would
// have done it row by row. The entries lie scattered over the columns, so
// the columns are shared with the helper thread.
void SimplexTableau::FinishPassOvers(int q)
{
    if (passedOver.empty())
        return;
    const int columns = rhsColumn + 1 - firstColumn;
    const auto finish = [&](int block) { FinishPassOvers(q, firstColumn + block); };
    if (static_cast<double>(passedOver.size()) * columns < kTeamEntries) {
        for (int block = 0; block < columns; ++block)
            finish(block);
    } else {
        team.Run(columns, finish);
    }
    for (int r : passedOver)
        rowLabel[r] = -rowLabel[r];
    passedOver.clear();
}

// One column's part of the passes over the rows: entries negated, twice each
// subtracted from the cost. The rows lie scattered: their entries are
// fetched a few rows ahead.
template <class Entry>
double PassOver(Entry* entries, const std::vector<int>& rows, double cost)
{
    constexpr std::size_t kAhead = 16;
    const std::size_t count = rows.size();
    for (std::size_t k = 0; k < count; ++k) {
        if (k + kAhead < count)
            __builtin_prefetch(&entries[rows[k + kAhead]], 1);
        const int r = rows[k];
        const Entry d = entries[r];
        cost = cost - static_cast<double>(d) - static_cast<double>(d);
        entries[r] = static_cast<Entry>(-d);
    }
    return cost;
}

// The same for a column of bytes whose cost is a whole number: every
// difference is then exact in any order, so the entries are summed as whole
// numbers and the cost changes once, without a chain of dependent
// subtractions.
double PassOverWhole(std::int8_t* entries, const std::vector<int>& rows, double cost)
{
    std::int64_t sum = 0;
    for (const int r : rows) {
        const int d = entries[r];
        sum += d;
        entries[r] = static_cast<std::int8_t>(-d);
    }
    return cost - 2.0 * static_cast<double>(sum);
}

void SimplexTableau::FinishPassOvers(int q, int j)
{
    TableauColumn& c = column[j];
    if (j == q) {
        for (int r : passedOver)
            NegateEntry(r, j);
        return;
    }
    // Whole numbers below 2^52 and sums below 2^39 (rows times 127): no rounding.
    constexpr double kExactWhole = 4503599627370496.0;
    if (!c.isNarrow)
        cost[j] = PassOver(c.wide, passedOver, cost[j]);
    else if (std::fabs(cost[j]) < kExactWhole && cost[j] == std::trunc(cost[j]))
        cost[j] = PassOverWhole(c.narrow, passedOver, cost[j]);
    else
        cost[j] = PassOver(c.narrow, passedOver, cost[j]);
}

// Exchange step on T(r, q) over the columns still in play. Every row but r,
// and the cost, gets row - d * pivot row with d its old entry in column q.
// The columns are updated block of rows by block of rows down their whole
// length, row r with them; its entries are then set to the pivot row, which
// is what the step leaves there.
//
// Where a factor is zero (pivot row or entering column), the entry would
// only get x - (+-0) or -(+-0) / p: the same number, but for the sign of a
// zero. On a network most factors are zero (each row of the tableau is a
// path between two points), so with skipZeros only the entries whose
// factors are both non-zero are updated. A factor that is not finite would
// turn x - 0 * d into a NaN: then every entry is updated.
void SimplexTableau::Pivot(int r, int q)
{
    const double p = Entry(r, q);
    for (int j = firstColumn; j <= rhsColumn; ++j)
        if (j != q)
            pivotRow[j] = Entry(r, j) / p;
    const bool skip = enteringListed && ListNonZeroColumns(q);
    if (!skip) {
        updatedColumns.clear();
        for (int j = firstColumn; j <= rhsColumn; ++j)
            if (j != q)
                updatedColumns.push_back(j);
    }
    KeepOrWidenTargets(q);
    if (!narrowTargets.empty())
        RunJobs((m - 1) / kNarrowBlockRows + 1, [&](int block) {
            PivotNarrowRows(q, block * kNarrowBlockRows, std::min(m, (block + 1) * kNarrowBlockRows));
        });
    const bool listedRows = skip && updatedRowCount <= (m + 1) / kSparseRowShare;
    const bool enteringWide = !column[q].isNarrow;
    if (listedRows) {
        const int blocks = (updatedRowCount + blockRows - 1) / blockRows;
        RunJobs(blocks, [&](int block) {
            PivotListedRows(q, block * blockRows, std::min(updatedRowCount, (block + 1) * blockRows));
        });
    } else if (!updatedColumns.empty() || enteringWide) {
        RunJobs((m - 1) / blockRows + 1, [&](int block) {
            PivotRows(q, p, block * blockRows, std::min(m, (block + 1) * blockRows), enteringWide);
        });
    }
    if (listedRows || !enteringWide)
        DivideEntering(q, p, listedRows);
    const double enteringCost = cost[q];
    for (const int j : updatedColumns)
        cost[j] = cost[j] - enteringCost * pivotRow[j];
    for (const int j : narrowTargets)
        cost[j] = cost[j] - enteringCost * pivotRow[j];
    cost[q] = -enteringCost / p;
    for (int j = firstColumn; j <= rhsColumn; ++j)
        if (j != q)
            SetEntry(r, j, pivotRow[j]);
    SetEntry(r, q, 1.0 / p);
    std::swap(rowLabel[r], columnLabel[q]);
    ++pivotCount;
}

// A column of bytes stays bytes through the step when the entering column
// is bytes, its factor a small whole number and no result can exceed the
// limit; otherwise it becomes doubles before the step. The columns that
// stay bytes move from updatedColumns to narrowTargets: their update runs
// down whole columns, which for bytes costs less than going down the
// listed rows.
void SimplexTableau::KeepOrWidenTargets(int q)
{
    TableauColumn& entering = column[q];
    narrowTargets.clear();
    std::size_t kept = 0;
    for (const int j : updatedColumns) {
        TableauColumn& target = column[j];
        if (target.isNarrow && entering.isNarrow && FitsNarrow(pivotRow[j]) &&
            StaysNarrow(target, entering, pivotRow[j])) {
            narrowTargets.push_back(j);
            continue;
        }
        if (target.isNarrow)
            Widen(target);
        updatedColumns[kept++] = j;
    }
    updatedColumns.resize(kept);
}

// |x - d f| <= |x| + |d| |f|: the bounds vouch for every result, raised as
// the steps go and measured afresh when they would pass the limit.
bool SimplexTableau::StaysNarrow(TableauColumn& target, TableauColumn& entering, double f)
{
    const int factor = static_cast<int>(std::fabs(f));
    if (target.bound + entering.bound * factor > kNarrowLimit) {
        target.bound = MaxMagnitude(target);
        entering.bound = MaxMagnitude(entering);
        if (target.bound + entering.bound * factor > kNarrowLimit)
            return false;
    }
    target.bound += entering.bound * factor;
    return true;
}

// The entering column after the step: -d / p, as bytes while p is +1 or -1
// (-d / -1 is d), else as doubles.
void SimplexTableau::DivideEntering(int q, double p, bool listedRows)
{
    TableauColumn& entering = column[q];
    const int count = listedRows ? updatedRowCount : m;
    const int* const rows = updatedRows.data();
    const auto rowAt = [&](int k) { return listedRows ? rows[k] : k; };
    if (entering.isNarrow && (p == 1.0 || p == -1.0)) {
        // Bytes are negated down the whole column at once; a zero has no sign.
        std::int8_t* const entries = entering.narrow;
        if (p == 1.0)
            for (int i = 0; i < m; ++i)
                entries[i] = static_cast<std::int8_t>(-entries[i]);
        return;
    }
    if (entering.isNarrow)
        Widen(entering);
    for (int k = 0; k < count; ++k) {
        const int i = rowAt(k);
        entering.wide[i] = -entering.wide[i] / p;
    }
}

// The rows (the cost aside) whose entry in column q is non-zero, in
// ascending order; false when an entry is not finite (or a NaN).
bool SimplexTableau::ListNonZeroRows(int q)
{
    const TableauColumn& entering = column[q];
    int notFinite = 0;
    int* const listed = updatedRows.data();
    int count = 0;
    // Locals, so that the stores to the list cannot be taken to change them.
    const int rows = m;
    if (entering.isNarrow) {
        const std::int8_t* const entries = entering.narrow;
        for (int i = 0; i < rows; ++i) {
            listed[count] = i;
            count += entries[i] != 0 ? 1 : 0;
        }
    } else {
        const double* const entries = entering.wide;
        for (int i = 0; i < rows; ++i)
            notFinite += std::fabs(entries[i]) <= kLargestFinite ? 0 : 1;
        for (int i = 0; i < rows; ++i) {
            listed[count] = i;
            count += entries[i] != 0.0 ? 1 : 0;
        }
    }
    updatedRowCount = count;
    listedDensity = 0.75 * listedDensity + 0.25 * count / m;
    return notFinite == 0;
}

// Listing the rows costs a pass over the column and an indirection in the
// ratio test and the exchange step; where most entering columns are dense
// (no network), it is tried only every so many steps.
bool SimplexTableau::ListingPays()
{
    constexpr double kDenseShare = 0.5;
    constexpr int kRetrySteps = 32;
    if (listedDensity < kDenseShare || ++stepsUnlisted >= kRetrySteps) {
        stepsUnlisted = 0;
        return true;
    }
    return false;
}

// The columns whose pivot-row factor is non-zero, ascending; false when a
// factor is not finite (or a NaN).
bool SimplexTableau::ListNonZeroColumns(int q)
{
    bool finite = true;
    updatedColumns.clear();
    for (int j = firstColumn; j <= rhsColumn; ++j) {
        if (j == q)
            continue;
        finite = finite & (std::fabs(pivotRow[j]) <= kLargestFinite);
        if (pivotRow[j] != 0.0)
            updatedColumns.push_back(j);
    }
    return finite;
}

// Jobs of an exchange step; a step of one block is not worth the helper.
template <class Work>
void SimplexTableau::RunJobs(int count, const Work& job)
{
    if (count == 1)
        job(0);
    else
        team.Run(count, job);
}

// The exchange step on rows [first, last) of the columns of bytes; the
// factors of a network are +1 and -1.
void SimplexTableau::PivotNarrowRows(int q, int first, int last)
{
    const std::int8_t* const d = column[q].narrow;
    for (const int j : narrowTargets) {
        std::int8_t* const x = column[j].narrow;
        const double f = pivotRow[j];
        if (f == 1.0)
            SubtractNarrow(x, d, first, last);
        else if (f == -1.0)
            AddNarrow(x, d, first, last);
        else
            SubtractMultiple(x, d, f, first, last);
    }
}

// The exchange step on rows [first, last) of the listed columns; the
// entering column's part stays in the first-level cache while every listed
// column passes, and is divided by the pivot last when it is doubles.
void SimplexTableau::PivotRows(int q, double p, int first, int last, bool divideEntering)
{
    const TableauColumn& entering = column[q];
    for (const int j : updatedColumns) {
        TableauColumn& target = column[j];
        const double f = pivotRow[j];
        if (entering.isNarrow)
            SubtractMultiple(target.wide, entering.narrow, f, first, last);
        else
            SubtractMultiple(target.wide, entering.wide, f, first, last);
    }
    if (divideEntering)
        for (int i = first; i < last; ++i)
            entering.wide[i] = -entering.wide[i] / p;
}

// The exchange step on the listed rows [first, last) of the listed columns.
void SimplexTableau::PivotListedRows(int q, int first, int last)
{
    const int* const rows = updatedRows.data();
    const TableauColumn& entering = column[q];
    for (const int j : updatedColumns) {
        TableauColumn& target = column[j];
        const double f = pivotRow[j];
        if (entering.isNarrow)
            SubtractMultipleListed(target.wide, entering.narrow, f, rows, first, last);
        else
            SubtractMultipleListed(target.wide, entering.wide, f, rows, first, last);
    }
}

// Moves the row that now holds an unknown to the top block.
void SimplexTableau::GatherUnknownRow(int r)
{
    ++firstResidualRow;
    const int target = pivotCount - 1;
    for (int j = firstColumn; j <= rhsColumn; ++j) {
        TableauColumn& c = column[j];
        if (c.isNarrow)
            std::swap(c.narrow[r], c.narrow[target]);
        else
            std::swap(c.wide[r], c.wide[target]);
    }
    std::swap(rowLabel[r], rowLabel[target]);
}

void SimplexTableau::SetColumnAside(int q)
{
    std::swap(column[firstColumn], column[q]);
    std::swap(cost[firstColumn], cost[q]);
    std::swap(columnLabel[firstColumn], columnLabel[q]);
    ++firstColumn;
}

void SimplexTableau::NegateColumn(int q)
{
    TableauColumn& c = column[q];
    if (c.isNarrow) {
        std::int8_t* const entries = c.narrow;
        for (int i = 0; i < m; ++i)
            entries[i] = static_cast<std::int8_t>(-entries[i]);
    } else {
        double* const entries = c.wide;
        for (int i = 0; i < m; ++i)
            entries[i] = -entries[i];
    }
    cost[q] = -cost[q];
    columnLabel[q] = -columnLabel[q];
}

void SimplexTableau::MakeUnknownRowsPositive()
{
    for (int i = 0; i < firstResidualRow; ++i) {
        if (column[rhsColumn].wide[i] < 0) {
            for (int j = firstColumn; j <= rhsColumn; ++j)
                NegateEntry(i, j);
            rowLabel[i] = -rowLabel[i];
        }
    }
}

// A row labelled with an unknown gives that unknown, a row labelled with a
// residual gives that residual (sign taken from the label). What no row
// names is 0; the residuals finally turn from b - A x into A x - b, so a
// residual of an equation in the basis is -0.0. The observations that no
// row names are those of the optimal vertex: their residuals are not in the
// simplex basis, so they are 0 by construction, not by rounding.
void SimplexTableau::ReadOut(Matrix& x, Matrix& residuals, std::vector<bool>* basic, std::vector<signed char>* sides)
{
    if (basic != nullptr)
        basic->assign(static_cast<std::size_t>(m), true);
    if (sides != nullptr)
        sides->assign(static_cast<std::size_t>(m), 0);
    const double* const rhs = column[rhsColumn].wide;
    for (int i = 0; i < m; ++i) {
        int label = static_cast<int>(rowLabel[i]);
        double value = rhs[i];
        if (label <= 0) {
            label = -label;
            value = -value;
        }
        if (i < firstResidualRow) {
            if (label >= 1 && label <= n)
                x[label - 1][0] = value;
        } else if (label > n && label <= n + m) {
            residuals[label - n - 1][0] = value;
            if (basic != nullptr)
                (*basic)[static_cast<std::size_t>(label - n - 1)] = false;
            // The row holds b - a x on the side its label tells, with a
            // right-hand side that is not negative.
            if (sides != nullptr)
                (*sides)[static_cast<std::size_t>(label - n - 1)] = static_cast<signed char>(rowLabel[i] > 0 ? -1 : 1);
        }
    }
    for (int i = 0; i < m; ++i)
        residuals[i][0] = -residuals[i][0];
}

}  // namespace

namespace l1 {

Schedule DefaultSchedule(int m, int n)
{
    // Rows of one block: the entering column's part fits the first-level
    // cache beside the column being updated. A helper thread pays from
    // about a hundred thousand entries per step on.
    constexpr int kBlockRows = 512;
    constexpr double kHelperEntries = 1 << 17;
    return Schedule{kBlockRows, static_cast<double>(m) * (n + 1) >= kHelperEntries};
}

void SolveL1(const Matrix& A, const Matrix& b, Matrix& x, Matrix& residuals, const Schedule& schedule,
             std::vector<bool>* basic, std::vector<signed char>* sides)
{
    if (basic != nullptr)
        basic->clear();
    if (sides != nullptr)
        sides->clear();
    const int m = A.IsValid() ? A.Rows() : 0;
    const int n = A.IsValid() ? A.Columns() : 0;
    x.Resize(n, 1, 0.0);
    residuals.Resize(m, 1, 0.0);
    const bool shapesFit = b.IsValid() && b.Rows() >= m && (m == 0 || b.Columns() >= 1);
    if (!x.IsValid() || !residuals.IsValid() || !shapesFit || m == 0)
        return;
    SimplexTableau tableau(A, b, schedule);
    if (!tableau.IsValid())
        return;
    tableau.Solve();
    tableau.ReadOut(x, residuals, basic, sides);
}

}  // namespace l1

void Matrix::SolveL1(Matrix A, Matrix b, Matrix& residuals, std::vector<bool>* basic, std::vector<signed char>* sides)
{
    const int m = A.IsValid() ? A.Rows() : 0;
    const int n = A.IsValid() ? A.Columns() : 0;
    l1::SolveL1(A, b, *this, residuals, l1::DefaultSchedule(m, n), basic, sides);
}
