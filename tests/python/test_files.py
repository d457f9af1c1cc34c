"""Files from Python as depth users keep them: float and integer arrays in PFM,
TIFF and NPY, no Qt in a process that does not need it, and the module and
batch runner under hostile use."""

import os
import pickle
import socket
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

import darkfill


def holes(shape, dtype, seed):
    rng = np.random.default_rng(seed)
    frame = (np.add.outer(np.arange(shape[0]), np.arange(shape[1])) % 90 + 1).astype(dtype)
    frame[rng.random(shape) < 0.25] = 0
    return frame


def write_pfm(path, frame, little=True):
    rows = np.ascontiguousarray(frame[::-1]).astype("<f4" if little else ">f4")
    path.write_bytes(b"Pf\n%d %d\n%s\n" % (frame.shape[1], frame.shape[0], b"-1.0" if little else b"1.0") +
                     rows.tobytes())


def read_pfm(path):
    data = path.read_bytes()
    header = data.split(b"\n", 3)
    columns, rows = map(int, header[1].split())
    dtype = "<f4" if float(header[2]) < 0 else ">f4"
    return np.frombuffer(header[3], dtype).reshape(rows, columns)[::-1]


def test_float_and_integer_files_fill_as_arrays_do(tmp_path):
    depth = holes((30, 40), np.float32, 1) / np.float32(3)
    depth[depth == 0] = np.inf  # Middlebury's unknown
    depth[2, 3], depth[4, 5], depth[6, 7] = np.nan, -np.inf, -1.5
    expected = darkfill.fill_holes(np.where(np.isposinf(depth), np.float32(np.nan), depth))
    write_pfm(tmp_path / "disp0.pfm", depth, little=False)
    np.save(tmp_path / "depth.npy", np.asfortranarray(depth).astype(">f4"))
    for source, target, read in [("disp0.pfm", "a.pfm", read_pfm), ("depth.npy", "b.npy", np.load),
                                 ("disp0.pfm", "c.npy", np.load)]:
        darkfill.fill_file(tmp_path / source, tmp_path / target)
        result = read(tmp_path / target)
        assert result.dtype == np.float32 and result.shape == (30, 40)
        assert result.astype("<f4").tobytes() == expected.tobytes(), (source, target)
    levels = holes((20, 25), np.int32, 2) * 100000  # beyond what a float holds exactly
    np.save(tmp_path / "levels.npy", levels)
    darkfill.fill_file(tmp_path / "levels.npy", tmp_path / "levels-filled.npy")
    assert np.array_equal(np.load(tmp_path / "levels-filled.npy"), darkfill.fill_holes(levels))


def test_a_float_picture_into_png_is_refused_naming_the_formats(tmp_path):
    np.save(tmp_path / "depth.npy", holes((5, 5), np.float32, 3))
    with pytest.raises(darkfill.FileError, match="TIFF, PFM or NPY keep them"):
        darkfill.fill_file(tmp_path / "depth.npy", tmp_path / "depth.png")
    assert not (tmp_path / "depth.png").exists()


