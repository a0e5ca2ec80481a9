"""Physical and optical data from the Wikipedia infobox tables and the gemmology YAML files."""

import csv
import glob
import json
import os
import re

from .text import clean_text, fold, match_key

SEP = "\x1d"  # between the two values of a two-value optical field

# Wikipedia article titles that differ from the IMA name (or add a disambiguation).
WIKI_ALIASES = {
    "boehmite": "bohmite", "loellingite": "lollingite", "sulfur": "sulphur",
    "native copper": "copper", "mercury (element)": "mercury", "sal ammoniac": "salammoniac",
    "krut'aite": "krutaite", "baryte (barite)": "baryte", "galena (lead glance)": "galena",
    "titanite (sphene)": "titanite", "bastnasite, bastnaesite": "bastnasite-(ce)",
    "telluric iron": "iron", "iron, native iron or telluric iron": "iron",
    "sphene (titanite)": "titanite", "sylvine": "sylvite",
}


def wiki_key(title):
    key = fold(title).lower().strip()
    key = WIKI_ALIASES.get(key, key)
    key = re.sub(r"\s*\((mineral|element)\)$", "", key)
    return match_key(WIKI_ALIASES.get(key, key))


def _clean(value):
    if value is None:
        return ""
    value = str(value)
    if value.strip() in ("None", "none", "N/A", "-", "—"):
        return ""
    value = re.sub(r"\[\d+\]|\[[a-z]\]|\[citation needed\]", "", value)
    return clean_text(value)


def read_wikipedia(csv_path, json_path):
    """{key: {"csv": row, "json": object}} for every infobox, by folded title."""
    out = {}
    with open(csv_path, encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f):
            out.setdefault(wiki_key(row["name"]), {})["csv"] = row
    with open(json_path, encoding="utf-8") as f:
        for obj in json.load(f):
            out.setdefault(wiki_key(obj["name"]), {})["json"] = obj
    return out


def read_gems(directory):
    """{folded name: data} of the gemmology files (varieties included; the caller matches
    names against species)."""
    import yaml

    out = {}
    for path in sorted(glob.glob(os.path.join(directory, "*.yaml"))):
        with open(path, encoding="utf-8") as f:
            data = yaml.safe_load(f)
        name = str(data.get("name", ""))
        out[match_key(name)] = data
        m = re.match(r"(.+?) \((.+)\)$", name)  # "Sphene (Titanite)"
        if m:
            out.setdefault(match_key(m.group(2)), data)
    return out


# --- Single values -----------------------------------------------------------------------

_NUM = r"\d+(?:\.\d+)?|\.\d+"
_DASH = r"\s*(?:–|—|-|to)\s*"


def _trim_number(text):
    v = float(text)
    return ("%.3f" % v).rstrip("0").rstrip(".")


def mohs(text):
    """'5.5-6.5', '3' from texts such as '3 (defining mineral)', '2–3', '3.5 - 4.0',
    '5 1/2'."""
    text = re.sub(r"\s*(?:1\u20442|\u00bd)", ".5", str(text or ""))
    text = _clean(text)
    m = re.match(rf"\s*(?:about\s+|~\s*)?({_NUM})(?:{_DASH}({_NUM}))?", text)
    if not m:
        return ""
    low = float(m.group(1))
    high = float(m.group(2)) if m.group(2) else None
    if not 1 <= low <= 10 or (high is not None and not low < high <= 10):
        return ""
    return _trim_number(m.group(1)) + ("-" + _trim_number(m.group(2)) if high else "")


def specific_gravity(text):
    """The measured specific gravity, or a measured range: '2.65', '3.21-3.33'. A value
    marked as calculated is not taken."""
    text = _clean(text)
    if not text:
        return ""
    m = re.search(rf"({_NUM})(?:{_DASH}({_NUM}))?\s*\(?\s*meas", text)
    if not m:
        m = re.match(rf"\s*(?:about\s+|~\s*)?({_NUM})(?:{_DASH}({_NUM}))?(?!\s*\(?\s*calc)", text)
    if not m:
        return ""
    low = float(m.group(1))
    high = float(m.group(2)) if m.group(2) else None
    if not 0.8 <= low <= 23 or (high is not None and not low < high <= 23):
        return ""
    return _trim_number(m.group(1)) + ("-" + _trim_number(m.group(2)) if high else "")


def strunz(text):
    """'9.AC.05' from '09.AC.05' and similar; '' when the text is no Strunz class."""
    text = _clean(text).replace(" ", "")
    m = re.match(r"0?(\d{1,2})\.([A-J][A-Z])\.(\d{2,3}[a-z]?)", text)
    if m:
        return f"{int(m.group(1))}.{m.group(2)}.{m.group(3)}"
    m = re.match(r"0?(\d{1,2})\.([A-J][A-Z]?)\b", text)
    if m:
        return f"{int(m.group(1))}.{m.group(2)}"
    return ""


