#!/usr/bin/env python3
"""An independent model of the cipher library's formulas, used to make the test
fixtures of behaviour that no standard tool reproduces: the modes of operation
with their default vector, counter and tail rules, the second 256-bit Rijndael
key schedule, triple DES with a 16-byte key, the 24-byte triple DES, the
self-test vectors, the salt generator, the scrambler and the class identity.

Standard algorithms come from `cryptography` where it has them (AES, DES,
Blowfish); Twofish, Square, RIPEMD-128/256 are written out here from their
published definitions and checked against the published vectors below.

Run it to print the fixtures:  python3 crypto_model.py
"""
import hashlib
import struct

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
try:
    from cryptography.hazmat.decrepit.ciphers.algorithms import Blowfish as _Blowfish, TripleDES as _TripleDES
except ImportError:  # releases before 43 (Debian 12's) keep them with the others
    from cryptography.hazmat.primitives.ciphers.algorithms import Blowfish as _Blowfish, TripleDES as _TripleDES

M32 = 0xFFFFFFFF


def rol(x, n):
    x &= M32
    n &= 31
    return ((x << n) | (x >> (32 - n))) & M32 if n else x


def ror(x, n):
    return rol(x, 32 - (n & 31))


def gmul(a, b, poly):
    r = 0
    while b:
        if b & 1:
            r ^= a
        a <<= 1
        if a & 0x100:
            a ^= poly
        b >>= 1
    return r


def ecb(alg, key):
    c = Cipher(alg(key), modes.ECB())
    return c.encryptor(), c.decryptor()


# --- AES, with the two 256-bit key schedules -----------------------------------

def _aes_tables():
    sbox = [0] * 256
    for x in range(256):
        inv = 0
        if x:
            inv = next(y for y in range(1, 256) if gmul(x, y, 0x11B) == 1)
        s = inv
        for k in range(1, 5):
            s ^= ((inv << k) | (inv >> (8 - k))) & 0xFF
        sbox[x] = s ^ 0x63
    return sbox


AES_S = _aes_tables()
AES_SI = [0] * 256
for _i, _v in enumerate(AES_S):
    AES_SI[_v] = _i


def aes_expand(key, other_schedule=False):
    """Round keys as a list of 4-byte words (lists), key zero-filled to 16/24/32."""
    n = 16 if len(key) <= 16 else 24 if len(key) <= 24 else 32
    key = key + bytes(n - len(key))
    nk = n // 4
    rounds = nk + 6
    total = 4 * (rounds + 1)
    w = [list(key[4 * i:4 * i + 4]) for i in range(nk)]
    sub = lambda v: [AES_S[b] for b in v]
    xor = lambda a, b: [x ^ y for x, y in zip(a, b)]
    rcon = 1
    if other_schedule and nk == 8:
        # The group is the previous group; word 0 takes the usual first step,
        # words 1..7 add their predecessor, word 4 adds SubWord(word 3), then
        # words 5..7 add their predecessor once more.
        while len(w) < total:
            k = [list(v) for v in w[-8:]]
            k[0] = xor(k[0], xor(sub(k[7][1:] + k[7][:1]), [rcon, 0, 0, 0]))
            for j in range(1, 8):
                k[j] = xor(k[j], k[j - 1])
            k[4] = xor(k[4], sub(k[3]))
            for j in range(5, 8):
                k[j] = xor(k[j], k[j - 1])
            w += k
            rcon = gmul(rcon, 2, 0x11B)
        w = w[:total]
    else:
        for i in range(nk, total):
            t = w[i - 1]
            if i % nk == 0:
                t = xor(sub(t[1:] + t[:1]), [rcon, 0, 0, 0])
                rcon = gmul(rcon, 2, 0x11B)
            elif nk > 6 and i % nk == 4:
                t = sub(t)
            w.append(xor(w[i - nk], t))
    return w, rounds


def _mix(col):
    a = col
    return [gmul(a[0], 2, 0x11B) ^ gmul(a[1], 3, 0x11B) ^ a[2] ^ a[3],
            a[0] ^ gmul(a[1], 2, 0x11B) ^ gmul(a[2], 3, 0x11B) ^ a[3],
            a[0] ^ a[1] ^ gmul(a[2], 2, 0x11B) ^ gmul(a[3], 3, 0x11B),
            gmul(a[0], 3, 0x11B) ^ a[1] ^ a[2] ^ gmul(a[3], 2, 0x11B)]


