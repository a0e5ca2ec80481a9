#!/usr/bin/env python3
"""How many faults do the tests catch? Makes small faults (mutants) in the product code one at a
time, rebuilds what changed, runs the tests that cover the changed code and records whether a test
noticed.

The faults:
  comparison   <  <=  >  >=  ==  != each turned into its neighbour (< into <=, == into !=, ...)
  arithmetic   + into -, - into +, * into /, / into *, += into -=, -= into +=
  logic        && into ||, || into && (Python: and, or)
  constant     an integer or floating constant plus one; true into false and back
  condition    if (x) into if (!(x)) (Python: if x: into if not (x):)
  return       return x; into return {}; (C++ only; not where the return type is deduced or a
               reference, nor for a literal x)
  statement    a simple expression statement (x = y; f(x); ++n; out << x;) removed (C++ only)
  not          not x into x (Python only)
C++ is read by a small lexer that leaves comments, string and character literals and preprocessor
lines (#include among them) alone; binary operators count only with blanks on both sides, which
tells a comparison from a template's angle brackets in this code base. Python is read with the
tokenize module. Only files under version control are mutated, and only .cpp files of C++ (a
change to a header would rebuild most of the project).

The product code is core/ and tools/ (C++) and the data builder (data/builder/*.py and
data/build_database.py, the folder data/builder); gui/ joins with --gui. A fixed seed (--seed)
picks --count sites spread over the folders (core/<sub>, tools/<sub>, gui/<sub>, data/builder) in
proportion to how many sites each holds, so the same command on the same code gives the same
sample.

Each mutant is applied, then:
  C++     an incremental `cmake --build` of the test programs that cover its folder (the table
          below) in the script's own build directory, then ctest -R of those programs' tests
  Python  pytest data/tests (stops at the first failure)
and recorded as
  killed         a test failed, or a build step that runs the code (packing the bundled data,
                 listing a test program's tests) failed
  timeout        the tests ran past their time limit, or the build past 5 minutes (packing
                 the bundled data caught in a loop): counted as killed, listed apart
  survived       every test passed
  did not build  the mutant did not compile or link (C++) or parse (Python): not scored
The score is killed / (killed + survived), timeouts among the killed, per folder and overall.
A baseline run first builds everything the sample needs and runs its tests without a mutant: they
must pass, and their times set the limit for each mutant's tests (--time-factor times the
baseline plus a minute).

The build directory (--build-dir, default build-mutants) is configured on first use with -O1 -g0,
and lld when it is installed, because a mutant's build is one compile and many links: -O1
compiled the core in about half the time -O2 took, while the slowest test, the profile quality
test, ran 67 s against 59 s at -O2; -g0 leaves out the debug information, most of what the linker
writes, and with lld the five to seven test programs and two tools a core mutant relinks take
well under a second each (up to 4 s each with ld.bfd and -g). NDEBUG stays defined, as in the
shipped build. Builds use every core; one mutant runs at a time.

The mutated file is always put back: after each mutant, on a failure of the script, on Ctrl-C,
SIGTERM or SIGHUP. Only a kill -9 can leave a mutant behind; the script therefore refuses to
start while product files have uncommitted changes (--allow-dirty overrides), so that
`git checkout -- FILE` undoes a run that died. The build directory holds the last mutant's
programs until the next build.

Results go to --out (default BUILD_DIR/mutants.json), rewritten after every mutant, so a stopped
run keeps what it measured. --compare OLD.json prints how the scores per folder and the state of
each mutant changed from OLD to the new run; --compare OLD.json NEW.json compares two saved runs
without running anything. --resume goes on with a stopped run: it keeps the mutants the saved
results hold and tries the rest, and refuses when the commit, seed, count or folders differ.
--list prints the sample and runs nothing.

Examples:
    python3 scripts/mutants.py --list
    python3 scripts/mutants.py                              # 300 mutants, several hours
    python3 scripts/mutants.py --count 10 --only core/text --only data/builder
    python3 scripts/mutants.py --resume                     # on with a stopped run
    python3 scripts/mutants.py --compare build-mutants/old.json
"""
import argparse
import bisect
import contextlib
import io
import json
import keyword
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
import tokenize
from collections import Counter, defaultdict
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Which test programs exercise each folder of product code, worked out from tests/CMakeLists.txt
# and its subfolders: every program is a build target, and its tests are those ctest runs from it.
# The core's own tests link the core; lithora-pack packs the bundled data set that the core tests,
# the tool tests and the identification tests read, and lithora-cli runs under the tool tests,
# the typed-input tests of the command line and the robustness regressions, so a core mutant
# reaches all of them. The GUI tests, the damaged-data matrix (it drives the desktop program) and
# the fuzz corpus replays are left to --gui: each would relink a dozen more programs per mutant.
CORE_UNIT = ("lithora_core_tests", "lithora_input_core_tests", "lithora_robustness_tests")
TOOLS_END_TO_END = ("lithora_tool_tests", "lithora_input_cli_tests")
IDENTIFY_QUALITY = ("lithora_identify_tests", "lithora_profile_quality_tests")
GUI = tuple(f"lithora_gui_{name}_tests" for name in (
    "form1", "menus", "search", "element_search", "splash", "shell", "identify", "near_miss",
    "compare", "card_fields", "damage", "export")) + ("lithora_input_gui_tests",
                                                      "lithora_read_only_tests")

