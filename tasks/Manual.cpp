#include "tasks/CommandLine.h"

namespace darkfill::tasks {

std::string ManualText()
{
    return R"(NAME
    darkfill-cli - fill the holes of grey pictures and depth maps

SYNOPSIS
    darkfill-cli IN -o OUT [--fill-map MAP] [--rule RULE [--far SIDE]]
                 [--guide FILE] [--compression LEVEL] [--max-pixels N]
                 [--stats] [--json] [--force]
    darkfill-cli IN... --output-dir DIR [--format FORMAT] [--fill-map DIR]
                 [--rule RULE [--far SIDE]] [--guide-dir DIR]
                 [--compression LEVEL] [--jobs N]
                 [--max-pixels N] [--stats] [--json]
                 [--force | --skip-existing] [--quiet]

DESCRIPTION
    Reads each picture's values (the blue channel of a colour picture) at the
    picture's own depth and type, and fills its holes: every dark region of
    more than 5 pixels that exactly one value surrounds takes that value;
    every hole left is filled from the nearest value above 0 on its row or
    column, at most 499 pixels away (at equal distance: left, then right,
    below, above); --rule chooses another way for these. The result is
    written at the input's depth and type.

    Holes are the values that are exactly 0; in float pictures also NaN and
    +inf (unknown depth, as Middlebury's disparity maps write it). Values
    below 0 and -inf are neither holes nor sources. Every other value is
    kept and copied to the last bit.

FORMATS
    PNG     8 or 16 bits; grey, colour or palette            read, written
    PGM     P2, P5: 8 or 16 bits (PBM and PPM are read too)   read, written
    PPM     8 bits, written as grey in colour                read, written
    PFM     32-bit float, grey (Pf) or colour (PF), either   read, written
            byte order, rows bottom to top
    TIFF    1, 8 or 16-bit integers, 32-bit integers or      read, written
            32-bit floats; grey, palette or RGB(A)
    NPY     numpy's 2-D uint8, uint16, int32 or float32      read, written
            arrays, either byte order, C or Fortran order
    BMP     8 bits                                           read, written
    JPEG, GIF, ICO, XBM, XPM, and WebP where Qt's plugin     read
            for it is installed

    An output keeps its input's type: 16-bit values need PNG, PGM, TIFF or
    NPY, 32-bit floats PFM, TIFF or NPY, 32-bit integers TIFF or NPY; another
    format is refused as a wrong command line. Pictures of up to 268,435,456
    pixels (2^28, a 16k x 16k picture) are read unless --max-pixels says
    otherwise; a larger one is refused from its header, with the memory its
    fill would take. A fill takes about 2 x S + 6 bytes a pixel for S bytes a
    value (1, 2 or 4): 8 for an 8-bit picture, 10 for a 16-bit one.

    Nothing is lost: an input is never written over, an existing output only
    with --force, and every output is written whole or not at all (into a new
    file in its folder, then put in place), so an interrupted run leaves no
    half-written file. An output and its fill map are written as one: neither
    is put in place before both are complete.

OPTIONS
    -o OUT            Write the result to OUT; its extension picks the format
                      (.png, .pgm, .ppm, .bmp, .tif, .tiff, .pfm, .npy; PNG
                      without one). - writes to standard output: PNG, or for
                      a float or 32-bit integer picture its input's format.
                      IN may be - for standard input.
    --output-dir DIR  Write each input's result into DIR, under the input's name
                      with the extension of --format. DIR is made if missing.
    --format FORMAT   The batch form's format: png, pgm, ppm, bmp, tif, tiff,
                      pfm or npy. Without it: png, and for .pfm and .npy
                      inputs their own format.
    --compression LEVEL
                      How hard PNG and TIFF outputs are compressed: fast (the
                      default), small (on depth maps a fifth smaller than
                      fast, and about 30 times as slow), or a level from 0
                      (none) to 9.
    --max-pixels N    Read pictures of up to N pixels (268435456 unless
                      given); a larger one is refused before it is decoded.
    --rule RULE       How the 0s left after the regions are filled:
                      rows-columns  (the default) as above;
                      nearest       from the value above 0 nearest in the
                                    picture, by exact Euclidean distance
                                    (at equal distance the leftmost, then the
                                    uppermost), however far;
                      background    of the nearest values to the left and to
                                    the right on the row, the farther one (or
                                    the one there is); a 0 with neither takes
                                    the same of the nearest above and below.
                                    For occlusion holes in depth maps.
                      guided        each 0 the weighted mean of its 8
                                    neighbours, a neighbour weighing the more
                                    the nearer its colour (or grey) in the
                                    guide picture is to the 0's (where the
                                    guide is flat, leaning toward the nearest
                                    value); all 0s at once, the values above 0
                                    kept. For depth maps with their colour
                                    frame.
    --far SIDE        For --rule background, which value is the farther:
                      larger (the default: depth, where larger is farther) or
                      smaller (disparity, where smaller is farther).
    --guide FILE      For --rule guided: the guide picture, of the input's
                      size, registered to it: 8-bit grey or colour (read as
                      colour, not by the blue channel), or 16-bit grey.
    --guide-dir DIR   For --rule guided with several inputs: the folder of
                      their guides, each named as its input without the
                      extension (frame7.png takes DIR/frame7.jpg, say).
    --fill-map PATH   Also write where every value came from, as a colour
                      picture (a folder in the batch form; NPY keeps the
                      codes 0 to 9 of this list). Colours:
                          dark grey   kept from the picture
                          green       painted with its region's surround
                          orange      filled from the left
                          sky blue    filled from the right
                          yellow      filled from below
                          blue        filled from above
                          vermilion   left at 0: no value in reach
                          purple      filled from the nearest (--rule nearest)
                          light grey  filled from the background side
                                      (--rule background)
                          white       filled by --rule guided
    --stats           Print, for each picture, the regions found and painted
                      and the pixels painted, filled and left at 0.
    --json            Print one JSON object a line for each picture: its name,
                      size, type, counts and milliseconds, or its error.
    -j, --jobs N      Fill N pictures at a time, each writing one picture while
                      it reads the next (default: one for every two
                      processor cores).
    -f, --force       Write over outputs that exist (never over an input).
    --skip-existing   Leave an input whose output (and fill map) exist as they
                      are and report it as already done: to run a batch again
                      after it was stopped. One that has only one of them is
                      refused. Temporary files that stopped runs left in the
                      output folders are removed.
    -q, --quiet       No progress bar. It is shown only when standard error is
                      a terminal, in the batch form.
    -h, --help        Show this manual.
    --version         Show the version.

    Reports and --stats go to standard output, or to standard error where the
    result goes to standard output. Messages name the file and the reason.
    File names are taken byte for byte as the system gives them, UTF-8 or not;
    messages and --stats show a byte that is no UTF-8 as \xff and control
    characters as \n or \x01, --json as \udcff (which Python's os.fsencode
    turns back into the byte) and \n.

EXIT STATUS
    0   every picture was filled and written
    1   at least one picture failed; the others were written
    2   the command line is wrong (nothing was read or written), or asks an
        output format for values that it cannot hold

EXAMPLES
    darkfill-cli depth.png -o filled.png --fill-map where.png --stats
    darkfill-cli frames/*.png --output-dir filled --jobs 2 --json > report.jsonl
    darkfill-cli disp0.pfm -o filled.pfm --rule background --far smaller
    darkfill-cli occluded.png -o filled.png --rule background --far larger
    darkfill-cli depth.png -o filled.png --rule guided --guide colour.png
    darkfill-cli depth/*.png --output-dir filled --rule guided --guide-dir rgb
    darkfill-cli - -o - < holes.pgm > filled.png
)";
}

}  // namespace darkfill::tasks
