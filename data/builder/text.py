"""Text rules: markup to plain text, Windows-1252, names, sorting, cell escapes."""

import html
import re
import unicodedata

# Letters Windows-1252 lacks that the records store as three-character codes.
NAME_CODES = {"č": "@CK", "ć": "@CA", "ň": "@NK", "ń": "@NA", "ě": "@EK", "ř": "@RK",
              "ő": "@OD", "Č": "!CK"}

# Characters outside Windows-1252 that texts of the sources use, and what stands for them.
_REPLACEMENTS = {
    "≤": "<=", "≥": ">=", "≈": "~", "Σ": "Sum ", "◻": "[]", "□": "[]", "→": "->", "−": "-",
    "‐": "-", "‑": "-", "′": "'", "″": '"', "≠": "/=", "α": "alpha", "β": "beta",
    "γ": "gamma", "δ": "delta", "ε": "epsilon", "ω": "omega", "Δ": "Delta", "μ": "micro",
    "∼": "~", "∞": "inf", "⊥": "perp. ", "∥": "par. ", "\u00a0": " ", "\u2009": " ",
    "\u202f": " ", "\u200b": "", "\ufeff": "", "ı": "i", "\u212b": "\u00c5",
    "\u22c5": "\u00b7", "\u2219": "\u00b7", "\u2027": "\u00b7", "\u2212": "-",
    "\u30fb": "\u00b7", "\u2044": "/", "\u2153": "1/3", "\u2154": "2/3", "\u02c7": "",
    "\u030c": "", "\u2610": "[]", "\u25a2": "[]", "\u0391": "A", "\u0399": "I",
    "\u03d2": "Y", "\u03a9": "Omega", "\u03c6": "phi", "\u03c2": "s", "\u0410": "A",
    "\u0412": "B", "\u0415": "E", "\u041a": "K", "\u041c": "M", "\u041d": "H",
    "\u041e": "O", "\u0420": "P", "\u0421": "C", "\u0422": "T", "\u0425": "X",
    "\u0430": "a", "\u0435": "e", "\u043e": "o", "\u0440": "p", "\u0441": "c",
    "\u0445": "x",
}


def fold_letter(ch):
    """A letter without its accents (č -> c, ø -> o, ł -> l, ß -> ss)."""
    special = {"ø": "o", "Ø": "O", "ł": "l", "Ł": "L", "đ": "d", "Đ": "D", "ß": "ss",
               "æ": "ae", "Æ": "AE", "œ": "oe", "Œ": "OE", "ı": "i", "þ": "th"}
    if ch in special:
        return special[ch]
    decomposed = unicodedata.normalize("NFKD", ch)
    base = "".join(c for c in decomposed if not unicodedata.combining(c))
    return base or ch


def fold(text):
    return "".join(fold_letter(c) for c in text)


def in_cp1252(ch):
    try:
        ch.encode("cp1252")
        return True
    except UnicodeEncodeError:
        return False


def to_cp1252_text(text):
    """Text that Windows-1252 can hold: known replacements first, then accents folded;
    anything left becomes "?" (none does for the sources used)."""
    out = []
    for ch in text:
        if in_cp1252(ch):
            out.append(ch)
            continue
        rep = _REPLACEMENTS.get(ch)
        if rep is None:
            rep = fold_letter(ch)
            if not all(in_cp1252(c) for c in rep):
                rep = "?"
        out.append(rep)
    return "".join(out)


# An HTML tag: "<" and a tag name ("<sub>", "</sup>", "< br/>"). A "<" before a number or a
# blank is no tag: "(x < 0.5, n > 3x/2)" of a formula keeps its text.
_TAG = re.compile(r"<\s*/?\s*[A-Za-z][A-Za-z0-9]*(?:\s[^<>]*)?/?>")


def plain_markup(text):
    """RRUFF's markup to plain text: _x_ subscripts and ^x^ superscripts lose their marks,
    HTML tags are dropped and entities decoded."""
    text = html.unescape(text)
    text = _TAG.sub("", text)
    text = text.replace("^", "").replace("_", "")
    return text


def display_name(name):
    """The name as the list shows it: coded letters as their base letter, Å as A."""
    out = []
    for ch in name:
        if ch in NAME_CODES:
            out.append(fold_letter(ch))
        elif ch == "Å":
            out.append("A")
        else:
            out.append(ch)
    return "".join(out)


def sort_key(name):
    """Alphabetical order of the list: the shown name, accents folded, upper case."""
    return fold(display_name(name)).upper()


def name_letters(name):
    """A name the records can hold: letters Windows-1252 has stay, č ć ň ń ě ř ő Č stay (the
    packer stores their codes), any other letter is folded to its base letter. Returns the name
    and the letters that were folded."""
    out, folded = [], []
    # The program turns one kind of code per name into its letter (the first "@" code, else
    # the first "!" code): a second kind would show as its code, so it is written plainly.
    coded = [ch for ch in name if ch in NAME_CODES]
    small = [ch for ch in coded if NAME_CODES[ch].startswith("@")]
    kept = small[0] if small else (coded[0] if coded else None)
    for ch in name:
        if ch in NAME_CODES and ch != kept:
            out.append(fold_letter(ch))
            folded.append(ch)
        elif in_cp1252(ch) or ch in NAME_CODES:
            out.append(ch)
        else:
            rep = fold_letter(ch)
            if rep == ch or not all(in_cp1252(c) for c in rep):
                rep = _REPLACEMENTS.get(ch, "?")
            out.append(rep)
            folded.append(ch)
    return "".join(out), folded


def escape_cell(text):
    """A cell of the readable source: backslash, tab and line breaks escaped, no "|"."""
    if "|" in text:
        raise ValueError(f"cell holds '|': {text!r}")
    return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            .replace("\r", "\\r").replace("\x1d", "\\x1d"))


def clean_text(text):
    """Free text of a source made fit for a cell: one line, single blanks, Windows-1252, no "|"."""
    text = html.unescape(text)
    text = _TAG.sub("", text)
    text = text.replace("|", "/")
    text = re.sub(r"\s+", " ", text).strip()
    return to_cp1252_text(text)


def record_bytes(text):
    """Length in bytes of a text as its record stores it (name codes take three bytes)."""
    n = 0
    for ch in text:
        n += 3 if ch in NAME_CODES else len(ch.encode("cp1252"))
    return n


def match_key(name):
    """Key that matches one name across sources: markup dropped, accents folded, lower case,
    only letters, digits, parentheses, "-" and "+" kept ("D'ansite" and "Dansite" match)."""
    return re.sub(r"[^a-z0-9()+\-]", "", fold(plain_markup(name)).lower())
