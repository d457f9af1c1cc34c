"""The Python module as a numpy user calls it: dtypes, strides, out, refusals,
the interpreter lock, Filler and fill_file against darkfill-cli."""

import os
import re
import subprocess
import threading

import numpy as np
import pytest

import darkfill

DTYPES = [np.uint8, np.uint16, np.int32, np.float32]


def depth_frame(rows, columns, seed, dtype=np.uint16):
    """Sloping values with holes of every size: single cells and blocks."""
    rng = np.random.default_rng(seed)
    frame = (np.add.outer(np.arange(rows), np.arange(columns)) % 200 + 1).astype(dtype)
    frame[rng.random((rows, columns)) < 0.2] = 0
    for _ in range(4):
        y, x = rng.integers(0, rows - 5), rng.integers(0, columns - 5)
        frame[y:y + 5, x:x + 5] = 0
    return frame


def rows_columns_fill(frame, reach=499):
    """Each hole from its nearest source on its row or column, left, right,
    below, above at equal distance: the rule where no region is painted."""
    rows, columns = frame.shape
    result = frame.copy()
    for y, x in zip(*np.nonzero(frame == 0)):
        for d in range(min(reach, max(rows, columns)) + 1):
            probes = [frame[y, max(x - d, 0)], frame[y, min(x + d, columns - 1)],
                      frame[min(y + d, rows - 1), x], frame[max(y - d, 0), x]]
            found = [p for p in probes if p > 0]
            if found:
                result[y, x] = found[0]
                break
    return result


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("layout", ["contiguous", "fortran", "every-other-column", "flipped", "padded"])
def test_every_dtype_and_layout_fills_as_contiguous_does(dtype, layout):
    frame = depth_frame(37, 53, 1, dtype)
    wide = np.zeros((37, 106 + 3), dtype)
    laid = {"contiguous": frame, "fortran": np.asfortranarray(frame), "flipped": frame[::-1, ::-1],
            "every-other-column": wide[:, :106:2], "padded": wide[:, 3:56]}[layout]
    if layout in ("every-other-column", "padded"):
        laid[...] = frame
    expected = darkfill.fill_holes(np.ascontiguousarray(laid))
    assert darkfill.fill_holes(laid).tobytes() == expected.tobytes()
    assert darkfill.fill_holes(laid, out=laid) is laid
    assert laid.tobytes() == expected.tobytes()


@pytest.mark.parametrize("reach", [0, 1, 4, 499])
def test_holes_without_regions_follow_the_row_and_column_rule(reach):
    frame = depth_frame(24, 31, 2)
    frame[frame == 0] = 7
    rng = np.random.default_rng(3)
    frame[rng.random(frame.shape) < 0.3] = 0  # single holes and small groups
    frame[:, 10] = 0  # a column of holes: one region of the border rows' size
    frame[10:14, 10:14] = 0
    result = darkfill.fill_holes(frame, reach=reach, smallest_region=10**6)
    assert np.array_equal(result, rows_columns_fill(frame, reach))


def test_float_values_kept_exactly_and_nan_is_a_hole():
    frame = np.full((9, 9), 1.2345678, np.float32)
    frame[3:6, 3:6] = np.nan
    frame[4, 4] = 0.0
    frame[0, 8] = -2.5
    result, counts = darkfill.fill_holes(frame, counts=True)
    assert result[0, 8] == np.float32(-2.5)
    assert np.all(result[3:6, 3:6] == np.float32(1.2345678))
    assert counts == darkfill.FillCounts(1, 1, 9, 0, 0)


@pytest.mark.parametrize("call, error, words", [
    (lambda: darkfill.fill_holes(np.zeros((4, 4))), TypeError, "float64"),
    (lambda: darkfill.fill_holes([[1, 0], [1, 1]]), TypeError, "numpy arrays"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), ">u2")), TypeError, "byte order"),
    (lambda: darkfill.fill_holes(np.zeros((2, 4, 4), np.uint8)), ValueError, "3 dimensions"),
    (lambda: darkfill.fill_holes(np.zeros((0, 4), np.uint8)), ValueError, "2**30"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), out=np.zeros((4, 4), np.uint16)), TypeError, "same"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), out=np.zeros((4, 5), np.uint8)), ValueError, "shape"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), out=[[0] * 4] * 4), TypeError, "out must"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), reach=-1), ValueError, "reach"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), smallest_region=0), ValueError, "smallest_region"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), rule="nearest-ish"), ValueError, "rule"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), rule="background", far="nearer"), ValueError, "far"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), rule="guided"), ValueError, "needs a guide"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), guide=np.zeros((4, 4), np.uint8)), ValueError,
     "a guide is for rule='guided'"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), rule="guided", guide=np.zeros((4, 5), np.uint8)),
     ValueError, "guide has shape (4, 5) and the array (4, 4)"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), rule="guided", guide=np.zeros((4, 4))), TypeError,
     "guide holds float64"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), rule="guided", guide=np.zeros((4, 4, 3), np.uint16)),
     ValueError, "(rows, columns, 3 or 4) for uint8 colour"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), rule="guided", guide=[[0] * 4] * 4), TypeError,
     "guide must be a numpy array"),
    (lambda: darkfill.fill_holes(np.zeros((4, 4), np.uint8), rule="guided", guide=np.zeros((4, 4), np.uint8),
                                 reach=3), ValueError, "no reach"),
])
def test_refusals_say_what_was_given(call, error, words):
    with pytest.raises(error, match=re.escape(words)):
        call()


