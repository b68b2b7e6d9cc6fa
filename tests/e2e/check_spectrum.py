#!/usr/bin/env python3
"""Checks a screenshot of Vireon recording a steady 1 kHz tone.

The spectrum display is found by its background colour RGB(10, 10, 20); its bar
layout follows from its size (bars start 30 px from its left edge and 10 px
from its top, (width - 29) / 62 px per band, height - 60 px high). The
spectrogram strip is found by its white cursor line. Reads raw RGB bytes as
`convert shot.xwd -depth 8 rgb:shot.rgb` writes them.

usage: check_spectrum.py SHOT.rgb WIDTH HEIGHT
"""
import sys

BACK_COLOR = (10, 10, 20)
BANDS = 62
TONE_BANDS = range(33, 38)  # 853 Hz .. 1280 Hz
# Far from 1 kHz, and clear of the status box and level meters at the top left.
FAR_BANDS = list(range(10, 21)) + list(range(48, 59))


class Shot:
    def __init__(self, path, width, height):
        with open(path, "rb") as f:
            self.data = f.read()
        self.width, self.height = width, height
        if len(self.data) != width * height * 3:
            raise SystemExit(f"{path}: expected {width}x{height} RGB bytes")

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])


def find_display(shot):
    """Bounding box of the rows and columns rich in the display's background."""
    rows, cols = [], {}
    for y in range(shot.height):
        xs = [x for x in range(shot.width) if shot.pixel(x, y) == BACK_COLOR]
        if len(xs) > 100:
            rows.append(y)
            for x in xs:
                cols[x] = cols.get(x, 0) + 1
    if not rows:
        raise SystemExit("no spectrum display on the screen")
    xs = [x for x, n in cols.items() if n > 20]
    return min(xs), rows[0], max(xs), rows[-1]


def lit_fraction(shot, x, top, bar_height):
    # Lit bar rows have no blue (green to yellow to red); the unlit stripes,
    # the peak marks and the background all have some. Pure black is the
    # status box.
    lit = 0
    for y in range(top, top + bar_height):
        r, g, b = shot.pixel(x, y)
        if b == 0 and (r or g):
            lit += 1
    return lit / bar_height


def check_bars(shot, box):
    left, top, right, bottom = box
    width, height = right - left + 1, bottom - top + 1
    bar_width = (width - 30 + 1) // BANDS
    bar_height = height - 60
    if bar_width < 4 or bar_height < 50:
        raise SystemExit(f"spectrum display too small: {width}x{height}")
    fractions = [
        lit_fraction(shot, left + 30 + i * bar_width + bar_width // 2, top + 10, bar_height)
        for i in range(BANDS)
    ]
    print("lit fraction per band:", " ".join(f"{f:.2f}" for f in fractions))
    tone = max(fractions[i] for i in TONE_BANDS)
    far = max(fractions[i] for i in FAR_BANDS)
    ok = tone >= 0.5 and far <= 0.15
    print(f"bars: tone {tone:.2f} (want >= 0.50), far {far:.2f} (want <= 0.15)")
    return ok


def find_scope_cursor(shot, below):
    """Leftmost column, under the display, holding a long run of white."""
    for x in range(shot.width):
        run, start = 0, None
        for y in range(below, shot.height):
            if shot.pixel(x, y) == (255, 255, 255):
                if run == 0:
                    start = y
                run += 1
                if run >= 40:
                    end = start + run
                    while end < shot.height and shot.pixel(x, end) == (255, 255, 255):
                        end += 1
                    return x, start, end - start
            else:
                run = 0
    raise SystemExit("no spectrogram cursor on the screen")


def check_strip(shot, display_bottom):
    cursor, top, height = find_scope_cursor(shot, display_bottom + 1)
    step = height / BANDS
    columns = [cursor - d for d in range(2, 8) if cursor - d >= 0]
    if not columns:
        raise SystemExit("the spectrogram has no columns yet")

    def brightness(band):
        y = top + int((BANDS - 1 - band + 0.5) * step)
        return max(sum(shot.pixel(x, y)) for x in columns)

    tone = max(brightness(b) for b in TONE_BANDS)
    far = max(brightness(b) for b in FAR_BANDS)
    # Palette entries above 90 (a band average of 17 of 48) sum to 250 or
    # more; silent bands stay near the palette's dark end, 21.
    ok = tone >= 200 and far <= 60
    print(f"strip at x={cursor} y={top} h={height}: tone row {tone} (want >= 200), "
          f"far rows {far} (want <= 60)")
    return ok


def main():
    shot = Shot(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))
    box = find_display(shot)
    print("spectrum display at", box)
    bars_ok = check_bars(shot, box)
    strip_ok = check_strip(shot, box[3])
    sys.exit(0 if bars_ok and strip_ok else 1)


if __name__ == "__main__":
    main()