CPP_FOLDER_TESTS = {  # the longest matching prefix of a file's path wins
    "core": CORE_UNIT + TOOLS_END_TO_END,
    "core/cell": CORE_UNIT + TOOLS_END_TO_END + IDENTIFY_QUALITY,
    "core/identify": CORE_UNIT + TOOLS_END_TO_END + IDENTIFY_QUALITY,
    "core/patterns": CORE_UNIT + TOOLS_END_TO_END + IDENTIFY_QUALITY,
    "tools": TOOLS_END_TO_END + ("lithora_robustness_tests",),
    # lithora-pack also packs the bundled data set the core tests read.
    "tools/pack": TOOLS_END_TO_END + ("lithora_robustness_tests", "lithora_core_tests"),
    "gui": GUI,
    "gui/print": GUI + TOOLS_END_TO_END,  # lithora-cli prints through it
}
PYTHON_FOLDER = "data/builder"
PYTHON_FILES = ("data/builder", "data/build_database.py")
PYTEST = ("-m", "pytest", "-q", "-x", "-p", "no:cacheprovider", "data/tests")
# The Debian interpreter, which the data builder's packages (pymatgen, pytest) are installed for.
DEFAULT_PYTHON = "/usr/bin/python3" if Path("/usr/bin/python3").exists() else sys.executable

PRODUCT_PATHS = ("core", "tools", "gui") + PYTHON_FILES
# One file at a time, not in batches: a mutant recompiles its own file only.
BUILD_FLAGS = ("-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -g0 -DNDEBUG",
               "-DLITHORA_UNITY_BUILD=OFF")

# A mutant's build is a compile or two and some links, seconds long; past this limit one of its
# steps that runs the mutated code (packing the bundled data) is caught in a loop.
BUILD_TIME_LIMIT = 300  # seconds

KILLED, TIMEOUT, SURVIVED, NO_BUILD = "killed", "timeout", "survived", "did not build"


# ---------------------------------------------------------------------------------------------
# Sites


@dataclass(frozen=True)
class Site:
    path: str         # relative to the repository, with /
    folder: str       # what the score is reported by
    line: int
    column: int
    start: int        # the changed span, as offsets into the file's text
    end: int
    original: str
    replacement: str
    kind: str

    @property
    def change(self):
        return f"{shorten(self.original)} → {shorten(self.replacement) or '(nothing)'}"

    @property
    def key(self):
        return f"{self.path}:{self.line}:{self.column} {self.kind} {self.change}"


def shorten(text, width=60):
    text = " ".join(text.split())
    return text if len(text) <= width else text[:width - 1] + "…"


class Positions:
    """Offsets of a text into 1-based lines and columns."""

    def __init__(self, text):
        self.starts = [0] + [m.end() for m in re.finditer("\n", text)]

    def line_column(self, offset):
        line = bisect.bisect_right(self.starts, offset)
        return line, offset - self.starts[line - 1] + 1

    def offset(self, line, column):  # tokenize's 1-based line, 0-based column
        return self.starts[line - 1] + column


def folder_of(path):
    if path.startswith(PYTHON_FILES):
        return PYTHON_FOLDER
    parts = path.split("/")
    return "/".join(parts[:2]) if len(parts) > 2 else parts[0]


def plus_one(text, float_suffixes, int_suffixes):
    """The literal text of a number one greater, or None for a number it cannot change."""
    body = text.replace("'", "").replace("_", "")
    m = re.fullmatch(rf"(0[xX][0-9a-fA-F]+|0[bB][01]+|0[oO]?[0-7]+|\d+)({int_suffixes})", body)
    if m:
        digits, suffix = m.groups()
        if re.fullmatch(r"0[0-7]+", digits):
            digits = "0o" + digits[1:]  # C++'s octal
        value = int(digits, 0) + 1
        if digits[:2] in ("0x", "0X"):
            hex_digits = digits[2:]
            form = "X" if hex_digits.upper() == hex_digits else "x"
            number = digits[:2] + format(value, f"0{len(hex_digits)}{form}")
        else:
            number = str(value)
        return number + suffix
    m = re.fullmatch(rf"(\d*\.?\d*(?:[eE][+-]?\d+)?)({float_suffixes})", body)
    if m and re.search(r"\d", m.group(1)):
        value = float(m.group(1))
        if value + 1 == value:
            return None
        return repr(value + 1) + m.group(2)
    return None


# C++ ------------------------------------------------------------------------------------------

CPP_PUNCTUATORS = sorted("""<<= >>= <=> ... ->* :: -> ++ -- << >> <= >= == != && || += -= *= /= %=
                         &= |= ^= .*""".split(), key=len, reverse=True)
CPP_KEYWORDS = set("""alignas alignof asm auto bool break case catch char char8_t char16_t char32_t
    class co_await co_return co_yield concept const consteval constexpr constinit const_cast
    continue decltype default delete do double dynamic_cast else enum explicit export extern false
    float for friend goto if inline int long mutable namespace new noexcept nullptr operator
    override final private protected public register reinterpret_cast requires return short signed
    sizeof static static_assert static_cast struct switch template thread_local throw true try
    typedef typeid typename union unsigned using virtual void volatile wchar_t while""".split())
# The comparison and arithmetic swaps, the same in both languages.
OPERATOR_SWAPS = {
    "<": ("comparison", "<="), "<=": ("comparison", "<"),
    ">": ("comparison", ">="), ">=": ("comparison", ">"),
    "==": ("comparison", "!="), "!=": ("comparison", "=="),
    "+": ("arithmetic", "-"), "-": ("arithmetic", "+"),
    "*": ("arithmetic", "/"), "/": ("arithmetic", "*"),
    "+=": ("arithmetic", "-="), "-=": ("arithmetic", "+="),
}
CPP_SWAPS = {**OPERATOR_SWAPS, "&&": ("logic", "||"), "||": ("logic", "&&")}
# What may follow the (qualified) name that starts an expression statement; a declaration has a
# type there instead (`Foo x;`, `std::vector<int> v;`).
STATEMENT_FOLLOWERS = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>=", "(", ".",
                       "->", "[", "++", "--", "<<"}
