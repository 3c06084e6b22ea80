#!/usr/bin/env python3
"""L1 reports of two tolvar-cli builds on a random sample of small problems.

    l1_sign_sample.py NEW_CLI OLD_CLI [--count 10000] [--seed 1]

Writes each problem as an input file, runs both programs with `-q -m l1` and
sorts the pairs of reports into: byte for byte the same; different only in
the signs of zeros (a "-0.00000" against a "0.00000" in the same place); or
different otherwise (printed, with the input kept). Exit status 1 when any
pair differs otherwise.
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

# A printed zero with a minus sign; without it the field is one blank wider.
NEGATIVE_ZERO = re.compile(rb"(?<![\d.])-(0(?:\.0+)?)(?![\d.eE])")


def design_row(rnd, kind, u):
    if kind == "network":
        row = [0.0] * u
        a = rnd.randrange(u)
        b = rnd.randrange(u - 1) if u > 1 else a
        b = b + 1 if u > 1 and b >= a else b
        row[a] += 1.0
        row[b] -= 1.0
        return row
    if kind in ("integers", "zeros", "weights"):
        return [float(rnd.randint(-2, 2)) for _ in range(u)]
    return [round(rnd.gauss(0.0, 1.0), 5) for _ in range(u)]


def problem(rnd):
    kind = rnd.choice(["gaussian", "integers", "network", "zeros", "weights"])
    u = rnd.randint(1, 8)
    n = u + rnd.randint(0, 40)
    rows = [design_row(rnd, kind, u) for _ in range(n)]
    if kind == "network":
        rows[0] = [1.0] + [0.0] * (u - 1)
    if kind == "zeros":
        values = [0.0 if rnd.random() < 0.7 else float(rnd.randint(-3, 3)) for _ in range(n)]
    elif kind == "gaussian":
        values = [round(sum(r) + rnd.gauss(0.0, 1.0) + (20.0 if rnd.random() < 0.1 else 0.0), 5) for r in rows]
    else:
        values = [float(rnd.randint(-3, 3)) + (10.0 if rnd.random() < 0.1 else 0.0) for _ in range(n)]
    weights = [round(rnd.uniform(0.25, 4.0), 2) if kind == "weights" else 1.0 for _ in range(n)]
    lines = ["".join(f"{v:16.5f}" for v in r) for r in rows]
    lines += [f"{v:16.5f}{w:16.5f}" for v, w in zip(values, weights)]
    return kind, "\r\n".join(lines) + "\r\n"


def report(cli, source, target):
    done = subprocess.run([cli, "-q", "-m", "l1", source, target], capture_output=True)
    with open(target, "rb") as f:
        return done.returncode, f.read()


def compare(args, directory, index, text):
    source = os.path.join(directory, f"p{index}.EIN")
    with open(source, "w", newline="") as f:
        f.write(text)
    new = report(args.new, source, os.path.join(directory, f"p{index}.new.AUS"))
    old = report(args.old, source, os.path.join(directory, f"p{index}.old.AUS"))
    if new == old:
        verdict = "same"
    elif new[0] == old[0] and NEGATIVE_ZERO.sub(rb" \1", new[1]) == NEGATIVE_ZERO.sub(rb" \1", old[1]):
        verdict = "signs of zero"
    else:
        return "other"
    for suffix in (".EIN", ".new.AUS", ".old.AUS"):
        os.remove(os.path.join(directory, f"p{index}{suffix}"))
    return verdict


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("new")
    parser.add_argument("old")
    parser.add_argument("--count", type=int, default=10000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rnd = random.Random(args.seed)
    problems = [problem(rnd) for _ in range(args.count)]
    directory = tempfile.mkdtemp(prefix="tolvar_l1_sample_")
    with ThreadPoolExecutor(max_workers=os.cpu_count()) as pool:
        verdicts = list(pool.map(lambda k: compare(args, directory, k, problems[k][1]), range(args.count)))
    counts = {}
    for (kind, _), verdict in zip(problems, verdicts):
        counts.setdefault(verdict, {}).setdefault(kind, 0)
        counts[verdict][kind] += 1
    for verdict in ("same", "signs of zero", "other"):
        by_kind = counts.get(verdict, {})
        detail = ", ".join(f"{kind} {count}" for kind, count in sorted(by_kind.items()))
        print(f"{verdict}: {sum(by_kind.values())} ({detail})")
    if "other" in counts:
        print(f"inputs and reports of the others kept in {directory}")
        return 1
    os.rmdir(directory)
    return 0


if __name__ == "__main__":
    sys.exit(main())
