#!/usr/bin/env python3
"""Reads ThreadSanitizer logs and fails on every finding in Kestrow's own code.

Debian's Qt, GLib and SQLite are not built with the sanitizer, so it cannot see their atomics or most of their
locking, and reports races inside them that are none. A finding is left out only when it lies inside those libraries:
  - every racing access's first frame (below the sanitizer's own interceptors) is in one of the system's libraries;
  - or it is about memory that Qt's own code (in the library or inline from its headers) allocates or frees: Qt's
    reference counts decide when, and their atomics live in the library;
  - or it is a lock-order inversion whose every lock is taken inside those libraries (libdbus takes its own two
    connection locks in both orders as a connection closes).
Usage: tsan-triage.py LOG...   Exit status 1 when any finding is left.
"""
import re
import sys

LIBRARY = re.compile(r'\(lib(Qt6\w+|glib-2\.0|gio-2\.0|gobject-2\.0|gthread-2\.0|sqlite3|stdc\+\+|c|m|crypto|ssl|'
                     r'pulse\w*|dbus-1|xkbcommon|fontconfig|freetype|harfbuzz|z|icu\w*)\.so[\w.]*\+0x')
SANITIZER = re.compile(r'\(libtsan\.so|/libsanitizer/')
ROUTINE = re.compile(r'\s*(WARNING|SUMMARY): ThreadSanitizer|ThreadSanitizer: reported \d+ warnings')
FRAME = re.compile(r'^\s+#\d+ ')
MUTEX = re.compile(r'\n  (?=Mutex \S+ (?:previously )?acquired)')
ACCESS = re.compile(r'\n  (?=(?:Previous )?(?:atomic )?(?:[Ww]rite|[Rr]ead) of size)')
QT_HEADER = re.compile(r'/usr/include/\S*/qt6/')
MEMORY = re.compile(r'#0 (operator new|operator delete|malloc|calloc|realloc|free|posix_memalign)\b')


def own_frames(block):
    lines = block.split('\n')
    frames = []
    for line in lines[1:]:
        if not FRAME.match(line):
            break
        frames.append(line)
    return frames


def locks_inside_libraries(report):
    takes = MUTEX.split(report)[1:]
    tops = []
    for take in takes:
        rest = [f for f in own_frames(take) if not SANITIZER.search(f)]
        tops.append(rest[0] if rest else '')
    return bool(takes) and all(LIBRARY.search(top) for top in tops)


def inside_libraries(report):
    if 'lock-order-inversion' in report:
        return locks_inside_libraries(report)
    accesses = ACCESS.split(report)[1:]
    if not accesses:
        return False
    tops = []
    for access in accesses:
        frames = own_frames(access)
        memory = bool(frames) and bool(MEMORY.search(frames[0]))
        rest = [f for f in frames if not SANITIZER.search(f)]
        tops.append((rest[0] if rest else '', memory))
    if any(memory and (LIBRARY.search(top) or QT_HEADER.search(top)) for top, memory in tops):
        return True
    return all(top == '' or LIBRARY.search(top) for top, _ in tops)


def main(paths):
    left = 0
    ignored = 0
    for path in paths:
        with open(path, errors='replace') as log:
            text = log.read()
        # The sanitizer giving up (a failed check, an unsupported fork) is a failure of its own, even when the process
        # it killed exited with the status the suite treats as a pass.
        for line in text.splitlines():
            if 'ThreadSanitizer' in line and not ROUTINE.match(line):
                left += 1
                print(f'{path}: {line}')
        for report in text.split('==================\n'):
            if 'WARNING: ThreadSanitizer' not in report:
                continue
            if inside_libraries(report):
                ignored += 1
                continue
            left += 1
            print(f'{path}:\n{report}')
    print(f'ThreadSanitizer: {left} finding(s) in our code, {ignored} inside uninstrumented libraries left out')
    return 1 if left else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
