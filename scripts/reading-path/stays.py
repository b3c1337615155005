#!/usr/bin/env python3
"""The source files one read of a picture passes through.

Usage: stays.py PROGRAM TRACE SOURCE-ROOT

Follows, in TRACE (written by tracer.c), the thread that calls readPicture
from its entry to its return; takes the product's functions defined in .cpp
files under SOURCE-ROOT, each at its first call only (a loop over rows is
one way through the code), in the order they are called; folds calls in a
row in one file into one stay; leaves out the constructors and destructors
the compiler makes, which have no code to follow. Prints the stays, then
how many times the read returns to a file it has already left: stays less
files."""
import collections
import subprocess
import sys


def functions_and_files(program, addresses):
    lines = subprocess.run(['addr2line', '-f', '-C', '-e', program] + ['0x' + a for a in addresses],
                           capture_output=True, text=True, check=True).stdout.split('\n')
    return {a: (lines[2 * i], lines[2 * i + 1]) for i, a in enumerate(addresses)}


def is_written(function, place):
    """Whether a constructor or destructor is written in its source, not made
    by the compiler: its line names it. Other functions always are."""
    path = function.replace('(anonymous namespace)::', '').split('(')[0].split('::')
    name = path[-1]
    if not name.startswith('~') and name not in path[-2:-1]:
        return True
    source, _, line = place.partition(':')
    try:
        with open(source) as f:
            text = f.read().split('\n')[int(line.split()[0]) - 1]
    except (OSError, ValueError, IndexError):
        return True
    return name in text


def calls_of_one_read(events, where, root):
    thread = depth = None
    for event in events:
        kind, level = event[0], int(event[1])
        if thread is not None and event[3] != thread:
            continue
        if kind == 'X':
            if depth is not None and level == depth:
                return
            continue
        function, place = where[event[2]]
        source = place.split(':')[0]
        if depth is None and function.startswith('readPicture('):
            depth, thread = level, event[3]
        if depth is not None and source.startswith(root) and source.endswith('.cpp') \
                and not source[len(root):].startswith('build') and is_written(function, place):
            yield source[len(root):], function


def main():
    program, trace, root = sys.argv[1], sys.argv[2], sys.argv[3].rstrip('/') + '/'
    with open(trace) as f:
        events = [line.split() for line in f]
    where = functions_and_files(program, sorted({e[2] for e in events if e[0] == 'E'}))
    seen = set()
    stays = []
    for source, function in calls_of_one_read(events, where, root):
        if function in seen:
            continue
        seen.add(function)
        if not stays or stays[-1][0] != source:
            stays.append((source, function))
    for source, function in stays:
        print(f'  {source}  ({function[:70]})')
    files = collections.Counter(source for source, _ in stays)
    print(f'stays {len(stays)}, files {len(files)}, returns to a file already left {len(stays) - len(files)}')


main()
