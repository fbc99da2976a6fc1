# Generates the two interface sounds: a soft tick and a short click.
import math, os, struct, wave, random
HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 22050
def write(path, samples):
    with wave.open(path, 'wb') as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(RATE)
        w.writeframes(b''.join(struct.pack('<h', int(max(-1, min(1, s)) * 32767)) for s in samples))
def tick(ms=30):
    n = int(RATE * ms / 1000)
    out = []
    for i in range(n):
        t = i / RATE
        env = math.exp(-t * 180) * min(1.0, i / 20)
        out.append(0.45 * env * (math.sin(2 * math.pi * 2600 * t) + 0.4 * math.sin(2 * math.pi * 5200 * t)))
    return out
def click(ms=60):
    random.seed(7)
    n = int(RATE * ms / 1000)
    out = []
    for i in range(n):
        t = i / RATE
        env = math.exp(-t * 70) * min(1.0, i / 15)
        f = 900 + 500 * math.exp(-t * 60)
        out.append(0.55 * env * (math.sin(2 * math.pi * f * t) + 0.15 * (random.random() * 2 - 1) * math.exp(-t * 300)))
    return out
write(os.path.join(HERE, 'hover_tap.wav'), tick())
write(os.path.join(HERE, 'trigger_click.wav'), click())
