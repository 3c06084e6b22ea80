#!/usr/bin/env python3
"""Peer timings in numpy on a problem written by tolvar_make_input N U FILE.bin
(A row by row, then l; little-endian doubles), Huber c = 1.5 with the scale
fixed at 1, which is what Tolvar's engine computes. Prints one wall time in
seconds per repetition.

    numpy_peer.py pass FILE.bin N U REPEATS
        one reweighting pass by the normal equations: weighted normal matrix
        and right-hand side, their solution, residuals, Huber weights
    numpy_peer.py fit FILE.bin N U REPEATS
        the whole fit from reading the file to the last pass, with the
        engine's stop rule (largest change of an unknown below 1e-5)
"""
import sys
import time

import numpy as np

C = 1.5


def huber_weights(v):
    a = np.abs(v)
    return np.where(a < C, 1.0, C / np.maximum(a, C))


def read_problem(path, n, u):
    data = np.fromfile(path, dtype="<f8")
    return data[: n * u].reshape(n, u), data[n * u : n * u + n]


def solve(A, l, w):
    weighted = A.T * w
    return np.linalg.solve(weighted @ A, weighted @ l)


def one_pass(A, l, w):
    x = solve(A, l, w)
    return huber_weights(A @ x - l)


def fit(path, n, u):
    A, l = read_problem(path, n, u)
    w = np.ones(n)
    previous = None
    for _ in range(1001):
        x = solve(A, l, w)
        if previous is not None and np.max(np.abs(x - previous)) < 1e-5:
            break
        w = huber_weights(A @ x - l)
        previous = x
    return x


def main():
    what, path, n, u, repeats = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
    if what == "pass":
        A, l = read_problem(path, n, u)
        w = huber_weights(l - A @ solve(A, l, np.ones(n)))
        one_pass(A, l, w)  # warm-up
        for _ in range(repeats):
            start = time.perf_counter()
            one_pass(A, l, w)
            print(time.perf_counter() - start)
    elif what == "fit":
        for _ in range(repeats):
            start = time.perf_counter()
            fit(path, n, u)
            print(time.perf_counter() - start)
    else:
        sys.exit(f"unknown measurement {what}")


if __name__ == "__main__":
    main()