CONTROL_WORDS = {"if", "for", "while", "switch", "catch"}
BEFORE_BODY = {"->", "::", "<", ">", ",", "&", "&&", "*"}
OPENERS, CLOSERS = "([{", ")]}"


@dataclass
class Token:
    kind: str   # name, number, string, op
    text: str
    start: int
    end: int


CPP_STRING = re.compile(r'(?:u8|u|U|L)?(?:R"([^()\\\s]{0,16})\(|["\'])')
CPP_NUMBER = re.compile(r"\.?\d(?:[eEpP][+-]|'(?=\w)|[\w.])*")
CPP_NAME = re.compile(r"[A-Za-z_]\w*")


def lex_cpp(text):
    """Tokens of C++ source, without comments and preprocessor lines."""
    tokens, i, n, line_start = [], 0, len(text), True
    while i < n:
        c = text[i]
        if c == "\n" or c.isspace():
            line_start = line_start or c == "\n"
            i += 1
            continue
        if c == "#" and line_start:  # a directive, with its continued lines
            while i < n and text[i] != "\n":
                i += 2 if text.startswith("\\\n", i) else 1
            continue
        line_start = False
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            i = n if end < 0 else end + 2
            continue
        m = CPP_STRING.match(text, i)
        if m:
            if m.group(0).endswith("("):  # raw string
                end = text.find(")" + m.group(1) + '"', m.end())
                j = n if end < 0 else end + len(m.group(1)) + 2
            else:
                quote, j = m.group(0)[-1], m.end()
                while j < n and text[j] != quote:
                    j += 2 if text[j] == "\\" else 1
                j += 1
            tokens.append(Token("string", text[i:j], i, j))
            i = j
            continue
        for kind, pattern in (("number", CPP_NUMBER), ("name", CPP_NAME)):
            m = pattern.match(text, i)
            if m:
                tokens.append(Token(kind, m.group(0), i, m.end()))
                i = m.end()
                break
        else:
            op = next((p for p in CPP_PUNCTUATORS if text.startswith(p, i)), c)
            tokens.append(Token("op", op, i, i + len(op)))
            i += len(op)
    return tokens


class CppFile:
    """A lexed C++ file with its brackets paired and the innermost bracket around each token."""

    def __init__(self, text):
        self.text = text
        self.tokens = lex_cpp(text)
        self.partner, self.inside = {}, []
        stack = []
        for k, tok in enumerate(self.tokens):
            if tok.kind == "op" and tok.text in CLOSERS:
                opener = OPENERS[CLOSERS.index(tok.text)]
                while stack and self.tokens[stack[-1]].text != opener:
                    stack.pop()  # an unpaired bracket (a macro's) is dropped
                if stack:
                    self.partner[stack[-1]], self.partner[k] = k, stack[-1]
                    stack.pop()
            self.inside.append(stack[-1] if stack else None)
            if tok.kind == "op" and tok.text in OPENERS:
                stack.append(k)

    def text_of(self, k):
        return self.tokens[k].text if 0 <= k < len(self.tokens) else ""

    def statement_end(self, k):
        """The `;` that ends the statement starting at token k, or None."""
        j = k
        while j < len(self.tokens):
            t = self.tokens[j]
            if t.kind == "op" and t.text in OPENERS:
                if j not in self.partner:
                    return None
                j = self.partner[j]
            elif t.kind == "op" and t.text in CLOSERS:
                return None
            elif t.text == ";":
                return j
            j += 1
        return None

    def is_control_header(self, k):
        """Whether token k closes the parentheses of an if, for, while, switch or catch."""
        return self.text_of(k) == ")" and self.text_of(self.partner.get(k, 0) - 1) in CONTROL_WORDS

    def brace_owner(self, k):
        """What the brace at token k opens: "block", "function", "lambda", "deduced" (a function
        or lambda whose return type is deduced), "reference" (one that returns a reference) or
        None (a class, a namespace, an initializer)."""
        if k == 0 or self.text_of(k - 1) in (";", "{", "}", ":", "else", "do", "try"):
            return "block"
        # Back over what may stand between a parameter list and a body: const, noexcept,
        # override, mutable, a trailing return type.
        j, arrow, reference = k - 1, False, False
        while j >= 0 and (self.tokens[j].kind == "name" or self.text_of(j) in BEFORE_BODY):
            arrow = arrow or self.text_of(j) == "->"
            reference = reference or self.text_of(j) in ("&", "&&") and not arrow
            j -= 1
        reference = reference and arrow
        if self.text_of(j) == "]":
            return "deduced"
        if self.text_of(j) != ")" or j not in self.partner:
            return None
        name = self.partner[j] - 1
        if self.text_of(name) in CONTROL_WORDS:
            return "block"
        if self.text_of(name) == "]":
            return "reference" if reference else "lambda" if arrow else "deduced"
        if self.text_of(name) == ")" and self.text_of(name - 2) == "operator":  # operator()
            name -= 2
        if name < 0 or self.tokens[name].kind != "name":
            return None
        while self.text_of(name - 1) in ("::", "~"):
            name -= 2 if self.text_of(name - 1) == "::" else 1
        if reference or self.text_of(name - 1) in ("&", "&&"):
            return "reference"
        return "deduced" if self.text_of(name - 1) == "auto" and not arrow else "function"

    def code_owner(self, k):
        """The kind of the function or lambda body token k is in, or None outside of one."""
        brace = self.inside[k]
        while brace is not None and self.tokens[brace].text == "{":
            owner = self.brace_owner(brace)
            if owner != "block":
                return owner
            brace = self.inside[brace]
        return None


