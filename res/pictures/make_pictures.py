#!/usr/bin/env python3
"""Draws the program's pictures as SVG files beside this script.

splash.svg  (399 x 304): the start-up picture, bitmap 172
about.svg   (250 x 190): the about box picture, bitmap 173

The motif is the program's purpose: observations on a straight line with one
outlier; the robust line keeps to the good points while the least-squares line
is pulled towards the outlier. Run again after changing the data below.
"""
from pathlib import Path

HERE = Path(__file__).resolve().parent

# Observations l(t) = 1 + 0.6 t with small deviations and one gross error at t = 7.
T = list(range(10))
NOISE = [0.15, -0.2, 0.1, -0.05, 0.2, -0.15, 0.05, 0.0, -0.1, 0.12]
L = [1.0 + 0.6 * t + e for t, e in zip(T, NOISE)]
OUTLIER = 7
L[OUTLIER] += 5.0


def least_squares(ts, ls):
    n = len(ts)
    mt = sum(ts) / n
    ml = sum(ls) / n
    b = sum((t - mt) * (l - ml) for t, l in zip(ts, ls)) / sum((t - mt) ** 2 for t in ts)
    return ml - b * mt, b


def robust_line():
    # Least squares without the outlier: what a redescending estimator converges to.
    ts = [t for t in T if t != OUTLIER]
    ls = [L[t] for t in T if t != OUTLIER]
    return least_squares(ts, ls)


def plot(x0, y0, w, h, r, stroke):
    """SVG of the scatter plot in the box (x0, y0, w, h); r = point radius."""
    tmin, tmax, lmin, lmax = -0.7, 9.7, -0.5, 11.5

    def px(t):
        return x0 + (t - tmin) / (tmax - tmin) * w

    def py(l):
        return y0 + h - (l - lmin) / (lmax - lmin) * h

    a_r, b_r = robust_line()
    a_ls, b_ls = least_squares(T, L)
    out = []
    out.append(f'<rect x="{x0}" y="{y0}" width="{w}" height="{h}" rx="{2 * r}" fill="#fbfcfe" '
               f'stroke="#9db4cf" stroke-width="1"/>')
    for k in range(1, 4):  # light grid
        gy = y0 + h * k / 4
        out.append(f'<line x1="{x0 + 2}" y1="{gy:.1f}" x2="{x0 + w - 2}" y2="{gy:.1f}" '
                   f'stroke="#e3eaf3" stroke-width="1"/>')
    ta, tb = tmin + 0.2, tmax - 0.2
    out.append(f'<line x1="{px(ta):.1f}" y1="{py(a_ls + b_ls * ta):.1f}" x2="{px(tb):.1f}" '
               f'y2="{py(a_ls + b_ls * tb):.1f}" stroke="#8a97a8" stroke-width="{stroke}" '
               f'stroke-dasharray="{3 * stroke},{2 * stroke}"/>')
    out.append(f'<line x1="{px(ta):.1f}" y1="{py(a_r + b_r * ta):.1f}" x2="{px(tb):.1f}" '
               f'y2="{py(a_r + b_r * tb):.1f}" stroke="#1f5fa8" stroke-width="{1.6 * stroke}"/>')
    for t, l in zip(T, L):  # corrections: from each observation to the robust line
        colour = "#d62828" if t == OUTLIER else "#7aa5d6"
        out.append(f'<line x1="{px(t):.1f}" y1="{py(l):.1f}" x2="{px(t):.1f}" '
                   f'y2="{py(a_r + b_r * t):.1f}" stroke="{colour}" stroke-width="1"/>')
    for t, l in zip(T, L):
        if t == OUTLIER:
            out.append(f'<circle cx="{px(t):.1f}" cy="{py(l):.1f}" r="{2.2 * r:.1f}" fill="none" '
                       f'stroke="#d62828" stroke-width="{stroke}"/>')
            out.append(f'<circle cx="{px(t):.1f}" cy="{py(l):.1f}" r="{r}" fill="#d62828"/>')
        else:
            out.append(f'<circle cx="{px(t):.1f}" cy="{py(l):.1f}" r="{r}" fill="#123a66"/>')
    return "\n".join(out)


def svg(width, height, body):
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">\n'
            f'{body}\n</svg>\n')


GRADIENT = ('<defs><linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#16324f"/><stop offset="1" stop-color="#2f6f9f"/>'
            '</linearGradient></defs>')
FONT = 'font-family="DejaVu Sans, Arial, sans-serif"'


def splash():
    body = [GRADIENT, '<rect x="0" y="0" width="399" height="304" fill="url(#sky)"/>',
            f'<text x="22" y="62" {FONT} font-size="46" font-weight="bold" fill="#ffffff">Tolvar</text>',
            f'<text x="24" y="86" {FONT} font-size="14" fill="#cfe2f3">Robuste Ausgleichung von Beobachtungen</text>',
            f'<text x="377" y="40" {FONT} font-size="13" fill="#ffffff" text-anchor="end">Version 2.0</text>',
            plot(22, 102, 355, 168, 3.5, 1.5),
            f'<text x="24" y="290" {FONT} font-size="11" fill="#cfe2f3">M-Schätzer &#183; L1 &#183; L2 &#183; Tschebycheff &#183; Lp-Normen</text>']
    return svg(399, 304, "\n".join(body))


def about():
    body = [GRADIENT, '<rect x="0" y="0" width="250" height="190" fill="url(#sky)"/>',
            f'<text x="12" y="34" {FONT} font-size="26" font-weight="bold" fill="#ffffff">Tolvar</text>',
            f'<text x="238" y="32" {FONT} font-size="11" fill="#ffffff" text-anchor="end">Version 2.0</text>',
            plot(12, 46, 226, 132, 2.6, 1.2)]
    return svg(250, 190, "\n".join(body))


if __name__ == "__main__":
    (HERE / "splash.svg").write_text(splash(), encoding="utf-8")
    (HERE / "about.svg").write_text(about(), encoding="utf-8")