def _invmix(col):
    a = col
    g = lambda x, c: gmul(x, c, 0x11B)
    return [g(a[0], 14) ^ g(a[1], 11) ^ g(a[2], 13) ^ g(a[3], 9),
            g(a[0], 9) ^ g(a[1], 14) ^ g(a[2], 11) ^ g(a[3], 13),
            g(a[0], 13) ^ g(a[1], 9) ^ g(a[2], 14) ^ g(a[3], 11),
            g(a[0], 11) ^ g(a[1], 13) ^ g(a[2], 9) ^ g(a[3], 14)]


class PyAES:
    """Textbook AES over given round keys (only needed for the second schedule)."""

    def __init__(self, key, other_schedule=False):
        self.w, self.rounds = aes_expand(key, other_schedule)

    def _key(self, s, r):
        return [[s[c][i] ^ self.w[4 * r + c][i] for i in range(4)] for c in range(4)]

    def encrypt(self, block):
        s = [list(block[4 * c:4 * c + 4]) for c in range(4)]
        s = self._key(s, 0)
        for r in range(1, self.rounds + 1):
            s = [[AES_S[b] for b in col] for col in s]
            s = [[s[(c + i) % 4][i] for i in range(4)] for c in range(4)]
            if r < self.rounds:
                s = [_mix(col) for col in s]
            s = self._key(s, r)
        return bytes(sum(s, []))

    def decrypt(self, block):
        s = [list(block[4 * c:4 * c + 4]) for c in range(4)]
        for r in range(self.rounds, 0, -1):
            s = self._key(s, r)
            if r < self.rounds:
                s = [_invmix(col) for col in s]
            s = [[s[(c - i) % 4][i] for i in range(4)] for c in range(4)]
            s = [[AES_SI[b] for b in col] for col in s]
        s = self._key(s, 0)
        return bytes(sum(s, []))


class AES:
    block = 16

    def __init__(self, key):
        n = 16 if len(key) <= 16 else 24 if len(key) <= 24 else 32
        self.e, self.d = ecb(algorithms.AES, key + bytes(n - len(key)))

    def encrypt(self, b):
        return self.e.update(b)

    def decrypt(self, b):
        return self.d.update(b)


class AESOther(PyAES):
    block = 16

    def __init__(self, key):
        super().__init__(key, True)


# --- DES family ---------------------------------------------------------------------

class DES:
    block = 8

    def __init__(self, key):
        key = (key + bytes(8))[:8]
        self.e, self.d = ecb(_TripleDES, key * 3)

    def encrypt(self, b):
        return self.e.update(b)

    def decrypt(self, b):
        return self.d.update(b)


class DES3:
    """Encrypt K1, decrypt K2, encrypt K3; the key zero-filled to 24 bytes."""
    block = 8

    def __init__(self, key):
        key = (key + bytes(24))[:24]
        self.k = [DES(key[0:8]), DES(key[8:16]), DES(key[16:24])]

    def encrypt(self, b):
        return self.k[2].encrypt(self.k[1].decrypt(self.k[0].encrypt(b)))

    def decrypt(self, b):
        return self.k[0].decrypt(self.k[1].encrypt(self.k[2].decrypt(b)))


def _exchange(b):
    w = [b[4 * i:4 * i + 4] for i in range(6)]
    w[1], w[2] = w[2], w[1]
    w[3], w[4] = w[4], w[3]
    return b''.join(w)


class DES3T(DES3):
    """Triple DES over 24-byte blocks with words 1/2 and 3/4 exchanged between layers."""
    block = 24

    def _each(self, f, b):
        return b''.join(f(b[8 * i:8 * i + 8]) for i in range(3))

    def encrypt(self, b):
        b = self._each(self.k[0].encrypt, b)
        b = self._each(self.k[1].decrypt, _exchange(b))
        return self._each(self.k[2].encrypt, _exchange(b))

    def decrypt(self, b):
        b = self._each(self.k[2].decrypt, b)
        b = self._each(self.k[1].encrypt, _exchange(b))
        return self._each(self.k[0].decrypt, _exchange(b))


class Blowfish:
    block = 8

    def __init__(self, key):
        self.e, self.d = ecb(_Blowfish, key[:56])

    def encrypt(self, b):
        return self.e.update(b)

    def decrypt(self, b):
        return self.d.update(b)

# --- Twofish ------------------------------------------------------------------------