def cpp_sites(path, text):
    src = CppFile(text)
    tokens, positions = src.tokens, Positions(text)
    sites = []

    def add(start, end, replacement, kind):
        line, column = positions.line_column(start)
        sites.append(Site(path, folder_of(path), line, column, start, end, text[start:end],
                          replacement, kind))

    def beside_string(k):  # a concatenation, which would not compile with a minus
        return "string" in (tokens[k - 1].kind, tokens[k + 1].kind if k + 1 < len(tokens) else "")

    def spaced(tok):
        return text[tok.start - 1:tok.start].isspace() and text[tok.end:tok.end + 1].isspace()

    skip_until = -1  # the end of a static_assert: checked by the compiler, not by tests
    for k, tok in enumerate(tokens):
        if k <= skip_until:
            continue
        if tok.text == "static_assert" and src.text_of(k + 1) == "(":
            skip_until = src.partner.get(k + 1, k)
        elif tok.kind == "op" and tok.text in CPP_SWAPS and spaced(tok) and not (
                tok.text in ("+", "-", "+=", "-=") and beside_string(k)):
            kind, replacement = CPP_SWAPS[tok.text]
            add(tok.start, tok.end, replacement, kind)
        elif tok.kind == "number":
            replacement = plus_one(tok.text, "[fFlL]?", "[uUlLzZ]*")
            if replacement:
                add(tok.start, tok.end, replacement, "constant")
        elif tok.text in ("true", "false"):
            add(tok.start, tok.end, "false" if tok.text == "true" else "true", "constant")
        elif tok.text == "if" and src.text_of(k + 1) == "(" and k + 1 in src.partner:
            negated_condition(src, k + 1, add)
        elif tok.text == "return" and src.code_owner(k) in ("function", "lambda"):
            end = src.statement_end(k + 1)
            value = tokens[k + 1:end] if end else []
            literal = len(value) == 1 and (value[0].kind in ("number", "string") or
                                           value[0].text in ("true", "false", "nullptr"))
            if value and not literal and "".join(t.text for t in value) != "{}":
                add(value[0].start, value[-1].end, "{}", "return")
        if starts_expression_statement(src, k):
            end = src.statement_end(k)
            if end is not None:
                add(tok.start, tokens[end].end, "{}", "statement")
    return sites


def negated_condition(src, open_paren, add):
    """if (x) into if (!(x)); after an init-statement only its condition, and never a condition
    that declares a variable."""
    close = src.partner[open_paren]
    top = [j for j in range(open_paren + 1, close) if src.inside[j] == open_paren]
    first = max([j + 1 for j in top if src.tokens[j].text == ";"], default=open_paren + 1)
    if first >= close or any(src.tokens[j].text == "=" for j in top if j >= first):
        return
    start, end = src.tokens[first].start, src.tokens[close - 1].end
    add(start, end, f"!({src.text[start:end]})", "condition")


def starts_expression_statement(src, k):
    """Whether token k starts a simple expression statement in a function body: a name (or this,
    or ++/-- before a name) followed by an assignment, a call, a member, an index or <<."""
    tok = src.tokens[k]
    before = src.text_of(k - 1)
    if not (before in (";", "{", "}", "else", "do") or src.is_control_header(k - 1)):
        return False
    if src.inside[k] is None or src.tokens[src.inside[k]].text != "{" or not src.code_owner(k):
        return False
    if tok.text in ("++", "--"):
        return k + 1 < len(src.tokens) and src.tokens[k + 1].kind == "name"
    if tok.kind != "name" or (tok.text in CPP_KEYWORDS and tok.text != "this"):
        return False
    j = k
    while src.text_of(j + 1) == "::" and j + 2 < len(src.tokens) and \
            src.tokens[j + 2].kind == "name":
        j += 2
    return src.text_of(j + 1) in STATEMENT_FOLLOWERS


# Python ---------------------------------------------------------------------------------------

PY_SWAPS = {
    **OPERATOR_SWAPS,
    "and": ("logic", "or"), "or": ("logic", "and"),
    "True": ("constant", "False"), "False": ("constant", "True"),
}
PY_OPERAND_ENDS = {")", "]", "}"}
PY_SKIPPED = {tokenize.COMMENT, tokenize.NL, tokenize.INDENT, tokenize.DEDENT, tokenize.ENCODING}
FSTRING_START = getattr(tokenize, "FSTRING_START", None)  # Python 3.12 and later
FSTRING_END = getattr(tokenize, "FSTRING_END", None)


def python_sites(path, text):
    positions = Positions(text)
    tokens, depth = [], 0
    for tok in tokenize.generate_tokens(io.StringIO(text).readline):
        depth += (tok.type == FSTRING_START) - (tok.type == FSTRING_END)
        if tok.type not in PY_SKIPPED and not depth:
            tokens.append(tok)
    sites = []

    def offset(tok, end=False):
        return positions.offset(*(tok.end if end else tok.start))

    def add(start, end, replacement, kind):
        line, column = positions.line_column(start)
        sites.append(Site(path, PYTHON_FOLDER, line, column, start, end, text[start:end],
                          replacement, kind))

    def operand_before(k):  # whether an operator at k is binary: * of *args and -1 are not
        prev = tokens[k - 1] if k else None
        return prev is not None and (
            prev.type in (tokenize.NUMBER, tokenize.STRING) or prev.string in PY_OPERAND_ENDS or
            prev.type == tokenize.NAME and (not keyword.iskeyword(prev.string) or
                                            prev.string in ("True", "False", "None")))

    for k, tok in enumerate(tokens):
        word = tok.string
        if word in PY_SWAPS and (tok.type == tokenize.NAME or operand_before(k) or
                                 PY_SWAPS[word][0] == "comparison"):
            kind, replacement = PY_SWAPS[word]
            add(offset(tok), offset(tok, end=True), replacement, kind)
        elif tok.type == tokenize.NUMBER:
            replacement = plus_one(word, "", "")
            if replacement:
                add(offset(tok), offset(tok, end=True), replacement, "constant")
        elif word == "not" and k + 1 < len(tokens) and tokens[k + 1].string != "in" \
                and (k == 0 or tokens[k - 1].string != "is"):
            add(offset(tok), offset(tokens[k + 1], end=True), tokens[k + 1].string, "not")
        elif word in ("if", "elif") and (k == 0 or tokens[k - 1].type == tokenize.NEWLINE or
                                         tokens[k - 1].string == ";"):
            colon = python_condition_end(tokens, k + 1)
            if colon:
                start, end = offset(tokens[k + 1]), offset(tokens[colon - 1], end=True)
                add(start, end, f"not ({text[start:end]})", "condition")
    return sites


