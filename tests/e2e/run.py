#!/usr/bin/env python3
"""End-to-end cases: the program started as a user starts it, driven by
clicks and keys, checked by what the user sees and hears.

    /usr/bin/python3 tests/e2e/run.py --program build/bin/TIDEBELL [-j2] [case ...]

Each case starts what it needs itself (see session.py). Without case names
every case runs.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from cases import CASES  # noqa: E402
from session import Session  # noqa: E402


def run_each(program, names, jobs):
    """The accessibility library keeps its first bus for the life of the
    process, so every case runs in a process of its own."""
    started = time.monotonic()
    pending, running, failed = list(names), [], []
    while pending or running:
        while pending and len(running) < max(1, jobs):
            name = pending.pop(0)
            out = tempfile.TemporaryFile()
            proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--program", program, name],
                                    stdout=out, stderr=subprocess.STDOUT)
            running.append((name, proc, out))
        for entry in list(running):
            name, proc, out = entry
            if proc.poll() is None:
                continue
            running.remove(entry)
            out.seek(0)
            sys.stdout.write(out.read().decode(errors="replace"))
            sys.stdout.flush()
            out.close()
            if proc.returncode != 0:
                failed.append(name)
        time.sleep(0.05)
    print(f"{len(names) - len(failed)} of {len(names)} cases passed in {time.monotonic() - started:.1f} s", flush=True)
    if failed:
        print("failed: " + ", ".join(failed), flush=True)
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", help="the TIDEBELL executable to drive")
    parser.add_argument("--list", action="store_true", help="print the cases' names")
    parser.add_argument("--jobs", "-j", type=int, default=1, help="cases run at once")
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()
    if args.list:
        print("\n".join(CASES))
        return 0
    if not args.program:
        parser.error("--program is required")
    names = args.cases or list(CASES)
    unknown = [n for n in names if n not in CASES]
    if unknown:
        print("unknown cases: " + ", ".join(unknown), file=sys.stderr)
        return 2
    if not os.access(args.program, os.X_OK):
        print(f"{args.program}: not an executable program", file=sys.stderr)
        return 2
    if len(names) > 1:
        return run_each(args.program, names, args.jobs)
    failed = []
    for name in names:
        started = time.monotonic()
        session = Session(args.program)
        try:
            session.start()
            CASES[name](session)
            print(f"PASS {name} ({time.monotonic() - started:.1f} s)", flush=True)
        except Exception:
            failed.append(name)
            print(f"FAIL {name} ({time.monotonic() - started:.1f} s)", flush=True)
            traceback.print_exc()
            for proc in session.apps:
                if proc.poll() is None:
                    proc.terminate()
                    try:
                        proc.wait(5)
                    except Exception:
                        proc.kill()
                with open(proc.log_path, "rb") as log:
                    output = log.read().decode(errors="replace")
                if output.strip():
                    print(f"--- program output (exit {proc.returncode}) ---\n{output}", flush=True)
        finally:
            session.stop()
    if failed:
        print("failed: " + ", ".join(failed), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
