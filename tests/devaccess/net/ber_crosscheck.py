#!/usr/bin/python3
"""Independent side of the BER cross-check, on pyasn1.

Reads lines "kind<TAB>value<TAB>hex" from standard input (encodings made by
the codec under test), decodes each hex with pyasn1 and prints
"D<TAB>value" in the same value format (or "D<TAB>ERROR ..."). Then prints
COUNT lines "E<TAB>kind<TAB>value<TAB>hex" of random values that pyasn1
encoded, for the codec under test to decode.

Kinds and value formats: int (decimal), oid (dotted), str (hex of the
octets), ip (dotted quad), vb (OID|kind|value, kind one of int, str, ip, null).

Usage: ber_crosscheck.py SEED COUNT
"""
import random
import sys

from pyasn1.codec.ber import decoder, encoder
from pyasn1.type import namedtype, tag, univ


class IpAddress(univ.OctetString):
    tagSet = univ.OctetString.tagSet.tagImplicitly(
        tag.Tag(tag.tagClassApplication, tag.tagFormatSimple, 0))


class VarBind(univ.Sequence):
    componentType = namedtype.NamedTypes(
        namedtype.NamedType('name', univ.ObjectIdentifier()),
        namedtype.NamedType('value', univ.Any()))


def whole(data, spec):
    value, rest = decoder.decode(data, asn1Spec=spec)
    if rest:
        raise ValueError('trailing octets')
    return value


def value_text(kind, data):
    if kind == 'int':
        return str(int(whole(data, univ.Integer())))
    if kind == 'oid':
        return '.'.join(str(arc) for arc in whole(data, univ.ObjectIdentifier()))
    if kind == 'str':
        return bytes(whole(data, univ.OctetString())).hex()
    if kind == 'ip':
        octets = bytes(whole(data, IpAddress()))
        if len(octets) != 4:
            raise ValueError('IpAddress of %d octets' % len(octets))
        return '.'.join(str(o) for o in octets)
    if kind == 'null':
        whole(data, univ.Null())
        return ''
    if kind == 'vb':
        vb = whole(data, VarBind())
        inner = bytes(vb['value'])
        inner_kind = {0x02: 'int', 0x04: 'str', 0x40: 'ip', 0x05: 'null'}[inner[0]]
        name = '.'.join(str(arc) for arc in vb['name'])
        return '%s|%s|%s' % (name, inner_kind, value_text(inner_kind, inner))
    raise ValueError('unknown kind ' + kind)


def random_oid(rng):
    arcs = [rng.randrange(3), rng.randrange(40)]
    for _ in range(rng.randrange(12)):
        arcs.append(rng.getrandbits(32) >> rng.randrange(32))
    return arcs


def random_value(rng, kind):
    """(value text, pyasn1 object) of one random value."""
    if kind == 'int':
        v = -2**31
        # pyasn1 writes -2**31 in five octets (FF 80 00 00 00), which X.690
        # forbids and a 32-bit decoder refuses; that form is tested apart.
        while v == -2**31:
            v = rng.choice([rng.getrandbits(32) - 2**31,
                            (rng.getrandbits(32) - 2**31) >> rng.randrange(32),
                            rng.choice([0, -1, 127, 128, -128, -129, 255, 256, 2**31 - 1, -2**31 + 1])])
        return str(v), univ.Integer(v)
    if kind == 'oid':
        arcs = random_oid(rng)
        return '.'.join(map(str, arcs)), univ.ObjectIdentifier(arcs)
    if kind == 'str':
        n = rng.choice([0, 1, 127, 128, 255, 256, rng.randrange(600)])
        octets = bytes(rng.getrandbits(8) for _ in range(n))
        return octets.hex(), univ.OctetString(octets)
    if kind == 'ip':
        octets = bytes(rng.getrandbits(8) for _ in range(4))
        return '.'.join(map(str, octets)), IpAddress(octets)
    if kind == 'null':
        return '', univ.Null('')
    raise ValueError(kind)


def random_item(rng):
    kind = rng.choice(['int', 'oid', 'str', 'ip', 'vb'])
    if kind != 'vb':
        text, obj = random_value(rng, kind)
        return kind, text, encoder.encode(obj)
    arcs = random_oid(rng)
    inner_kind = rng.choice(['int', 'str', 'ip', 'null'])
    inner_text, inner_obj = random_value(rng, inner_kind)
    vb = VarBind()
    vb['name'] = univ.ObjectIdentifier(arcs)
    vb['value'] = univ.Any(encoder.encode(inner_obj))
    text = '%s|%s|%s' % ('.'.join(map(str, arcs)), inner_kind, inner_text)
    return 'vb', text, encoder.encode(vb)


def main():
    seed, count = int(sys.argv[1]), int(sys.argv[2])
    out = []
    for line in sys.stdin:
        kind, _, hexed = line.rstrip('\n').split('\t')
        try:
            out.append('D\t' + value_text(kind, bytes.fromhex(hexed)))
        except Exception as e:  # reported to the caller as a mismatch
            out.append('D\tERROR %s' % e)
    rng = random.Random(seed)
    for _ in range(count):
        kind, text, data = random_item(rng)
        out.append('E\t%s\t%s\t%s' % (kind, text, data.hex()))
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
