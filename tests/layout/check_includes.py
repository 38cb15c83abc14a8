#!/usr/bin/env python3
"""Fails when a library includes a header of a library above it.

The folders form layers; each may include headers of its own layer's
Qt-free neighbours only where listed, and of lower layers. Window folders
(compose, send, faxview, docimport/qt) meet only through widgets, except
that the fax editor's folder may use docimport/qt.
"""
import os
import re
import sys

LAYERS = [
    ["platform"],
    ["xbase", "serial", "faximage"],
    ["faxengine", "docimport", "core", "spell", "faxexport", "printinbox"],
    ["richtext"],  # draws pictures with the document reader's halftone
    ["archive"],  # reads fax pages and exports them for forwarding
    ["widgets"],
    ["compose", "send", "faxview", "docimport/qt"],
    ["app"],
    ["sim"],
    ["sipline", "tools"],  # the SIP modem reuses the simulator's AT front end
]
# Same-layer uses that the design allows: the fax editor inserts document
# pages through the importer's window parts.
ALLOWED_SIDEWAYS = {("compose", "docimport/qt")}
RANK = {folder: i for i, layer in enumerate(LAYERS) for folder in layer}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    """The layer folder a repository path belongs to, or None."""
    parts = path.split("/")
    if len(parts) >= 2 and "/".join(parts[:2]) in RANK:
        return "/".join(parts[:2])
    return parts[0] if parts[0] in RANK else None


def main(root):
    problems = []
    for folder in RANK:
        base = os.path.join(root, folder)
        for dirpath, _, files in os.walk(base):
            for name in files:
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.relpath(os.path.join(dirpath, name), root)
                own = folder_of(path)
                if own != folder:
                    continue  # a sub-folder that is a layer of its own
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = folder_of(m.group(1))
                        if target is None or target == own:
                            continue
                        if RANK[target] < RANK[own]:
                            continue
                        if (own, target) in ALLOWED_SIDEWAYS:
                            continue
                        problems.append(f"{path}:{number}: {own} includes {m.group(1)} "
                                        f"({target} is {'above' if RANK[target] > RANK[own] else 'beside'} it)")
    for p in problems:
        print(p)
    print(f"{len(problems)} include(s) against the layers")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
