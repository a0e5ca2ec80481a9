#!/usr/bin/env python3
"""The damaged-data matrix.

Every file of a packed data set is damaged in turn (missing, empty, a directory, a named pipe,
a link to a device, stretched to 3 GiB, cut short, length fields and table values rewritten,
random bytes), lithora.p in a few of these ways, and every program that reads a data set runs
on the damaged copy: lithora-cli (list, card, the four searches, print, pattern), lithora-pack
(verify, unpack) and the desktop program's start. Each run has a time limit and a memory
guard.

A run passes when it ends on its own (no signal, no sanitizer report, within the time limit
and the memory limit) and either succeeds with well-formed output or exits with 1 and names
the damaged file on standard error. On top of that each case states what must hold for the
file it damages: a missing lithora.a stops every program with a message naming it, a damaged
file leaves whatever does not read it exactly as it was on the sound set, verify names the
damaged file, and a missing table is reported by every program at start-up. A damaged
lithora.p is told once by lithora-cli pattern, which answers with the patterns read before the
damage or the card lines; without lithora.p it answers with the card lines in silence.

Usage: damaged_data_matrix.py --cli BIN --pack BIN --program BIN --fixtures DIR --work DIR
       [--sanitized] [--jobs N] [--only TEXT] [--keep] [--outcomes FILE.tsv]

--sanitized is for a build with the address and undefined-behaviour sanitizers: the memory
guard is then the allocator's own limit instead of a limit on the address space. --only runs
the cases whose name holds TEXT, --keep keeps every case directory, --outcomes writes one line
per run (exit status and first message) for reading what each program made of each damage.
"""

import argparse
import concurrent.futures
import contextlib
import json
import os
import random
import resource
import shutil
import signal
import struct
import subprocess
import sys
import threading
import time
from dataclasses import dataclass, field

FILES = ("lithora.a", "lithora.b", "lithora.c", "lithora.d",
         "lithora.e", "lithora.g", "lithora.h", "lithora.i")
# The reference patterns: a set works without them, and only lithora-cli pattern, verify and
# unpack read them.
PATTERNS = "lithora.p"
RECORD_FILES = ("lithora.a", "lithora.b", "lithora.e", "lithora.h")
TABLE_FILES = ("lithora.c", "lithora.d", "lithora.g", "lithora.i")
HEADER_FILES = ("lithora.a", "lithora.e")  # their first record is a header, not an entry
TABLE_TARGET = {"lithora.c": "lithora.b", "lithora.g": "lithora.a", "lithora.i": "lithora.h"}
CARD_TABLE_ENTRIES = 10001

TIME_LIMIT = 20.0                      # seconds; a run still going then has hung
ADDRESS_LIMIT = 2 << 30                # bytes of address space per process (plain build)
RSS_LIMIT_KB = 1536 * 1024             # peak resident memory of any one run
SANITIZER_MARKS = ("AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer",
                   "runtime error:")

DIRECTORY = object()                   # what a damage returns to put a directory in the file's place
PIPE = object()                        # ... a named pipe, which a reader opening it would wait on
DEVICE = object()                      # ... a symbolic link to /dev/zero, which reads without end
HUGE = object()                        # ... to stretch the file with zeros (sparse) to HUGE_SIZE
HUGE_SIZE = 3 << 30
INT32_MAX = 2**31 - 1
INT32_MIN = -2**31


# ----------------------------------------------------------------------------------------------
# The layout of a sound set

def walk_records(data):
    """(offset, length) of every record of a sound record file."""
    records = []
    offset = 0
    while offset + 4 <= len(data):
        (n,) = struct.unpack_from("<i", data, offset)
        records.append((offset, n))
        offset += 4 + max(n, 0)
    if offset != len(data):
        raise SystemExit(f"the sound set is not sound: a record file ends at {offset} "
                         f"of {len(data)} bytes")
    return records


def put_int32_at(data, offset, value):
    out = bytearray(data)
    struct.pack_into("<i", out, offset, value)
    return bytes(out)


def put_int32(data, index, value):
    return put_int32_at(data, 4 * index, value)


def put_int16(data, index, value):
    out = bytearray(data)
    struct.pack_into("<h", out, 2 * index, value)
    return bytes(out)


def get_int32(data, index):
    return struct.unpack_from("<i", data, 4 * index)[0]


@dataclass
class Damage:
    name: str                 # e.g. "lithora.a length -1 at the middle record"
    file: str                 # the damaged file
    apply: object             # bytes -> bytes, or None: the file is removed
    kind: str                 # missing, empty, directory, pipe, device, huge, cut, length,
                              # value, random
    unreadable: tuple = ()    # cards whose entry record the damage puts out of reach


