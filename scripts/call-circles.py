#!/usr/bin/env python3
"""Finds circles of calls between the product's files.

    scripts/call-circles.py [--known FILE] BUILD_FOLDER

BUILD_FOLDER is a build of Tervana that compiles every file alone
(-DCMAKE_UNITY_BUILD=OFF): in a unity build one object holds eight files,
and the calls between them are no longer seen. Each product file's object
says, through nm, the symbols it defines and those it uses from elsewhere;
a file calls the file that defines what it uses. A header and its .cpp are
one file. Every strongly connected set of more than one file is printed
with the calls that tie it, and the script exits with 1 when there is any,
0 when the calls between files all point one way, 2 when it cannot tell.

With --known, the circles FILE lists (one a line, its files separated by
spaces; # begins a comment) are said but do not fail; one the file lists
that is no longer found fails, so that the list only ever shrinks. A
circle is known only with exactly the files listed.

Only strong definitions name a symbol's file: an inline function or a
template is compiled into every file that uses it (a weak definition), so
its use ties no two files together.
"""

import concurrent.futures
import os
import re
import subprocess
import sys

PRODUCT_FOLDERS = ("app", "artwork", "convert", "files", "formats", "icon", "picture", "platform", "resample",
                   "svgrender", "window")

# "0000000000000000 T name" for a definition, "                 U name" for a use.
SYMBOL_LINE = re.compile(r"^(?:[0-9a-fA-F]+)?\s+([A-Za-z])\s+(.+)$")
# Strong global definitions: code, data, read-only data, zeroed data.
STRONG = set("TDBRG")


def product_objects(build):
    """(file, object path) for every object compiled from a product file."""
    objects = []
    for folder in PRODUCT_FOLDERS:
        top = os.path.join(build, folder, "CMakeFiles")
        if not os.path.isdir(top):
            continue
        for target in sorted(os.listdir(top)):
            if not target.endswith(".dir"):
                continue
            base = os.path.join(top, target)
            for root, dirs, names in os.walk(base):
                dirs.sort()
                for name in sorted(names):
                    if not name.endswith(".o"):
                        continue
                    path = os.path.join(root, name)
                    inside = os.path.relpath(path, base)
                    if "_autogen" in inside or inside.startswith("Unity" + os.sep):
                        if inside.startswith("Unity" + os.sep):
                            raise SystemExit(f"{path}: a unity build's object; configure the build folder with "
                                             "-DCMAKE_UNITY_BUILD=OFF")
                        continue
                    source = inside[:-len(".o")]
                    stem, ending = os.path.splitext(source)
                    if ending not in (".cpp", ".cc", ".cxx", ".c"):
                        continue
                    objects.append((folder + "/" + stem.replace(os.sep, "/"), path))
    return objects


def symbols(path):
    """The (type, name) pairs nm lists for the object, "U" for those it
    uses from elsewhere."""
    run = subprocess.run(["nm", "-C", path], capture_output=True, text=True, check=False)
    if run.returncode != 0:
        raise SystemExit(f"nm {path} failed: {run.stderr.strip()}")
    found = []
    for line in run.stdout.splitlines():
        match = SYMBOL_LINE.match(line)
        if match:
            found.append((match.group(1), match.group(2)))
    return found


def circles(graph):
    """The strongly connected sets of more than one node (Tarjan's
    algorithm, walked without recursion), each sorted, in sorted order."""
    index = {}
    low = {}
    on_stack = set()
    stack = []
    found = []
    counter = 0
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, successors = work[-1]
            advanced = False
            for successor in successors:
                if successor not in index:
                    index[successor] = low[successor] = counter
                    counter += 1
                    stack.append(successor)
                    on_stack.add(successor)
                    work.append((successor, iter(sorted(graph.get(successor, ())))))
                    advanced = True
                    break
                if successor in on_stack:
                    low[node] = min(low[node], index[successor])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return sorted(found)


def known_circles(path):
    """The circles the file lists, each a sorted list of files."""
    circles_listed = []
    with open(path, encoding="utf-8") as handle:
        for line in handle:
            files = line.split("#", 1)[0].split()
            if files:
                circles_listed.append(sorted(files))
    return circles_listed


def main():
    arguments = sys.argv[1:]
    known = []
    if len(arguments) == 3 and arguments[0] == "--known":
        known = known_circles(arguments[1])
        arguments = arguments[2:]
    if len(arguments) != 1:
        print("usage: " + __doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    build = arguments[0]
    objects = product_objects(build)
    if not objects:
        print(f"{build}: no objects of the product's files; build it first", file=sys.stderr)
        return 2

    defined_in = {}
    uses = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        listed = list(pool.map(symbols, [path for _, path in objects]))
    for (file, _), found in zip(objects, listed):
        uses.setdefault(file, set())
        for kind, name in found:
            if kind == "U":
                uses[file].add(name)
            elif kind in STRONG:
                defined_in.setdefault(name, set()).add(file)

    # file -> {file it calls: [symbols it uses there]}
    calls = {}
    for file, names in uses.items():
        calls.setdefault(file, {})
        for name in names:
            owners = defined_in.get(name, set())
            # A name several files define (each program's main) ties none.
            if len(owners) == 1:
                owner = next(iter(owners))
                if owner != file:
                    calls[file].setdefault(owner, []).append(name)

    graph = {file: set(callees) for file, callees in calls.items()}
    found = circles(graph)
    failed = False
    for component in found:
        members = set(component)
        if component in known:
            print(f"known circle of {len(component)} files: {' '.join(component)}")
        else:
            failed = True
            print(f"circle of {len(component)} files: {' '.join(component)}")
        for file in component:
            for callee in sorted(set(calls[file]) & members):
                names = sorted(calls[file][callee])
                shown = "; ".join(names[:3]) + (f"; and {len(names) - 3} more" if len(names) > 3 else "")
                print(f"  {file} -> {callee}: {shown}")
    for component in known:
        if component not in found:
            failed = True
            print(f"the known circle {' '.join(component)} is no longer found: take it out of the list")
    if failed:
        return 1
    print(f"no new circle of calls among {len(graph)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
