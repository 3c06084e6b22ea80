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
// identical to it bit for bit; only the bookkeeping of the ratio test (a
// heap instead of a scan) and the memory order of the loops differ.

#include "core/l1_solver_internal.h"
#include "core/matrix.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace l1 {

bool RatioQueue::Reserve(int capacity)
{
    try {
        rows.reserve(capacity);
        heapIndexOf.reserve(capacity);
        heap.reserve(capacity);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void RatioQueue::Clear()
{
    rows.clear();
    heapIndexOf.clear();
    heap.clear();
}

void RatioQueue::Order()
{
    // Keys are unique (the rank holds the position), so any valid heap
    // yields the same takes.
    std::make_heap(heap.begin(), heap.end(), [](const Node& a, const Node& b) { return Precedes(b, a); });
    const int count = Count();
    heapIndexOf.resize(count);
    for (int h = 0; h < count; ++h)
        heapIndexOf[heap[h].rank & (kNanRank - 1)] = h;
}

int RatioQueue::TakeLeast()
{
    const int taken = heap.front().rank & (kNanRank - 1);
    const int row = rows[taken];
    const int last = Count() - 1;
    const Node tail = heap.back();
    heap.pop_back();
    if (!heap.empty()) {
        Place(0, tail);
        SiftDown(0);
    }
    if (taken != last) {
        // The last entry fills the hole; its lower position can only raise it.
        rows[taken] = rows[last];
        const int h = heapIndexOf[last];
        heap[h].rank = taken | (heap[h].rank & kNanRank);
        heapIndexOf[taken] = h;
        SiftUp(h);
    }
    rows.pop_back();
    heapIndexOf.pop_back();
    return row;
}

void RatioQueue::Place(int heapIndex, const Node& node)
{
    heap[heapIndex] = node;
    heapIndexOf[node.rank & (kNanRank - 1)] = heapIndex;
}

void RatioQueue::SiftUp(int heapIndex)
{
    const Node node = heap[heapIndex];
    while (heapIndex > 0) {
        const int parent = (heapIndex - 1) / 2;
        if (!Precedes(node, heap[parent]))
            break;
        Place(heapIndex, heap[parent]);
        heapIndex = parent;
    }
    Place(heapIndex, node);
}

void RatioQueue::SiftDown(int heapIndex)
{
    const int count = static_cast<int>(heap.size());
    const Node node = heap[heapIndex];
    for (;;) {
        int child = 2 * heapIndex + 1;
        if (child >= count)
            break;
        if (child + 1 < count && Precedes(heap[child + 1], heap[child]))
            ++child;
        if (!Precedes(heap[child], node))
            break;
        Place(heapIndex, heap[child]);
        heapIndex = child;
    }
    Place(heapIndex, node);
}

}  // namespace l1

namespace {

// Entries of the entering column at or below this are not pivot candidates;
// a row is passed over while the marginal cost stays above it after the pass.
constexpr double kTolerance = 1e-9;
// Start of the best stage II marginal cost: below every real candidate.
constexpr double kMinusHuge = -1e20;

class SimplexTableau {
public:
    SimplexTableau(const Matrix& A, const Matrix& b);

    // False when the tableau or the candidate list could not be obtained.
    bool IsValid() const { return T.IsValid() && candidatesReserved; }
    void Solve();
    // x (N x 1) and the residuals a(i) x - b(i) (M x 1), both pre-zeroed;
    // with basic, which observations the solution passes through.
    void ReadOut(Matrix& x, Matrix& residuals, std::vector<bool>* basic);

private:
    void RunStageOne();
    void RunStageTwo();
    int ChooseColumnStageOne();
    int ChooseColumnStageTwo(double& best);
    int ChooseLeavingRow(int q);
    void PassOver(int r);
    void Pivot(int r, int q);
    void GatherUnknownRow(int r);
    void SetColumnAside(int q);
    void NegateColumn(int q);
    void MakeUnknownRowsPositive();

    double& Cost(int j) { return T[costRow][j]; }
    double& Label(int i) { return T[i][labelColumn]; }
    double& ColumnLabel(int j) { return T[labelRow][j]; }

    const int m;
    const int n;
    const int costRow;
    const int labelRow;
    const int rhsColumn;
    const int labelColumn;
    Matrix T;
    l1::RatioQueue candidates;
    bool candidatesReserved = false;
    int pivotCount = 0;
    int firstColumn = 0;       // columns before it were set aside as dependent
    int firstResidualRow = 0;  // rows before it hold unknowns
};

SimplexTableau::SimplexTableau(const Matrix& A, const Matrix& b)
    : m(A.Rows()), n(A.Columns()), costRow(m), labelRow(m + 1), rhsColumn(n),
      labelColumn(n + 1), T(m + 2, n + 2, 0.0)
{
    if (!T.IsValid())
        return;
    candidatesReserved = candidates.Reserve(m);
    for (int j = 0; j < n; ++j)
        ColumnLabel(j) = j + 1;
    // Each row is made to have a non-negative right-hand side, so the
    // residuals form a feasible starting basis.
    for (int i = 0; i < m; ++i) {
        double* row = T[i];
        for (int j = 0; j < n; ++j)
            row[j] = A[i][j];
        row[labelColumn] = n + i + 1;
        row[rhsColumn] = b[i][0];
        if (b[i][0] < 0)
            for (int j = 0; j <= labelColumn; ++j)
                row[j] = -row[j];
    }
    double* cost = T[costRow];
    for (int i = 0; i < m; ++i) {
        const double* row = T[i];
        for (int j = 0; j <= rhsColumn; ++j)
            cost[j] = cost[j] + row[j];
    }
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
        if (std::fabs(ColumnLabel(j)) > n)
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
    for (int i = firstResidualRow; i < m; ++i) {
        const double* row = T[i];
        const double d = row[q];
        if (d > kTolerance)
            candidates.Add(row[rhsColumn] / d, i);
    }
    candidates.Order();
    while (candidates.Count() > 0) {
        const int r = candidates.TakeLeast();
        const double p = T[r][q];
        if (Cost(q) - p - p > kTolerance) {
            PassOver(r);
            continue;
        }
        return r;
    }
    return -1;
}

void SimplexTableau::PassOver(int r)
{
    double* row = T[r];
    double* cost = T[costRow];
    for (int j = firstColumn; j <= rhsColumn; ++j) {
        const double d = row[j];
        cost[j] = cost[j] - d - d;
        row[j] = -d;
    }
    row[labelColumn] = -row[labelColumn];
}

// Exchange step on T(r, q) over the columns still in play.
void SimplexTableau::Pivot(int r, int q)
{
    double* pivotRow = T[r];
    const double p = pivotRow[q];
    for (int j = firstColumn; j <= rhsColumn; ++j)
        if (j != q)
            pivotRow[j] = pivotRow[j] / p;
    for (int i = 0; i <= costRow; ++i) {
        if (i == r)
            continue;
        double* row = T[i];
        const double d = row[q];
        for (int j = firstColumn; j < q; ++j)
            row[j] = row[j] - d * pivotRow[j];
        for (int j = q + 1; j <= rhsColumn; ++j)
            row[j] = row[j] - d * pivotRow[j];
        row[q] = -d / p;
    }
    pivotRow[q] = 1.0 / p;
    std::swap(Label(r), ColumnLabel(q));
    ++pivotCount;
}

// Moves the row that now holds an unknown to the top block.
void SimplexTableau::GatherUnknownRow(int r)
{
    ++firstResidualRow;
    double* row = T[r];
    double* target = T[pivotCount - 1];
    for (int j = firstColumn; j <= labelColumn; ++j)
        std::swap(row[j], target[j]);
}

void SimplexTableau::SetColumnAside(int q)
{
    for (int i = 0; i <= labelRow; ++i)
        std::swap(T[i][firstColumn], T[i][q]);
    ++firstColumn;
}

void SimplexTableau::NegateColumn(int q)
{
    for (int i = 0; i <= labelRow; ++i)
        T[i][q] = -T[i][q];
}

void SimplexTableau::MakeUnknownRowsPositive()
{
    for (int i = 0; i < firstResidualRow; ++i) {
        double* row = T[i];
        if (row[rhsColumn] < 0)
            for (int j = firstColumn; j <= labelColumn; ++j)
                row[j] = -row[j];
    }
}

// A row labelled with an unknown gives that unknown, a row labelled with a
// residual gives that residual (sign taken from the label). What no row
// names is 0; the residuals finally turn from b - A x into A x - b, so a
// residual of an equation in the basis is -0.0. The observations that no
// row names are those of the optimal vertex: their residuals are not in the
// simplex basis, so they are 0 by construction, not by rounding.
void SimplexTableau::ReadOut(Matrix& x, Matrix& residuals, std::vector<bool>* basic)
{
    if (basic != nullptr)
        basic->assign(static_cast<std::size_t>(m), true);
    for (int i = 0; i < m; ++i) {
        int label = static_cast<int>(Label(i));
        double value = T[i][rhsColumn];
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
        }
    }
    for (int i = 0; i < m; ++i)
        residuals[i][0] = -residuals[i][0];
}

}  // namespace

void Matrix::SolveL1(Matrix A, Matrix b, Matrix& residuals, std::vector<bool>* basic)
{
    if (basic != nullptr)
        basic->clear();
    const int m = A.IsValid() ? A.Rows() : 0;
    const int n = A.IsValid() ? A.Columns() : 0;
    Resize(n, 1, 0.0);
    residuals.Resize(m, 1, 0.0);
    const bool shapesFit = b.IsValid() && b.Rows() >= m && (m == 0 || b.Columns() >= 1);
    if (!IsValid() || !residuals.IsValid() || !shapesFit || m == 0)
        return;
    SimplexTableau tableau(A, b);
    if (!tableau.IsValid())
        return;
    tableau.Solve();
    tableau.ReadOut(*this, residuals, basic);
}