def python_condition_end(tokens, k):
    """The index of the colon that ends a condition starting at token k, or None."""
    depth = 0
    for j in range(k, len(tokens)):
        s = tokens[j].string
        if tokens[j].type == tokenize.OP:
            depth += (s in ("(", "[", "{")) - (s in (")", "]", "}"))
            if s == ":" and depth == 0:
                return j if j > k else None
        if tokens[j].type == tokenize.NEWLINE:
            return None
    return None


# ---------------------------------------------------------------------------------------------
# The sample


def product_files(gui):
    roots = ["core", "tools"] + (["gui"] if gui else []) + list(PYTHON_FILES)
    tracked = subprocess.run(["git", "ls-files", "--", *roots], cwd=ROOT, check=True,
                             capture_output=True, text=True).stdout.split()
    return sorted(p for p in tracked if p.endswith(".py" if p.startswith(PYTHON_FILES) else ".cpp"))


def all_sites(gui, only):
    sites = []
    for path in product_files(gui):
        if only and not path.startswith(tuple(only)):
            continue
        text = (ROOT / path).read_text(encoding="utf-8")
        sites += python_sites(path, text) if path.endswith(".py") else cpp_sites(path, text)
    return sites


def sample(sites, count, seed):
    """count sites, each folder's share in proportion to its number of sites (the remainders
    rounded in favour of the largest fractions), drawn with a fixed seed."""
    by_folder = defaultdict(list)
    for site in sites:
        by_folder[site.folder].append(site)
    folders = sorted(by_folder)
    if count >= len(sites):
        return sorted(sites, key=lambda s: (s.path, s.start, s.kind))
    exact = {f: count * len(by_folder[f]) / len(sites) for f in folders}
    quota = {f: int(exact[f]) for f in folders}
    left = count - sum(quota.values())
    for f in sorted(folders, key=lambda f: (quota[f] - exact[f], f))[:left]:
        quota[f] += 1
    rng = random.Random(seed)
    chosen = [s for f in folders for s in rng.sample(by_folder[f], quota[f])]
    return sorted(chosen, key=lambda s: (s.path, s.start, s.kind))


def tests_of(site):
    """The test programs of the site's folder (the longest prefix in CPP_FOLDER_TESTS), or
    ("pytest",) for the data builder."""
    if site.folder == PYTHON_FOLDER:
        return ("pytest",)
    prefix = max((p for p in CPP_FOLDER_TESTS if site.path.startswith(p + "/")), key=len)
    return tuple(sorted(set(CPP_FOLDER_TESTS[prefix])))


# ---------------------------------------------------------------------------------------------
# Running things, and stopping cleanly


class Interrupted(Exception):
    """A signal asked the run to stop; args[0] is its number."""


class Stop:
    """Set by a signal: the running child's process group is stopped and the script winds down
    at the next check, with the mutated file put back by the code that wrote it."""
    signum = None
    child = None


HANDLED_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


def on_signal(signum, _frame):
    Stop.signum = signum
    if Stop.child is not None:
        with contextlib.suppress(ProcessLookupError):
            os.killpg(Stop.child.pid, signal.SIGTERM)


def check_stop():
    if Stop.signum is not None:
        raise Interrupted(Stop.signum)


def stop_group(proc):
    """Stops proc and what it started: SIGTERM, and SIGKILL for what is left 10 s later."""
    with contextlib.suppress(ProcessLookupError):
        os.killpg(proc.pid, signal.SIGTERM)
    with contextlib.suppress(subprocess.TimeoutExpired):
        proc.wait(10)
    with contextlib.suppress(ProcessLookupError):
        os.killpg(proc.pid, signal.SIGKILL)
    proc.wait()


@dataclass
class Finished:
    returncode: int
    output: str
    seconds: float
    timed_out: bool = False


def run(command, timeout=None, env=None):
    """Runs command in the repository, in a process group of its own, with its output caught."""
    check_stop()
    started = time.monotonic()
    proc = subprocess.Popen(command, cwd=ROOT, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, errors="replace",
                            start_new_session=True)
    Stop.child, timed_out = proc, False
    try:
        output, _ = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        stop_group(proc)
        output, _ = proc.communicate()
        timed_out = True
    except BaseException:
        stop_group(proc)
        raise
    finally:
        Stop.child = None
    if Stop.signum is not None:
        stop_group(proc)
        check_stop()
    return Finished(proc.returncode, output, time.monotonic() - started, timed_out)


@contextlib.contextmanager
def mutated(path, original, mutant):
    """The file at path holds mutant inside the block, and original again after it, however the
    block ends. Signals only set a flag (see on_signal), so nothing cuts the restoring short."""
    try:
        path.write_bytes(mutant)
        yield
    finally:
        path.write_bytes(original)


def dirty_product_files():
    out = subprocess.run(["git", "status", "--porcelain", "--untracked-files=no", "--",
                          *PRODUCT_PATHS], cwd=ROOT, check=True, capture_output=True, text=True)
    return [line[3:] for line in out.stdout.splitlines()]