_Q0T = [[8, 1, 7, 13, 6, 15, 3, 2, 0, 11, 5, 9, 14, 12, 10, 4],
        [14, 12, 11, 8, 1, 2, 3, 5, 15, 4, 10, 6, 7, 0, 9, 13],
        [11, 10, 5, 14, 6, 13, 9, 0, 12, 8, 15, 3, 2, 4, 7, 1],
        [13, 7, 15, 4, 1, 2, 6, 14, 9, 11, 3, 0, 8, 5, 12, 10]]
_Q1T = [[2, 8, 11, 13, 15, 7, 6, 14, 3, 1, 9, 4, 0, 10, 12, 5],
        [1, 14, 2, 11, 4, 12, 3, 7, 6, 13, 10, 5, 15, 9, 0, 8],
        [4, 12, 7, 5, 1, 6, 9, 10, 0, 14, 13, 8, 2, 11, 3, 15],
        [11, 9, 5, 1, 12, 3, 13, 14, 6, 4, 7, 15, 2, 0, 8, 10]]


def _qperm(t, x):
    r4 = lambda v, n: ((v >> n) | (v << (4 - n))) & 15
    a0, b0 = x >> 4, x & 15
    a1, b1 = a0 ^ b0, (a0 ^ r4(b0, 1) ^ (8 * a0)) & 15
    a2, b2 = t[0][a1], t[1][b1]
    a3, b3 = a2 ^ b2, (a2 ^ r4(b2, 1) ^ (8 * a2)) & 15
    return 16 * t[3][b3] + t[2][a3]


TF_Q0 = [_qperm(_Q0T, x) for x in range(256)]
TF_Q1 = [_qperm(_Q1T, x) for x in range(256)]
TF_MDS = [[0x01, 0xEF, 0x5B, 0x5B], [0x5B, 0xEF, 0xEF, 0x01], [0xEF, 0x5B, 0x01, 0xEF], [0xEF, 0x01, 0xEF, 0x5B]]
TF_RS = [[0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E], [0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5],
         [0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19], [0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03]]


def _tf_h(x, words, k):
    q0, q1 = TF_Q0, TF_Q1
    y = [(x >> (8 * i)) & 255 for i in range(4)]
    lb = [[(w >> (8 * i)) & 255 for i in range(4)] for w in words]
    if k == 4:
        y = [q1[y[0]] ^ lb[3][0], q0[y[1]] ^ lb[3][1], q0[y[2]] ^ lb[3][2], q1[y[3]] ^ lb[3][3]]
    if k >= 3:
        y = [q1[y[0]] ^ lb[2][0], q1[y[1]] ^ lb[2][1], q0[y[2]] ^ lb[2][2], q0[y[3]] ^ lb[2][3]]
    y = [q1[q0[q0[y[0]] ^ lb[1][0]] ^ lb[0][0]], q0[q0[q1[y[1]] ^ lb[1][1]] ^ lb[0][1]],
         q1[q1[q0[y[2]] ^ lb[1][2]] ^ lb[0][2]], q0[q1[q1[y[3]] ^ lb[1][3]] ^ lb[0][3]]]
    z = [0] * 4
    for i in range(4):
        for j in range(4):
            z[i] ^= gmul(TF_MDS[i][j], y[j], 0x169)
    return z[0] | z[1] << 8 | z[2] << 16 | z[3] << 24


