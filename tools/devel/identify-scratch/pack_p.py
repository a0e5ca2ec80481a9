import struct, sys
src, out = sys.argv[1], sys.argv[2]
cards = {}
order = []
with open(src) as f:
    next(f)
    for line in f:
        c = line.rstrip('\n').split('\t')
        card = int(c[0])
        if card not in cards:
            cards[card] = [c[1], c[2], []]
            order.append(card)
        cards[card][2].append((c[3], c[4], c[5], c[6], c[7], c[8]))
def rec(body):
    return struct.pack('<i', len(body)) + body
data = rec(b'PATTERNS 1')
for card in sorted(order):
    iic, cut, lines = cards[card]
    n = len(lines)
    body = struct.pack('<iIIH', card, round(float(iic)*1000) if iic else 0, int(cut or 0), n)
    body += b''.join(struct.pack('<I', round(float(l[0])*10000)) for l in lines)
    body += b''.join(struct.pack('<H', round(float(l[1])*100)) for l in lines)
    body += b''.join(struct.pack('<hhh', int(l[2]), int(l[3]), int(l[4])) for l in lines)
    body += b''.join(struct.pack('<H', int(l[5])) for l in lines)
    data += rec(body)
open(out, 'wb').write(data)
print(len(order), len(data))