# ---------------------------------------------------------------------------------------------
# Building and testing


class Lab:
    """The script's build directory, and the tests run in it or by pytest."""

    def __init__(self, args):
        self.build_dir = (ROOT / args.build_dir).resolve()
        self.python = args.python
        self.time_factor = args.time_factor
        self.time_limit = {}     # tests -> seconds
        self.test_names = {}     # test program -> its ctest names
        self.all_tests = []

    def configure(self):
        """Configures the build directory unless it is already; answers whether it was."""
        if (self.build_dir / "CMakeCache.txt").exists():
            return False
        flags = list(BUILD_FLAGS)
        if shutil.which("ld.lld"):
            flags.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
        print(f"Configuring {self.build_dir} ({' '.join(flags)})", flush=True)
        done = run(["cmake", "-S", str(ROOT), "-B", str(self.build_dir), "-G", "Ninja", *flags])
        if done.returncode:
            sys.exit(f"Configuring failed:\n{tail(done.output)}")
        return True

    def build(self, programs, time_limit=None):
        return run(["cmake", "--build", str(self.build_dir), "--target", *programs],
                   timeout=time_limit)

    def load_test_names(self):
        done = run(["ctest", "--test-dir", str(self.build_dir), "--show-only=json-v1"])
        listing = json.loads(done.output[done.output.index("{"):])
        self.test_names = defaultdict(list)
        self.all_tests = []
        for test in listing["tests"]:
            self.all_tests.append(test["name"])
            if test.get("command"):
                self.test_names[Path(test["command"][0]).name].append(test["name"])

    def ctest_regex(self, programs):
        """A ctest -R expression for the tests of programs: their suites (the part of a GoogleTest
        name before the dot) or, should a suite's name be shared with another program, each
        test's full name."""
        names = [n for p in programs for n in self.test_names.get(p, [])]
        if not names:
            sys.exit(f"ctest knows no tests of {', '.join(programs)}")
        suites = sorted({n.split(".")[0] for n in names})
        regex = "^(" + "|".join(map(cmake_escape, suites)) + r")(\.|$)"
        if {n for n in self.all_tests if re.search(regex, n)} != set(names):
            regex = "^(" + "|".join(map(cmake_escape, sorted(names))) + ")$"
        return regex

    def test(self, tests, time_limit):
        if tests == ("pytest",):
            env = dict(os.environ, PYTHONDONTWRITEBYTECODE="1")  # no stale bytecode of a mutant
            return run([self.python, *PYTEST], timeout=time_limit, env=env)
        limit = str(int(time_limit))
        return run(["ctest", "--test-dir", str(self.build_dir), "-R", self.ctest_regex(tests),
                    "-j", str(os.cpu_count() or 1), "--stop-on-failure", "--timeout", limit,
                    "--output-on-failure"], timeout=time_limit)

    def baseline(self, groups):
        """Builds every program the sample needs and runs each group of tests without a mutant:
        they must pass, and their time sets the group's limit."""
        programs = sorted({p for g in groups for p in g if p != "pytest"})
        if programs:
            first = self.configure()
            print(f"Building {len(programs)} test programs" +
                  (" (the first build takes a while)" if first else ""), flush=True)
            done = self.build(programs)
            if done.returncode:
                sys.exit(f"The build fails without any mutant:\n{tail(done.output)}")
            self.load_test_names()
        for group in sorted(groups):
            print(f"Baseline: {describe(group)}", end=" ", flush=True)
            done = self.test(group, time_limit=3600)
            if done.returncode:
                print()
                sys.exit(f"The tests fail without any mutant; fix them or leave their folders "
                         f"out (--only):\n{tail(done.output)}")
            self.time_limit[group] = self.time_factor * done.seconds + 60
            print(f"{done.seconds:.0f} s", flush=True)

    def try_mutant(self, site, tests):
        """Applies the mutant, builds and tests it, and puts the file back. Returns the state,
        a detail and the seconds spent building and testing."""
        path = ROOT / site.path
        original = path.read_bytes()
        text = original.decode("utf-8")
        mutant_text = text[:site.start] + site.replacement + text[site.end:]
        with mutated(path, original, mutant_text.encode("utf-8")):
            build_seconds = 0.0
            if tests == ("pytest",):
                try:
                    compile(mutant_text, site.path, "exec")
                except SyntaxError as e:
                    return NO_BUILD, f"syntax error: {e.msg}", 0.0, 0.0
            else:
                built = self.build(tests, BUILD_TIME_LIMIT)
                build_seconds = built.seconds
                if built.timed_out:
                    return TIMEOUT, f"the build ran past {BUILD_TIME_LIMIT} s", build_seconds, 0.0
                if built.returncode:
                    state, detail = build_failure(built.output)
                    return state, detail, build_seconds, 0.0
            done = self.test(tests, self.time_limit[tests])
        if done.timed_out or "***Timeout" in done.output:
            return TIMEOUT, f"past {self.time_limit[tests]:.0f} s", build_seconds, done.seconds
        if done.returncode:
            return KILLED, failed_tests(done.output), build_seconds, done.seconds
        return SURVIVED, "", build_seconds, done.seconds


def cmake_escape(name):
    return re.sub(r"([^A-Za-z0-9_/-])", r"\\\1", name)


def describe(tests):
    return "pytest data/tests" if tests == ("pytest",) else ", ".join(tests)


def tail(output, lines=40):
    return "\n".join(output.rstrip().splitlines()[-lines:])