class Twofish:
    block = 16

    def __init__(self, key):
        n = 16 if len(key) <= 16 else 24 if len(key) <= 24 else 32
        key = key + bytes(n - len(key))
        k = n // 8
        me = [struct.unpack('<I', key[8 * i:8 * i + 4])[0] for i in range(k)]
        mo = [struct.unpack('<I', key[8 * i + 4:8 * i + 8])[0] for i in range(k)]
        s = []
        for i in range(k):
            v = [0] * 4
            for r in range(4):
                for c in range(8):
                    v[r] ^= gmul(TF_RS[r][c], key[8 * i + c], 0x14D)
            s.append(v[0] | v[1] << 8 | v[2] << 16 | v[3] << 24)
        self.s, self.k = s[::-1], k
        self.K = []
        rho = 0x01010101
        for i in range(20):
            a = _tf_h(2 * i * rho & M32, me, k)
            b = rol(_tf_h((2 * i + 1) * rho & M32, mo, k), 8)
            self.K += [(a + b) & M32, rol((a + 2 * b) & M32, 9)]

    def _g(self, x):
        return _tf_h(x, self.s, self.k)

    def encrypt(self, block):
        K = self.K
        R = [w ^ K[i] for i, w in enumerate(struct.unpack('<4I', block))]
        for r in range(16):
            t0, t1 = self._g(R[0]), self._g(rol(R[1], 8))
            f0, f1 = (t0 + t1 + K[2 * r + 8]) & M32, (t0 + 2 * t1 + K[2 * r + 9]) & M32
            R = [ror(R[2] ^ f0, 1), rol(R[3], 1) ^ f1, R[0], R[1]]
        R = [R[2], R[3], R[0], R[1]]
        return struct.pack('<4I', *[R[i] ^ K[i + 4] for i in range(4)])

    def decrypt(self, block):
        K = self.K
        R = [w ^ K[i + 4] for i, w in enumerate(struct.unpack('<4I', block))]
        R = [R[2], R[3], R[0], R[1]]
        for r in range(15, -1, -1):
            t0, t1 = self._g(R[2]), self._g(rol(R[3], 8))
            f0, f1 = (t0 + t1 + K[2 * r + 8]) & M32, (t0 + 2 * t1 + K[2 * r + 9]) & M32
            R = [R[2], R[3], rol(R[0], 1) ^ f0, ror(R[1] ^ f1, 1)]
        return struct.pack('<4I', *[R[i] ^ K[i] for i in range(4)])


# --- Square ---------------------------------------------------------------------------

def _sq_inv(a):
    return 0 if a == 0 else next(b for b in range(1, 256) if gmul(a, b, 0x1F5) == 1)


_SQ_AFFINE = [0x01, 0x03, 0x05, 0x0F, 0x1F, 0x3D, 0x7B, 0xD6]
SQ_SE = []
for _x in range(256):
    _v = _sq_inv(_x)
    SQ_SE.append(sum((bin(_SQ_AFFINE[b] & _v).count('1') & 1) << b for b in range(8)) ^ 0xB1)
SQ_SD = [0] * 256
for _i, _v in enumerate(SQ_SE):
    SQ_SD[_v] = _i


class Square:
    """The published definition: theta (rows times c(x) = 2 + x + x^2 + 3x^3 mod
    x^4 + 1), gamma (S-box), pi (transposition), sigma (key addition);
    Square[k] = rho[k8] ... rho[k1] sigma[k0] theta^-1, rho = sigma pi gamma theta."""
    block = 16

    def __init__(self, key):
        key = (key + bytes(16))[:16]
        k = [[list(key[4 * i:4 * i + 4]) for i in range(4)]]
        for t in range(1, 9):
            p = k[-1]
            r3 = p[3][1:] + p[3][:1]
            c = [1 << (t - 1), 0, 0, 0]
            k0 = [p[0][j] ^ r3[j] ^ c[j] for j in range(4)]
            k1 = [p[1][j] ^ k0[j] for j in range(4)]
            k2 = [p[2][j] ^ k1[j] for j in range(4)]
            k3 = [p[3][j] ^ k2[j] for j in range(4)]
            k.append([k0, k1, k2, k3])
        self.k = k

    @staticmethod
    def _theta(s, c=(2, 1, 1, 3)):
        return [[gmul(c[0], r[j], 0x1F5) ^ gmul(c[1], r[(j - 1) % 4], 0x1F5) ^ gmul(c[2], r[(j - 2) % 4], 0x1F5)
                 ^ gmul(c[3], r[(j - 3) % 4], 0x1F5) for j in range(4)] for r in s]

    @staticmethod
    def _pi(s):
        return [[s[j][i] for j in range(4)] for i in range(4)]

    @staticmethod
    def _xor(s, k):
        return [[s[i][j] ^ k[i][j] for j in range(4)] for i in range(4)]

    def encrypt(self, block):
        s = [list(block[4 * i:4 * i + 4]) for i in range(4)]
        s = self._xor(self._theta(s, (0x0E, 0x09, 0x0D, 0x0B)), self.k[0])
        for t in range(1, 9):
            s = self._xor(self._pi([[SQ_SE[b] for b in r] for r in self._theta(s)]), self.k[t])
        return bytes(sum(s, []))

    def decrypt(self, block):
        s = [list(block[4 * i:4 * i + 4]) for i in range(4)]
        for t in range(8, 0, -1):
            s = self._xor(s, self.k[t])
            s = [[SQ_SD[b] for b in r] for r in self._pi(s)]
            s = self._theta(s, (0x0E, 0x09, 0x0D, 0x0B))
        s = self._xor(s, self.k[0])
        return bytes(sum(self._theta(s), []))


