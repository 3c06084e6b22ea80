#!/usr/bin/env python3
"""Tolvar against the fastest peer, side by side, on the same data.

Runs Tolvar's benchmarks (and tolvar-cli for the whole fit) and the peer
programs one job at a time, interleaved round by round, and prints for each
work the medians, the ratio peer / Tolvar with its spread over the rounds,
and the load average during the measurements. Called by compare.sh, which
installs the peers and builds Tolvar first:

    compare.py BUILD_DIR [--rounds R] [--only pass,l1,network,fit] [--kernels avx2]

The networks are levelling networks (tolvar_make_input network U N): their
peers are rq.fit.fnb and the exact simplex rq.fit.br, which is given up after
two minutes. --kernels forces an instruction set of Tolvar's pass loops
($TOLVAR_KERNELS); the one used is printed with the processor model.

Every problem is written once by tolvar_make_input (FILE.bin for the peers,
FILE.EIN for tolvar-cli) from the generator the benchmarks use, so all
programs see the same numbers. The peers run with OpenBLAS on one thread,
selected for their command only.
"""
import argparse
import json
import math
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

    def network(self, u, n, extension):
        path = os.path.join(self.data, f"network_{u}_{n}.{extension}")
        if not os.path.exists(path):
            subprocess.run([os.path.join(self.build, "bin", "tolvar_make_input"), "network", str(u), str(n), path],
                           check=True)
        return path

    def bench_result(self, pattern):
        out = subprocess.run(
            [os.path.join(self.build, "bin", "tolvar_bench"), f"--benchmark_filter={pattern}",
             "--benchmark_format=json"], check=True, capture_output=True, text=True).stdout
        found = json.loads(out)["benchmarks"]
        if len(found) != 1:
            sys.exit(f"benchmark filter {pattern} matched {len(found)} benchmarks")
        return found[0]

    def bench(self, name):
        """Seconds per iteration of one Google Benchmark, wall time."""
        pattern = f"^{name}(/|$)"

        def run():
            found = self.bench_result(pattern)
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[found["time_unit"]]
            return found["real_time"] * scale

        return run

    def kernels(self):
        """The instruction set of the pass loops, as the benchmarks report it."""
        return self.bench_result("^BM_IrlsPass/10000/10/").get("label", "?")

    def peer(self, command, limit=None):
        """Median of the repetitions the peer prints, one time per line. With
        a limit in seconds: one repetition, given up (and not tried again in
        later rounds) when it takes longer; then NaN."""
        given_up = []

        def run():
            if given_up:
                return math.nan
            repeats = 1 if limit else self.repeats
            try:
                out = subprocess.run(command + [str(repeats)], check=True, capture_output=True, text=True,
                                     env=self.env, timeout=limit).stdout
            except subprocess.TimeoutExpired:
                given_up.append(True)
                return math.nan
            return statistics.median(float(line) for line in out.split())

        return run

    def numpy(self, what, n, u):
        return self.peer(["/usr/bin/python3", os.path.join(HERE, "numpy_peer.py"), what,
                          self.problem(n, u, "bin"), str(n), str(u)])

    def r(self, what, n, u):
        return self.peer(["Rscript", os.path.join(HERE, "r_peer.R"), what, self.problem(n, u, "bin"), str(n), str(u)])

    def r_network(self, what, u, n, limit=None):
        return self.peer(["Rscript", os.path.join(HERE, "r_peer.R"), what, self.network(u, n, "bin"), str(n), str(u)],
                         limit)

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
        *[Work("network", f"L1 on a levelling network, u = {u}, n = {n:,}",
               Measure("Tolvar", runner.bench(f"BM_SolveL1Network/{u}/{n}/1")),
               [Measure("quantreg rq.fit.fnb", runner.r_network("fnb", u, n)),
                Measure("quantreg rq.fit.br (exact simplex)", runner.r_network("br", u, n, limit=120))])
          for u, n in ((100, 4000), (200, 10000), (300, 20000))],
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
    values = [v for v in values if not math.isnan(v)]
    if not values:
        return "not within 2 min"
    ms = [v * 1e3 for v in values]
    return spread(ms, 3) + " ms"


def finished_median(measure):
    times = [t for t in measure.times if not math.isnan(t)]
    return statistics.median(times) if times else math.inf


def report(work):
    fastest = min(work.peers, key=finished_median)
    ratios = [p / t for p, t in zip(fastest.times, work.tolvar.times) if not math.isnan(p)] or [math.nan]
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


def processor_model():
    """The model name and the widest vector instructions it has."""
    model, flags = "?", set()
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
            elif line.startswith("flags"):
                flags = set(line.split(":", 1)[1].split())
    widest = "AVX-512" if "avx512f" in flags else "AVX2" if "avx2" in flags else "no AVX2"
    return f"{model} ({widest})"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--repeats", type=int, default=3, help="repetitions of a peer within one round")
    parser.add_argument("--only", default="pass,l1,l1zero,network,fit")
    parser.add_argument("--kernels", help="instruction set of Tolvar's pass loops: portable, avx2, avx512")
    args = parser.parse_args()
    if args.kernels:
        os.environ["TOLVAR_KERNELS"] = args.kernels

    data = os.path.join(os.environ.get("TMPDIR", tempfile.gettempdir()), "tolvar_peers")
    os.makedirs(data, exist_ok=True)
    runner = Runner(os.path.abspath(args.build), data, args.repeats)
    selected = works(runner, set(args.only.split(",")))
    numpy_blas, r_blas = blas_in_use(runner.env)
    print(f"processor: {processor_model()}; Tolvar's pass loops: {runner.kernels()}")
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
