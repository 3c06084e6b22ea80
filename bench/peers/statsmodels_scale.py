#!/usr/bin/python3
"""The reference numbers of tolvar-cli --scale mad-each-pass: statsmodels' RLM,
which re-estimates the MAD about 0 before every reweighting, on Brownlee's
stack loss (examples/stackloss.EIN) and on the synthetic problem of
tests/scale_peer.h (n = 1000, u = 5, every tenth observation a gross error),
generated here by the same integer recipe, so both hold the same doubles.

    /usr/bin/python3 bench/peers/statsmodels_scale.py

Prints, per problem and norm, the unknowns, the final scale and the iteration
count with 17 significant digits, as C++ initialisers; then the same after the
third solution. Needs Debian's
python3-statsmodels; not part of the tests.
"""
import os
import sys

import numpy as np
import statsmodels.api as sm

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def stack_loss():
    rows, observations = [], []
    with open(os.path.join(TOP, "examples", "stackloss.EIN")) as file:
        for line in file:
            numbers = [float(piece) for piece in line.split()]
            if len(numbers) == 4:
                rows.append(numbers)
            elif len(numbers) == 2:
                observations.append(numbers[0])
    return np.array(rows), np.array(observations)


def synthetic(n=1000, u=5):
    """Every value a multiple of 2^-10 below 2^7: exact in any order of sums."""
    state = 20261207

    def draw(modulus):
        nonlocal state
        state = (state * 1103515245 + 12345) % 2**31
        return (state >> 12) % modulus

    truth = [10.0, 2.0, -3.0, 0.5, 1.25]
    rows, observations = [], []
    for i in range(n):
        row = [1.0] + [(draw(1025) - 512) / 64.0 for _ in range(u - 1)]
        value = sum(a * x for a, x in zip(row, truth))
        value += sum((draw(2049) - 1024) / 1024.0 for _ in range(3))
        if i % 10 == 3:
            gross = 20.0 + draw(41)
            value += gross if (i // 10) % 2 == 0 else -gross
        rows.append(row)
        observations.append(value)
    return np.array(rows), np.array(observations)


def main():
    norms = [("Huber", 1.345, lambda c: sm.robust.norms.HuberT(t=c)),
             ("Huber", 1.5, lambda c: sm.robust.norms.HuberT(t=c)),
             ("Biweight", 4.685, lambda c: sm.robust.norms.TukeyBiweight(c=c))]
    for name, (X, y) in (("stack loss", stack_loss()), ("synthetic", synthetic())):
        for norm, c, make in norms:
            # maxiter beyond the default 50, so that every fit stops by its tolerance.
            fit = sm.RLM(y, X, M=make(c)).fit(conv="coefs", tol=1e-12, maxiter=1000)
            iterations = fit.fit_history["iteration"]
            assert iterations < 1000, "not converged"
            values = ", ".join("%.17g" % value for value in fit.params)
            print("// %s, %s c = %g: %d iterations" % (name, norm, c, iterations))
            print("{%s}, %.17g" % (values, fit.scale))
        # The path as well as the fixed point: the first three solutions
        # (least squares and two reweightings), and the scale of the third's
        # residuals.
        for norm, c, make in norms[1:]:
            fit = sm.RLM(y, X, M=make(c)).fit(conv="coefs", tol=0.0, maxiter=3)
            values = ", ".join("%.17g" % value for value in fit.params)
            print("// %s, %s c = %g: after 3 solutions" % (name, norm, c))
            print("{%s}, %.17g" % (values, fit.scale))
    print("statsmodels", sm.__version__, "numpy", np.__version__, file=sys.stderr)


if __name__ == "__main__":
    main()