def test_read_only_out_is_refused():
    out = np.zeros((4, 4), np.uint8)
    out.setflags(write=False)
    with pytest.raises(ValueError, match="read-only"):
        darkfill.fill_holes(np.zeros((4, 4), np.uint8), out=out)


def test_the_interpreter_lock_is_released_while_filling():
    # A one-pixel serpentine: the slowest shape to label, long enough to watch.
    frame = np.full((1024, 1024), 9, np.uint16)
    frame[1::2, 1:-1] = 0
    frame[1:-1:4, -2] = 0
    frame[3:-1:4, 1] = 0
    finished = threading.Event()
    worker = threading.Thread(target=lambda: (darkfill.fill_holes(frame), finished.set()))
    spins = 0
    worker.start()
    while not finished.is_set():
        spins += 1
    worker.join()
    assert spins > 1000


def test_a_filler_reused_across_sizes_fills_as_a_fresh_one():
    filler = darkfill.Filler()
    for shape, dtype in [((120, 160), np.uint16), ((7, 9), np.uint8), ((120, 160), np.float32), ((300, 11), np.int32)]:
        frame = depth_frame(*shape, 4, dtype)
        assert filler.fill(frame).tobytes() == darkfill.fill_holes(frame).tobytes()
    assert filler.held_bytes > 0


def test_guided_rule_follows_its_guide_in_every_form():
    """A hole across an edge that the guide shares takes each side's value; every
    form of the same guide (grey, 16-bit, RGB, RGBA, a reversed BGR view) fills
    alike, to the rounding of its values."""
    frame = np.full((30, 40), 100, np.uint16)
    frame[:, 20:] = 200
    frame[8:22, 10:30] = 0
    grey = np.where(np.arange(40) < 20, 60, 190).astype(np.uint8)[np.newaxis, :].repeat(30, axis=0)
    colour = np.stack([grey, grey, grey], axis=2)
    forms = {"grey": grey, "wide": grey.astype(np.uint16) * 257, "rgb": colour,
             "rgba": np.concatenate([colour, np.full((30, 40, 1), 255, np.uint8)], axis=2),
             "bgr view": colour[:, :, ::-1], "every other row": np.repeat(grey, 2, axis=0)[::2]}
    filled, where = darkfill.fill_holes(frame, rule="guided", guide=grey, smallest_region=10**6, fill_map=True)
    assert (filled[8:22, 10:20] == 100).all() and (filled[8:22, 20:30] == 200).all()
    assert ((where == darkfill.FROM_GUIDE) == (frame == 0)).all()
    for name, guide in forms.items():
        other = darkfill.Filler().fill(frame, rule="guided", guide=guide, smallest_region=10**6)
        assert np.abs(other.astype(int) - filled).max() <= 1, name


def test_fill_file_takes_a_guide_as_darkfill_cli_does(tmp_path):
    import struct
    frame = depth_frame(30, 40, 6)
    (tmp_path / "in.pgm").write_bytes(b"P5 40 30 65535\n" + struct.pack(">1200H", *frame.ravel()))
    guide = (np.arange(1200).reshape(30, 40) % 7 * 30).astype(np.uint8)
    (tmp_path / "guide.pgm").write_bytes(b"P5 40 30 255\n" + guide.tobytes())
    darkfill.fill_file(tmp_path / "in.pgm", tmp_path / "ours.png", rule="guided", guide=tmp_path / "guide.pgm")
    assert run_cli(str(tmp_path / "in.pgm"), "-o", str(tmp_path / "theirs.png"), "--rule", "guided",
                   "--guide", str(tmp_path / "guide.pgm")).returncode == 0
    assert (tmp_path / "ours.png").read_bytes() == (tmp_path / "theirs.png").read_bytes()
    with pytest.raises(ValueError, match="needs a guide"):
        darkfill.fill_file(tmp_path / "in.pgm", tmp_path / "x.png", rule="guided")


def run_cli(*arguments):
    return subprocess.run([os.environ["DARKFILL_CLI"], *arguments], capture_output=True, text=True)


