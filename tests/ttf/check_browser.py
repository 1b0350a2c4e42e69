#!/usr/bin/env python3
"""A real browser draws our TrueType fonts as the source: headless Chromium (Debian's
chromium-headless-shell) loads each .ttf as a web font, draws every character of the source on a
canvas at the font's pixel size in px, and the drawing is held against the source's bitmaps, which
pcf2bdf gives us from the real PCF file.

Usage: python3 tests/ttf/check_browser.py BUILD_DIR [FONT.pcf.gz ...]   (make check-browser)

For each font it prints the characters checked, those drawn wrong (ink shape, place relative to pen
and baseline, advance) and the grey pixels, and exits 1 when any is wrong or grey. What the browser's
shaping does not draw alone as the font's one glyph is left out (see shaped_alone): marks, which
it draws on a dotted circle, letters it splits into their canonical parts, format, separator and
unassigned characters, Arabic letters, and the few in SHAPED.
"""
import base64
import json
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

FONTS = ["misc/6x13.pcf.gz", "misc/9x15B.pcf.gz", "misc/10x20.pcf.gz", "misc/ter-u16n_iso-8859-1.pcf.gz",
         "75dpi/helvR12-ISO8859-1.pcf.gz", "100dpi/courB14-ISO8859-1.pcf.gz"]
COLUMNS = 64
BATCH = 4096
# Characters the browser's shaping draws otherwise when alone: Thai and Lao AM split into two
# vowels, the object replacement character not drawn at all, Bengali khanda ta and Malayalam dot
# reph given a dotted circle.
SHAPED = {0x0E33, 0x0EB3, 0xFFFC, 0x09CE, 0x0D4E}
# The blocks of the scripts the browser shapes on its own (Indic, Thai and Lao, Tibetan, Myanmar,
# Balinese): a letter with a canonical decomposition is drawn as its parts, and code points still
# unassigned in Python's Unicode may be marks in the browser's newer one. Then the default ignorable
# code points, which it does not draw.
COMPLEX = ((0x0900, 0x0DFF), (0x0E00, 0x0EFF), (0x0F00, 0x0FFF), (0x1000, 0x109F), (0x1B00, 0x1B7F))
IGNORABLE = ((0x2060, 0x206F), (0xFFF0, 0xFFF8))


def shaped_alone(char):
    """Whether the browser, drawing `char` alone, draws something else than the font's glyph for it:
    marks (on a dotted circle), format and separator characters, Arabic letters (drawn as the
    font's isolated presentation forms), in the COMPLEX blocks letters with a canonical
    decomposition and unassigned code points, the IGNORABLE ones, and SHAPED."""
    c = chr(char)
    category, decomposition = unicodedata.category(c), unicodedata.decomposition(c)
    complex_script = any(first <= char <= last for first, last in COMPLEX)
    return (char in SHAPED or category in ("Mn", "Mc", "Me", "Cf", "Zl", "Zp") or
            unicodedata.bidirectional(c) == "AL" or any(first <= char <= last for first, last in IGNORABLE) or
            (complex_script and (category == "Cn" or (decomposition != "" and not decomposition.startswith("<")))))


def codec_of(registry, encoding):
    """Python's codec of an X encoding: "unicode" for ISO10646-1, None for a symbol font."""
    name = f"{registry}-{encoding}".lower()
    if name == "iso10646-1":
        return "unicode"
    for prefix, codec in (("iso8859-", "iso8859_"), ("koi8-", "koi8_"), ("microsoft-", ""), ("ibm-", "")):
        if name.startswith(prefix) and name != "iso8859-12":
            return codec + name[len(prefix):]
    return {"paratype-pt154": "ptcp154", "iso646.1991-irv": "ascii", "ascii-0": "ascii"}.get(name)


def read_bdf(text):
    """(properties, [(code, advance, ink)]) with ink = (left, top, width, rows, [row bit strings])."""
    props, glyphs = {}, []
    lines = iter(text.splitlines())
    for line in lines:
        words = line.split()
        if not words:
            continue
        if words[0] in ("CHARSET_REGISTRY", "CHARSET_ENCODING", "PIXEL_SIZE", "FONT_ASCENT", "FONT_DESCENT"):
            props[words[0]] = line.split(None, 1)[1].strip().strip('"')
        elif words[0] == "STARTCHAR":
            code = advance = 0
            box = (0, 0, 0, 0)
        elif words[0] == "ENCODING":
            code = int(words[1])
        elif words[0] == "DWIDTH":
            advance = int(words[1])
        elif words[0] == "BBX":
            box = tuple(int(w) for w in words[1:5])
        elif words[0] == "BITMAP":
            width, height, x, y = box
            rows = []
            for _ in range(height):
                hexrow = next(lines).strip()
                rows.append(bin(int(hexrow, 16))[2:].zfill(len(hexrow) * 4)[:width] if hexrow else "0" * width)
            if code >= 0:
                glyphs.append((code, advance, ink(x, y + height, rows)))
    return props, glyphs


def ink(left, top, rows):
    """The rows cropped to their set pixels: (left, top, width, rows) of the ink alone."""
    set_rows = [i for i, r in enumerate(rows) if "1" in r]
    if not set_rows:
        return (0, 0, 0, 0, [])
    first, last = set_rows[0], set_rows[-1]
    cols = [i for r in rows for i, bit in enumerate(r) if bit == "1"]
    lo, hi = min(cols), max(cols)
    kept = [r[lo:hi + 1] for r in rows[first:last + 1]]
    return (left + lo, top - first, hi - lo + 1, last - first + 1, kept)