# --- RIPEMD-128 and RIPEMD-256 -----------------------------------------------------------

_RL = [list(range(16)), [7, 4, 13, 1, 10, 6, 15, 3, 12, 0, 9, 5, 2, 14, 11, 8],
       [3, 10, 14, 4, 9, 15, 8, 1, 2, 7, 0, 6, 13, 11, 5, 12], [1, 9, 11, 10, 0, 8, 12, 4, 13, 3, 7, 15, 14, 5, 6, 2]]
_RR = [[5, 14, 7, 0, 9, 2, 11, 4, 13, 6, 15, 8, 1, 10, 3, 12], [6, 11, 3, 7, 0, 13, 5, 10, 14, 15, 8, 12, 4, 9, 1, 2],
       [15, 5, 1, 3, 7, 14, 6, 9, 11, 8, 12, 2, 10, 0, 4, 13], [8, 6, 4, 1, 3, 11, 15, 0, 5, 12, 2, 13, 9, 7, 10, 14]]
_SL = [[11, 14, 15, 12, 5, 8, 7, 9, 11, 13, 14, 15, 6, 7, 9, 8], [7, 6, 8, 13, 11, 9, 7, 15, 7, 12, 15, 9, 11, 7, 13, 12],
       [11, 13, 6, 7, 14, 9, 13, 15, 14, 8, 13, 6, 5, 12, 7, 5], [11, 12, 14, 15, 14, 15, 9, 8, 9, 14, 5, 6, 8, 6, 5, 12]]
_SR = [[8, 9, 9, 11, 13, 15, 15, 5, 7, 7, 8, 11, 14, 14, 12, 6], [9, 13, 15, 7, 12, 8, 9, 11, 7, 7, 12, 7, 6, 15, 13, 11],
       [9, 7, 15, 11, 8, 6, 6, 14, 12, 13, 5, 14, 13, 13, 7, 5], [15, 5, 8, 11, 14, 14, 6, 14, 6, 9, 12, 9, 12, 5, 15, 8]]
_RF = [lambda x, y, z: x ^ y ^ z, lambda x, y, z: (x & y) | (~x & z), lambda x, y, z: (x | ~y) ^ z,
       lambda x, y, z: (x & z) | (y & ~z)]
_KL = [0, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC]
_KR = [0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0]


def ripemd(msg, wide):
    h = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476]
    if wide:
        h += [0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567]
    m = msg + b'\x80'
    m += bytes((56 - len(m)) % 64) + struct.pack('<Q', len(msg) * 8)
    for o in range(0, len(m), 64):
        x = struct.unpack('<16I', m[o:o + 64])
        l = list(h[:4])
        r = list(h[4:] if wide else h[:4])
        for j in range(4):
            for i in range(16):
                t = rol((l[0] + _RF[j](l[1], l[2], l[3]) + x[_RL[j][i]] + _KL[j]) & M32, _SL[j][i])
                l = [l[3], t, l[1], l[2]]
                t = rol((r[0] + _RF[3 - j](r[1], r[2], r[3]) + x[_RR[j][i]] + _KR[j]) & M32, _SR[j][i])
                r = [r[3], t, r[1], r[2]]
            if wide:
                l[j], r[j] = r[j], l[j]
        if wide:
            h = [(a + b) & M32 for a, b in zip(h, l + r)]
        else:
            h = [(h[1] + l[2] + r[3]) & M32, (h[2] + l[3] + r[0]) & M32, (h[3] + l[0] + r[1]) & M32,
                 (h[0] + l[1] + r[2]) & M32]
    return struct.pack('<%dI' % len(h), *h)


# --- the modes of operation as the library runs them ---------------------------------------

def _x(a, b):
    return bytes(p ^ q for p, q in zip(a, b))


