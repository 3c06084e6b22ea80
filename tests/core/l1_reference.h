#pragma once

// A literal, unoptimised transcription of the Barrodale-Roberts L1 method,
// step by numbered step, with 1-based tableau positions, the work lists as
// matrices and the ratio test as the plain list scan. It serves as the
// oracle the fast solver must match bit for bit.
//
// Two places where the bare steps leave a value undefined are settled the
// same way as in the solver: the stage I column search starts at the first
// unknown column (a cost that is not a number never wins), and a ratio scan
// that finds nothing below 1e20 takes the least ratio that is a number, or
// else the first entry.

#include "core/matrix.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace test_support {

inline void SolveL1Literal(const Matrix& A, const Matrix& b, Matrix& x, Matrix& E)
{
    const int M = A.Rows();
    const int N = A.Columns();
    x.Resize(N, 1, 0.0);
    E.Resize(M, 1, 0.0);
    Matrix Q(M, 1, 0.0);
    Matrix R(b);
    Matrix T(M + 2, N + 2, 0.0);
    auto t = [&T](int i, int j) -> double& { return T(i - 1, j - 1); };
    auto ratio = [&R](int i) -> double& { return R(i - 1, 0); };
    auto row = [&Q](int i) -> double& { return Q(i - 1, 0); };

    bool stageOne = true;
    bool found = false;
    int pc = 0, s = 1, tr = 1, q = 0, r = 0, k = 0, chosen = 0;
    double best = 0.0, least = 0.0, d = 0.0, p = 0.0;

    // 1 .. 5: initialisation
    for (int i = 1; i <= M; ++i)
        for (int j = 1; j <= N; ++j)
            t(i, j) = A(i - 1, j - 1);
    for (int j = 1; j <= N; ++j)
        t(M + 2, j) = j;
    for (int i = 1; i <= M; ++i) {
        t(i, N + 2) = N + i;
        t(i, N + 1) = b(i - 1, 0);
        if (b(i - 1, 0) < 0)
            for (int j = 1; j <= N + 2; ++j)
                t(i, j) = -t(i, j);
    }
    for (int j = 1; j <= N + 1; ++j)
        for (int i = 1; i <= M; ++i)
            t(M + 1, j) = t(M + 1, j) + t(i, j);

step6:
    best = -1;
    q = 0;
    for (int j = s; j <= N; ++j) {
        if (std::fabs(t(M + 2, j)) > N)
            continue;
        if (q == 0)
            q = j;
        d = std::fabs(t(M + 1, j));
        if (d > best) {
            best = d;
            q = j;
        }
    }
    if (t(M + 1, q) < 0)
        for (int i = 1; i <= M + 2; ++i)
            t(i, q) = -t(i, q);

step7:
    k = 0;
    found = false;
    for (int i = tr; i <= M; ++i) {
        d = t(i, q);
        if (d > 1e-9) {
            k = k + 1;
            ratio(k) = t(i, N + 1) / d;
            row(k) = i;
            found = true;
        }
    }

step8:
    if (k == 0) {
        found = false;
        goto step10;
    }
    least = 1e20;
    chosen = 0;
    for (int i = 1; i <= k; ++i) {
        if (ratio(i) < least) {
            chosen = i;
            least = ratio(i);
            r = static_cast<int>(row(i));
        }
    }
    if (chosen == 0) {
        chosen = 1;
        for (int i = 1; i <= k; ++i)
            if (!std::isnan(ratio(i)) && (std::isnan(ratio(chosen)) || ratio(i) < ratio(chosen)))
                chosen = i;
        r = static_cast<int>(row(chosen));
    }
    ratio(chosen) = ratio(k);
    row(chosen) = row(k);
    k = k - 1;

    // 9
    p = t(r, q);
    if (t(M + 1, q) - p - p > 1e-9) {
        for (int j = s; j <= N + 1; ++j) {
            d = t(r, j);
            t(M + 1, j) = t(M + 1, j) - d - d;
            t(r, j) = -d;
        }
        t(r, N + 2) = -t(r, N + 2);
        goto step8;
    }
    goto step11;

step10:
    if (stageOne) {
        for (int i = 1; i <= M + 2; ++i)
            std::swap(t(i, s), t(i, q));
        s = s + 1;
        goto step13;
    }
    goto step17;

step11:
    for (int j = s; j <= N + 1; ++j)
        if (j != q)
            t(r, j) = t(r, j) / p;
    for (int i = 1; i <= M + 1; ++i) {
        if (i == r)
            continue;
        d = t(i, q);
        for (int j = s; j <= N + 1; ++j)
            if (j != q)
                t(i, j) = t(i, j) - d * t(r, j);
    }
    for (int i = 1; i <= M + 1; ++i)
        if (i != r)
            t(i, q) = -t(i, q) / p;
    t(r, q) = 1 / p;
    std::swap(t(r, N + 2), t(M + 2, q));
    pc = pc + 1;

    // 12
    if (!stageOne)
        goto step14;
    tr = tr + 1;
    for (int j = s; j <= N + 2; ++j)
        std::swap(t(r, j), t(pc, j));

step13:
    if (pc + s != N + 1)
        goto step6;
    stageOne = false;

step14:
    best = -1e20;
    for (int j = s; j <= N; ++j) {
        d = t(M + 1, j);
        if (d < 0) {
            if (d > -2)
                continue;
            d = -d - 2;
        }
        if (d > best) {
            best = d;
            q = j;
        }
    }
    // 15
    if (best <= 1e-9)
        goto step16;
    if (t(M + 1, q) > 0)
        goto step7;
    for (int i = 1; i <= M + 2; ++i)
        t(i, q) = -t(i, q);
    t(M + 1, q) = t(M + 1, q) - 2;
    goto step7;

step16:
    for (int i = 1; i <= tr - 1; ++i)
        if (t(i, N + 1) < 0)
            for (int j = s; j <= N + 2; ++j)
                t(i, j) = -t(i, j);

step17:
    for (int i = 1; i <= M; ++i) {
        int label = static_cast<int>(t(i, N + 2));
        d = t(i, N + 1);
        if (label <= 0) {
            label = -label;
            d = -d;
        }
        if (i < tr)
            x(label - 1, 0) = d;
        else
            E(label - N - 1, 0) = d;
    }
    // 18
    for (int i = 0; i < M; ++i)
        E(i, 0) = -E(i, 0);
    (void)found;
}

// The fast solver leaves entries with a zero factor alone, so a zero of its
// results may have either sign; everything else is the literal method's,
// bit for bit, and so are the residuals of the observations in the final
// basis (basic flags given), which stay -0.0. The first element of the
// column that differs otherwise, or -1.
inline int FirstDifferenceButSignsOfZero(const Matrix& actual, const Matrix& expected,
                                         const std::vector<bool>* basic = nullptr)
{
    if (actual.Rows() != expected.Rows() || actual.Columns() != expected.Columns())
        return 0;
    for (int i = 0; i < actual.Rows(); ++i) {
        const double a = actual(i, 0);
        const double e = expected(i, 0);
        const bool inBasis = basic != nullptr && (*basic)[static_cast<std::size_t>(i)];
        if (std::memcmp(&a, &e, sizeof a) != 0 && (inBasis || a != 0.0 || e != 0.0))
            return i;
    }
    return -1;
}

}  // namespace test_support