PAGE = """<!DOCTYPE html><html><head><style>
@font-face { font-family: "Under Test"; src: url(data:font/ttf;base64,%(font)s); }
</style></head><body><pre id="out">pending</pre><script>
const chars = %(chars)s, ppem = %(ppem)d, cell = 3 * ppem, columns = %(columns)d;
document.fonts.load(ppem + 'px "Under Test"').then(() => {
  const canvas = document.createElement('canvas');
  canvas.width = columns * cell;
  canvas.height = Math.ceil(chars.length / columns) * cell;
  const g = canvas.getContext('2d', {willReadFrequently: true});
  g.font = ppem + 'px "Under Test"';
  g.textBaseline = 'alphabetic';
  g.fillStyle = '#000';
  chars.forEach((c, i) => g.fillText(String.fromCodePoint(c), (i %% columns) * cell + ppem,
                                     Math.floor(i / columns) * cell + 2 * ppem));
  const alpha = g.getImageData(0, 0, canvas.width, canvas.height).data;
  const result = chars.map((c, i) => {
    const ox = (i %% columns) * cell + ppem, oy = Math.floor(i / columns) * cell + 2 * ppem;
    const rows = [];
    let grey = 0;
    for (let y = oy - 2 * ppem; y < oy + ppem; ++y) {
      let row = '';
      for (let x = ox - ppem; x < ox + 2 * ppem; ++x) {
        const a = alpha[(y * canvas.width + x) * 4 + 3];
        if (a > 0 && a < 255) ++grey;
        row += a >= 128 ? '1' : '0';
      }
      rows.push(row);
    }
    return [c, g.measureText(String.fromCodePoint(c)).width, grey, rows];
  });
  document.getElementById('out').textContent = JSON.stringify(result);
});
</script></body></html>"""


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, **kw)


def check_font(build, source, work):
    name = os.path.basename(source).split(".")[0]
    pcf, bdf, ttf = (os.path.join(work, name + ext) for ext in (".pcf", ".bdf", ".ttf"))
    with open(pcf, "wb") as f:
        f.write(run(["gzip", "-dc", source]).stdout)
    run(["pcf2bdf", "-o", bdf, pcf])
    run([os.path.join(build, "corvane"), "-o", ttf, source])
    with open(bdf, encoding="latin-1") as f:
        props, glyphs = read_bdf(f.read())
    codec = codec_of(props.get("CHARSET_REGISTRY", ""), props.get("CHARSET_ENCODING", ""))
    ppem = int(props.get("PIXEL_SIZE", 0)) or int(props["FONT_ASCENT"]) + int(props["FONT_DESCENT"])
    expected, skipped = {}, 0
    for code, advance, shape in glyphs:
        if codec is None:
            char = 0xF000 + code
        elif codec == "unicode":
            char = code
        else:
            try:
                text = bytes([code]).decode(codec) if code < 256 else ""
            except UnicodeDecodeError:
                text = ""
            char = ord(text) if len(text) == 1 else -1
        if char < 0x20 or 0x7F <= char <= 0x9F:
            continue
        if codec is not None and shaped_alone(char):
            skipped += 1
            continue
        expected[char] = (advance, shape)
    chars = sorted(expected)
    with open(ttf, "rb") as f:
        font = base64.b64encode(f.read()).decode()
    wrong, grey, examples = 0, 0, []
    # A page per BATCH characters, so a large font's canvas stays within what the browser draws.
    for first in range(0, len(chars), BATCH):
        batch = chars[first:first + BATCH]
        page = os.path.join(work, f"{name}-{first}.html")
        with open(page, "w") as f:
            f.write(PAGE % {"font": font, "chars": json.dumps(batch), "ppem": ppem, "columns": COLUMNS})
        dom = run(["chromium-headless-shell", "--no-sandbox", "--disable-gpu", "--force-device-scale-factor=1",
                   "--virtual-time-budget=60000", "--dump-dom", "file://" + page], timeout=600).stdout.decode()
        found = re.search(r'<pre id="out">(.*?)</pre>', dom, re.S)
        if not found or found.group(1) == "pending":
            wrong += len(batch)
            examples.append(f"the page of U+{batch[0]:04X} to U+{batch[-1]:04X} drew nothing")
            continue
        for c, width, grey_pixels, rows in json.loads(found.group(1)):
            advance, shape = expected[c]
            drawn = ink(-ppem, 2 * ppem, rows)
            grey += grey_pixels
            if drawn != shape or width != advance or grey_pixels:
                wrong += 1
                if len(examples) < 12:
                    examples.append(f"U+{c:04X}: drawn {drawn[:4]} advance {width} grey {grey_pixels}, "
                                    f"expected {shape[:4]} advance {advance}")
    return name, len(chars), skipped, wrong, grey, examples


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build, fonts = sys.argv[1], sys.argv[2:] or ["/usr/share/fonts/X11/" + f for f in FONTS]
    failed = False
    with tempfile.TemporaryDirectory() as work:
        for source in fonts:
            name, checked, skipped, wrong, grey, examples = check_font(build, source, work)
            print(f"{name}: {checked} characters checked ({skipped} the browser shapes when alone left out), "
                  f"{wrong} wrong, {grey} grey pixels")
            for line in examples:
                print("  " + line)
            failed |= wrong > 0 or grey > 0
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
