"""The "mergeall" work with numpy: the primary joined with every secondary (predictors of interest
first, then confounds, one constant last), each result written as SDM text with its correlation
report beside it.   python3 peer_merge.py OUTDIR PRIMARY.sdm SECONDARY.sdm..."""

import os
import sys

import numpy as np

from sdm_text import read_sdm, write_report, write_sdm


def split(sdm):
    """Indices of the predictors of interest and of the confounds, without constant predictors."""
    first_confound = sdm.header[b"FirstConfoundPredictor:"][1] - 1
    v = sdm.values
    constant = (v == v[0:1, :]).all(axis=0) & (v[0, :] != 0)
    interest = [p for p in range(v.shape[1]) if p < first_confound and not constant[p]]
    confounds = [p for p in range(v.shape[1]) if p >= first_confound and not constant[p]]
    return interest, confounds


out_dir, primary_path, secondary_paths = sys.argv[1], sys.argv[2], sys.argv[3:]
secondaries = [read_sdm(p) for p in secondary_paths]
primary = read_sdm(primary_path)
p_interest, p_confounds = split(primary)
stem = os.path.splitext(os.path.basename(primary_path))[0]
for path, sec in zip(secondary_paths, secondaries):
    s_interest, s_confounds = split(sec)
    parts = [(primary, p_interest), (sec, s_interest), (primary, p_confounds), (sec, s_confounds)]
    merged = type(primary)()
    merged.header = dict(primary.header)
    merged.values = np.concatenate([m.values[:, idx] for m, idx in parts]
                                   + [np.ones((primary.values.shape[0], 1), np.float32)], axis=1)
    merged.names = [m.names[p] for m, idx in parts for p in idx] + [b"Constant"]
    merged.colours = [m.colours[p] for m, idx in parts for p in idx] + [(255, 255, 255)]
    width = lambda key: merged.header.get(key, (len(key) + 1, 0))[0]
    merged.header[b"NrOfPredictors:"] = (width(b"NrOfPredictors:"), merged.values.shape[1])
    merged.header[b"IncludesConstant:"] = (width(b"IncludesConstant:"), 1)
    merged.header[b"FirstConfoundPredictor:"] = (width(b"FirstConfoundPredictor:"),
                                                 len(p_interest) + len(s_interest) + 1)
    name = stem + "_" + os.path.splitext(os.path.basename(path))[0]
    write_sdm(os.path.join(out_dir, name + ".sdm"), merged)
    write_report(os.path.join(out_dir, name + ".csv"), merged.names, merged.values)
