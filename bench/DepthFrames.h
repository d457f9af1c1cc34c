#pragma once

#include "files/Picture.h"

#include <cstdint>
#include <string>
#include <vector>

// Real 640 x 480 16-bit depth frames, from Debian's visp-images-data: 30
// captured by a depth camera (castel) and 40 rendered (Castle-simu), each file
// an 8-byte header (rows, columns) and the depths in millimetres. Their mirror
// images vary them up to the count asked for. Where the package is missing,
// generated depth maps stand in, and `real` says so.
std::vector<darkfill::files::Picture> DepthFrames(int count, bool& real);

// The holes of the depth camera's own frames (castel): each frame's 0 pixels but
// its largest group of them (8-connected), which is what lay beyond the camera's
// range, and with the columns of 0 down either border, the band the camera
// never sees; 0.7 to 2.4 % of the frame besides a band of 8 to 17 columns at
// 640 x 480. Scaled to rows x columns by the nearest pixel; one mask a frame, none
// where the package is missing.
std::vector<std::vector<std::uint8_t>> CameraHoles(int rows, int columns);
