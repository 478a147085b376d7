#!/usr/bin/env python3
"""Tests scripts/check-chipdb.py as it is run, and the shipped driver/data/chipdb.txt."""
import os
import subprocess
import sys
import tempfile
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECKER = os.path.join(TOP, 'scripts', 'check-chipdb.py')
DATABASE = os.path.join(TOP, 'driver', 'data', 'chipdb.txt')
GOOD = 'EF4017 8M 256 4K:20,32K:52,64K:D8 3 3.3 BP0,BP1,BP2,TB,SEC 20 Winbond W25Q64FV,W25Q64JV'


def run(*texts):
    """Runs the checker over files holding texts; returns (exit status, output lines
    with the temporary directory replaced by 'T')."""
    with tempfile.TemporaryDirectory() as d:
        paths = []
        for i, text in enumerate(texts):
            paths.append(os.path.join(d, 'f%d.txt' % i))
            with open(paths[-1], 'w', encoding='utf-8') as f:
                f.write(text)
        p = subprocess.run([sys.executable, CHECKER] + paths, capture_output=True, text=True)
        return p.returncode, p.stdout.replace(d, 'T').splitlines()


class RowRules(unittest.TestCase):
    # One bad column per row; the message names the rule.
    BAD = [
        ('ef4017 8M 256 4K:20 3 3.3 - - W P', 'id "ef4017" is not 6 upper-case hex digits'),
        ('EF40170 8M 256 4K:20 3 3.3 - - W P', 'id "EF40170" is not 6 upper-case hex digits'),
        ('EF4017 8 256 4K:20 3 3.3 - - W P', 'size "8" is not a number with suffix K or M'),
        ('EF4017 32K 256 4K:20 3 3.3 - - W P', 'size 32K is not a power of two from 64K to 128M'),
        ('EF4017 256M 256 4K:20 4 3.3 - - W P', 'size 256M is not a power of two from 64K to 128M'),
        ('EF4017 12M 256 4K:20 3 3.3 - - W P', 'size 12M is not a power of two from 64K to 128M'),
        ('EF4017 8M 2048 4K:20 3 3.3 - - W P', 'page "2048" is not a power of two from 1 to 1024'),
        ('EF4017 8M 0 4K:20 3 3.3 - - W P', 'page "0" is not a power of two from 1 to 1024'),
        ('EF4017 8M 256 4K:2 3 3.3 - - W P', 'erase block "4K:2" is not size:opcode with a 2-digit hex opcode'),
        ('EF4017 8M 256 128:20 3 3.3 - - W P', 'erase size 128 is not a power of two >= 256'),
        ('EF4017 128K 256 256K:D8 3 3.3 - - W P', 'erase size 256K does not divide the chip size'),
        ('EF4017 8M 256 64K:D8,4K:20 3 3.3 - - W P', 'erase blocks are not listed smallest first'),
        ('EF4017 8M 256 4K:20,4K:D7 3 3.3 - - W P', 'erase blocks are not listed smallest first'),
        ('EF4017 8M 256 4K:20 3/3 3.3 - - W P', 'addr "3/3" is not 3, 3/4 or 4'),
        ('EF4019 32M 256 4K:20 3 3.3 - - W P', 'size 32M needs addr 3/4 or 4'),
        ('EF4017 8M 256 4K:20 3 5 - - W P', 'volt "5" is not 3.3 or 1.8'),
        ('EF4017 8M 256 4K:20 3 3.3 BP0,,TB - W P', 'bp "BP0,,TB" is not a comma-separated list of bit names or -'),
        ('EF4017 8M 256 4K:20 3 3.3 BP0,BP0 - W P', 'bp "BP0,BP0" names a bit twice'),
        ('EF4017 8M 256 4K:20 3 3.3 - 0 W P', 'erase_s "0" is not a positive number or -'),
        ('EF4017 8M 256 4K:20 3 3.3 - 2s W P', 'erase_s "2s" is not a positive number or -'),
        ('EF4017 8M 256 4K:20 3 3.3 - - W P,', 'parts "P," has an empty name'),
        ('EF4017 8M 256 4K:20 3 3.3 - - W P,P', 'parts "P,P" names a part twice'),
        ('EF4017 8M 256 4K:20 3 3.3 - - Winbond', '9 columns, expected 10 (id size page erase addr volt bp erase_s maker parts)'),
    ]

    def test_each_broken_rule_is_an_error_with_file_and_line(self):
        status, out = run('# header\n\n' + '\n'.join(row for row, _ in self.BAD) + '\n')
        self.assertEqual(status, 1)
        expected = ['T/f0.txt:%d: error: %s' % (3 + i, message) for i, (_, message) in enumerate(self.BAD)]
        self.assertEqual(out, expected + ['T/f0.txt: 0 rows, %d errors, 0 warnings' % len(self.BAD)])

    def test_good_rows_comments_and_blank_lines_pass(self):
        status, out = run('# id size ...\n\n' + GOOD + '   # trailing comment\n'
                          'EF4020\t64M\t256\t256:DB,4K:20\t3/4\t1.8\t-\t150.5\tWinbond\tW25Q512JV\n'
                          '010220 64M 256 256K:D8 4 3.3 - - Spansion S25FL512S\n')
        self.assertEqual((status, out), (0, ['T/f0.txt: 3 rows, 0 errors, 0 warnings']))

    def test_repeated_id_is_an_error_within_a_file_but_overrides_across_files(self):
        status, out = run(GOOD + '\n' + GOOD.replace('W25Q64FV,W25Q64JV', 'X') + '\n', GOOD + '\n')
        self.assertEqual(status, 1)
        self.assertEqual(out, ['T/f0.txt:2: error: id EF4017 already on line 1',
                               'T/f0.txt: 1 rows, 1 errors, 0 warnings',
                               'T/f1.txt: 1 rows, 0 errors, 0 warnings'])

    def test_doubtful_rows_are_warnings_only(self):
        status, out = run('9D6018 8M 256 4K:20 3 3.3 - - ISSI IS25LP128\n'
                          '1F8901 16M 256 4K:20 3 3.3 - - Adesto AT25SF128A,IS25LP128\n'
                          '9D4017 8M 256 4K:20 3 3.3 - - ISSI IS25LP128\n')
        self.assertEqual(status, 0)
        self.assertEqual(out, ['T/f0.txt:1: warning: id 9D6018: capacity byte 18 does not encode 8M (ISSI)',
                               'T/f0.txt:2: warning: part IS25LP128 also on line 1 with another size',
                               'T/f0.txt: 3 rows, 0 errors, 2 warnings'])

    def test_unreadable_file_fails(self):
        p = subprocess.run([sys.executable, CHECKER, '/nonexistent/chipdb.txt'], capture_output=True, text=True)
        self.assertEqual(p.returncode, 1)
        self.assertTrue(p.stdout.startswith('/nonexistent/chipdb.txt: error: cannot read:'), p.stdout)


