"""References in the card's shape: "Authors (year) Title. <i>[Journal volume, pages]</i>"."""

import re

from .text import clean_text, plain_markup

# Journal names that hold a comma; a split at that comma would cut them in two.
_COMMA_JOURNALS = ("Monatshefte", "Abhandlungen", "Series ", "Serie ", "Section ", "Ser. ",
                   "Kyushu ", "Sect. ", "Part ", "Supplement")

_NOTE_LINE = re.compile(
    r"^\s*(Note\b|Sample\b|sample\b|_cod|R\d{6}\b|[A-Za-z-]+(?: [A-Za-z-]+)? structure\s*$)")


def safe(text):
    """A reference text the card can split: "[" and "<" only where the card expects them."""
    text = clean_text(plain_markup(text))
    return (text.replace("[", "(").replace("]", ")").replace("<", "\u2039")
            .replace(">", "\u203a"))


def format_reference(authors, year, title, journal, volume, pages):
    head = f"{authors} ({year}) {title}".strip() if year else f"{authors} {title}".strip()
    if head and head[-1] not in ".?!":
        head += "."
    source = ", ".join(p for p in (f"{journal} {volume}".strip(), pages) if p)
    return f"{head} <i>[{source}]</i>" if source else f"{head} <i>[]</i>"


def structure_title(pub_title):
    """The article title of an AMCSD entry: its first lines, before the notes."""
    lines = []
    for i, line in enumerate(pub_title.split("\n")):
        if i > 0 and _NOTE_LINE.match(line):
            break
        lines.append(line.strip())
    return " ".join(l for l in lines if l)


def structure_reference(publication, pub_title):
    authors = ", ".join(safe(a) for a in publication.authors)
    pages = publication.first_page or ""
    if publication.last_page and publication.last_page != publication.first_page:
        pages = f"{pages}-{publication.last_page}" if pages else publication.last_page
    return format_reference(authors, publication.year, safe(structure_title(pub_title)),
                            safe(publication.journal), safe(str(publication.volume)),
                            safe(pages))


def structure_author_text(publication):
    """"Antao et al. (2008)", "Speziale and Duffy (2002)" for notes."""
    surnames = [a.split(" ")[0] for a in publication.authors if a.strip()]
    if not surnames:
        return f"an AMCSD structure ({publication.year})"
    if len(surnames) == 1:
        who = surnames[0]
    elif len(surnames) == 2:
        who = f"{surnames[0]} and {surnames[1]}"
    else:
        who = f"{surnames[0]} et al."
    return f"{safe(who)} ({publication.year})"


_CITATION = re.compile(r"^(?P<authors>[^()]{2,400}?)\s*\((?P<year>\d{4}[a-z]?)\)\s*(?P<rest>.+)$")
_TAIL = re.compile(r"\s+(?P<volume>[\w().:/-]*\d[\w().:/-]*),\s*(?P<pages>[\w.:-]+)\s*\.?$")


def split_citation(text):
    """A citation of the RRUFF status notes as the card shows it, or the text itself with an
    empty source when it does not have the usual shape."""
    text = safe(text).strip()
    m = _CITATION.match(text)
    if not m:
        return f"{text} <i>[]</i>"
    authors, year, rest = m.group("authors").strip(), m.group("year"), m.group("rest").strip()
    tail = _TAIL.search(rest)
    if not tail:
        return format_reference(authors, year, rest.rstrip("."), "", "", "")
    before = rest[:tail.start()]
    cut = max(before.rfind(", "), before.rfind(". "))
    while cut > 0 and before[cut + 2:].startswith(_COMMA_JOURNALS):
        cut = max(before.rfind(", ", 0, cut), before.rfind(". ", 0, cut))
    if cut <= 0:
        return format_reference(authors, year, rest.rstrip("."), "", "", "")
    title, journal = before[:cut].strip(), before[cut + 2:].strip()
    return format_reference(authors, year, title.rstrip(".,"), journal, tail.group("volume"),
                            tail.group("pages"))


def status_note_references(notes, limit=3):
    """The citations of an IMA export's "Status Notes", at most limit, each with the caption
    that introduces it ("Name changed from X:") when that is short."""
    out = []
    caption = ""
    for line in notes.replace("\r", "").split("\n"):
        line = line.strip()
        if not line:
            continue
        if line.endswith(":") and not _CITATION.match(line):
            caption = line if len(line) <= 60 else ""
            continue
        if not _CITATION.match(line) and not re.search(r"\b1[5-9]\d\d\b|\b20\d\d\b", line):
            caption = ""
            continue  # prose such as "Mineral name has been known since antiquity"
        ref = split_citation(line)
        if caption:
            ref = safe(caption) + " " + ref
        caption = ""
        out.append(ref)
        if len(out) >= limit:
            break
    return out
