"""Powder patterns computed from a structure: the card's eight lines and the whole pattern.

One pass of pymatgen's XRDCalculator arithmetic over 2-theta 2..149 degrees (d down to 0.8 A
for Cu K-alpha) gives both. The card's lines are the strongest eight of the reflections up to
120 degrees, summed and scaled exactly as pymatgen's get_pattern sums and scales a pattern
computed over that range alone, so they come out bit for bit as before. The whole pattern
keeps every line of d >= 0.8 A and at least 0.2 % of the strongest, with the hkl and
multiplicity of its strongest contributor: the reflections of each line are split into orbits
of the structure's Laue group.
"""

import math
from dataclasses import dataclass
from math import asin, cos, degrees, pi, radians, sin

import numpy as np

from .structures import StructureError, debye_waller

# Cu K-alpha (weighted mean of alpha1 and alpha2).
WAVELENGTH = "CuKa"
TWO_THETA_MIN = 2.0
# The card: 2-theta up to 120 degrees (d down to 0.89 A), lines closer than MERGE_D merged,
# the LINE_COUNT strongest kept.
TWO_THETA_MAX = 120.0
MERGE_D = 0.005
LINE_COUNT = 8
# The whole pattern: d down to D_MIN, lines closer than MERGE_WHOLE merged, those of at least
# MIN_INTENSITY % of the strongest kept, at most MAX_LINES of them (the strongest).
D_MIN = 0.8
MERGE_WHOLE = 0.0005
MIN_INTENSITY = 0.2
MAX_LINES = 500

# pymatgen sums reflections closer than this in 2-theta (degrees) into one peak, and drops
# peaks weaker than this percentage of the strongest.
_PEAK_TOL = 1e-5
_SCALED_TOL = 1e-3


@dataclass
class Powder:
    card: list        # [(d rounded to 3 decimals, intensity 1..100)], strongest first
    lines: list       # [(d, intensity 0.2..100, (h, k, l), multiplicity)], d decreasing
    cut: int          # lines of at least MIN_INTENSITY dropped beyond MAX_LINES
    strongest: float  # unscaled intensity of the strongest line (|F|^2 LP multiplicity)
    mass: float       # cell content in atomic mass units
    volume: float     # cell volume, A^3

    def iic_factor(self):
        """Imax / (V * cell mass): the strongest line's intensity per unit weight of the
        phase in a mixture, up to a factor shared by every phase. I/Ic is the ratio of a
        species' factor to corundum's."""
        return self.strongest / (self.volume * self.mass)


def two_theta_of(d, wavelength):
    return 2.0 * math.degrees(math.asin(wavelength / (2.0 * d)))


def pymatgen_structure(analysis):
    from pymatgen.core import Lattice, Structure

    a, b, c, al, be, ga = analysis.cell
    lattice = Lattice.from_parameters(a, b, c, al, be, ga)
    species, coords = [], []
    for p, sp in analysis.sites:
        total = sum(sp.values())
        if total > 1.0:
            sp = {el: occ / total for el, occ in sp.items()}
        species.append(sp)
        coords.append(p)
    return Structure(lattice, species, coords, validate_proximity=False)


def calculator(analysis):
    from pymatgen.analysis.diffraction.xrd import XRDCalculator
    return XRDCalculator(wavelength=WAVELENGTH,
                         debye_waller_factors=debye_waller(analysis.record, analysis.sites))


@dataclass
class Peak:
    two_theta: float
    d: float
    intensity: float   # |F|^2 LP summed over the peak's reflections
    reflections: list  # [(h, k, l)]
    each: list         # the intensity of each reflection


