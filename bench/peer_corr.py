"""The correlation report with numpy: reads an SDM, writes the absolute correlation matrix in the
report's layout.   python3 peer_corr.py IN.sdm OUT.csv"""

import sys

from sdm_text import read_sdm, write_report

sdm = read_sdm(sys.argv[1])
write_report(sys.argv[2], sdm.names, sdm.values)