class Modes:
    """One cipher instance: vector E(FF..FF) unless given, feedback, counter and
    key-stream position, with every mode's whole-block and tail rules."""

    def __init__(self, cipher, iv=None):
        self.c = cipher
        B = self.B = cipher.block
        self.V = iv[:B] if iv is not None else cipher.encrypt(b'\xff' * B)
        self.F = self.V
        self.counter = bytearray(B)
        self.pos = B
        self.ks = bytes(B)

    def done(self):
        self.F = self.V

    def _tail(self, s):
        w = self.c.encrypt(self.F)
        self.F = _x(w, self.F)
        return _x(s, w)

    def _inc(self):
        for k in range(min(8, self.B)):
            if self.counter[k] != 0xFF:
                self.counter[k] += 1
                return
            self.counter[k] = 0

    def ctr(self, data):
        out = bytearray()
        for b in data:
            if self.pos == self.B:
                self._inc()
                self.ks = self.c.encrypt(bytes(self.counter))
                self.pos = 0
            out.append(b ^ self.ks[self.pos])
            self.pos += 1
        return bytes(out)

    def _mac(self, data, chained):
        B = self.B
        for i in range(0, len(data), B):
            blk = data[i:i + B]
            w = self.c.encrypt(_x(blk + bytes(B - len(blk)), self.F))
            self.F = _x(w, self.F) if chained else w

    def encode(self, mode, s):
        B, out = self.B, b''
        whole = len(s) // B * B
        if mode == 'ECB':
            out = b''.join(self.c.encrypt(s[i:i + B]) for i in range(0, whole, B))
            if len(s) > whole:
                out += self.c.encrypt(s[whole:] + bytes(B - (len(s) - whole)))[:len(s) - whole]
        elif mode in ('CTS', 'CBC'):
            for i in range(0, whole, B):
                d = self.c.encrypt(_x(s[i:i + B], self.F))
                self.F = _x(d, self.F) if mode == 'CTS' else d
                out += d
            if len(s) > whole:
                out += self._tail(s[whole:])
        elif mode in ('CFB', 'OFB', 'CFBMAC'):
            for b in s:
                w = self.c.encrypt(self.F)
                d = b ^ w[0]
                self.F = self.F[1:] + bytes([w[0] if mode == 'OFB' else d])
                out += bytes([d])
            if mode == 'CFBMAC':
                out = b''
        elif mode == 'CTR':
            out = self.ctr(s)
        elif mode in ('CTSMAC', 'CBCMAC'):
            self._mac(s, mode == 'CTSMAC')
        return out

    def decode(self, mode, s):
        B, out = self.B, b''
        whole = len(s) // B * B
        if mode == 'ECB':
            assert len(s) == whole
            out = b''.join(self.c.decrypt(s[i:i + B]) for i in range(0, whole, B))
        elif mode in ('CTS', 'CBC'):
            for i in range(0, whole, B):
                c = s[i:i + B]
                out += _x(self.c.decrypt(c), self.F)
                self.F = _x(c, self.F) if mode == 'CTS' else c
            if len(s) > whole:
                out += self._tail(s[whole:])
        elif mode == 'CFB':
            for b in s:
                w = self.c.encrypt(self.F)
                self.F = self.F[1:] + bytes([b])
                out += bytes([b ^ w[0]])
        else:
            out = self.encode(mode, s)
        return out


def selftest_vector(cls, name):
    """The 32 bytes a class's self-test expects: the shared message in CTS mode
    under the key made of the class name's bytes, cut to the largest key."""
    largest = {'TCipher_Rijndael': 32, 'TCipher_RijndaelZE': 32, 'TCipher_Blowfish': 56, 'TCipher_1DES': 8,
               'TCipher_3DES': 24, 'TCipher_3TDES': 24, 'TCipher_Twofish': 32, 'TCipher_Square': 16}[name]
    m = Modes(cls(name.encode()[:largest]))
    return m.encode('CTS', TEST_MESSAGE)


TEST_MESSAGE = b'Fennolit cipher library selftest'


def password_key(password, cls, largest):
    """The string InitKey: key = RIPEMD-256(password), cut to the largest key."""
    return cls(ripemd(password, True)[:largest])


# --- library utilities ------------------------------------------------------------------

def lcg_bytes(seed, count, rng=255):
    out = []
    for _ in range(count):
        seed = (seed * 134775813 + 1) & M32
        out.append((seed * rng) >> 32)
    return bytes(out)


def rnd_xor(seed, data):
    out = bytearray(data)
    for i, b in enumerate(out):
        seed = ((seed ^ b) * 134775813 + 1) & M32
        out[i] = seed >> 24
    return bytes(out)


def crc16(crc, data):
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def identity(class_name):
    return ~crc16(0x1234, class_name.encode()) & 0xFFFF


def uu(data, table):
    out = ''
    for p in range(0, len(data), 45):
        chunk = data[p:p + 45]
        out += table[len(chunk)]
        for i in range(0, len(chunk), 3):
            g = chunk[i:i + 3] + bytes(3 - len(chunk[i:i + 3]))
            v = g[0] << 16 | g[1] << 8 | g[2]
            out += ''.join(table[(v >> s) & 63] for s in (18, 12, 6, 0))
    return out


