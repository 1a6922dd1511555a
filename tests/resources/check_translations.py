#!/usr/bin/env python3
"""Fails while a translation falls behind the sources: lupdate, run over them into a copy of each .ts, finds a text
that is untranslated or a translation left over; or a translated text is pieced together with '+', which a translator
cannot reorder (a whole message with %1 arguments can be).
Usage: check_translations.py LUPDATE SRC_DIR TS_FILE..."""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

TRANSLATED = r'(?:\btr|QCoreApplication::translate)\('
# A translated call followed by '+', or '+' followed by one: the call's closing parenthesis is found by balance.
PLUS_BEFORE = re.compile(r'\+\s*' + TRANSLATED)


def calls_followed_by_plus(text):
    for match in re.finditer(TRANSLATED, text):
        depth, i, quoted = 1, match.end(), False
        while i < len(text) and depth:
            c = text[i]
            if quoted:
                if c == '\\':
                    i += 1
                elif c == '"':
                    quoted = False
            elif c == '"':
                quoted = True
            elif c in '([{':
                depth += 1
            elif c in ')]}':
                depth -= 1
            i += 1
        if re.match(r'\s*\+', text[i:]):
            yield match.start()


def main():
    lupdate, src, ts_files = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3:]
    sources = sorted(str(p) for p in src.rglob('*') if p.suffix in ('.cpp', '.h'))
    problems = []
    with tempfile.TemporaryDirectory() as work:
        for ts in ts_files:
            copy = pathlib.Path(work) / pathlib.Path(ts).name
            shutil.copy(ts, copy)
            run = subprocess.run([lupdate, '-silent', '-locations', 'none', '-I', str(src), *sources, '-ts',
                                  str(copy)], capture_output=True, text=True)
            if run.returncode != 0:
                problems.append(f'{ts}: lupdate failed: {run.stderr.strip()}')
                continue
            for context in ElementTree.parse(copy).getroot().iter('context'):
                name = context.findtext('name')
                for message in context.iter('message'):
                    kind = message.find('translation').get('type')
                    if kind:
                        problems.append(f'{ts}: {name}: "{message.findtext("source")}" is {kind}')
    for path in sources:
        text = pathlib.Path(path).read_text(encoding='utf-8')
        starts = {m.start() for m in PLUS_BEFORE.finditer(text)} | set(calls_followed_by_plus(text))
        for start in sorted(starts):
            line = text.count('\n', 0, start) + 1
            problems.append(f'{path}:{line}: a translated text pieced together with "+"; use one message with %1')
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
