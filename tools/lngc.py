#!/usr/bin/env python3
"""Turns a readable language source (UTF-8, LF) into the UTF-16LE, CR LF file the programs read.

Source lines: blank, "# comment", or "<hex id>=<escaped text>". The build fails on anything
else, on a repeated id, on an unknown escape, on a bare comma (commas must be written \\c so the
same text can travel in a reminder file), and, given --reference, on ids that differ from it or
printf fields that differ from it: a translation that drops a %s would crash the format call.
"""
import argparse
import re
import sys

ENTRY = re.compile(r'^([0-9a-f]{1,4})=(.*)$')
ESCAPES = set('\\tnrc0')
FIELD = re.compile(r'%[-+ #0]*[0-9]*(?:\.[0-9]+)?(?:ls|hs|l|h|I64)?[a-zA-Z%]')


def parse(path):
    entries = {}
    errors = []
    with open(path, encoding='utf-8') as f:
        for no, raw in enumerate(f, 1):
            line = raw.rstrip('\n')
            if line.endswith('\r'):
                errors.append(f'{path}:{no}: carriage return in source')
                continue
            if not line.strip() or line.startswith('#'):
                continue
            m = ENTRY.match(line)
            if not m:
                errors.append(f'{path}:{no}: not "<hex id>=<text>": {line[:60]!r}')
                continue
            ident, text = int(m.group(1), 16), m.group(2)
            if ident in entries:
                errors.append(f'{path}:{no}: id {ident:x} repeated')
                continue
            if text == '':
                errors.append(f'{path}:{no}: id {ident:x} has no text (write a single space for empty)')
            i = 0
            while i < len(text):
                if text[i] == '\\':
                    if i + 1 >= len(text) or text[i + 1] not in ESCAPES:
                        errors.append(f'{path}:{no}: bad escape in id {ident:x}')
                        break
                    i += 2
                    continue
                if text[i] == ',':
                    errors.append(f'{path}:{no}: bare comma in id {ident:x} (write \\c)')
                    break
                i += 1
            entries[ident] = text
    return entries, errors


def fields(text):
    return [f for f in FIELD.findall(text) if f != '%%']


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--reference')
    ap.add_argument('source')
    ap.add_argument('output')
    args = ap.parse_args()

    entries, errors = parse(args.source)
    if args.reference and args.reference != args.source:
        ref, ref_errors = parse(args.reference)
        errors += ref_errors
        missing = sorted(set(ref) - set(entries))
        extra = sorted(set(entries) - set(ref))
        if missing:
            errors.append(f'{args.source}: missing ids: ' + ' '.join(f'{i:x}' for i in missing))
        if extra:
            errors.append(f'{args.source}: ids not in the reference: ' + ' '.join(f'{i:x}' for i in extra))
        for ident in sorted(set(ref) & set(entries)):
            if fields(ref[ident]) != fields(entries[ident]):
                errors.append(f'{args.source}: id {ident:x} has fields {fields(entries[ident])}, '
                              f'reference has {fields(ref[ident])}')
    if errors:
        print('\n'.join(errors), file=sys.stderr)
        return 1

    body = ''.join(f'{i:x}={t}\r\n' for i, t in sorted(entries.items()))
    with open(args.output, 'wb') as f:
        f.write(body.encode('utf-16-le'))
    return 0


if __name__ == '__main__':
    sys.exit(main())
