#!/usr/bin/env python3
"""Fails when the layering of src/ rots: a folder including a header of a higher layer,
folders including each other in a circle, a folder nobody placed in a layer, or a core
folder including a Qt Widgets or Qt Print Support header.

Usage: check_layers.py SRC_DIR QT_INCLUDE_DIR"""
import os
import re
import sys

# Folder -> (layer, library). A folder may include its own layer or lower ones.
LAYERS = {
    "platform": (0, "core"),
    "catalogue": (1, "core"),
    "files": (2, "core"),
    "ui": (3, "gui"),
    "grid": (4, "gui"),
    "catalogue/ui": (5, "gui"),
    "lookup": (5, "gui"),
    "files/ui": (5, "gui"),
    "fileops": (5, "gui"),
    "app": (6, "gui"),
    "app/help": (6, "gui"),
    "cli": (7, "core"),
}
WIDGET_MODULES = ("QtWidgets", "QtPrintSupport")
INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^>"]+)[>"]', re.M)


def widget_headers(qt_include):
    names = set()
    for module in WIDGET_MODULES:
        folder = os.path.join(qt_include, module)
        if os.path.isdir(folder):
            names.update(os.listdir(folder))
            names.update(f"{module}/{f}" for f in os.listdir(folder))
        names.add(module)
    return names


def sources(src):
    for d, _, files in os.walk(src):
        for f in files:
            if f.endswith((".h", ".cpp")):
                path = os.path.join(d, f)
                yield os.path.relpath(d, src), os.path.relpath(path, src), open(path, errors="replace").read()


def check(src, qt_include):
    faults = []
    widgets = widget_headers(qt_include)
    edges = {}
    for folder, path, text in sources(src):
        if folder not in LAYERS:
            faults.append(f"{path}: folder '{folder}' has no layer")
            continue
        layer, library = LAYERS[folder]
        for kind, name in INCLUDE.findall(text):
            if kind == "<":
                if library == "core" and name in widgets:
                    faults.append(f"{path}: core code includes the widget header <{name}>")
                continue
            target = os.path.dirname(name)
            if target not in LAYERS or target == folder:
                continue
            edges.setdefault(folder, set()).add(target)
            if LAYERS[target][0] > layer:
                faults.append(f"{path}: includes {name}, a header of a higher layer")
            if library == "core" and LAYERS[target][1] != "core":
                faults.append(f"{path}: core code includes {name}, a widget-side header")
    faults += [f"folders include each other in a circle: {' -> '.join(c)}" for c in circles(edges)]
    return faults


def circles(edges):
    found, state = [], {}

    def visit(node, stack):
        state[node] = "open"
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == "open":
                found.append(stack[stack.index(nxt):] + [nxt])
            elif nxt not in state:
                visit(nxt, stack + [nxt])
        state[node] = "done"

    for node in sorted(edges):
        if node not in state:
            visit(node, [node])
    return found


if __name__ == "__main__":
    problems = check(sys.argv[1], sys.argv[2])
    for p in problems:
        print(p)
    print(f"{len(problems)} layering faults")
    sys.exit(1 if problems else 0)
