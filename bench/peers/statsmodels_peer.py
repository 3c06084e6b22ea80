#!/usr/bin/env python3
"""Peer timings in Python: statsmodels RLM and plain numpy normal equations.

Same kind of problem as the Tolvar benchmarks: A = [1, standard normal
columns], unit weights, l = A x_true + N(0, 1) noise, 10% gross outliers,
Huber c = 1.5 with the scale fixed at 1 (what Tolvar's engine computes).
Prints medians of several repetitions, in seconds.

    /usr/bin/python3 bench/peers/statsmodels_peer.py      (Debian python3-statsmodels)
"""
import statistics
import time

import numpy as np
import statsmodels.api as sm
from statsmodels.regression import _tools as reg_tools
from statsmodels.robust import norms, scale


class FixedScale(scale.HuberScale):
    """A 'scale estimate' that is always 1, so residuals enter unscaled."""

    def __call__(self, df_resid, nobs, resid):
        return 1.0


def problem(n, u, seed=12345):
    rng = np.random.default_rng(seed + 31 * n + u)
    A = np.column_stack([np.ones(n), rng.standard_normal((n, u - 1))])
    coefficients = np.concatenate([[1.0], 1.0 + 0.1 * np.arange(1, u)])
    l = A @ coefficients + rng.standard_normal(n)
    outliers = rng.random(n) < 0.1
    l[outliers] += rng.choice([-1.0, 1.0], outliers.sum()) * (10.0 + 40.0 * rng.random(outliers.sum()))
    return A, l


def median_time(function, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def huber_weights(v, c=1.5):
    a = np.abs(v)
    return np.where(a < c, 1.0, c / np.maximum(a, c))


def one_pass_statsmodels(A, l, w, huber):
    fit = reg_tools._MinimalWLS(l, A, weights=w, check_weights=True).fit()
    return huber.weights(fit.resid)


def one_pass_numpy(A, l, w):
    weighted = A.T * w
    x = np.linalg.solve(weighted @ A, weighted @ l)
    return huber_weights(A @ x - l)


def main():
    huber = norms.HuberT(t=1.5)
    for n, u in [(10**4, 10), (10**5, 10), (10**6, 10), (10**5, 50)]:
        A, l = problem(n, u)
        w = huber_weights(l - A @ np.linalg.lstsq(A, l, rcond=None)[0])
        repeats = 5 if n >= 10**6 else 11
        sm_pass = median_time(lambda: one_pass_statsmodels(A, l, w, huber), repeats)
        np_pass = median_time(lambda: one_pass_numpy(A, l, w), repeats)
        model = sm.RLM(l, A, M=huber)
        fit = median_time(lambda: model.fit(maxiter=1000, tol=1e-5, conv='coefs', update_scale=False,
                                            scale_est=FixedScale()), 3)
        print(f"n={n:>8} u={u:>3}  one pass: statsmodels {sm_pass:.4f} s, numpy normal equations {np_pass:.4f} s;"
              f"  whole RLM fit (scale 1) {fit:.3f} s")


if __name__ == "__main__":
    main()