UU_TABLE = '`!"#$%&\'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_'
XX_TABLE = '+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz'


# --- checks of the model against published vectors ------------------------------------------

def check_model():
    h = bytes.fromhex
    assert AES(h('000102030405060708090a0b0c0d0e0f')).encrypt(h('00112233445566778899aabbccddeeff')) == \
        h('69c4e0d86a7b0430d8cdb78070b4c55a')
    for n in (16, 24, 32):
        k = bytes(range(n))
        p = bytes(range(16, 32))
        assert PyAES(k).encrypt(p) == AES(k).encrypt(p) and PyAES(k).decrypt(AES(k).encrypt(p)) == p
    assert AESOther(bytes(range(24))).encrypt(bytes(16)) == AES(bytes(range(24))).encrypt(bytes(16))
    assert Twofish(bytes(16)).encrypt(bytes(16)) == h('9f589f5cf6122c32b6bfec2f2ae8c35a')
    k = h('0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff')
    assert Twofish(k).encrypt(bytes(16)) == h('37527be0052334b89f0cfccae87cfa20')
    assert Twofish(k).decrypt(h('37527be0052334b89f0cfccae87cfa20')) == bytes(16)
    b = bytes(range(16))
    assert Square(b).encrypt(b) == h('7c3491d94994e70f0ec2e7a5ccb5a14f')
    assert Square(b).decrypt(h('7c3491d94994e70f0ec2e7a5ccb5a14f')) == b
    assert ripemd(b'abc', False) == h('c14a12199c66e4ba84636b0f69144c77')
    assert ripemd(b'abc', True) == h('afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65')
    assert crc16(0, b'123456789') == 0xBB3D
    # The 8-bit CFB of SP 800-38A F.3.7.
    m = Modes(AES(h('2b7e151628aed2a6abf7158809cf4f3c')), bytes(range(16)))
    assert m.encode('CFB', h('6bc1bee22e409f96e93d7e117393172aae2d')) == h('3b79424c9c0dd436bace9e0ed4586a4f32b9')


def cpp(data):
    return '{' + ', '.join('0x%02x' % b for b in data) + '}'


