#!/usr/bin/python3
"""Lists the tags of a CDX file from its raw bytes: name, order word
(1 = descending), key expression and FOR expression, one tag per line."""
import struct
import sys


def read_leaf(page, key_len, pad):
    attr, n = struct.unpack_from('<HH', page, 0)
    assert attr & 2, 'not a leaf'
    rmask, dmask, tmask, rbits, dbits, tbits, size = struct.unpack_from('<IBBBBBB', page, 14)
    end, prev = 512, b''
    for i in range(n):
        v = int.from_bytes(page[24 + i * size: 24 + (i + 1) * size], 'little')
        rec = v & rmask
        dup = (v >> rbits) & dmask
        trl = (v >> (rbits + dbits)) & tmask
        stored = key_len - dup - trl
        end -= stored
        key = prev[:dup] + page[end:end + stored] + pad * trl
        prev = key
        yield key, rec


data = open(sys.argv[1], 'rb').read()
root, = struct.unpack_from('<I', data, 0)
for name, off in read_leaf(data[root:root + 512], 10, b' '):
    desc, = struct.unpack_from('<H', data, off + 502)
    pool = data[off + 512: off + 1024].split(b'\0')
    print('%s|%d|%s|%s' % (name.decode().strip(), desc, pool[0].decode(), pool[1].decode()))