def build_failure(output):
    """A compiler's or linker's error means the mutant did not build; any other failed step of
    the build ran the mutated code (packing the bundled data, listing a program's tests) and
    caught it."""
    failed = re.findall(r"^FAILED: (.*)$", output, re.M)
    if any(p.endswith(".o") for f in failed for p in f.split()) or \
            re.search(r"undefined reference|ld\.lld: error|collect2: error", output):
        error = re.search(r"error: (.*)", output)
        return NO_BUILD, shorten(error.group(1) if error else "compile error", 120)
    return KILLED, "build step failed: " + shorten(" ".join(failed) or tail(output, 1), 120)


def failed_tests(output):
    m = re.search(r"The following tests FAILED:\n((?:\s+.*\n?)+)", output)
    if m:
        names = re.findall(r"-\s+(\S+)", m.group(1))
        return "failed: " + shorten(", ".join(names), 120)
    m = re.search(r"^(FAILED|ERROR) (\S+)", output, re.M)  # pytest
    return f"failed: {m.group(2)}" if m else "tests failed"


# ---------------------------------------------------------------------------------------------
# Reporting


def scores(mutants):
    """Counts of each state and the score, per folder and overall ("all")."""
    table = defaultdict(Counter)
    for m in mutants:
        table[m["folder"]][m["state"]] += 1
        table["all"][m["state"]] += 1
    result = {}
    for folder, counts in table.items():
        caught = counts[KILLED] + counts[TIMEOUT]
        scored = caught + counts[SURVIVED]
        result[folder] = {"mutants": sum(counts.values()), KILLED: counts[KILLED],
                          TIMEOUT: counts[TIMEOUT], SURVIVED: counts[SURVIVED],
                          NO_BUILD: counts[NO_BUILD],
                          "score": round(caught / scored, 4) if scored else None}
    return result


def percent(score):
    return "   -  " if score is None else f"{100 * score:5.1f}%"


def print_report(record):
    table = record["scores"]
    if not table:
        print("\nNo mutant was tried.")
        return
    print("\nScore per folder: killed / (killed + survived), timeouts counted as killed")
    print(f"{'folder':<20} {'mutants':>7} {'killed':>6} {'timeout':>7} {'survived':>8} "
          f"{'no build':>8} {'score':>7}")
    for folder in sorted(table, key=lambda f: (f == "all", f)):
        row = table[folder]
        print(f"{'overall' if folder == 'all' else folder:<20} {row['mutants']:>7} "
              f"{row[KILLED]:>6} {row[TIMEOUT]:>7} {row[SURVIVED]:>8} {row[NO_BUILD]:>8} "
              f"{percent(row['score']):>7}")
    for state, title in ((SURVIVED, "Surviving mutants"), (TIMEOUT, "Timed out (killed)"),
                         (NO_BUILD, "Did not build (not scored)")):
        listed = [m for m in record["mutants"] if m["state"] == state]
        if listed:
            print(f"\n{title}:")
            for m in listed:
                print(f"  {m['file']}:{m['line']}  {m['kind']:<10} {m['change']}")
    seconds = defaultdict(list)  # by core, tools, gui and the data builder
    for m in record["mutants"]:
        if m["state"] != NO_BUILD:
            part = m["folder"] if m["folder"] == PYTHON_FOLDER else m["folder"].split("/")[0]
            seconds[part].append(m["build_seconds"] + m["test_seconds"])
    if seconds:
        print("\nSeconds per built mutant (build + tests): " + ", ".join(
            f"{top} {sum(s) / len(s):.0f}" for top, s in sorted(seconds.items())))


def print_comparison(old, new):
    print(f"\nScore per folder, {old.get('commit', '?')[:10]} → {new.get('commit', '?')[:10]}:")
    folders = sorted(set(old["scores"]) | set(new["scores"]), key=lambda f: (f == "all", f))
    for folder in folders:
        a = old["scores"].get(folder, {}).get("score")
        b = new["scores"].get(folder, {}).get("score")
        change = f"{100 * (b - a):+.1f}" if a is not None and b is not None else ""
        print(f"  {'overall' if folder == 'all' else folder:<20} {percent(a)} → {percent(b)}"
              f"  {change}")
    before = {m["key"]: m for m in old["mutants"]}
    after = {m["key"]: m for m in new["mutants"]}
    changed = [(k, before[k]["state"], after[k]["state"]) for k in sorted(before.keys() & after)
               if before[k]["state"] != after[k]["state"]]
    print(f"\nMutants that changed state ({len(changed)}):")
    for key, a, b in changed:
        print(f"  {key}: {a} → {b}")
    print(f"Only in the old run: {len(before.keys() - after.keys())}, "
          f"only in the new run: {len(after.keys() - before.keys())}")


def save(record, out):
    record["scores"] = scores(record["mutants"])
    out.parent.mkdir(parents=True, exist_ok=True)
    temporary = out.with_suffix(".tmp")
    temporary.write_text(json.dumps(record, indent=1, ensure_ascii=False) + "\n")
    temporary.replace(out)


def resumed(fresh, out):
    """The saved run at out, to go on with, and the seconds it has spent; exits when it is not a
    run of the same sample on the same commit."""
    if not out.exists():
        sys.exit(f"--resume: there is no saved run at {out}")
    saved = json.loads(out.read_text())
    for field in ("commit", "seed", "count", "gui", "only", "build_flags"):
        if saved.get(field) != fresh[field]:
            sys.exit(f"--resume: the saved run's {field} is {saved.get(field)!r}, this run's "
                     f"{fresh[field]!r}; start a new run with another --out")
    print(f"Going on with {out}: {len(saved['mutants'])} of {saved['count']} mutants done",
          flush=True)
    return saved, saved.get("seconds", 0)


def git_commit():
    return subprocess.run(["git", "rev-parse", "HEAD"], cwd=ROOT, capture_output=True,
                          text=True).stdout.strip()


