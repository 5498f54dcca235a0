#!/usr/bin/env python3
"""Fails when the layering of src/ rots: core including gui, a folder including a header of a
higher layer of its library, folders including each other in a circle, a folder nobody placed
in a layer, or core code including a Qt Widgets or Qt Print Support header.

The first level of src/ is the library (core, gui) or program (cli); below it, one folder per
subsystem, listed here bottom up. Includes name a folder of core or gui ("catalogue/x.h").

Usage: check_layers.py SRC_DIR QT_INCLUDE_DIR"""
import os
import re
import sys

ORDER = {
    "core": ["platform", "catalogue", "catalogfile", ("report", "duplicates", "library"), "findindex"],
    "gui": ["common", "grid", ("display", "lookup", "saveopen", "printing", "fileops", "help"), "app"],
}
# What each side may include: trv stands on the core alone.
ALLOWED = {"core": {"core"}, "gui": {"core", "gui"}, "cli": {"core", "cli"}}
WIDGET_MODULES = ("QtWidgets", "QtPrintSupport")
INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^>"]+)[>"]', re.M)


def layers():
    out = {"cli": ("cli", 0)}
    for lib, order in ORDER.items():
        for rank, entry in enumerate(order):
            for folder in entry if isinstance(entry, tuple) else (entry,):
                out[f"{lib}/{folder}"] = (lib, rank)
    return out


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


def owner(name, known):
    """The folder ("core/catalogue") whose header an include names, or None."""
    top = os.path.dirname(name)
    for lib in ("core", "gui"):
        if f"{lib}/{top}" in known:
            return f"{lib}/{top}"
    return "cli" if top == "cli" else None


def fault_of(folder, target, name, known):
    lib, rank = known[folder]
    tlib, trank = known[target]
    if tlib not in ALLOWED[lib]:
        return f"includes {name}, a header of the {tlib} side"
    if tlib == lib and trank > rank:
        return f"includes {name}, a header of a higher layer"
    return None


def check(src, qt_include):
    faults, edges, known = [], {}, layers()
    widgets = widget_headers(qt_include)
    for folder, path, text in sources(src):
        if folder not in known:
            faults.append(f"{path}: folder '{folder}' has no layer")
            continue
        for kind, name in INCLUDE.findall(text):
            if kind == "<":
                if known[folder][0] != "gui" and name in widgets:
                    faults.append(f"{path}: code outside gui includes the widget header <{name}>")
                continue
            target = owner(name, known)
            if target is None or target == folder:
                continue
            edges.setdefault(folder, set()).add(target)
            fault = fault_of(folder, target, name, known)
            if fault:
                faults.append(f"{path}: {fault}")
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
