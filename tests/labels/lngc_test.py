#!/usr/bin/env python3
"""The language compiler's refusal of English left in a translation, with its allow-list."""
import os
import subprocess
import sys
import tempfile
import unittest

LNGC = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'lngc.py')

ENGLISH = '''\
a00=Tolva
a20=OK
225=%02d/%02d/%d %02d:%02d
226=:\\n
202=Updates
a51=Firewall
2b3=&Help
230=Tolva Files\\c OK
'''


def compile_language(folder, name, text, allowed=None):
    with open(os.path.join(folder, 'English.txt'), 'w', encoding='utf-8') as f:
        f.write(ENGLISH)
    with open(os.path.join(folder, name + '.txt'), 'w', encoding='utf-8') as f:
        f.write(text)
    if allowed is not None:
        with open(os.path.join(folder, 'same-as-English.lst'), 'w', encoding='utf-8') as f:
            f.write(allowed)
    out = os.path.join(folder, name + '.lng')
    run = subprocess.run([sys.executable, LNGC, '--reference', os.path.join(folder, 'English.txt'),
                          os.path.join(folder, name + '.txt'), out], capture_output=True, text=True)
    return run.returncode, run.stderr, os.path.exists(out)


def translated(changes):
    lines = []
    for line in ENGLISH.splitlines():
        ident = line.split('=', 1)[0]
        lines.append(f'{ident}={changes[ident]}' if ident in changes else line)
    return '\n'.join(lines) + '\n'


class SameAsEnglish(unittest.TestCase):
    def test_cases(self):
        done = {'a00': 'Tolva', 'a20': 'OK', '202': 'Aktualisierungen', 'a51': 'Firewall', '2b3': '&Hilfe',
                '230': 'Tolva-Dateien\\c OK'}
        allowed = '# comment\n[*]\nTolva\nOK\n\n[German]\nFirewall\n[Dutch]\nUpdates\n&Help\n'
        cases = [
            # what, language, changes, allow-list, refused ids
            ('every kept text allowed, formats and punctuation never asked', 'German', done, allowed, []),
            ('English left in', 'German', dict(done, **{'202': 'Updates', '2b3': '&Help'}), allowed, ['202', '2b3']),
            ("another language's allowance does not count", 'German', dict(done, **{'2b3': '&Help'}), allowed,
             ['2b3']),
            ('allowed for the language that keeps them', 'Dutch', {'230': 'Tolva-bestanden\\c OK'},
             allowed + 'Firewall\n', []),
            ('no allow-list: only punctuation passes', 'German', done, None, ['a00', 'a20', 'a51']),
            ('listed as the file writes it, escapes and all', 'German', dict(done, **{'230': 'Tolva Files\\c OK'}),
             allowed + '[German]\nTolva Files\\c OK\n', []),
        ]
        for what, language, changes, allow, refused in cases:
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                code, err, written = compile_language(folder, language, translated(changes), allow)
                found = sorted(line.split(' id ')[1].split()[0] for line in err.splitlines() if ' id ' in line)
                self.assertEqual(found, sorted(refused), err)
                self.assertEqual(code != 0, bool(refused), err)
                self.assertEqual(written, not refused)
                if refused:
                    self.assertIn(f'under [{language}] in', err)

    def test_english_itself_is_never_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            code, err, written = compile_language(folder, 'English', ENGLISH, '[*]\n')
            self.assertEqual((code, err, written), (0, '', True))

    def test_allow_list_text_before_any_heading_is_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            code, err, _ = compile_language(folder, 'German', translated({'202': 'Aktualisierungen'}),
                                            'Tolva\n[*]\nOK\n')
            self.assertNotEqual(code, 0)
            self.assertIn('same-as-English.lst:1: text before the first [Language] heading', err)


if __name__ == '__main__':
    unittest.main()
