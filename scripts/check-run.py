#!/usr/bin/env python3
"""Checks what a shortened scripts/run.sh saw (build/run/run.txt and the
server's day, build/run/day.txt) and writes the findings as a JUnit file for
scripts/summary.py: the server came up, the client ran, signed in and sent
the demo user's activity, and the day holds each helper window's application
and document.

usage: check-run.py RUN_FOLDER RUN_EXIT_CODE JUNIT_FILE"""
import os
import sys
from xml.sax.saxutils import escape, quoteattr

def read(path):
    try:
        with open(path, encoding='utf-8', errors='replace') as f:
            return f.read()
    except OSError:
        return ''


def main():
    folder, exit_code, junit = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    lines = [line.split('=', 1) for line in read(os.path.join(folder, 'run.txt')).split('\n') if '=' in line]
    found = dict(lines)
    # The helper windows the run opened: "window=notepad.exe plan.txt".
    windows = [value.split(' ', 1) for name, value in lines if name == 'window']
    windows = [(program.lower().replace('.exe', ''), document) for program, document in windows]
    day = read(os.path.join(folder, 'day.txt'))
    rows = [line.split('\t') for line in day.split('\n')[2:] if line.count('\t') == 4]
    trace = read(os.path.join(folder, 'client-debug.log')).strip().split('\n')[-6:]
    why_not = 'the client\'s start-up trace ends: ' + ' / '.join(trace) if trace != [''] else 'no start-up trace'

    cases = []

    def case(name, ok, detail):
        cases.append((name, ok, detail))

    case('run.exit', exit_code == 0, 'scripts/run.sh exited with %d' % exit_code)
    case('run.server', found.get('server') == 'up', 'tcserver: %s' % found.get('server', 'never started'))
    case('run.registry', found.get('registry') == 'set', 'Wine registry: %s' % found.get('registry', 'not reached'))
    case('run.client', found.get('client') == 'running' and found.get('client_after_run') == 'running',
         'Ondrivex.exe: %s at the start, %s at the end' % (found.get('client', '-'), found.get('client_after_run', '-')))
    case('run.recorded', len(rows) > 0,
         '%d rows in the demo user\'s day; %s' % (len(rows), 'signed in and sent' if rows else why_not))
    case('run.windows', len(windows) >= 2, '%d helper windows opened' % len(windows))
    for program, document in windows:
        hit = any(program in (r[2] + ' ' + r[3]).lower() and document in r[3].lower() for r in rows)
        case('run.window.%s.%s' % (program, document), hit,
             '%s with %s %s in the day:\n%s' % (program, document, 'found' if hit else 'NOT found', day))

    with open(junit, 'w', encoding='utf-8') as f:
        failures = sum(1 for _, ok, _ in cases if not ok)
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<testsuite name="run" tests="%d" failures="%d">\n'
                % (len(cases), failures))
        for name, ok, detail in cases:
            f.write('<testcase name=%s classname="run" status=%s>' % (quoteattr(name), quoteattr('run' if ok else 'fail')))
            if not ok:
                f.write('<failure message=%s>%s</failure>' % (quoteattr(detail.split('\n')[0]), escape(detail)))
            f.write('<system-out>%s</system-out></testcase>\n' % escape(detail))
        f.write('</testsuite>\n')
    for name, ok, detail in cases:
        print('   %s %s: %s' % ('ok  ' if ok else 'FAIL', name, detail.split('\n')[0]))
    return 1 if any(not ok for _, ok, _ in cases) else 0


if __name__ == '__main__':
    sys.exit(main())
