"""Reading and writing SDM text and the correlation report with numpy, the way a researcher
would script it without the plug-in. Shared by peer_corr.py and peer_merge.py."""

import re

import numpy as np

HEADER_KEYS = (b"FileVersion:", b"NrOfPredictors:", b"NrOfDataPoints:", b"IncludesConstant:",
               b"FirstConfoundPredictor:")


class Sdm:
    def __init__(self):
        self.header = {}   # key -> (width from key to value, value)
        self.colours = []  # (r, g, b) per predictor
        self.names = []    # bytes per predictor
        self.values = None # float32 array, data points x predictors


def read_sdm(path):
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    sdm = Sdm()
    i = 0
    while True:
        line = lines[i].rstrip(b"\r")
        i += 1
        m = re.match(rb"(\S+:)([ \t]*)(-?\d+)", line)
        if m and m.group(1) in HEADER_KEYS:
            sdm.header[m.group(1)] = (len(m.group(1)) + len(m.group(2)), int(m.group(3)))
            if m.group(1) == b"FirstConfoundPredictor:":
                break
    while not lines[i].strip():
        i += 1
    numbers = [int(x) for x in lines[i].split()]
    sdm.colours = [tuple(numbers[p:p + 3]) for p in range(0, len(numbers), 3)]
    sdm.names = re.findall(rb'"([^"]*)"', lines[i + 1])
    points = sdm.header[b"NrOfDataPoints:"][1]
    sdm.values = np.loadtxt(lines[i + 2:i + 2 + points], dtype=np.float32, ndmin=2)
    return sdm


def read_head(path):
    """The header, colours and names of an SDM, read line by line; returns the Sdm (values None)
    and the number of lines before the first data line, for a reader of the data lines alone."""
    sdm = Sdm()
    count = 0
    with open(path, "rb") as f:
        for line in f:
            count += 1
            m = re.match(rb"(\S+:)([ \t]*)(-?\d+)", line.rstrip(b"\r\n"))
            if m and m.group(1) in HEADER_KEYS:
                sdm.header[m.group(1)] = (len(m.group(1)) + len(m.group(2)), int(m.group(3)))
                if m.group(1) == b"FirstConfoundPredictor:":
                    break
        line = next(f)
        count += 1
        while not line.strip():
            line = next(f)
            count += 1
        numbers = [int(x) for x in line.split()]
        sdm.colours = [tuple(numbers[p:p + 3]) for p in range(0, len(numbers), 3)]
        sdm.names = re.findall(rb'"([^"]*)"', next(f))
        count += 1
    return sdm, count


def write_sdm(path, sdm):
    out = []
    for key in HEADER_KEYS:
        if key in sdm.header:
            width, value = sdm.header[key]
            out.append(key.ljust(width) + b"%d\r\n" % value)
            if key in (b"FileVersion:", b"FirstConfoundPredictor:"):
                out.append(b"\r\n")
    out.append(b"   ".join(b"%d %d %d" % c for c in sdm.colours) + b"\r\n")
    out.append(b" ".join(b'"' + n + b'"' for n in sdm.names) + b"\r\n")
    # "% .6f" puts a blank where a non-negative value has no sign, as the SDM layout wants.
    row = " " + "  ".join(["% .6f"] * sdm.values.shape[1]) + "\r\n"
    text = "".join(row % tuple(r) for r in sdm.values.astype(np.float64).tolist())
    with open(path, "wb") as f:
        f.write(b"".join(out))
        f.write(text.encode("ascii"))


def write_report(path, names, values):
    """Absolute correlations of every pair, a predictor with a standard deviation below 1e-4
    correlating 0 with everything, as " ; "-separated text with two decimals and CRLF."""
    with np.errstate(divide="ignore", invalid="ignore"):
        r = np.abs(np.corrcoef(values, rowvar=False))
    write_correlations(path, names, r, values.std(axis=0, ddof=1) < 1e-4)


def write_correlations(path, names, r, flat):
    """The report of the absolute correlations r, the predictors marked in flat zeroed."""
    r[flat, :] = 0.0
    r[:, flat] = 0.0
    row = " ; ".join(["%.2f"] * len(names)) + "\r\n"
    with open(path, "wb") as f:
        f.write(b"".join(b" ; " + n for n in names) + b"\r\n")
        for name, cells in zip(names, r.tolist()):
            f.write(name + b" ; " + (row % tuple(cells)).encode("ascii"))
