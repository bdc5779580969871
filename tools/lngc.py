#!/usr/bin/env python3
"""Turns a readable language source (UTF-8, LF) into the UTF-16LE, CR LF file the programs read.

Source lines: blank, "# comment", or "<hex id>=<escaped text>". The build fails on anything
else, on a repeated id, on an unknown escape, on a bare comma (commas must be written \\c so the
same text can travel in a reminder file), and, given --reference, on ids that differ from it,
on printf fields that differ from it (a translation that drops a %s would crash the format call)
and on texts still exactly as the reference has them, which are English left in by accident
unless the allow-list beside the reference (same-as-English.lst) names them for the language.
"""
import argparse
import os
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


ESCAPE = re.compile(r'\\.')


def has_words(text):
    """Whether anything of a text is language: a date format or a lone colon is the same everywhere."""
    bare = ESCAPE.sub(' ', FIELD.sub(' ', text))
    return any(c.isalpha() for c in bare)


def read_allowed(path):
    """The allow-list: {language: set of texts}, '*' for texts every language may keep; and errors.

    One text a line as the language files write it; "[Language]" (a language file's name) starts the
    texts of that language, "[*]" those of every language; blank lines and "# comments" are skipped.
    """
    allowed = {}
    errors = []
    if not os.path.exists(path):
        return allowed, errors
    section = None
    with open(path, encoding='utf-8') as f:
        for no, raw in enumerate(f, 1):
            line = raw.rstrip('\n')
            if not line.strip() or line.startswith('#'):
                continue
            if line.startswith('[') and line.endswith(']'):
                section = line[1:-1]
                allowed.setdefault(section, set())
                continue
            if section is None:
                errors.append(f'{path}:{no}: text before the first [Language] heading')
                continue
            allowed[section].add(line)
    return allowed, errors


def same_as_reference(path, entries, ref, ref_path, allowed_path):
    """Errors for texts the translation kept exactly as the reference has them and may not."""
    language = os.path.splitext(os.path.basename(path))[0]
    allowed, errors = read_allowed(allowed_path)
    keep = allowed.get('*', set()) | allowed.get(language, set())
    same = [i for i in sorted(set(ref) & set(entries))
            if entries[i] == ref[i] and has_words(ref[i]) and ref[i] not in keep]
    for ident in same:
        errors.append(f'{path}: id {ident:x} is still as in {os.path.basename(ref_path)}: {ref[ident]}')
    if same:
        errors.append(f'{path}: translate these, or list the ones that really are the same in {language} '
                      f'under [{language}] in {allowed_path}')
    return errors


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--reference')
    ap.add_argument('--allowed', help='texts that may stay as in the reference '
                    '(default: same-as-English.lst beside the reference)')
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
        allowed = args.allowed or os.path.join(os.path.dirname(args.reference), 'same-as-English.lst')
        errors += same_as_reference(args.source, entries, ref, args.reference, allowed)
    if errors:
        print('\n'.join(errors), file=sys.stderr)
        return 1

    body = ''.join(f'{i:x}={t}\r\n' for i, t in sorted(entries.items()))
    with open(args.output, 'wb') as f:
        f.write(body.encode('utf-16-le'))
    return 0


if __name__ == '__main__':
    sys.exit(main())
