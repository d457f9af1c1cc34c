#pragma once

#include "files/Picture.h"

#include <string>
#include <vector>

// Real 640 x 480 16-bit depth frames, from Debian's visp-images-data: 30
// captured by a depth camera (castel) and 40 rendered (Castle-simu), each file
// an 8-byte header (rows, columns) and the depths in millimetres. Their mirror
// images vary them up to the count asked for. Where the package is missing,
// generated depth maps stand in, and `real` says so.
std::vector<darkfill::files::Picture> DepthFrames(int count, bool& real);
