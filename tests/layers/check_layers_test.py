#!/usr/bin/env python3
"""Guards the layering check itself: each kind of fault it must catch, seeded in a scratch
tree, is caught; a sound tree passes."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_layers import check  # noqa: E402

CASES = [
    ("sound tree", {"core/platform/a.h": "#include <QString>\n", "gui/grid/g.cpp": '#include "platform/a.h"\n',
                    "cli/t.cpp": '#include "catalogue/c.h"\n', "core/catalogue/c.h": ""}, 0),
    ("upward include in core", {"core/platform/a.h": '#include "catalogue/c.h"\n', "core/catalogue/c.h": ""}, 1),
    ("core includes gui", {"core/report/r.h": '#include "common/w.h"\n', "gui/common/w.h": ""}, 1),
    ("widget header in core", {"core/catalogue/c.cpp": "#include <QLabel>\n"}, 1),
    ("circle in one layer", {"gui/lookup/l.h": '#include "fileops/f.h"\n', "gui/fileops/f.h": '#include "lookup/l.h"\n'}, 1),
    ("folder without a layer", {"core/misc/m.cpp": ""}, 1),
    ("cli on the widget side", {"cli/t.cpp": '#include "grid/g.h"\n', "gui/grid/g.h": ""}, 1),
]

failed = 0
for name, files, expected in CASES:
    with tempfile.TemporaryDirectory() as src:
        for path, text in files.items():
            os.makedirs(os.path.join(src, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(src, path), "w") as f:
                f.write(text)
        faults = check(src, sys.argv[1])
        if (len(faults) > 0) != (expected > 0):
            failed += 1
            print(f"FAIL {name}: {faults}")
print(f"{len(CASES) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
