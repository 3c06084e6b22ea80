#pragma once

// The scale re-estimated at every pass against statsmodels 0.13.5 (numpy
// 1.24.2), RLM(y, X, M=HuberT(t=c) or TukeyBiweight(c=c))
// .fit(conv="coefs", tol=1e-12, maxiter=1000), which divides the MAD about 0
// of the current residuals by Phi^-1(3/4) before every reweighting. Printed by
//
//     /usr/bin/python3 bench/peers/statsmodels_scale.py
//
// on stack loss (examples/stackloss.EIN) and on SyntheticOutliers() below,
// which that script builds by the same recipe. maxiter is raised from its
// default 50 because stack loss with Huber c = 1.5 needs 51 iterations.

#include "core/matrix.h"
#include "core/methods.h"

#include <cstdint>
#include <vector>

namespace test_support {

// n = 1000, u = 5: rows (1, a1 .. a4), a_j uniform on [-8, 8] in steps of
// 1/64, l = 10 + 2 a1 - 3 a2 + 0.5 a3 + 1.25 a4 + the sum of three uniform
// draws on [-1, 1] in steps of 1/1024; every tenth observation (i % 10 == 3)
// carries a gross error of 20 to 60, its sign alternating. Every value is a
// multiple of 2^-10 below 2^7, so every sum is exact and the doubles are the
// same in any language. The draws are one linear congruential generator.
struct SyntheticProblem {
    Matrix A;
    Matrix l;
    Matrix weights;
};

inline SyntheticProblem SyntheticOutliers()
{
    constexpr int n = 1000;
    constexpr int u = 5;
    std::uint64_t state = 20261207;
    const auto draw = [&state](std::uint64_t modulus) {
        state = (state * 1103515245 + 12345) % (std::uint64_t(1) << 31);
        return static_cast<double>((state >> 12) % modulus);
    };
    const double truth[u] = {10.0, 2.0, -3.0, 0.5, 1.25};
    SyntheticProblem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0), Matrix(n, 1, 1.0)};
    for (int i = 0; i < n; ++i) {
        problem.A(i, 0) = 1.0;
        for (int j = 1; j < u; ++j)
            problem.A(i, j) = (draw(1025) - 512) / 64.0;
        double value = 0.0;
        for (int j = 0; j < u; ++j)
            value += problem.A(i, j) * truth[j];
        for (int k = 0; k < 3; ++k)
            value += (draw(2049) - 1024) / 1024.0;
        if (i % 10 == 3) {
            const double gross = 20.0 + draw(41);
            value += (i / 10) % 2 == 0 ? gross : -gross;
        }
        problem.l(i, 0) = value;
    }
    return problem;
}

struct PeerFit {
    bool synthetic; // else stack loss
    int methodCode;
    double tuningConstant;
    std::vector<double> x;
    double scale;
    int solutions = 0; // the fit stopped after so many solutions (maxiter); 0: by its tolerance
};

inline const std::vector<PeerFit> kStatsmodelsScaleEachPass = {
    // stack loss, Huber c = 1.345: 25 iterations
    {false, kMethodHuber, 1.345,
     {-41.026498352400161, 0.82938433460008176, 0.92606596619674708, -0.12784672494579194}, 2.4405360917210372},
    // stack loss, Huber c = 1.5: 51 iterations
    {false, kMethodHuber, 1.5,
     {-41.171604436573695, 0.81333376021570303, 0.99930205387207893, -0.13239675569709802}, 2.6599672283910225},
    // stack loss, Biweight c = 4.685: 27 iterations
    {false, kMethodBiweight, 4.685,
     {-42.285350779329313, 0.92755732275545422, 0.65071768721442291, -0.11233315379088912}, 2.2818813349511928},
    // synthetic, Huber c = 1.345: 15 iterations
    {true, kMethodHuber, 1.345,
     {10.018859835988208, 1.9992438001127069, -2.9858765959145117, 0.49084726478162533, 1.2386080605611289},
     1.1555653630081557},
    // synthetic, Huber c = 1.5: 13 iterations
    {true, kMethodHuber, 1.5,
     {10.019037447864248, 1.9992705895608893, -2.9851094986396456, 0.49063497881833462, 1.2387595255986481},
     1.1540151770919707},
    // synthetic, Biweight c = 4.685: 15 iterations
    {true, kMethodBiweight, 4.685,
     {10.015567881609757, 1.9966444207488834, -2.9906408279833778, 0.49159503470910132, 1.2397129895130523},
     1.1450284386602367},
    // The path, not only the fixed point: .fit(conv="coefs", tol=0.0, maxiter=3)
    // stops after least squares and two reweightings.
    // stack loss, Huber c = 1.5: after 3 solutions
    {false, kMethodHuber, 1.5,
     {-41.045359121716714, 0.79659014964064367, 1.0543273190604685, -0.13562871221405776}, 2.8706056481350695, 3},
    // stack loss, Biweight c = 4.685: after 3 solutions
    {false, kMethodBiweight, 4.685,
     {-41.073193943598021, 0.81153522671543865, 0.9854191819688185, -0.12892703955222229}, 2.5813765714089327, 3},
    // synthetic, Huber c = 1.5: after 3 solutions
    {true, kMethodHuber, 1.5,
     {10.019376981767349, 1.9992708252625051, -2.9845622400867993, 0.49051144505087546, 1.2387611487205301},
     1.1511565657409002, 3},
    // synthetic, Biweight c = 4.685: after 3 solutions
    {true, kMethodBiweight, 4.685,
     {10.016473665144771, 1.9969670488217348, -2.9888725297633099, 0.49132200753902949, 1.2397994036958431},
     1.1509744331380318, 3},
};

} // namespace test_support
