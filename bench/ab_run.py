#!/usr/bin/env python3
"""Times two tidemark-bench builds on the same pass, alternating, and prints the medians.

  bench/ab_run.py NEW OLD SOURCE WORK [--runs N] [--no-op] [--old-workers N]

NEW and OLD are tidemark-bench binaries. Each run copies SOURCE into a fresh empty folder under
WORK (an initial copy; WORK on tmpfs makes the copy all processor time), or with --no-op
re-syncs SOURCE onto WORK/mirror, made first; the folder is removed at the end. Both builds
run in turn, in alternating order.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("new")
    parser.add_argument("old")
    parser.add_argument("source")
    parser.add_argument("work")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--no-op", action="store_true")
    parser.add_argument("--old-workers", type=int)
    args = parser.parse_args()
    source = os.path.abspath(args.source)
    mirror = os.path.join(os.path.abspath(args.work), "mirror")
    copy = os.path.join(os.path.abspath(args.work), "copy")
    old_command = [args.old]
    if args.old_workers is not None:
        old_command += ["--workers", str(args.old_workers)]
    if args.no_op:
        shutil.rmtree(mirror, ignore_errors=True)
        os.makedirs(mirror)
        run([args.new], source, mirror)
    times = {"new": [], "old": []}
    for i in range(args.runs):
        order = [("new", [args.new]), ("old", old_command)]
        for name, command in order if i % 2 == 0 else reversed(order):
            destination = mirror if args.no_op else copy
            if not args.no_op:
                shutil.rmtree(copy, ignore_errors=True)
                os.makedirs(copy)
            start = time.perf_counter()
            run(command, source, destination)
            times[name].append(time.perf_counter() - start)
    shutil.rmtree(mirror if args.no_op else copy, ignore_errors=True)
    new, old = statistics.median(times["new"]), statistics.median(times["old"])
    print(f"new {new:.4f} s  old {old:.4f} s  new/old {new / old:.3f}  ({args.runs} runs each)")


def run(command, source, destination):
    subprocess.run([command[0], "run", *command[1:], "--style", "normal", "--ignore-hidden", "0",
                    source, destination], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)


if __name__ == "__main__":
    main()