# ---------------------------------------------------------------------------------------------


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog=mapping_help())
    parser.add_argument("--count", type=int, default=300, help="mutants to sample (300)")
    parser.add_argument("--seed", type=int, default=1, help="the sample's seed (1)")
    parser.add_argument("--gui", action="store_true", help="sample gui/ as well")
    parser.add_argument("--only", action="append", metavar="PREFIX", default=[],
                        help="sample only files whose path starts with PREFIX (repeatable), "
                             "e.g. core/text or data/builder")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    parser.add_argument("--build-dir", default="build-mutants",
                        help="the build directory, configured on first use (build-mutants)")
    parser.add_argument("--out", type=Path, help="the results (BUILD_DIR/mutants.json)")
    parser.add_argument("--compare", nargs="+", metavar="JSON",
                        help="OLD.json: compare the new run with it; OLD.json NEW.json: compare "
                             "two saved runs and run nothing")
    parser.add_argument("--time-factor", type=float, default=3.0,
                        help="a mutant's tests may take this many times the baseline, plus a "
                             "minute (3)")
    parser.add_argument("--python", default=DEFAULT_PYTHON,
                        help=f"the Python that runs pytest ({DEFAULT_PYTHON})")
    parser.add_argument("--resume", action="store_true",
                        help="go on with the stopped run saved in --out")
    parser.add_argument("--allow-dirty", action="store_true",
                        help="run although product files have uncommitted changes")
    args = parser.parse_args()
    if args.compare and len(args.compare) > 2:
        parser.error("--compare takes OLD.json, or OLD.json NEW.json")
    args.out = args.out or ROOT / args.build_dir / "mutants.json"
    return args


def mapping_help():
    rows = [f"  {folder + '/':<16} {', '.join(tests)}" for folder, tests in
            sorted(CPP_FOLDER_TESTS.items())]
    return ("Test programs run for a mutant in each folder (the longest prefix wins):\n" +
            "\n".join(rows) + f"\n  {PYTHON_FOLDER + '/':<16} pytest data/tests "
                              "(with data/build_database.py)")


def print_sample(sites, chosen, seed):
    counts = Counter(s.folder for s in sites)
    picked = Counter(s.folder for s in chosen)
    print(f"{len(chosen)} of {len(sites)} sites (seed {seed}):")
    for folder in sorted(counts):
        print(f"  {folder:<20} {picked[folder]:>4} of {counts[folder]:>5}")
    for s in chosen:
        print(f"{s.path}:{s.line}:{s.column}  {s.kind:<10} {s.change}")


def run_sample(lab, chosen, record, out):
    """Tries every mutant of the sample in turn, saving the record after each. Answers the
    signal that stopped the run, or None."""
    try:
        lab.baseline({tests_of(s) for s in chosen})
        done = {m["key"] for m in record["mutants"]}
        for number, site in enumerate(chosen, 1):
            if site.key in done:
                continue
            check_stop()
            print(f"[{number}/{len(chosen)}] {site.path}:{site.line} {site.kind} {site.change}",
                  end=" ", flush=True)
            tests = tests_of(site)
            state, detail, build_seconds, test_seconds = lab.try_mutant(site, tests)
            print(f"— {state} ({build_seconds:.0f} s build, {test_seconds:.0f} s tests)",
                  flush=True)
            record["mutants"].append({
                "key": site.key, "file": site.path, "folder": site.folder, "line": site.line,
                "column": site.column, "kind": site.kind, "change": site.change,
                "original": site.original, "replacement": site.replacement, "state": state,
                "detail": detail, "tests": describe(tests),
                "build_seconds": round(build_seconds, 1), "test_seconds": round(test_seconds, 1)})
            save(record, out)
    except Interrupted as e:
        print(f"\nStopped by {signal.Signals(e.args[0]).name}; every mutated file is back as "
              "it was.")
        return e.args[0]
    return None


def main():
    args = parse_args()
    if args.compare and len(args.compare) == 2:
        old, new = (json.loads(Path(p).read_text()) for p in args.compare)
        print_comparison(old, new)
        return 0

    sites = all_sites(args.gui, args.only)
    chosen = sample(sites, args.count, args.seed)
    if args.list:
        signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # quietly, into head or less
        print_sample(sites, chosen, args.seed)
        return 0

    dirty = dirty_product_files()
    if dirty and not args.allow_dirty:
        sys.exit("Product files have uncommitted changes; a mutant left behind by a run that was "
                 "killed could not be told from them. Commit or stash them (or undo a dead "
                 "run's mutant with `git checkout -- FILE`), or pass --allow-dirty:\n  " +
                 "\n  ".join(dirty))
    old = json.loads(Path(args.compare[0]).read_text()) if args.compare else None

    for sig in HANDLED_SIGNALS:
        signal.signal(sig, on_signal)
    record = {"commit": git_commit(), "seed": args.seed, "count": args.count, "gui": args.gui,
              "only": args.only, "build_flags": list(BUILD_FLAGS),
              "started": time.strftime("%Y-%m-%d %H:%M:%S"), "mutants": []}
    spent_before = 0
    if args.resume:
        record, spent_before = resumed(record, args.out)
    started = time.monotonic()
    stopped_by = run_sample(Lab(args), chosen, record, args.out)
    record["interrupted"] = stopped_by is not None
    record["finished"] = time.strftime("%Y-%m-%d %H:%M:%S")
    record["seconds"] = spent_before + round(time.monotonic() - started)
    save(record, args.out)
    print_report(record)
    if old:
        print_comparison(old, record)
    print(f"\nResults: {args.out} ({record['seconds']} s)")
    return 0 if stopped_by is None else 128 + stopped_by


if __name__ == "__main__":
    sys.exit(main())
