#pragma once

// Depth frames with known values, for measuring how well a fill restores what a
// sensor lost. A scene is ray-cast through a pinhole camera at the origin looking
// along +z: a floor, a back wall (turned a little about the vertical), boxes
// standing on the floor and spheres; each pixel holds the depth (z) of what it
// sees in millimetres, with noise that grows with the square of the depth as a
// stereo or structured-light sensor's does, and never 0.
//
// Two kinds of holes, as masks (1 = hidden):
// - SensorHoles: a band down the left border, blobs from 1 to 45 pixels across
//   (at 640 pixels wide; they scale with the width), thin cracks and speckle;
// - the scene's shadow: what the camera sees but a projector 50 mm to its right
//   does not light, which lies on the far side of every foreground edge.
//
// A colour frame comes with the depth, registered to it: each object (floor and
// wall included) has a colour of its own, so that colour edges lie on the depth
// edges; and the same frame with each object's texture (stripes or checks a
// third darker), whose edges lie inside flat surfaces too.
//
// Cost: a frame is width * height * (objects + 3) intersections twice (camera and
// projector rays).

#include <cstdint>
#include <vector>

struct DepthScene {
    int rows = 0;
    int columns = 0;
    std::vector<std::uint16_t> depth;  // row first; 1 to 65535 mm
    std::vector<std::uint8_t> shadow;  // 1 where the projector's light does not reach
    std::vector<std::uint8_t> colour;    // what a colour camera at the same place sees:
                                         // RGB, each object of its own colour
    std::vector<std::uint8_t> textured;  // the same with each object's texture
};

DepthScene RenderDepthScene(int rows, int columns, unsigned seed);

std::vector<std::uint8_t> SensorHoles(int rows, int columns, unsigned seed);
