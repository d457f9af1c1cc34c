"""Fill the holes of depth maps, disparity maps, scans and grey pictures.

A hole is a value of exactly 0 (and, in a float32 array, NaN). Each dark region
(8-connected holes) of at least ``smallest_region`` cells is painted with the one
value that surrounds it, where exactly one value above 0 does; every hole left
then takes the nearest value above 0 on its row or column, at most ``reach``
cells away, at equal distance left before right before below before above
(``rule="rows-columns"``, the default), or, with ``rule="nearest"``, the
value nearest to it in the plane, or, with ``rule="background"``, the farther
of its row's (else its column's) two nearest values, or, with ``rule="guided"``,
the weighted mean of its neighbours, weighed by a ``guide`` picture (a colour
frame registered to a depth map, say), all holes at once.

    >>> import numpy as np, darkfill
    >>> depth = np.array([[5, 5, 5], [5, 0, 5], [5, 5, 5]], dtype=np.uint16)
    >>> darkfill.fill_holes(depth)
    array([[5, 5, 5],
           [5, 5, 5],
           [5, 5, 5]], dtype=uint16)

Arrays are read where they lie, whatever their strides, and the interpreter lock
is released while a fill runs, so threads fill frames side by side.
"""

import os
from typing import NamedTuple

from darkfill import _darkfill

__version__ = _darkfill.__version__
__all__ = ["fill_holes", "fill_file", "Filler", "FillCounts", "FileError", "MAXIMUM_SIDE", "RULES",
           "KEPT", "PAINTED", "FROM_LEFT", "FROM_RIGHT", "FROM_BELOW", "FROM_ABOVE", "LEFT_AT_ZERO",
           "FROM_NEAREST", "FROM_BACKGROUND", "FROM_GUIDE", "FILL_MAP_COLOURS"]

#: The most rows, and the most columns, of an array: 2**30. Beyond that, the
#: limit is memory: a fill takes about 5 bytes a value besides the arrays.
MAXIMUM_SIDE = _darkfill.MAXIMUM_SIDE
#: The fill rules there are.
RULES = ("rows-columns", "nearest", "background", "guided")

# Where each value of the result came from: the values of a fill map.
KEPT = 0          #: the array's own value, not a hole
PAINTED = 1       #: a hole painted with the one value that surrounds its region
FROM_LEFT = 2     #: filled from the nearest source on its row, to the left
FROM_RIGHT = 3    #: ... to the right
FROM_BELOW = 4    #: filled from the nearest source on its column, below
FROM_ABOVE = 5    #: ... above
LEFT_AT_ZERO = 6  #: a hole with no source in reach, left at 0
FROM_NEAREST = 7     #: filled from the source nearest to it in the plane (rule "nearest")
FROM_BACKGROUND = 8  #: filled from the far side of its row or column (rule "background")
FROM_GUIDE = 9       #: filled by rule "guided"

#: A fill map's colours as (red, green, blue), by the values above.
FILL_MAP_COLOURS = ((0x40, 0x40, 0x40), (0x00, 0x9E, 0x73), (0xE6, 0x9F, 0x00), (0x56, 0xB4, 0xE9),
                    (0xF0, 0xE4, 0x42), (0x00, 0x72, 0xB2), (0xD5, 0x5E, 0x00), (0xCC, 0x79, 0xA7),
                    (0xBB, 0xBB, 0xBB), (0xFF, 0xFF, 0xFF))

FileError = _darkfill.FileError
FileError.__doc__ = "A picture file that could not be read, filled or written; the message names it and says why."


class FillCounts(NamedTuple):
    """What became of the holes of one fill."""

    regions_found: int        #: dark regions of at least smallest_region cells
    regions_painted: int      #: of them, those with one surrounding value
    pixels_painted: int       #: cells of painted regions
    pixels_filled: int        #: cells filled by the rule
    pixels_left_at_zero: int  #: holes with no source in reach


def _returned(result, fill_map, counts):
    extra = []
    if fill_map is not None:
        extra.append(fill_map)
    if counts is not None:
        extra.append(FillCounts(*counts))
    return (result, *extra) if extra else result