def database_rows():
    rows = {}
    with open(DATABASE, encoding='utf-8') as f:
        for line in f:
            cols = line.split('#', 1)[0].split()
            if cols:
                rows[cols[0]] = cols
    return rows


class ShippedDatabase(unittest.TestCase):
    def test_passes_the_checker_without_errors(self):
        p = subprocess.run([sys.executable, CHECKER, DATABASE], capture_output=True, text=True)
        self.assertEqual(p.returncode, 0, p.stdout)
        self.assertNotIn(': error:', p.stdout)

    def test_the_chips_users_meet_have_their_datasheet_values(self):
        rows = database_rows()
        # id: size, addr, volt, a part that must be listed
        expected = {
            'EF4017': ('8M', '3', '3.3', 'W25Q64JV'),
            'EF4018': ('16M', '3', '3.3', 'W25Q128JV'),
            'EF4020': ('64M', '3/4', '3.3', 'W25Q512JV'),
            'EF6018': ('16M', '3', '1.8', 'W25Q128FW'),
            'C84017': ('8M', '3', '3.3', 'GD25Q64'),
            '9D6018': ('16M', '3', '3.3', 'IS25LP128'),
            '207017': ('8M', '3', '3.3', 'XM25QH64A'),
            'C22536': ('4M', '3', '1.8', 'MX25U3235F'),
            '20BA21': ('128M', '3/4', '3.3', 'MT25QL01GBB'),
            '010220': ('64M', '4', '1.8', 'S25FL512S'),
        }
        for jedec, (size, addr, volt, part) in expected.items():
            with self.subTest(id=jedec):
                cols = rows[jedec]
                self.assertEqual((cols[1], cols[4], cols[5]), (size, addr, volt))
                self.assertIn(part, cols[9].split(','))
        self.assertGreaterEqual(len(rows), 300)

    def test_boya_by25q128_stays_unknown(self):
        # It is the chip that shows identification by SFDP.
        self.assertNotIn('684018', database_rows())


if __name__ == '__main__':
    unittest.main()