def reflections(structure, calc, two_theta_range, inner_limit=None):
    """The peaks of pymatgen's XRDCalculator.get_pattern, before its filter and scaling, with
    the reflections of each: the loop of pymatgen 2022.11, arithmetic unchanged, except that
    the reflections are computed a chunk at a time (_intensities), a reflection is compared with
    the last peak only (reflections come in increasing 2-theta, so no earlier peak is within the
    tolerance) and each reflection's intensity is kept.
    With inner_limit (degrees), also returns the intensities of the peaks as a calculation
    stopping at that angle would have summed them."""
    wavelength = calc.wavelength
    latt = structure.lattice
    min_r, max_r = [2 * sin(radians(t / 2)) / wavelength for t in two_theta_range]
    inner_r = 2 * sin(radians(inner_limit / 2)) / wavelength if inner_limit else None
    recip_latt = latt.reciprocal_lattice_crystallographic
    recip_pts = recip_latt.get_points_in_sphere([[0, 0, 0]], [0, 0, 0], max_r)
    if min_r:
        recip_pts = [pt for pt in recip_pts if pt[1] >= min_r]
    from pymatgen.analysis.diffraction.xrd import ATOMIC_SCATTERING_PARAMS
    _zs, _coeffs, _fcoords, _occus, _dwfactors = [], [], [], [], []
    for site in structure:
        for sp, occu in site.species.items():
            _zs.append(sp.Z)
            try:
                c = ATOMIC_SCATTERING_PARAMS[sp.symbol]
            except KeyError:
                raise StructureError(f"no scattering coefficients for {sp.symbol}")
            _coeffs.append(c)
            _dwfactors.append(calc.debye_waller_factors.get(sp.symbol, 0))
            _fcoords.append(site.frac_coords)
            _occus.append(occu)
    zs = np.array(_zs)
    coeffs = np.array(_coeffs)
    fcoords = np.array(_fcoords)
    occus = np.array(_occus)
    dwfactors = np.array(_dwfactors)
    ordered = [(hkl, g) for hkl, g, _, _ in
               sorted(recip_pts, key=lambda i: (i[1], -i[0][0], -i[0][1], -i[0][2])) if g != 0]
    # hkl rounded to whole numbers (halves to even, as round() does)
    whole = np.rint(np.array([hkl for hkl, _ in ordered]).reshape(-1, 3)).astype(np.int64)
    points = [(tuple(hkl), g) for hkl, (_, g) in zip(whole.tolist(), ordered)]
    values = _intensities(points, zs, coeffs, fcoords, occus, dwfactors, wavelength)
    peaks, inner = [], None
    for (hkl, g_hkl), (two_theta, value) in zip(points, values):
        if inner is None and inner_r is not None and g_hkl > inner_r:
            inner = [p.intensity for p in peaks]
        if peaks and abs(peaks[-1].two_theta - two_theta) < _PEAK_TOL:
            peaks[-1].intensity += value
            peaks[-1].reflections.append(hkl)
            peaks[-1].each.append(value)
        else:
            peaks.append(Peak(two_theta, 1 / g_hkl, value, [hkl], [value]))
    if inner is None and inner_r is not None:
        inner = [p.intensity for p in peaks]
    return peaks, inner


# Reflections computed together: enough to share numpy's work, few enough to keep the arrays of
# a large cell (reflections x sites x 4 coefficients) small.
_CHUNK = 256


def _intensities(points, zs, coeffs, fcoords, occus, dwfactors, wavelength):
    """[(2-theta, |F|^2 LP)] of the reflections [((h, k, l), g)], a chunk of them at a time. Every
    value is the one pymatgen's loop computes for the reflection alone, bit for bit: each
    element takes the same operations in the same order, and each sum runs along the last,
    contiguous axis of its array, as pymatgen's sums do."""
    out = []
    c0 = coeffs[:, :, 0]
    minus_c1 = -coeffs[:, :, 1]
    minus_dw = -dwfactors
    for first in range(0, len(points), _CHUNK):
        chunk = points[first:first + _CHUNK]
        hkls = np.array([hkl for hkl, _ in chunk])
        s2 = np.array([(g / 2) ** 2 for _, g in chunk])
        g_dot_r = np.dot(fcoords, hkls.T).T  # (reflection, site)
        terms = c0[None, :, :] * np.exp(minus_c1[None, :, :] * s2[:, None, None])
        fs = zs[None, :] - (41.78214 * s2)[:, None] * np.sum(terms, axis=2)
        dw_correction = np.exp(minus_dw[None, :] * s2[:, None])
        f_hkl = np.sum(fs * occus[None, :] * np.exp(2j * pi * np.ascontiguousarray(g_dot_r))
                       * dw_correction, axis=1)
        i_hkl = (f_hkl * f_hkl.conjugate()).real
        for (_, g_hkl), i in zip(chunk, i_hkl):
            theta = asin(wavelength * g_hkl / 2)
            lorentz_factor = (1 + cos(2 * theta) ** 2) / (sin(theta) ** 2 * cos(theta))
            out.append((degrees(2 * theta), i * lorentz_factor))
    return out


def calculate(analysis):
    """The card's lines and the whole pattern of an analysed structure (a Powder)."""
    structure = pymatgen_structure(analysis)
    calc = calculator(analysis)
    peaks, inner = reflections(structure, calc, (TWO_THETA_MIN, two_theta_of(D_MIN,
                                                                             calc.wavelength)),
                               inner_limit=TWO_THETA_MAX)
    if not inner:
        raise StructureError("no powder lines")
    # The card: what get_pattern(scaled=True, two_theta_range=(2, 120)) gives.
    top = max(inner)
    kept = [(p.d, v) for p, v in zip(peaks, inner) if v / top * 100 > _SCALED_TOL]
    y = np.array([v for _, v in kept])
    y /= np.max(y) / 100
    card = card_lines([dd for dd, _ in kept], y)
    top = max(p.intensity for p in peaks)
    group = _laue_group(analysis.rotations)
    whole = [(p.d, p.intensity) + strongest_orbit(p, group) for p in peaks
             if p.intensity / top * 100 > _SCALED_TOL and p.d >= D_MIN - 1e-9]
    lines, cut, strongest = whole_pattern(whole)
    mass = float(structure.composition.weight)
    return Powder(card, lines, cut, strongest, mass, float(structure.lattice.volume))