def fill_holes(array, *, out=None, fill_map=False, counts=False, smallest_region=6, reach=None,
               rule="rows-columns", far="larger", guide=None):
    """Fill the holes of a 2-D array.

    Parameters
    ----------
    array : numpy.ndarray
        2-D, of uint8, uint16, int32 or float32 values, with any strides; it is
        read without a copy. 0 is a hole, and in float32 also NaN; values below
        0 are neither holes nor sources. Every value is kept and copied
        exactly.
    out : numpy.ndarray, optional
        Where the result goes: the same shape and dtype as ``array``, any
        strides; it may be ``array`` itself. Without it a new array is made.
    fill_map : bool
        Also return a uint8 array of ``array``'s shape saying where every value
        came from (KEPT, PAINTED, FROM_LEFT, ... FROM_GUIDE).
    counts : bool
        Also return a FillCounts.
    smallest_region : int
        Dark regions of fewer cells are not painted (their holes are filled
        like the rest); at least 1. The default is the picture tool's 6.
    reach : int, optional
        The farthest, in cells, that a hole takes a value from; at least 0.
        None is the rule's own: 499 for "rows-columns", no limit otherwise;
        "guided" takes none.
    rule : str
        How holes left after the painting are filled, one of RULES:
        "rows-columns" (the picture tool's), "nearest" (the nearest source by
        exact Euclidean distance; at equal distance the leftmost, then the
        uppermost) or "background" (of the nearest sources left and right on
        the row, the farther; a hole with neither, the same along its column)
        or "guided" (each hole the weighted mean of its 8 neighbours, a
        neighbour weighing the more the nearer its colour (or grey) in
        ``guide`` is to the hole's, leaning toward the nearest source where
        the guide is flat; one linear system for all holes, sources fixed, as
        the NYU Depth toolbox fills its frames).
    far : str
        For "background", which value is the farther: "larger" (depth) or
        "smaller" (disparity).
    guide : numpy.ndarray, optional
        For "guided", and only for it: a picture registered to ``array``, of its
        rows and columns, any strides: uint8 grey (rows, columns), uint8 colour
        (rows, columns, 3 or 4) in RGB order (alpha left out), or uint16 grey
        (an infrared frame, say).

    Returns
    -------
    result : numpy.ndarray
        The filled array (``out`` where given); with fill_map and/or counts, a
        tuple ``(result, fill_map, counts)`` of those asked for, in that order.

    Raises
    ------
    TypeError
        ``array`` or ``out`` is no array of uint8, uint16, int32 or float32, or
        the two differ in dtype; ``guide`` is no uint8 or uint16 array.
    ValueError
        An array that is not 2-D, empty or beyond MAXIMUM_SIDE rows or columns, ``out``
        of another shape or read-only, an option out of range, a guide of
        another shape, a guide without rule "guided" or that rule without one.
    """
    return _returned(*_darkfill.fill_holes(_as_array(array), out, bool(fill_map), bool(counts),
                                           smallest_region, reach, rule, far, guide))


class Filler:
    """Fills frame after frame, keeping its working memory between fills.

    A stream of frames of one size needs no fresh memory after the first. Several
    Fillers may fill at once on different threads; one Filler fills for one
    thread at a time (another thread that calls it waits its turn).

        filler = darkfill.Filler()
        for frame in frames:
            filler.fill(frame, out=frame)
    """

    def __init__(self):
        self._filler = _darkfill.Filler()

    def fill(self, array, *, out=None, fill_map=False, counts=False, smallest_region=6, reach=None,
             rule="rows-columns", far="larger", guide=None):
        """Fill the holes of a 2-D array, as fill_holes does."""
        return _returned(*self._filler.fill(_as_array(array), out, bool(fill_map), bool(counts),
                                            smallest_region, reach, rule, far, guide))

    @property
    def held_bytes(self):
        """The bytes of working memory this Filler holds now."""
        return self._filler.held_bytes


def fill_file(input, output, *, fill_map=None, force=False, smallest_region=6, reach=None, rule="rows-columns",
              far="larger", compression="fast", guide=None):
    """Read a picture file, fill its holes and write the result, as darkfill-cli does.

    The result keeps the picture's depth and type (16-bit PNG, PGM and TIFF stay
    16-bit; float PFM, TIFF and NPY stay float32, int32 NPY and TIFF int32) in
    the format of ``output``'s extension (PNG where there is none). In a float
    picture 0, NaN and +inf are holes. An input is never written over, an
    existing output (or fill map) only with ``force``, and every file is
    written whole or not at all. The name "-" stands for standard input or
    output, as on darkfill-cli's command line. PNG, PGM, PPM, PBM, PFM, TIFF
    and NPY are read without Qt; BMP, JPEG, GIF and the rest load Qt's readers
    the first time one comes.

    Parameters
    ----------
    input, output : str, bytes or os.PathLike
    fill_map : str, bytes or os.PathLike, optional
        Where to write the fill map, as a picture in FILL_MAP_COLOURS (as an
        NPY file, the codes KEPT ... FROM_GUIDE).
    force : bool
        Write over an existing output and fill map.
    smallest_region, reach, rule, far
        As for fill_holes.
    compression : str
        PNG's and TIFF's: "fast", "small" or a level "0" to "9".
    guide : str, bytes or os.PathLike, optional
        For rule "guided": the guide picture, of the input's size, read as
        8-bit grey or colour, or 16-bit grey.

    Returns
    -------
    FillCounts

    Raises
    ------
    FileError
        The file could not be read, filled or written; the message (darkfill-cli's
        own) names the file and says why. Nothing is left half written.
    ValueError
        An option out of range.
    """
    paths = [os.fsencode(input), os.fsencode(output), None if fill_map is None else os.fsencode(fill_map)]
    outcome = _darkfill.fill_file(*paths, bool(force), smallest_region, reach, rule, far, str(compression),
                                  None if guide is None else os.fsencode(guide))
    return _counts(outcome.counts)


def _counts(counts):
    return FillCounts(counts.regions_found, counts.regions_painted, counts.pixels_painted, counts.pixels_filled,
                      counts.pixels_left_at_zero)


def _as_array(array):
    import numpy
    if isinstance(array, numpy.ndarray):
        return array
    raise TypeError(f"darkfill fills numpy arrays; this is a {type(array).__name__} "
                    "(numpy.asarray(x, dtype=...) makes one)")