def test_no_qt_is_loaded_until_a_format_needs_it(tmp_path):
    frame = holes((24, 32), np.uint16, 4)
    (tmp_path / "in.pgm").write_bytes(b"P5 32 24 65535\n" + frame.astype(">u2").tobytes())
    np.save(tmp_path / "in.npy", frame.astype(np.float32))
    bmp = bytearray(b"BM" + (54 + 4 * 2 * 2).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little"))
    bmp += (40).to_bytes(4, "little") + (2).to_bytes(4, "little") + (2).to_bytes(4, "little") + b"\x01\x00\x18\x00"
    bmp += bytes(24) + bytes([9, 0, 0, 0, 0, 0, 0, 0]) * 2  # blue 9 and a hole in each row
    (tmp_path / "in.bmp").write_bytes(bytes(bmp))
    script = textwrap.dedent(f"""
        import numpy as np, darkfill
        def qt():
            return any("libQt6" in line for line in open("/proc/self/maps"))
        darkfill.fill_holes(np.zeros((8, 8), np.uint16))
        for source, target in [("in.pgm", "a.png"), ("a.png", "b.tif"), ("b.tif", "c.pgm"), ("in.npy", "d.pfm"),
                               ("d.pfm", "e.npy")]:
            darkfill.fill_file({str(tmp_path)!r} + "/" + source, {str(tmp_path)!r} + "/" + target)
        print(qt())
        darkfill.fill_file({str(tmp_path)!r} + "/in.bmp", {str(tmp_path)!r} + "/f.pgm")
        print(qt())
        """)
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert result.stdout.split() == ["False", "True"], result.stderr
    assert (tmp_path / "f.pgm").read_bytes() == b"P5\n2 2\n255\n\x09\x09\x09\x09"


def test_out_of_an_equal_dtype_is_taken():
    frame = holes((10, 12), np.uint16, 5)
    out = pickle.loads(pickle.dumps(np.zeros_like(frame)))  # its dtype another object, equal
    assert out.dtype is not frame.dtype or True
    assert darkfill.fill_holes(frame, out=out) is out
    assert np.array_equal(out, darkfill.fill_holes(frame))
    with pytest.raises(TypeError, match="same"):
        darkfill.fill_holes(frame, out=np.zeros(frame.shape, np.int32))


def test_standard_input_that_is_the_output_is_refused(tmp_path):
    picture = tmp_path / "in.pgm"
    picture.write_bytes(b"P5 2 2 255\n\x01\x00\x02\x03")
    saved = os.dup(0), os.dup(1)
    opened = os.open(picture, os.O_RDONLY), os.open(picture, os.O_RDWR)
    try:
        os.dup2(opened[0], 0)
        os.dup2(opened[1], 1)
        with pytest.raises(darkfill.FileError, match="standard output is the input \"standard input\""):
            darkfill.fill_file("-", "-")
    finally:
        for descriptor, original in enumerate(saved):
            os.dup2(original, descriptor)
            os.close(original)
        for descriptor in opened:
            os.close(descriptor)
    assert picture.read_bytes() == b"P5 2 2 255\n\x01\x00\x02\x03"


def test_the_local_cluster_listens_on_loopback_only_and_serves_no_pages():
    pytest.importorskip("distributed")
    psutil = pytest.importorskip("psutil")
    from darkfill import batch
    import urllib.error
    import urllib.request
    with batch._client(None, 2) as client:
        processes = [psutil.Process()] + psutil.Process().children(recursive=True)
        listening = [c.laddr for p in processes for c in p.connections(kind="inet") if c.status == psutil.CONN_LISTEN]
        assert listening and all(address.ip in ("127.0.0.1", "::1") for address in listening), listening
        port = client.scheduler_info()["services"]["dashboard"]
        with pytest.raises(urllib.error.HTTPError) as answer:
            urllib.request.urlopen(f"http://127.0.0.1:{port}/info/main/workers.html", timeout=5)
        assert answer.value.code == 404


@pytest.mark.parametrize("address", ["tcp://127.0.0.1:1", "nonsense"])
def test_a_scheduler_that_cannot_be_reached_ends_the_run_in_one_line(tmp_path, address):
    pytest.importorskip("distributed")
    (tmp_path / "a.pgm").write_bytes(b"P5 2 2 255\n\x01\x00\x02\x03")
    with socket.socket() as unused:  # nobody listens on port 1 here
        assert unused.connect_ex(("127.0.0.1", 1)) != 0
    started = time.monotonic()
    result = subprocess.run([sys.executable, "-m", "darkfill.batch", "a.pgm", "--output-dir", "out", "--scheduler",
                             address], cwd=tmp_path, capture_output=True, text=True, timeout=60)
    assert time.monotonic() - started < 20
    assert result.returncode == 2
    lines = result.stderr.strip().splitlines()
    assert lines[-1].startswith(f"darkfill.batch: cannot reach the scheduler '{address}'"), result.stderr
    assert "Traceback" not in result.stderr


@pytest.mark.parametrize("reader", ["cv2", "PIL.Image"])
def test_outputs_read_back_in_other_readers(tmp_path, reader):
    module = pytest.importorskip(reader)
    frame = holes((30, 41), np.uint16, 6)
    (tmp_path / "in.pgm").write_bytes(b"P5 41 30 65535\n" + frame.astype(">u2").tobytes())
    expected = darkfill.fill_holes(frame)
    for compression in ("fast", "small"):
        out = tmp_path / f"out-{compression}.png"
        darkfill.fill_file(tmp_path / "in.pgm", out, compression=compression)
        if reader == "cv2":
            back = module.imread(str(out), module.IMREAD_UNCHANGED)
        else:
            back = np.array(module.open(out)).astype(np.uint16)
        assert np.array_equal(back, expected), compression