def card_lines(d_hkls, intensities):
    """The card's lines as [(d in A, intensity 1..100)], strongest first, from peaks scaled
    to 100: lines closer than MERGE_D merged at their intensity-weighted position."""
    lines = sorted(((dd, i) for dd, i in zip(d_hkls, intensities)), key=lambda t: -t[0])
    merged = []
    for dd, i in lines:
        if merged and merged[-1][0] - dd < MERGE_D:
            pd, pi = merged[-1]
            merged[-1] = ((pd * pi + dd * i) / (pi + i), pi + i)
        else:
            merged.append((dd, i))
    if not merged:
        raise StructureError("no powder lines")
    top = max(i for _, i in merged)
    merged.sort(key=lambda t: (-t[1], -t[0]))
    out = []
    for dd, i in merged[:LINE_COUNT]:
        scaled = round(100.0 * i / top)
        if scaled >= 1:
            out.append((round(dd, 3), scaled))
    return out


def whole_pattern(peaks, merge=MERGE_WHOLE, minimum=MIN_INTENSITY, cap=MAX_LINES):
    """Lines of the whole pattern from peaks [(d, unscaled intensity, (h, k, l), multiplicity
    and intensity of the peak's strongest contributor)].
    Peaks closer than merge (A) are one line: intensities summed, the position weighted by
    intensity, hkl and multiplicity of the strongest contributor. Returns
    ([(d, intensity scaled to 100, hkl, multiplicity)] in decreasing d, lines of at least
    minimum % beyond the cap, unscaled intensity of the strongest line)."""
    merged = []  # [d, intensity, strongest contributor's intensity, hkl, multiplicity]
    for d, i, hkl, mult, own in sorted(peaks, key=lambda t: -t[0]):
        if merged and merged[-1][0] - d < merge:
            m = merged[-1]
            m[0] = (m[0] * m[1] + d * i) / (m[1] + i)
            m[1] += i
            if own > m[2]:
                m[2:] = [own, hkl, mult]
        else:
            merged.append([d, i, own, hkl, mult])
    if not merged:
        raise StructureError("no powder lines")
    top = max(m[1] for m in merged)
    kept = [m for m in merged if 100.0 * m[1] / top >= minimum]
    kept.sort(key=lambda m: (-m[1], -m[0]))
    cut = max(0, len(kept) - cap)
    kept = sorted(kept[:cap], key=lambda m: -m[0])
    return [(m[0], 100.0 * m[1] / top, m[3], m[4]) for m in kept], cut, top


# --- Which reflections make each peak ---------------------------------------------------------

def _laue_group(rotations):
    """The rotations acting on hkl rows (h' = h R), with the inversion added (Friedel's law
    holds for the calculation: no anomalous scattering), as an array (n, 3, 3)."""
    out, seen = [], set()
    for r in list(rotations) or [np.eye(3)]:
        for m in (np.rint(r).astype(np.int64), -np.rint(r).astype(np.int64)):
            if m.tobytes() not in seen:
                seen.add(m.tobytes())
                out.append(m)
    return np.array(out)


def strongest_orbit(peak, group):
    """(h, k, l), multiplicity and intensity of the strongest orbit of symmetry-equivalent
    reflections of a peak. The hkl shown is the member with the most indices >= 0, then the
    greatest. Orbits within 1e-9 of the strongest count as equal (333 and 511 of a cubic
    cell, say, whose difference is the last bit of the sums) and the one whose shown hkl ranks
    first that way wins, so that the choice does not depend on the machine."""
    h = np.array(peak.reflections, dtype=np.int64)
    images = np.einsum("ki,gij->gkj", h, group)          # images[g, reflection]
    base = 2 * int(np.abs(images).max()) + 3
    shifted = images + base // 2
    packed = (shifted[..., 0] * base + shifted[..., 1]) * base + shifted[..., 2]
    names = packed.max(axis=0)                            # an orbit's greatest member
    orbits = []
    for name in np.unique(names):
        first = int(np.flatnonzero(names == name)[0])
        value = float(sum(v for v, n in zip(peak.each, names) if n == name))
        members = {tuple(int(v) for v in row) for row in images[:, first, :]}
        orbits.append((value, max(members, key=_shown_order), len(members)))
    top = max(o[0] for o in orbits)
    value, shown, size = max((o for o in orbits if o[0] >= top * (1 - 1e-9)),
                             key=lambda o: _shown_order(o[1]))
    return shown, size, value


def _shown_order(hkl):
    return sum(v >= 0 for v in hkl), hkl
