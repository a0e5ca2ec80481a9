#!/usr/bin/env python3
"""The synthetic data-set generator (synthdata/, target lithora_synthdata) serves the tests, the
benchmarks, the fuzz seeds and `lithora-pack synth`; the desktop program and lithora-cli carry
none of it.

For each program named with --without, the test fails if
  - its link step takes the generator's library (read from the build's Ninja file, when the
    build uses Ninja), or
  - any generator symbol is defined in it: lithora::synthesize or anything in lithora::synth.
For each program named with --with (lithora-pack), both must hold instead, which shows that the
two checks still recognise the generator: a renamed namespace or library would otherwise make
the test pass on anything.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

SYMBOL = re.compile(r"\blithora::synth(?:esize\b|::)")
LIBRARY = "liblithora_synthdata"


def generator_symbols(program):
    """The demangled generator symbols defined in program."""
    answer = subprocess.run(["nm", "-C", "--defined-only", program], capture_output=True,
                            text=True, check=False)
    if answer.returncode != 0:
        sys.exit(f"nm failed on {program}: {answer.stderr.strip()}")
    symbols = [line.split(" ", 2)[-1] for line in answer.stdout.splitlines()]
    if not symbols:
        sys.exit(f"nm found no symbols in {program}: the check needs an unstripped program")
    return [s for s in symbols if SYMBOL.search(s)]


def links_generator(ninja, build_dir, program):
    """Whether the Ninja link step of program takes the generator's library, or None when the
    build is not a Ninja build."""
    if not ninja or not os.path.exists(os.path.join(build_dir, "build.ninja")):
        return None
    target = os.path.relpath(program, build_dir)
    answer = subprocess.run([ninja, "-C", build_dir, "-t", "query", target],
                            capture_output=True, text=True, check=False)
    if answer.returncode != 0:
        sys.exit(f"ninja -t query {target} failed: {answer.stderr.strip()}")
    # Only the inputs of the program's own link step, not what is built from it.
    inputs = answer.stdout.split("outputs:", 1)[0]
    return LIBRARY in inputs


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--ninja", default=shutil.which("ninja"))
    parser.add_argument("--without", action="append", default=[], help="must not hold it")
    parser.add_argument("--with", dest="holding", action="append", default=[],
                        help="must hold it")
    args = parser.parse_args()

    faults = []
    for program in args.without:
        name = os.path.basename(program)
        linked = links_generator(args.ninja, args.build_dir, program)
        if linked:
            faults.append(f"{name} links {LIBRARY}")
        found = generator_symbols(program)
        if found:
            faults.append(f"{name} holds {len(found)} generator symbols, e.g. {found[0]}")
        state = "not checked" if linked is None else "takes it" if linked else "clean"
        print(f"{name}: link step {state}, {len(found)} generator symbols")
    for program in args.holding:
        name = os.path.basename(program)
        linked = links_generator(args.ninja, args.build_dir, program)
        if linked is False:
            faults.append(f"{name} should link {LIBRARY} but its link step does not take it")
        found = generator_symbols(program)
        if not found:
            faults.append(f"{name} should hold generator symbols but none matched")
        print(f"{name}: {len(found)} generator symbols (expected some)")
    for fault in faults:
        print("FAULT:", fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