def record_file_damages(name, data):
    records = walk_records(data)
    entries = records[1:] if name in HEADER_FILES else records
    if len(entries) < 2:
        raise SystemExit(f"{name} of the sound set holds too few records for the matrix")
    first_entry = entries[0]
    # The middle record with a body (some element records are empty).
    middle = min((r for r in enumerate(entries) if r[1][1] > 0),
                 key=lambda r: abs(r[0] - len(entries) // 2))[1]
    damages = []

    def cut(label, size):
        damages.append(Damage(f"{name} cut {label} ({size} of {len(data)} bytes)", name,
                              lambda d, s=size: d[:s], "cut"))

    if name in HEADER_FILES:
        header_offset, header_length = records[0]
        cut("inside the header", header_offset + 4 + header_length // 2)
    else:
        cut("inside the first length field", 2)
    cut("inside a length field", middle[0] + 2)
    cut("inside a record body", middle[0] + 4 + max(middle[1], 2) // 2)
    cut("one byte short", len(data) - 1)

    places = [("first", records[0]), ("middle", middle)]
    if name in HEADER_FILES:
        places.insert(1, ("first entry", first_entry))
    for place, (offset, _) in places:
        for value in (0, -1, 2024, INT32_MAX):
            damages.append(Damage(f"{name} length {value} at the {place} record", name,
                                  lambda d, o=offset, v=value: put_int32_at(d, o, v), "length"))
    return damages


def table_damages(name, data, sound):
    """Values of the four tables rewritten: counts, positions past the end, negative ones."""
    damages = []

    def cut(label, size):
        damages.append(Damage(f"{name} cut {label} ({size} of {len(data)} bytes)", name,
                              lambda d, s=size: d[:s], "cut"))

    cut("inside the first value", 1)
    cut("inside a value", (len(data) // 2) | 1)
    cut("to half", len(data) // 2 - (len(data) // 2) % 4)
    cut("one byte short", len(data) - 1)

    def value(label, index, v, width=4, unreadable=()):
        put = put_int16 if width == 2 else put_int32
        damages.append(Damage(f"{name} {label}", name,
                              lambda d, i=index, x=v, p=put: p(d, i, x), "value", unreadable))

    if name == "lithora.d":
        count = struct.unpack_from("<h", data, 0)[0]
        cards = sound.cards
        middle_card = cards[len(cards) // 2]
        value("entry count 0", 0, 0, 2)
        value("entry count -1", 0, -1, 2)
        value("entry count one more than the records", 0, count + 1, 2)
        value("entry count 32767", 0, 32767, 2)
        value(f"card {cards[0]} -> entry -1", cards[0], -1, 2, (cards[0],))
        value(f"card {middle_card} -> entry 32767", middle_card, 32767, 2, (middle_card,))
        value(f"card {middle_card} -> entry {count + 1} (past the position table)",
              middle_card, count + 1, 2, (middle_card,))
    else:
        target = sound.files[TABLE_TARGET[name]]
        if name == "lithora.g":
            count = len(data) // 4 - 1
            slots = [("entry 1", 1), ("middle entry", count // 2 + 1)]
            owner = {i + 1: c for i, c in enumerate(sound.cards)}
        elif name == "lithora.c":
            # Card 1's references always start at the first record: its slot is not read.
            with_refs = [c for c in sound.cards if c != 1 and get_int32(data, c) != 0]
            slots = [(f"card {with_refs[0]}", with_refs[0]),
                     (f"card {with_refs[len(with_refs) // 2]}", with_refs[len(with_refs) // 2])]
        else:
            with_optics = [c for c in range(1, CARD_TABLE_ENTRIES) if get_int32(data, c) != 0]
            slots = [(f"card {with_optics[0]}", with_optics[0]),
                     (f"card {with_optics[len(with_optics) // 2]}",
                      with_optics[len(with_optics) // 2])]
        for label, index in slots:
            position = get_int32(data, index)
            for what, v in (("just past the end of " + TABLE_TARGET[name], len(target) + 1),
                            ("far past the end", INT32_MAX),
                            ("inside a record", position + 5),
                            ("negative", -1),
                            ("most negative", INT32_MIN)):
                lost = (owner[index],) if name == "lithora.g" and what != "inside a record" \
                    else ()
                value(f"{label} -> {v} ({what})", index, v, unreadable=lost)
    return damages


def random_damages(name, data, seed_base):
    damages = []
    for i, size in enumerate(sorted({3, 100, len(data), 65536})):
        seed = seed_base * 100 + i
        damages.append(Damage(f"{name} replaced by {size} random bytes (seed {seed})", name,
                              lambda d, n=size, s=seed: random.Random(s).randbytes(n),
                              "random"))
    seed = seed_base * 100 + 99

    def scribble(d, s=seed):
        rng = random.Random(s)
        out = bytearray(d)
        for _ in range(24):
            out[rng.randrange(len(out))] = rng.randrange(256)
        return bytes(out)
    damages.append(Damage(f"{name} with 24 bytes overwritten at random (seed {seed})", name,
                          scribble, "random"))
    return damages


def pattern_damages(data):
    """lithora.p: gone in the three ways that matter, its header, a cut, a length, a field, noise.
    The middle record is albite's in the mini set: the pattern of calcite before it stays."""
    records = walk_records(data)
    offset, length = records[(len(records) + 1) // 2]
    first_d = offset + 4 + 14
    return [
        Damage(f"{PATTERNS} missing", PATTERNS, None, "missing"),
        Damage(f"{PATTERNS} a directory", PATTERNS, lambda d: DIRECTORY, "directory"),
        Damage(f"{PATTERNS} a named pipe", PATTERNS, lambda d: PIPE, "pipe"),
        Damage(f"{PATTERNS} with the header of another version", PATTERNS,
               lambda d: d[:4] + b"PATTERNS 2" + d[14:], "value"),
        Damage(f"{PATTERNS} cut inside a record body ({offset + 4 + length // 2} of {len(data)} "
               f"bytes)", PATTERNS, lambda d: d[:offset + 4 + length // 2], "cut"),
        Damage(f"{PATTERNS} length {INT32_MAX} at the middle record", PATTERNS,
               lambda d: put_int32_at(d, offset, INT32_MAX), "length"),
        Damage(f"{PATTERNS} a d out of order at the middle record", PATTERNS,
               lambda d: d[:first_d + 4] + d[first_d:first_d + 4] + d[first_d + 8:], "value"),
        Damage(f"{PATTERNS} replaced by {len(data)} random bytes (seed 900)", PATTERNS,
               lambda d: random.Random(900).randbytes(len(d)), "random"),
    ]


def all_damages(sound):
    damages = []
    for k, name in enumerate(FILES):
        data = sound.files[name]
        damages.append(Damage(f"{name} missing", name, None, "missing"))
        damages.append(Damage(f"{name} empty", name, lambda d: b"", "empty"))
        damages.append(Damage(f"{name} a directory", name, lambda d: DIRECTORY, "directory"))
        damages.append(Damage(f"{name} a named pipe", name, lambda d: PIPE, "pipe"))
        damages.append(Damage(f"{name} a link to /dev/zero", name, lambda d: DEVICE, "device"))
        damages.append(Damage(f"{name} stretched with zeros to 3 GiB", name, lambda d: HUGE,
                              "huge"))
        if name in RECORD_FILES:
            damages += record_file_damages(name, data)
        else:
            damages += table_damages(name, data, sound)
        damages += random_damages(name, data, k + 1)
    if PATTERNS in sound.files:
        damages += pattern_damages(sound.files[PATTERNS])
    return damages


def synthetic_damages(sound):
    """Three cases for each file of the larger set: a length or table value, a cut, noise."""
    wanted = []
    for name in FILES:
        mine = [d for d in all_damages(sound) if d.file == name]
        picks = ("length 2147483647 at the middle record", "far past the end",
                 "entry count 32767", "cut inside a record body", "cut to half",
                 f"replaced by {len(sound.files[name])} random bytes")
        for pick in picks:
            wanted += [d for d in mine if pick in d.name][:1]
    if PATTERNS in sound.files:
        wanted += [d for d in pattern_damages(sound.files[PATTERNS])
                   if "body" in d.name or "random" in d.name]
    return wanted


# ----------------------------------------------------------------------------------------------
# Running a program

@dataclass
class Run:
    label: str
    argv: list
    rc: int = 0
    signal: int = 0
    stdout: str = ""
    stderr: str = ""
    seconds: float = 0.0
    peak_kb: int = 0
    timed_out: bool = False
    json: object = None


class Runner:
    def __init__(self, args):
        self.args = args
        self.env = dict(os.environ)
        self.env["QT_QPA_PLATFORM"] = "offscreen"
        self.env["LITHORA_UNATTENDED"] = "1"
        self.env["LITHORA_QUIT_AFTER_START"] = "1"
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        if args.sanitized:
            # The sanitizer reserves far more address space than a limit would allow, so the
            # guard against a runaway allocation is the allocator's own limit instead.
            asan = self.env.get("ASAN_OPTIONS", "detect_leaks=0")
            self.env["ASAN_OPTIONS"] = asan + ":allocator_may_return_null=0" \
                                              ":max_allocation_size_mb=512"
            ubsan = self.env.get("UBSAN_OPTIONS", "print_stacktrace=1")
            self.env["UBSAN_OPTIONS"] = ubsan + ":halt_on_error=1"
        self.lock = threading.Lock()
        self.runs = 0
        self.peak_kb = 0
        self.slowest = (0.0, "")
        self.outcomes = []

    def run(self, label, argv, env_extra=None, cwd=None):
        env = dict(self.env)
        if env_extra:
            env.update(env_extra)
        r = Run(label, argv)
        out_path = os.path.join(cwd, f".{label.replace(' ', '_')}.out")
        err_path = os.path.join(cwd, f".{label.replace(' ', '_')}.err")
        start = time.monotonic()
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            proc = subprocess.Popen(argv, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                    env=env, cwd=cwd, start_new_session=True)

            def kill():
                r.timed_out = True
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            timer = threading.Timer(TIME_LIMIT, kill)
            timer.start()
            _, status, usage = os.wait4(proc.pid, 0)
            timer.cancel()
            proc.returncode = os.waitstatus_to_exitcode(status)
        r.seconds = time.monotonic() - start
        r.peak_kb = usage.ru_maxrss
        if os.WIFSIGNALED(status):
            r.signal = os.WTERMSIG(status)
            r.rc = 128 + r.signal
        else:
            r.rc = os.WEXITSTATUS(status)
        with open(out_path, "rb") as f:
            r.stdout = f.read().decode("utf-8", "replace")
        with open(err_path, "rb") as f:
            r.stderr = f.read().decode("utf-8", "replace")
        os.remove(out_path)
        os.remove(err_path)
        with self.lock:
            self.runs += 1
            self.peak_kb = max(self.peak_kb, r.peak_kb)
            if r.seconds > self.slowest[0]:
                self.slowest = (r.seconds, f"{label} in {cwd}")
        return r


# ----------------------------------------------------------------------------------------------
# The commands run on every set, and what each reads

@dataclass
class Command:
    label: str
    kind: str                  # list, card, search, print, verify, unpack, gui, pattern
    args: list = field(default_factory=list)
    reads: tuple = ()          # the files whose damage may change its outcome
    card: int = 0              # for card and print


ALL_BUT_ELEMENTS = tuple(f for f in FILES if f != "lithora.e")


def commands_for(criteria, cards):
    first, middle, last = cards
    cmds = [Command("list", "list", ["list"], ("lithora.a", "lithora.d"))]
    for c in (first, middle, last, 0, 99999):
        cmds.append(Command(f"card {c}", "card", ["card", str(c)], ALL_BUT_ELEMENTS, c))
    cmds += [
        Command("search form", "search", ["search", "form"] + criteria["form"],
                ("lithora.a", "lithora.d", "lithora.g")),
        Command("search optics", "search", ["search", "optics"] + criteria["optics"],
                ("lithora.a", "lithora.d", "lithora.g", "lithora.h", "lithora.i")),
        Command("search elements", "search", ["search", "elements"] + criteria["elements"],
                ("lithora.a", "lithora.d", "lithora.g", "lithora.e")),
        Command("search text", "search", ["search", "text"] + criteria["text"],
                ("lithora.a", "lithora.d", "lithora.g")),
        Command(f"print {first}", "print", ["print", str(first)], ALL_BUT_ELEMENTS, first),
        Command(f"pattern {first}", "pattern", ["pattern", str(first)],
                ALL_BUT_ELEMENTS + (PATTERNS,), first),
        Command("verify", "verify", [], FILES + (PATTERNS,)),
        Command("unpack", "unpack", [], ("lithora.a", "lithora.b", "lithora.h", "lithora.i",
                                         PATTERNS)),
        Command("program start", "gui", [], ALL_BUT_ELEMENTS),
    ]
    return cmds


def run_command(runner, args, cmd, case_dir):
    index = os.path.join(case_dir, "INDEX")
    if cmd.kind == "gui":
        return runner.run(cmd.label, [os.path.join(case_dir, "lithora")],
                          {"HOME": args.home, "XDG_RUNTIME_DIR": args.runtime}, cwd=case_dir)
    if cmd.kind == "verify":
        return runner.run(cmd.label, [args.pack, "verify", index], cwd=case_dir)
    if cmd.kind == "unpack":
        return runner.run(cmd.label, [args.pack, "unpack", index,
                                      os.path.join(case_dir, "unpacked")], cwd=case_dir)
    argv = [args.cli, "--data", index] + cmd.args
    if cmd.kind == "print":
        argv += ["--pdf", os.path.join(case_dir, "card.pdf")]
    r = runner.run(cmd.label, argv, cwd=case_dir)
    if r.rc == 0 and not r.timed_out:
        try:
            r.json = json.loads(r.stdout)
        except ValueError:
            r.json = None
    return r


# ----------------------------------------------------------------------------------------------
# The checks

def sound_problems(r):
    """What makes any run fail, whatever the data."""
    problems = []
    if r.timed_out:
        problems.append(f"did not end within {TIME_LIMIT:.0f} s")
    elif r.signal:
        problems.append(f"died of signal {r.signal}")
    elif r.rc >= 128:
        problems.append(f"exit status {r.rc}")
    for mark in SANITIZER_MARKS:
        if mark in r.stderr:
            problems.append(f"sanitizer report ({mark})")
            break
    if "std::bad_alloc" in r.stderr or "terminate called" in r.stderr:
        problems.append("an uncaught exception")
    if r.peak_kb > RSS_LIMIT_KB:
        problems.append(f"peak memory {r.peak_kb // 1024} MB")
    return problems


def names_file(r, name):
    return name in r.stderr


def card_json_main(j):
    """The card without what references and optical data add to it."""
    state = {k: v for k, v in j["state"].items()
             if k not in ("currentReferences", "currentReferenceCount", "currentOpticalRecord")}
    return {"status": j["status"], "state": state, "tf": j["tf"][:43]}  # 43..48: references


def comparable(cmd, j):
    """What of an answer must not change: a print's file lies in each case's own directory."""
    return j.get("pages") if cmd.kind == "print" and j is not None else j


def check_run(cmd, r, damage, baseline, case_dir):
    problems = sound_problems(r)
    if problems:
        return problems
    name = damage.file
    base = baseline.get(cmd.label)

    # Outcomes any run may have: success with well-formed output, or 1 naming the file.
    if r.rc == 0:
        if cmd.kind in ("list", "card", "search", "print", "pattern") and r.json is None:
            problems.append("exit 0 without a JSON object on standard output")
        if cmd.kind == "print" and r.json is not None:
            pdf = os.path.join(case_dir, "card.pdf")
            if not os.path.exists(pdf) or open(pdf, "rb").read(5) != b"%PDF-":
                problems.append("exit 0 without a PDF file")
    elif r.rc == 1:
        said_card = cmd.kind in ("card", "print") and \
            f"card {cmd.card} is not in the database" in r.stderr
        if not names_file(r, name) and not said_card:
            problems.append(f"exit 1 without naming {name}: {r.stderr.strip()[-300:]!r}")
        if said_card and cmd.card in baseline["listed cards"] and \
                name not in ("lithora.a", "lithora.d"):
            problems.append(f"card {cmd.card} vanished from the list, but {name} does not "
                            "hold the list")
    else:
        problems.append(f"exit status {r.rc} (a data fault is 1): {r.stderr.strip()[-300:]!r}")

    # What holds for particular files and kinds of damage.
    quiet = name == PATTERNS and damage.kind == "missing"  # a set without patterns is sound
    if cmd.kind == "verify" and not quiet and (r.rc != 1 or not names_file(r, name)):
        problems.append(f"verify did not report the damaged {name} (exit {r.rc})")
    if cmd.kind == "verify" and quiet and r.rc != 0:
        problems.append(f"verify failed a set without {name} (exit {r.rc})")
    if name == PATTERNS:
        problems += pattern_problems(cmd, r, quiet, base)
    if cmd.kind in ("card", "print") and cmd.card in damage.unreadable and \
            (r.rc != 1 or not names_file(r, name)):
        problems.append(f"card {cmd.card}'s record is out of reach, but it gave exit {r.rc} "
                        f"without naming {name}")
    if cmd.kind == "card" and cmd.card in (0, 99999) and r.rc != 1:
        problems.append(f"card {cmd.card} gave exit {r.rc}, expected 1")
    gone = damage.kind in ("missing", "directory", "pipe", "device", "huge")
    if gone and name == "lithora.a" and (r.rc != 1 or not names_file(r, name)):
        problems.append(f"without a readable lithora.a it must stop with a message naming the "
                        f"file (exit {r.rc})")
    # The start-up reports a table it cannot read, and goes on.
    if gone and name in TABLE_FILES and cmd.kind not in ("verify", "unpack") and \
            not names_file(r, name):
        problems.append(f"the unreadable table {name} was not reported at start-up")
    # A search cannot do without the file it searches, and says so.
    if gone and (name, cmd.label) in (("lithora.e", "search elements"),
                                      ("lithora.h", "search optics")) and \
            (r.rc != 1 or not names_file(r, name)):
        problems.append(f"without {name} it gave exit {r.rc} instead of naming the file")
    # A list cut short by damage to lithora.a holds the entries before the damage, unchanged.
    if cmd.kind == "list" and name == "lithora.a" and damage.kind in ("cut", "length") and \
            r.json is not None and base is not None:
        rows, sound_rows = r.json["rows"], base.json["rows"]
        if rows != sound_rows[:len(rows)]:
            problems.append("the list is not the sound list's first entries")
        # ... and a list cut short is never met in silence.
        if len(rows) < len(sound_rows) and not (
                "lithora.a" in r.stderr and "lithora-pack verify" in r.stderr):
            problems.append(f"the list lost {len(sound_rows) - len(rows)} entries without a "
                            f"word on standard error: {r.stderr.strip()[-300:]!r}")
    if cmd.kind == "gui" and r.rc != 0 and not (name == "lithora.a" and r.rc == 1):
        problems.append(f"the program did not start (exit {r.rc}): {r.stderr.strip()[-300:]!r}")

    # Damage to a file a command does not read leaves its answer as it was.
    if base is not None and name not in cmd.reads and cmd.kind not in ("verify", "gui"):
        if r.rc != base.rc:
            problems.append(f"exit {r.rc}, {base.rc} on the sound set, though it does not "
                            f"read {name}")
        elif comparable(cmd, r.json) != comparable(cmd, base.json):
            problems.append(f"its answer differs from the sound set's, though it does not "
                            f"read {name}")
    # Damage to references or optical data leaves the card's main data alone.
    if cmd.kind == "card" and name in ("lithora.b", "lithora.c", "lithora.h", "lithora.i") \
            and base is not None and base.rc == 0:
        if r.rc != 0 or r.json is None:
            problems.append(f"card {cmd.card} was not shown, though only {name} is damaged")
        elif card_json_main(r.json) != card_json_main(base.json):
            problems.append(f"card {cmd.card}'s main data differ, though only {name} is damaged")
    if cmd.kind == "print" and name in ("lithora.b", "lithora.c", "lithora.h", "lithora.i",
                                        "lithora.e") and r.rc != 0:
        problems.append(f"the card was not printed, though only {name} is damaged")
    return problems


def pattern_problems(cmd, r, quiet, base):
    """A damaged lithora.p is told once, and then each card has the pattern read before the
    damage or its card lines; without lithora.p every card has its card lines, in silence."""
    problems = []
    if cmd.kind not in ("pattern", "verify", "unpack") and r.stderr.count(PATTERNS):
        problems.append(f"spoke of {PATTERNS}, which it does not read: {r.stderr.strip()[-300:]!r}")
    if cmd.kind != "pattern":
        return problems
    if r.rc != 0 or r.json is None:
        return problems + [f"exit {r.rc}: a damaged {PATTERNS} must leave the card lines"]
    told = sum(PATTERNS in line for line in r.stderr.splitlines())
    if quiet and (r.stderr or r.json["source"] != "card lines"):
        problems.append(f"without {PATTERNS}: {r.json['source']!r}, said {r.stderr.strip()!r}")
    if not quiet and told != 1:
        problems.append(f"the damage was told {told} times: {r.stderr.strip()[-300:]!r}")
    if r.json["source"] == "pattern" and base is not None and base.json != r.json:
        problems.append("a pattern read before the damage differs from the sound one")
    return problems


# ----------------------------------------------------------------------------------------------
# The sets and the cases

@dataclass
class SoundSet:
    label: str
    dir: str
    files: dict
    criteria: dict
    cards: list = field(default_factory=list)       # card numbers in entry order
    probe: tuple = ()                                # first, middle, last
    baseline: dict = field(default_factory=dict)


def prepare_case_dir(args, root, label, sound, damage):
    case_dir = os.path.join(root, label)
    shutil.rmtree(case_dir, ignore_errors=True)
    index = os.path.join(case_dir, "INDEX")
    os.makedirs(index)
    for name in sound.files:
        data = sound.files[name]
        if damage is not None and name == damage.file:
            if damage.apply is None:
                continue
            data = damage.apply(data)
            if data is DIRECTORY:
                os.makedirs(os.path.join(index, name))
                continue
            if data is PIPE:
                os.mkfifo(os.path.join(index, name))
                continue
            if data is DEVICE:
                os.symlink("/dev/zero", os.path.join(index, name))
                continue
            if data is HUGE:
                with open(os.path.join(index, name), "wb") as f:
                    f.write(sound.files[name])
                os.truncate(os.path.join(index, name), HUGE_SIZE)
                continue
            if damage.kind not in ("empty",) and data == sound.files[name]:
                raise SystemExit(f"the damage '{damage.name}' changes nothing")
        with open(os.path.join(index, name), "wb") as f:
            f.write(data)
    # The program finds INDEX beside its executable: a link of it (or a copy) in the case
    # directory, not a symbolic link, which would resolve to the build tree.
    program = os.path.join(case_dir, "lithora")
    try:
        os.link(args.program, program)
    except OSError:
        shutil.copy2(args.program, program)
    return case_dir


def establish(args, runner, sound):
    """Runs every command on the sound set: each must succeed, each search must find."""
    case_dir = prepare_case_dir(args, args.work, f"{sound.label}-sound", sound, None)
    listing = runner.run("list", [args.cli, "--data", os.path.join(case_dir, "INDEX"), "list"],
                         cwd=case_dir)
    rows = json.loads(listing.stdout)["rows"]
    sound.cards = [int(r["Card#"]) for r in rows]
    sound.probe = (sound.cards[0], sound.cards[len(sound.cards) // 2], sound.cards[-1])
    baseline = {"listed cards": set(sound.cards)}
    failures = []
    for cmd in commands_for(sound.criteria, sound.probe):
        r = run_command(runner, args, cmd, case_dir)
        baseline[cmd.label] = r
        expected = 1 if cmd.kind == "card" and cmd.card in (0, 99999) else 0
        bad = sound_problems(r)
        if r.rc != expected:
            bad.append(f"exit {r.rc}, expected {expected}: {r.stderr.strip()[-300:]!r}")
        if cmd.kind == "search" and r.json is not None and r.json.get("count", 0) < 1:
            bad.append("the criterion finds nothing on the sound set")
        if r.stderr.strip() and expected == 0 and cmd.kind != "gui":
            bad.append(f"said something on the sound set: {r.stderr.strip()[-300:]!r}")
        failures += [f"{sound.label} sound set, {cmd.label}: {b}" for b in bad]
    sound.baseline = baseline
    if not args.keep:
        shutil.rmtree(case_dir, ignore_errors=True)
    return failures


def summary(cmd, r):
    """One line on a run for the outcome table: its first message, or what it answered."""
    said = [line for line in r.stderr.splitlines() if line.strip()]
    if said:
        return said[0][:200]
    j = r.json
    if isinstance(j, dict):
        if cmd.kind == "list":
            return f"{len(j.get('rows', []))} rows"
        if cmd.kind == "search":
            return f"{j.get('count')} matches: {j.get('message', '')}"
        if cmd.kind == "card":
            state = j.get("state", {})
            return (f"{state.get('currentName', '')!r}, "
                    f"{state.get('currentReferenceCount')} references, optics "
                    f"{'yes' if state.get('currentOpticalRecord') else 'no'}")
        if cmd.kind == "print":
            return f"{j.get('pages')} page(s)"
    return r.stdout.strip().splitlines()[0][:200] if r.stdout.strip() else ""


class PipeWatch:
    """Watches the named pipe in a data file's place while a program runs. Should the program
    open it for reading, it would wait there for a writer until the time limit: the watcher
    opens the writing end and closes it again at once, so that the reader meets the end of the
    file, and notes that the pipe was opened."""

    def __init__(self, path):
        self.path = path
        self.opened = False
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()

    def _watch(self):
        while not self._stop.wait(0.01):
            try:
                # Without a reader this fails (ENXIO); the descriptor is not inherited.
                fd = os.open(self.path, os.O_WRONLY | os.O_NONBLOCK)
            except OSError:
                continue
            self.opened = True
            os.close(fd)


def run_case(args, runner, sound, number, damage):
    label = f"{sound.label}-{number:03d}"
    case_dir = prepare_case_dir(args, args.work, label, sound, damage)
    failures = []
    pipe = os.path.join(case_dir, "INDEX", damage.file) if damage.kind == "pipe" else None
    for cmd in commands_for(sound.criteria, sound.probe):
        watch = PipeWatch(pipe) if pipe else None
        with watch or contextlib.nullcontext():
            r = run_command(runner, args, cmd, case_dir)
        runner.outcomes.append((sound.label, damage.name, cmd.label, r.rc, summary(cmd, r)))
        problems = check_run(cmd, r, damage, sound.baseline, case_dir)
        if watch is not None and watch.opened:
            problems.append(f"opened the named pipe {damage.file} for reading")
        for p in problems:
            failures.append(f"[{sound.label}] {damage.name} | {cmd.label}: {p}")
        pdf = os.path.join(case_dir, "card.pdf")
        if os.path.exists(pdf):
            os.remove(pdf)
    if not args.keep and not failures:
        shutil.rmtree(case_dir, ignore_errors=True)
    return failures


def load_set(label, directory, criteria):
    files = {}
    for name in FILES + (PATTERNS,):
        if name == PATTERNS and not os.path.exists(os.path.join(directory, name)):
            continue
        with open(os.path.join(directory, name), "rb") as f:
            files[name] = f.read()
    for name in RECORD_FILES + (PATTERNS,):
        if name in files:
            walk_records(files[name])
    return SoundSet(label, directory, files, criteria)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--pack", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--sanitized", action="store_true")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--only", default="", help="run only the cases whose name holds this")
    parser.add_argument("--keep", action="store_true", help="keep every case directory")
    parser.add_argument("--outcomes", help="write every run's outcome into this file (TSV)")
    args = parser.parse_args()

    if not args.sanitized:
        resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_LIMIT, ADDRESS_LIMIT))
    started = time.monotonic()
    for name in ("cli", "pack", "program", "fixtures", "work"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    args.home = os.path.join(args.work, "home")
    args.runtime = os.path.join(args.work, "runtime")
    os.makedirs(args.home)
    os.makedirs(args.runtime, mode=0o700)
    runner = Runner(args)

    mini_dir = os.path.join(args.work, "mini-index")
    synth_dir = os.path.join(args.work, "synth-index")
    for argv in ([args.pack, "pack", os.path.join(args.fixtures, "mini"), mini_dir],
                 [args.pack, "synth", "2000", synth_dir, "--seed", "7"]):
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)

    mini = load_set("mini", mini_dir, {
        "form": ["name=cal"],
        "optics": ["optical_sign=-"],
        "elements": ["--required", "Ca,O", "--preset", "all"],
        "text": ["--category", "Group", "garnet"],
    })
    synth = load_set("synth", synth_dir, {
        "form": ["name=a"],
        "optics": ["optical_sign=-"],
        "elements": ["--required", "O", "--preset", "all"],
        "text": ["--category", "Mohs", "5"],
    })

    failures = []
    for s in (mini, synth):
        failures += establish(args, runner, s)
    if failures:
        print("The sound sets do not give what the matrix compares with:")
        print("\n".join(failures))
        return 1

    cases = [(mini, d) for d in all_damages(mini)] + [(synth, d) for d in synthetic_damages(synth)]
    cases = [(s, d) for s, d in cases if args.only in f"{s.label} {d.name}"]
    # Every file meets every kind of damage.
    kinds = {}
    for s, d in cases:
        kinds.setdefault(d.file, set()).add(d.kind)
    for name in FILES if not args.only else ():
        wanted = {"missing", "empty", "directory", "pipe", "device", "huge", "cut", "random",
                  "length" if name in RECORD_FILES else "value"}
        if not wanted <= kinds.get(name, set()):
            print(f"{name} misses damage of the kinds {sorted(wanted - kinds.get(name, set()))}")
            return 1
    print(f"{len(cases)} damaged sets ({sum(1 for s, _ in cases if s is mini)} of the mini "
          f"fixture, {sum(1 for s, _ in cases if s is synth)} of a synthetic set of 2000 "
          f"entries), {len(commands_for(mini.criteria, mini.probe))} runs each", flush=True)

    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        futures = {pool.submit(run_case, args, runner, s, n, d): (s, d)
                   for n, (s, d) in enumerate(cases)}
        for future in concurrent.futures.as_completed(futures):
            s, d = futures[future]
            found = future.result()
            print(f"{'FAIL' if found else 'ok  '} [{s.label}] {d.name}", flush=True)
            failures += found

    if args.outcomes:
        with open(args.outcomes, "w", encoding="utf-8") as f:
            f.write("set\tdamage\trun\texit\toutcome\n")
            order = FILES + (PATTERNS,)
            for row in sorted(runner.outcomes, key=lambda o: (o[0], order.index(o[1][:9]), o[1])):
                f.write("\t".join(str(x).replace("\t", " ") for x in row) + "\n")
    elapsed = time.monotonic() - started
    print(f"\n{len(cases)} damaged sets, {runner.runs} runs in {elapsed:.1f} s; "
          f"slowest run {runner.slowest[0]:.2f} s ({runner.slowest[1]}); "
          f"peak memory of a run {runner.peak_kb // 1024} MB")
    if failures:
        print(f"\n{len(failures)} failure(s):")
        print("\n".join(failures))
        return 1
    if not args.keep:
        shutil.rmtree(args.work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
