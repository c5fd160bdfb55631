#!/usr/bin/python3
"""Reference timings for interp_bench: the same ring layouts, surface and
41 x 41 grid, fitted with scipy's thin-plate RBF interpolator (degree 1) on
normalised coordinates. Debian: apt-get install python3-scipy.

Usage: bench/scipy_tps_anchor.py [rings ...]   (default: 4 6 8 10 18 26)
"""
import sys
import time

import numpy as np
from scipy.interpolate import RBFInterpolator


def ring_samples(rings):
    xs, ys = [], []
    for k in range(rings, 0, -1):
        magnitude = 0.95 * k / rings
        for j in range(6 * k):
            angle = np.deg2rad(j * 360.0 / (6 * k))
            xs.append(magnitude * np.cos(angle))
            ys.append(magnitude * np.sin(angle))
    xs.append(0.0)
    ys.append(0.0)
    x, y = np.array(xs), np.array(ys)
    z = np.sin(3.0 * x) * np.cos(2.0 * y) + 0.5 * x * y + np.exp(x)
    return x, y, z


def main():
    rings_list = [int(a) for a in sys.argv[1:]] or [4, 6, 8, 10, 18, 26]
    q = -1.0 + 0.05 * np.arange(41)
    gx, gy = np.meshgrid(q, q, indexing="ij")
    print("%6s %12s %12s %14s %14s" % ("n", "fit_ms", "eval_ms", "fit+eval_ms", "worst_rel_err"))
    for rings in rings_list:
        x, y, z = ring_samples(rings)
        x0, xs = x.min(), 1.0 / (x.max() - x.min())
        y0, ys = y.min(), 1.0 / (y.max() - y.min())
        nodes = np.column_stack([(x - x0) * xs, (y - y0) * ys])
        grid = np.column_stack([(gx.ravel() - x0) * xs, (gy.ravel() - y0) * ys])
        reps = 20 if len(x) < 500 else 2
        best_fit = best_eval = best_total = float("inf")
        for _ in range(reps):
            t0 = time.perf_counter()
            spline = RBFInterpolator(nodes, z, kernel="thin_plate_spline", degree=1)
            t1 = time.perf_counter()
            spline(grid)
            t2 = time.perf_counter()
            best_fit = min(best_fit, t1 - t0)
            best_eval = min(best_eval, t2 - t1)
            best_total = min(best_total, t2 - t0)
        worst = np.max(np.abs(spline(nodes) - z)) / np.max(np.abs(z))
        print("%6d %12.3f %12.3f %14.3f %14.3g" % (len(x), best_fit * 1e3, best_eval * 1e3, best_total * 1e3, worst))


if __name__ == "__main__":
    main()