def nearest_fill(frame):
    """Each hole from the source nearest to it, the leftmost and then the
    uppermost at equal distance: the nearest rule where no region is painted."""
    ys, xs = np.nonzero(frame.T > 0)[::-1]  # sources column by column, each from the top
    result = frame.copy()
    for y, x in zip(*np.nonzero(frame == 0)):
        result[y, x] = frame[ys, xs][np.argmin((ys - y) ** 2 + (xs - x) ** 2)]
    return result


def background_fill(frame, far):
    """Of each hole's nearest sources left and right the farther, else the same
    above and below: the background rule where no region is painted."""
    pick = max if far == "larger" else min
    result = frame.copy()
    for y, x in zip(*np.nonzero(frame == 0)):
        for line, at in ((frame[y], x), (frame[:, x], y)):
            found = [side[side > 0][edge] for side, edge in ((line[:at], -1), (line[at + 1:], 0))
                     if (side > 0).any()]
            if found:
                result[y, x] = pick(found)
                break
    return result


@pytest.mark.parametrize("rule, far, expected", [
    ("nearest", "larger", nearest_fill),
    ("background", "larger", lambda frame: background_fill(frame, "larger")),
    ("background", "smaller", lambda frame: background_fill(frame, "smaller")),
])
def test_rules_fill_as_they_say(rule, far, expected):
    frame = depth_frame(23, 29, 4)
    frame[np.random.default_rng(5).random(frame.shape) < 0.6] = 0
    result, fill_map = darkfill.fill_holes(frame, rule=rule, far=far, smallest_region=10**6, fill_map=True)
    assert np.array_equal(result, expected(frame))
    source = darkfill.FROM_NEAREST if rule == "nearest" else darkfill.FROM_BACKGROUND
    assert set(np.unique(fill_map[frame == 0])) <= {source, darkfill.LEFT_AT_ZERO}
    assert np.array_equal(darkfill.Filler().fill(frame, rule=rule, far=far, smallest_region=10**6), result)


def test_fill_file_writes_what_darkfill_cli_writes(tmp_path):
    import struct
    frame = depth_frame(30, 40, 5)
    source = tmp_path / "in\udce9.pgm"  # b"in\xe9.pgm": names are bytes, UTF-8 or not
    source.write_bytes(b"P5 40 30 65535\n" + struct.pack(">1200H", *frame.ravel()))
    counts = darkfill.fill_file(source, tmp_path / "ours\udcff.png", fill_map=os.fsencode(tmp_path / "map\xfe.png"))
    assert run_cli(str(source), "-o", str(tmp_path / "theirs.png")).returncode == 0
    assert (tmp_path / "ours\udcff.png").read_bytes() == (tmp_path / "theirs.png").read_bytes()
    assert counts.pixels_filled > 0 and (tmp_path / "map\xfe.png").exists()


@pytest.mark.parametrize("case", ["missing input", "missing input of no UTF-8", "existing output",
                                  "output is the input", "not a picture"])
def test_fill_file_refuses_as_darkfill_cli_does(tmp_path, case):
    picture = tmp_path / "in.pgm"
    picture.write_bytes(b"P5 2 2 255\n\x01\x00\x02\x03")
    (tmp_path / "out.png").write_bytes(b"kept")
    (tmp_path / "junk.png").write_bytes(b"not a picture at all")
    source, target = {"missing input": ("gone.png", "new.png"), "missing input of no UTF-8": ("gone\udcff.png", "new.png"),
                      "existing output": ("in.pgm", "out.png"),
                      "output is the input": ("in.pgm", "in.pgm"), "not a picture": ("junk.png", "new.png")}[case]
    source, target = str(tmp_path / source), str(tmp_path / target)
    with pytest.raises(darkfill.FileError) as refused:
        darkfill.fill_file(source, target)
    tool = run_cli(source, "-o", target)
    assert tool.returncode == 1
    assert tool.stderr.strip() == "darkfill-cli: " + str(refused.value)
    assert (tmp_path / "out.png").read_bytes() == b"kept"


def test_fill_file_refuses_standard_output_that_is_the_input(tmp_path):
    picture = tmp_path / "in.pgm"
    picture.write_bytes(b"P5 2 2 255\n\x01\x00\x02\x03")
    saved, opened = os.dup(1), os.open(picture, os.O_WRONLY | os.O_APPEND)
    try:
        os.dup2(opened, 1)
        with pytest.raises(darkfill.FileError, match="standard output is the input"):
            darkfill.fill_file(picture, "-")
    finally:
        os.dup2(saved, 1)
        os.close(saved)
        os.close(opened)
    assert picture.read_bytes() == b"P5 2 2 255\n\x01\x00\x02\x03"
