#!/usr/bin/env python3
"""Tolvar against the fastest peer, side by side, on the same data.

Runs Tolvar's benchmarks (and tolvar-cli for the whole fit) and the peer
programs one job at a time, interleaved round by round, and prints for each
work the medians, the ratio peer / Tolvar with its spread over the rounds,
and the load average during the measurements. Called by compare.sh, which
installs the peers and builds Tolvar first:

    compare.py BUILD_DIR [--rounds R] [--only pass,l1,fit]

Every problem is written once by tolvar_make_input (FILE.bin for the peers,
FILE.EIN for tolvar-cli) from the generator the benchmarks use, so all
programs see the same numbers. The peers run with OpenBLAS on one thread,
selected for their command only.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field

HERE = os.path.dirname(os.path.abspath(__file__))
OPENBLAS = "/usr/lib/x86_64-linux-gnu/openblas-pthread"


def peer_environment():
    env = dict(os.environ)
    env["LD_LIBRARY_PATH"] = OPENBLAS + (":" + env["LD_LIBRARY_PATH"] if env.get("LD_LIBRARY_PATH") else "")
    # R's start script puts its own library path before LD_LIBRARY_PATH.
    env["R_LD_LIBRARY_PATH"] = f"/usr/lib/R/lib:{OPENBLAS}:/usr/lib/x86_64-linux-gnu"
    env["OPENBLAS_NUM_THREADS"] = "1"
    # Set on some processors for old OpenBLAS builds; they slow a current one.
    env.pop("OPENBLAS_CORETYPE", None)
    env.pop("OPENBLAS_L2_SIZE", None)
    return env


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


@dataclass
class Measure:
    """One program on one work: a command whose run yields seconds."""

    program: str
    run: object  # callable returning seconds
    times: list = field(default_factory=list)
    loads: list = field(default_factory=list)


@dataclass
class Work:
    group: str
    title: str
    tolvar: Measure
    peers: list


class Runner:
    def __init__(self, build, data, repeats):
        self.build = build
        self.data = data
        self.repeats = repeats
        self.env = peer_environment()

    def problem(self, n, u, extension):
        path = os.path.join(self.data, f"problem_{n}_{u}.{extension}")
        if not os.path.exists(path):
            subprocess.run([os.path.join(self.build, "bin", "tolvar_make_input"), str(n), str(u), path], check=True)
        return path

    def bench(self, name):
        """Seconds per iteration of one Google Benchmark, wall time."""
        pattern = f"^{name}(/|$)"

        def run():
            out = subprocess.run(
                [os.path.join(self.build, "bin", "tolvar_bench"), f"--benchmark_filter={pattern}",
                 "--benchmark_format=json"], check=True, capture_output=True, text=True).stdout
            found = json.loads(out)["benchmarks"]
            if len(found) != 1:
                sys.exit(f"benchmark filter {pattern} matched {len(found)} benchmarks")
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[found[0]["time_unit"]]
            return found[0]["real_time"] * scale

        return run

    def peer(self, command):
        """Median of the repetitions the peer prints, one time per line."""

        def run():
            out = subprocess.run(command + [str(self.repeats)], check=True, capture_output=True, text=True,
                                 env=self.env).stdout
            return statistics.median(float(line) for line in out.split())

        return run

    def numpy(self, what, n, u):
        return self.peer(["/usr/bin/python3", os.path.join(HERE, "numpy_peer.py"), what,
                          self.problem(n, u, "bin"), str(n), str(u)])

    def r(self, what, n, u):
        return self.peer(["Rscript", os.path.join(HERE, "r_peer.R"), what, self.problem(n, u, "bin"), str(n), str(u)])

    def cli(self, n, u):
        """Wall time of a whole tolvar-cli run; notes its peak memory."""
        source = self.problem(n, u, "EIN")
        report = os.path.join(self.data, f"report_{n}_{u}.AUS")

        def run():
            start = time.perf_counter()
            process = subprocess.Popen([os.path.join(self.build, "bin", "tolvar-cli"), "-q", "-m", "huber", source,
                                        report])
            _, status, usage = os.wait4(process.pid, 0)
            seconds = time.perf_counter() - start
            if status != 0:
                sys.exit(f"tolvar-cli failed on {source}")
            self.peak_kb = max(getattr(self, "peak_kb", 0), usage.ru_maxrss)
            return seconds

        return run


def works(runner, groups):
    all_works = [
        Work("pass", "one Huber pass, n = 1e6, u = 10",
             Measure("Tolvar", runner.bench("BM_IrlsPass/1000000/10")),
             [Measure("numpy + OpenBLAS", runner.numpy("pass", 1000000, 10)),
              Measure("MASS lm.wfit + OpenBLAS", runner.r("mass", 1000000, 10))]),
        Work("pass", "one Huber pass, n = 1e5, u = 50",
             Measure("Tolvar", runner.bench("BM_IrlsPass/100000/50")),
             [Measure("numpy + OpenBLAS", runner.numpy("pass", 100000, 50)),
              Measure("MASS lm.wfit + OpenBLAS", runner.r("mass", 100000, 50))]),
        Work("l1", "L1, n = 1e4, u = 20",
             Measure("Tolvar", runner.bench("BM_SolveL1/10000/20")),
             [Measure("quantreg rq.fit.fnb", runner.r("fnb", 10000, 20))]),
        Work("l1", "L1, n = 1e5, u = 10",
             Measure("Tolvar", runner.bench("BM_SolveL1/100000/10")),
             [Measure("quantreg rq.fit.fnb", runner.r("fnb", 100000, 10))]),
        Work("l1zero", "L1 with every l(i) = 0, n = 1e5, u = 10",
             Measure("Tolvar", runner.bench("BM_SolveL1ZeroRhs/100000/10")),
             [Measure("quantreg rq.fit.fnb", runner.r("fnb0", 100000, 10))]),
        Work("fit", "whole Huber fit, n = 1e6, u = 10 (Tolvar: text in, report out; numpy: binary in)",
             Measure("tolvar-cli", runner.cli(1000000, 10)),
             [Measure("numpy IRLS + OpenBLAS", runner.numpy("fit", 1000000, 10))]),
    ]
    return [w for w in all_works if w.group in groups]


def measure(m):
    before = load_average()
    m.times.append(m.run())
    m.loads.append((before + load_average()) / 2)


def spread(values, digits):
    return f"{statistics.median(values):.{digits}g} [{min(values):.{digits}g}-{max(values):.{digits}g}]"


def seconds(values):
    ms = [v * 1e3 for v in values]
    return spread(ms, 3) + " ms"


def report(work):
    fastest = min(work.peers, key=lambda p: statistics.median(p.times))
    ratios = [p / t for p, t in zip(fastest.times, work.tolvar.times)]
    loads = work.tolvar.loads + [l for p in work.peers for l in p.loads]
    print(f"| {work.title} | {seconds(work.tolvar.times)} | {fastest.program}: {seconds(fastest.times)} | "
          f"{spread(ratios, 3)} | {min(loads):.1f}-{max(loads):.1f} |")
    for p in work.peers:
        if p is not fastest:
            print(f"|   (other peer) | | {p.program}: {seconds(p.times)} | | |")


def blas_in_use(env):
    probe = "import numpy; print([l.split()[-1] for l in open('/proc/self/maps') if 'blas' in l][0])"
    numpy_blas = subprocess.run(["/usr/bin/python3", "-c", probe], capture_output=True, text=True, env=env).stdout
    r_blas = subprocess.run(["Rscript", "-e", "cat(La_library())"], capture_output=True, text=True, env=env).stdout
    return numpy_blas.strip(), r_blas.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--repeats", type=int, default=3, help="repetitions of a peer within one round")
    parser.add_argument("--only", default="pass,l1,l1zero,fit")
    args = parser.parse_args()

    data = os.path.join(os.environ.get("TMPDIR", tempfile.gettempdir()), "tolvar_peers")
    os.makedirs(data, exist_ok=True)
    runner = Runner(os.path.abspath(args.build), data, args.repeats)
    selected = works(runner, set(args.only.split(",")))
    numpy_blas, r_blas = blas_in_use(runner.env)
    print(f"peers' BLAS: numpy {numpy_blas}, R {r_blas}; {os.cpu_count()} cores; {args.rounds} rounds")
    for round_number in range(args.rounds):
        for work in selected:
            for m in [work.tolvar] + work.peers:
                measure(m)
        print(f"round {round_number + 1} done, load {load_average():.1f}", file=sys.stderr)

    print()
    print("| work | Tolvar, median [min-max] | fastest peer | peer / Tolvar | load |")
    print("|---|---|---|---|---|")
    for work in selected:
        report(work)
    if hasattr(runner, "peak_kb"):
        print(f"\ntolvar-cli peak memory: {runner.peak_kb / 1024:.0f} MB")


if __name__ == "__main__":
    main()