def main():
    check_model()
    h = bytes.fromhex
    print('// self-test vectors')
    for name, cls in [('TCipher_Rijndael', AES), ('TCipher_RijndaelZE', AESOther), ('TCipher_Blowfish', Blowfish),
                      ('TCipher_1DES', DES), ('TCipher_3DES', DES3), ('TCipher_3TDES', DES3T),
                      ('TCipher_Twofish', Twofish), ('TCipher_Square', Square)]:
        print(name, cpp(selftest_vector(cls, name)))
    print('// identities', hex(identity('TCipher_Rijndael')), hex(identity('THash_RipeMD256')))
    k16 = h('2b7e151628aed2a6abf7158809cf4f3c')
    msg = bytes(range(40))
    print('// default vector of AES key 00..0f', Modes(AES(bytes(range(16)))).V.hex())
    for mode in ('CTS', 'CBC', 'CFB', 'OFB', 'CTR', 'ECB'):
        print('// AES', mode, '40 bytes 00..27, key 2b7e..', Modes(AES(k16)).encode(mode, msg).hex())
    for mode in ('CTSMAC', 'CBCMAC', 'CFBMAC'):
        m = Modes(AES(k16))
        m.encode(mode, msg)
        m2 = Modes(AES(k16))
        m2.encode(mode, msg[:33])
        print('// AES', mode, 'feedback after 40 / 33 bytes', m.F.hex(), m2.F.hex())
    m = Modes(AES(k16))
    print('// AES CTR 32 zero bytes', m.ctr(bytes(32)).hex())
    m = Modes(AES(k16))
    m.counter = bytearray(b'\xff' * 8 + bytes(range(1, 9)))
    print('// AES CTR counter FF*8 + 01..08, 16 zero bytes', m.ctr(bytes(16)).hex(), bytes(m.counter).hex())
    m = Modes(AES(k16))
    m.ctr(bytes(255 * 16))
    print('// AES CTR block 256', m.ctr(bytes(16)).hex(), bytes(m.counter).hex())
    # The string key: RIPEMD-256 of the password; the digest is encrypted with
    # the key stream of the mode in force (CTS at construction).
    for mode in ('CTS', 'CTR'):
        m = Modes(password_key(b'secret', AES, 32))
        m.encode(mode, ripemd(b'secret', True))
        m.done()
        print('// AES password "secret", InitKey in', mode, '-> 20 zero bytes in CTR',
              m.ctr(bytes(20)).hex())
    print('// ZE 32-byte key 00..1f, pt 00..0f', AESOther(bytes(range(32))).encrypt(bytes(range(16))).hex())
    print('// ZE 32-byte key 2b7e.. x2, pt zero', AESOther(k16 + k16).encrypt(bytes(16)).hex())
    print('// 3DES 16-byte key 0123456789abcdef fedcba9876543210, pt 0',
          DES3(h('0123456789abcdeffedcba9876543210')).encrypt(bytes(8)).hex())
    k24 = h('0123456789abcdef23456789abcdef01456789abcdef0123')
    print('// 3TDES key', k24.hex(), 'pt 00..17', DES3T(k24).encrypt(bytes(range(24))).hex())
    bf57 = bytes(range(1, 73))
    print('// Blowfish 72-byte key 01..48 (cut to 56), pt 0', Blowfish(bf57).encrypt(bytes(8)).hex())
    print('// Blowfish 4-byte key 01020304 = 8-byte 0102030401020304',
          Blowfish(h('01020304')).encrypt(bytes(8)).hex(), Blowfish(h('0102030401020304')).encrypt(bytes(8)).hex())
    print('// Twofish 20-byte key 00..13 pt 0', Twofish(bytes(range(20))).encrypt(bytes(16)).hex())
    print('// Square key 00..09 pt 0', Square(bytes(range(10))).encrypt(bytes(16)).hex())
    # WinZip AES: PBKDF2-HMAC-SHA1 "password", salt 00..07, 1000 rounds, 34 bytes.
    dk = hashlib.pbkdf2_hmac('sha1', b'password', bytes(range(8)), 1000, 34)
    ct = Modes(AES(dk[:16])).ctr(b'Fennolit')
    import hmac
    print('// WinZip AES keys', dk.hex(), 'ct', ct.hex(), 'mac', hmac.new(dk[16:32], ct, 'sha1').hexdigest()[:20])
    print('// LCG seed 0', lcg_bytes(0, 8).hex(), 'seed 43200000', lcg_bytes(43200000, 8).hex())
    print('// RndXORBuffer seed 0x12345678 over 00..0f', rnd_xor(0x12345678, bytes(range(16))).hex())
    print('// UU "Man"', uu(b'Man', UU_TABLE), ' XX "Man"', uu(b'Man', XX_TABLE))
    print('// XX 00..2f', uu(bytes(range(48)), XX_TABLE))
    print('// ripemd128/256 of 55/56/64 x "a"', ripemd(b'a' * 55, False).hex(), ripemd(b'a' * 56, False).hex(),
          ripemd(b'a' * 64, True).hex())


CIPHERS = {'AES': AES, 'AESOther': AESOther, 'DES': DES, 'DES3': DES3, 'DES3T': DES3T, 'Blowfish': Blowfish,
           'Twofish': Twofish, 'Square': Square}


def batch(request, reply):
    """Answers a file of requests, one per line, with one hex line each:
         ecb CIPHER KEYHEX DATAHEX       whole blocks encrypted
         mode MODE CIPHER KEYHEX DATAHEX  the library's mode, default vector
         ctr KEYHEX FILE                  AES counter mode over a file (hex out)"""
    out = []
    for line in open(request).read().split('\n'):
        f = line.split()
        if not f:
            continue
        if f[0] == 'ecb':
            c = CIPHERS[f[1]](bytes.fromhex(f[2]))
            d = bytes.fromhex(f[3])
            out.append(b''.join(c.encrypt(d[i:i + c.block]) for i in range(0, len(d), c.block)).hex())
        elif f[0] == 'mode':
            out.append(Modes(CIPHERS[f[2]](bytes.fromhex(f[3]))).encode(f[1], bytes.fromhex(f[4])).hex())
        elif f[0] == 'ctr':
            out.append(Modes(AES(bytes.fromhex(f[1]))).ctr(open(f[2], 'rb').read()).hex())
    open(reply, 'w').write('\n'.join(out) + '\n')


if __name__ == '__main__':
    import sys
    if len(sys.argv) == 4 and sys.argv[1] == 'batch':
        batch(sys.argv[2], sys.argv[3])
    else:
        main()
