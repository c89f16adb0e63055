"""The correlation report with pandas: the data lines read by read_csv (its C engine), the
correlations by DataFrame.corr, the report in the same layout.
python3 peer_corr_pandas.py IN.sdm OUT.csv"""

import sys

import numpy as np
import pandas as pd

from sdm_text import read_head, write_correlations

sdm, head_lines = read_head(sys.argv[1])
points = sdm.header[b"NrOfDataPoints:"][1]
frame = pd.read_csv(sys.argv[1], engine="c", sep=r"\s+", header=None, skiprows=head_lines,
                    nrows=points, dtype=np.float32)
r = frame.corr().abs().to_numpy()
write_correlations(sys.argv[2], sdm.names, r, (frame.std(ddof=1) < 1e-4).to_numpy())