def _shorten(text, limit):
    """At most limit characters, cut at the last comma or semicolon that fits."""
    text = text.strip().rstrip(".;,")
    if len(text) <= limit:
        return text
    cut = max(text.rfind(", ", 0, limit), text.rfind("; ", 0, limit))
    if cut < limit // 3:
        cut = text.rfind(" ", 0, limit)
    return text[:cut].rstrip(".;, ")


def _lower_first(text):
    if len(text) > 1 and text[0].isupper() and not text[1].isupper():
        return text[0].lower() + text[1:]
    return text


def appearance(colour, lustre, habit, streak=""):
    """'Colour; lustre; habit[; streak]' in the card's style, each part kept short."""
    parts = []
    colour, lustre, habit, streak = (_clean(x) for x in (colour, lustre, habit, streak))
    if colour:
        c = _shorten(colour, 140)
        parts.append(c[:1].upper() + c[1:])
    if lustre:
        parts.append(_lower_first(_shorten(lustre, 60)))
    if habit:
        parts.append(_lower_first(_shorten(habit, 140)))
    if streak and re.search(r"metallic", lustre, re.I):
        s = _lower_first(_shorten(streak, 40))
        parts.append(s if "streak" in s.lower() else s + " streak")
    return "; ".join(p for p in parts if p)


# --- Optics ------------------------------------------------------------------------------

_INDEX_NAMES = {
    "alpha": r"(?:n\s*α|nα|nalpha|n_?a(?![a-z])|α|Nx|na)",
    "beta": r"(?:n\s*β|nβ|nbeta|n_?b(?![a-z])|β|Ny|nb)",
    "gamma": r"(?:n\s*γ|nγ|ngamma|n_?g(?![a-z])|γ|Nz|ng|nΎ)",
    "omega": r"(?:n\s*ω|nω|nomega|n_?w(?![a-z])|ω|omega|no(?![a-z]))",
    "epsilon": r"(?:n\s*ε|nε|nepsilon|n_?e(?![a-z])|ε|epsilon|ne(?![a-z]))",
}


def _index_value(text, name):
    """'1.636' or '1.636\x1d1.730' for one named index, or ''."""
    m = re.search(_INDEX_NAMES[name] + rf"\s*[=:]\s*({_NUM})(?:{_DASH}({_NUM}))?", text)
    if not m:
        return ""
    low, high = m.group(1), m.group(2)
    if not 1.2 <= float(low) <= 3.5:
        return ""
    if high and 1.2 <= float(high) <= 3.5 and float(high) > float(low):
        return f"{float(low):.3f}{SEP}{float(high):.3f}"
    return f"{float(low):.3f}"


def _centre(value):
    parts = [float(p) for p in value.split(SEP)] if value else []
    return sum(parts) / len(parts) if parts else None


def optical_class_and_sign(text):
    text = _clean(text).lower()
    cls = ""
    if "uniaxial" in text:
        cls = "Uniaxial"
    elif "biaxial" in text:
        cls = "Biaxial"
    elif "isotropic" in text and "anisotropic" not in text.replace("weakly anisotropic", ""):
        cls = "Isotropic"
    sign = ""
    pos = re.search(r"\(\s*\+\s*\)|positive|\s\+(?:\s|$)", text)
    neg = re.search(r"\(\s*[-–]\s*\)|negative|\s[-–](?:\s|$)", text)
    both = re.search(r"\+\s*/\s*[-–]|\+\)\s*or\s*\(|either|sometimes", text)
    if cls in ("Uniaxial", "Biaxial") and not both:
        if pos and not neg:
            sign = "Positive"
        elif neg and not pos:
            sign = "Negative"
    return cls, sign


def two_v(text, which):
    """2V in degrees from '2V measured: 72°' or '2V = 65–75' (which: 'meas' or 'calc')."""
    text = _clean(text)
    if which == "calc":
        m = re.search(rf"2V\s*(?:calc\w*|\(calc\w*\))\s*[=:]?\s*({_NUM})(?:°)?(?:{_DASH}({_NUM}))?",
                      text, re.I)
    else:
        m = re.search(rf"2V\s*(?:meas\w*|\(meas\w*\))?\s*[=:]\s*({_NUM})\s*°?(?:{_DASH}({_NUM}))?",
                      text, re.I)
    if not m:
        return ""
    low = float(m.group(1))
    high = float(m.group(2)) if m.group(2) else None
    if not 0 < low <= 90 or (high is not None and not low < high <= 90):
        return ""
    return _trim_number(m.group(1)) + (SEP + _trim_number(m.group(2)) if high else "")


