"""Writing the readable source: entries.tsv, references.tsv, optics.tsv, patterns.tsv."""

import os

from .text import escape_cell, record_bytes, in_cp1252, NAME_CODES

ENTRY_COLUMNS = ["card", "name", "formula", "sg_number", "sg_symbol", "crystal_class",
                 "d_spacings", "intensities", "last_updated", "status", "appearance",
                 "compare_with", "crystal_system", "group", "icdd", "field15", "mohs",
                 "datasheet", "name_ref", "notes", "sg_calc", "sg_meas", "strunz", "synonym",
                 "type_locality", "z", "cell", "elements"]

OPTICS_FIELDS = ["f0", "anisotropism", "f2", "n_avg", "r470_avg", "r546_avg", "r589_avg",
                 "r650_avg", "birefringence", "f9", "f10", "color", "luster", "v2_calc",
                 "v2_calc_note", "v2_meas", "v2_meas_note", "absorption", "n1", "n1_note",
                 "n_beta", "n_beta_note", "optical_character", "optical_class", "dispersion",
                 "n3", "n3_note", "orientation", "optical_sign", "calc_2v", "calc_optic_sign",
                 "r_avg", "pleochroism", "r470", "r546", "r589", "r650", "f37", "f38", "f39",
                 "f40", "f41"]

MAX_RECORD = 2023

PATTERN_COLUMNS = ["card", "iic", "cut", "d", "intensity", "h", "k", "l", "multiplicity"]
MAX_PATTERN_LINES = 500


class SourceError(ValueError):
    pass


def check_cell(text, column, allow_codes=False):
    if "|" in text:
        raise SourceError(f"{column}: '|' in {text!r}")
    for ch in text:
        if not in_cp1252(ch) and not (allow_codes and ch in NAME_CODES):
            raise SourceError(f"{column}: {ch!r} is not in Windows-1252: {text!r}")


def entry_record_length(cells):
    return sum(record_bytes(c) for c in cells) + len(cells) - 1


def write_tsv(path, header, rows):
    lines = ["\t".join(header)]
    for row in rows:
        lines.append("\t".join(escape_cell(c) for c in row))
    data = "\n".join(lines) + "\n"
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8", newline="\n") as f:
        f.write(data)
    os.replace(tmp, path)


def pattern_rows(card, iic, cut, lines):
    """The rows of one card's whole pattern: I/Ic and the count of lines cut on the first row
    only. Raises SourceError for what the packed file cannot hold."""
    iic_text = "%.3f" % iic if iic is not None else ""
    if iic_text and float(iic_text) <= 0:
        iic_text = ""  # too small to write: unknown rather than 0
    if not 1 <= len(lines) <= MAX_PATTERN_LINES or not 0 <= cut <= 1000000:
        raise SourceError(f"pattern {card}: {len(lines)} lines, {cut} cut")
    rows, last = [], None
    for n, (d, intensity, (h, k, l), mult) in enumerate(lines):
        d_text, i_text = "%.4f" % d, "%.2f" % intensity
        if not 0 < float(d_text) <= 100 or not 0 < float(i_text) <= 100:
            raise SourceError(f"pattern {card}: line d {d_text} intensity {i_text}")
        if last is not None and float(d_text) >= last:
            raise SourceError(f"pattern {card}: d {d_text} does not decrease")
        if not all(-999 <= v <= 999 for v in (h, k, l)) or (h, k, l) == (0, 0, 0) or \
                not 1 <= mult <= 192:
            raise SourceError(f"pattern {card}: hkl {h} {k} {l} multiplicity {mult}")
        last = float(d_text)
        first = n == 0
        rows.append([str(card), iic_text if first else "", str(cut) if first else "", d_text,
                     i_text, str(h), str(k), str(l), str(mult)])
    if not any(r[4] == "100.00" for r in rows):
        raise SourceError(f"pattern {card}: no line of intensity 100")
    return rows


def write_source(directory, entries, references, optics, patterns):
    """entries: list of dicts by column name (in entry order); references: [(card, text)];
    optics: [(card, {field: value})]; patterns: [(card, I/Ic or None, lines cut, lines)] in
    card order. Every cell is checked before anything is written."""
    entry_rows = []
    for e in entries:
        cells = [str(e.get(c, "")) for c in ENTRY_COLUMNS]
        for c, v in zip(ENTRY_COLUMNS, cells):
            check_cell(v, c, allow_codes=(c == "name"))
        if entry_record_length(cells) > MAX_RECORD:
            raise SourceError(f"entry {cells[0]} {cells[1]}: record longer than {MAX_RECORD}")
        entry_rows.append(cells)
    ref_rows = []
    for card, text in references:
        check_cell(text, "reference")
        ref_rows.append([str(card), text, ""])
    opt_rows = []
    for card, fields in optics:
        row = [str(card)] + [fields.get(f, "") for f in OPTICS_FIELDS]
        for f, v in zip(OPTICS_FIELDS, row[1:]):
            check_cell(v.replace("\x1d", ""), f)
            if v in ("0", "0.0"):
                raise SourceError(f"optics {card}: {f} is {v!r}")
        opt_rows.append(row)
    rows_of_patterns = []
    for card, iic, cut, lines in patterns:
        rows_of_patterns += pattern_rows(card, iic, cut, lines)
    os.makedirs(directory, exist_ok=True)
    write_tsv(os.path.join(directory, "entries.tsv"), ENTRY_COLUMNS, entry_rows)
    write_tsv(os.path.join(directory, "references.tsv"), ["card", "reference", "addition"],
              ref_rows)
    write_tsv(os.path.join(directory, "optics.tsv"), ["card"] + OPTICS_FIELDS, opt_rows)
    write_tsv(os.path.join(directory, "patterns.tsv"), PATTERN_COLUMNS, rows_of_patterns)
