#!/usr/bin/env python3
"""Checks chip database files (driver/data/chipdb.txt, a user's chipdb-user.txt).

Usage: check-chipdb.py FILE...

Each broken rule is printed as "FILE:LINE: error: ..." and makes the exit status 1;
doubtful but legal rows (a part named with two sizes, a capacity byte that does not match
the size) are printed as "FILE:LINE: warning: ..." and do not. Every file is checked
on its own: ids are unique within one file, a later file may repeat an id to
override it.
"""
import re
import sys

COLUMNS = ['id', 'size', 'page', 'erase', 'addr', 'volt', 'bp', 'erase_s', 'maker', 'parts']
UNITS = {'K': 1 << 10, 'M': 1 << 20}
MIN_SIZE = 64 << 10
MAX_SIZE = 128 << 20
THREE_BYTE_LIMIT = 16 << 20
# Makers whose capacity byte says nothing about the size: Atmel/Adesto and SST
# number their parts instead, and PMC answers a continuation code (7F) first.
NO_CAPACITY_CODE = {'1F', 'BF', '7F'}


def is_power_of_two(n):
    return n > 0 and n & (n - 1) == 0


def parse_bytes(text):
    """'4K' -> 4096, '16M' -> 16 MiB, '256' -> 256; None when malformed."""
    m = re.fullmatch(r'([1-9][0-9]*)([KM]?)', text)
    if not m:
        return None
    return int(m.group(1)) * UNITS.get(m.group(2), 1)


def capacity_matches(code, size):
    """The usual encodings of the id's last byte: log2 of the size in bytes, and the
    0x20, 0x21, 0x22 continuation for 64M, 128M, 256M (Winbond, Micron, Spansion)."""
    log2 = size.bit_length() - 1
    return code == log2 or (code >= 0x20 and code - 0x20 + 26 == log2)


class Checker:
    def __init__(self, path):
        self.path = path
        self.errors = 0
        self.warnings = 0
        self.ids = {}
        self.parts = {}

    def report(self, line, kind, text):
        print('%s:%d: %s: %s' % (self.path, line, kind, text))
        if kind == 'error':
            self.errors += 1
        else:
            self.warnings += 1

    def check_row(self, line, cols):
        """Returns the list of errors of one row (columns already split)."""
        if len(cols) != len(COLUMNS):
            return ['%d columns, expected %d (%s)' % (len(cols), len(COLUMNS), ' '.join(COLUMNS))]
        jedec, size_t, page_t, erase_t, addr, volt, bp, erase_s, maker, parts_t = cols
        errs = []
        if not re.fullmatch(r'[0-9A-F]{6}', jedec):
            errs.append('id "%s" is not 6 upper-case hex digits' % jedec)
        size = parse_bytes(size_t) if size_t[-1:] in UNITS else None
        if size is None:
            errs.append('size "%s" is not a number with suffix K or M' % size_t)
        elif not is_power_of_two(size) or not MIN_SIZE <= size <= MAX_SIZE:
            errs.append('size %s is not a power of two from 64K to 128M' % size_t)
            size = None
        page = int(page_t) if re.fullmatch(r'[0-9]+', page_t) else 0
        if not is_power_of_two(page) or page > 1024:
            errs.append('page "%s" is not a power of two from 1 to 1024' % page_t)
        errs += self.check_erase(erase_t, size)
        if addr not in ('3', '3/4', '4'):
            errs.append('addr "%s" is not 3, 3/4 or 4' % addr)
        elif addr == '3' and size is not None and size > THREE_BYTE_LIMIT:
            errs.append('size %s needs addr 3/4 or 4' % size_t)
        if volt not in ('3.3', '1.8'):
            errs.append('volt "%s" is not 3.3 or 1.8' % volt)
        if bp != '-':
            bits = bp.split(',')
            if any(not re.fullmatch(r'[A-Z][A-Z0-9]*', b) for b in bits):
                errs.append('bp "%s" is not a comma-separated list of bit names or -' % bp)
            elif len(set(bits)) != len(bits):
                errs.append('bp "%s" names a bit twice' % bp)
        if erase_s != '-' and not (re.fullmatch(r'[0-9]+(\.[0-9]+)?', erase_s) and float(erase_s) > 0):
            errs.append('erase_s "%s" is not a positive number or -' % erase_s)
        names = parts_t.split(',')
        if any(not n for n in names):
            errs.append('parts "%s" has an empty name' % parts_t)
        elif len(set(names)) != len(names):
            errs.append('parts "%s" names a part twice' % parts_t)
        return errs

    def check_erase(self, text, size):
        errs = []
        last = 0
        for block in text.split(','):
            m = re.fullmatch(r'([^:]+):([0-9A-Fa-f]{2})', block)
            block_size = parse_bytes(m.group(1)) if m else None
            if block_size is None:
                errs.append('erase block "%s" is not size:opcode with a 2-digit hex opcode' % block)
                continue
            if not is_power_of_two(block_size) or block_size < 256:
                errs.append('erase size %s is not a power of two >= 256' % m.group(1))
            elif size is not None and size % block_size:
                errs.append('erase size %s does not divide the chip size' % m.group(1))
            if block_size <= last:
                errs.append('erase blocks are not listed smallest first')
            last = block_size
        return errs

    def check_line(self, line, text):
        cols = text.split('#', 1)[0].split()
        if not cols:
            return
        errs = self.check_row(line, cols)
        for e in errs:
            self.report(line, 'error', e)
        if errs:
            return
        jedec, size_t, maker, names = cols[0], cols[1], cols[8], cols[9].split(',')
        if jedec in self.ids:
            self.report(line, 'error', 'id %s already on line %d' % (jedec, self.ids[jedec]))
            return
        self.ids[jedec] = line
        code = int(jedec[4:], 16)
        size = parse_bytes(size_t)
        # A part under two ids is fine (a second id mode); under two sizes a name
        # no longer says how large the chip is.
        for n in names:
            if n in self.parts and self.parts[n][1] != size:
                self.report(line, 'warning', 'part %s also on line %d with another size' % (n, self.parts[n][0]))
            self.parts.setdefault(n, (line, size))
        if jedec[:2] not in NO_CAPACITY_CODE and not capacity_matches(code, size):
            self.report(line, 'warning',
                        'id %s: capacity byte %02X does not encode %s (%s)' % (jedec, code, size_t, maker))

    def run(self):
        try:
            with open(self.path, encoding='utf-8') as f:
                lines = f.read().split('\n')
        except (OSError, UnicodeDecodeError) as e:
            print('%s: error: cannot read: %s' % (self.path, e))
            self.errors += 1
            return
        for number, text in enumerate(lines, 1):
            self.check_line(number, text)


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip().split('\n\n')[1])
        return 2
    failed = False
    for path in argv[1:]:
        checker = Checker(path)
        checker.run()
        print('%s: %d rows, %d errors, %d warnings' % (path, len(checker.ids), checker.errors, checker.warnings))
        failed = failed or checker.errors > 0
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