def optics_from_wikipedia(obj):
    """Optical fields from a 2016 infobox: {field name: value}."""
    out = {}
    props = _clean(obj.get("optical properties"))
    ri = _clean(obj.get("refractive index"))
    cls, sign = optical_class_and_sign(props)
    if cls:
        out["optical_class"] = cls
    if sign:
        out["optical_sign"] = sign
    for which, field in (("meas", "v2_meas"), ("calc", "v2_calc")):
        v = two_v(props, which)
        if v:
            out[field] = v
    # Only the first set of indices of a text that lists several (several samples).
    if ri:
        if cls == "Uniaxial" or (not cls and re.search(_INDEX_NAMES["omega"], ri)):
            w, e = _index_value(ri, "omega"), _index_value(ri, "epsilon")
            if w and e:
                out.update(n1=e, n3=w)
                out.setdefault("optical_class", "Uniaxial")
        elif cls == "Biaxial" or re.search(_INDEX_NAMES["alpha"], ri):
            a, b, g = (_index_value(ri, k) for k in ("alpha", "beta", "gamma"))
            if a and g:
                out.update(n1=a, n3=g)
                if b:
                    out["n_beta"] = b
                out.setdefault("optical_class", "Biaxial")
        if cls == "Isotropic" or not any(k in out for k in ("n1", "n3")):
            m = re.match(rf"\s*(?:n\s*=\s*)?({_NUM})(?:{_DASH}({_NUM}))?\s*$", ri)
            if m and cls == "Isotropic" and 1.2 <= float(m.group(1)) <= 3.5:
                v = f"{float(m.group(1)):.3f}"
                if m.group(2) and float(m.group(2)) > float(m.group(1)):
                    v += f"{SEP}{float(m.group(2)):.3f}"
                out["n1"] = v
    diaph = _clean(obj.get("diaphaneity"))
    if diaph:
        out["optical_character"] = _shorten(diaph[:1].upper() + diaph[1:], 60)
    return out


def optics_from_gem(data):
    """Optical fields from a gemmology file."""
    out = {}
    oc = str(data.get("optical_character") or "")
    cls, sign = optical_class_and_sign(oc.replace("+", "(+)").replace(" -", " (-)"))
    if oc.lower().startswith("opaque"):
        out["optical_character"] = "Opaque"
    if cls:
        out["optical_class"] = cls
    if sign:
        out["optical_sign"] = sign
    ri = str(data.get("ri") or "")
    m = re.fullmatch(rf"\s*({_NUM})(?:{_DASH}({_NUM}))?\s*", ri)
    if m and 1.2 <= float(m.group(1)) <= 3.5:
        low = f"{float(m.group(1)):.3f}"
        high = f"{float(m.group(2)):.3f}" if m.group(2) else ""
        if cls == "Isotropic":
            out["n1"] = low + (SEP + high if high else "")
        elif cls == "Uniaxial" and high and sign:
            # Positive: n-epsilon is the higher index; negative: the lower one.
            out["n1"], out["n3"] = (high, low) if sign == "Positive" else (low, high)
        elif cls == "Biaxial" and high:
            out["n1"], out["n3"] = low, high
    bi = str(data.get("birefringence") or "")
    m = re.fullmatch(rf"\s*({_NUM})(?:{_DASH}({_NUM}))?\s*", bi)
    if m and 0 < float(m.group(1)) < 1:
        out["birefringence"] = f"{float(m.group(1)):.3f}"
        if m.group(2) and float(m.group(2)) > float(m.group(1)):
            out["birefringence"] += f"{SEP}{float(m.group(2)):.3f}"
    disp = str(data.get("dispersion") or "")
    m = re.fullmatch(rf"\s*({_NUM})(?:{_DASH}({_NUM}))?\s*", disp)
    if m and 0 < float(m.group(1)) < 1:
        out["dispersion"] = f"{float(m.group(1)):.3f}"
        if m.group(2) and float(m.group(2)) > float(m.group(1)):
            out["dispersion"] += f"{SEP}{float(m.group(2)):.3f}"
    pleo = _clean(data.get("pleochroism"))
    if pleo:
        out["pleochroism"] = _shorten(pleo, 120)
    lustre = _clean(data.get("lustre"))
    if lustre:
        out["luster"] = _shorten(lustre, 60)
    return out


def finish_optics(fields):
    """Derived fields: the mean index (n for isotropic, (2 n-omega + n-epsilon) / 3 for
    uniaxial, the mean of the three for biaxial) and the birefringence of single values."""
    cls = fields.get("optical_class", "")
    n1, nb, n3 = (_centre(fields.get(k, "")) for k in ("n1", "n_beta", "n3"))
    if cls == "Isotropic" and n1:
        fields["n_avg"] = f"{n1:.3f}"
    elif cls == "Uniaxial" and n1 and n3:
        fields["n_avg"] = f"{(2 * n3 + n1) / 3:.3f}"
    elif cls == "Biaxial" and n1 and n3 and nb:
        fields["n_avg"] = f"{(n1 + nb + n3) / 3:.3f}"
    if ("birefringence" not in fields and cls in ("Uniaxial", "Biaxial")
            and n1 and n3 and SEP not in fields.get("n1", "") + fields.get("n3", "")):
        d = abs(n3 - n1)
        if d >= 0.0005:
            fields["birefringence"] = f"{d:.3f}"
    for k in list(fields):
        if fields[k] in ("0", "0.0", "0.000", ""):
            del fields[k]
    return fields
