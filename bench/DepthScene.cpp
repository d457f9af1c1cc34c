#include "bench/DepthScene.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

struct Vec {
    double x, y, z;
};

Vec operator-(Vec a, Vec b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator*(double s, Vec a)
{
    return {s * a.x, s * a.y, s * a.z};
}
double Dot(Vec a, Vec b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

constexpr double Miss = std::numeric_limits<double>::infinity();

struct Plane {
    Vec normal;
    double offset;  // points p with Dot(normal, p) == offset
};

struct Box {
    Vec low, high;
};

struct Sphere {
    Vec centre;
    double radius;
};

// The smallest t > 0 at which origin + t * direction meets the shape, or Miss.
double Hit(const Plane& plane, Vec origin, Vec direction)
{
    const double along = Dot(plane.normal, direction);
    if (std::abs(along) < 1e-12)
        return Miss;
    const double t = (plane.offset - Dot(plane.normal, origin)) / along;
    return t > 0 ? t : Miss;
}

double Hit(const Box& box, Vec origin, Vec direction)
{
    double near = 0, far = Miss;
    const double o[] = {origin.x, origin.y, origin.z}, d[] = {direction.x, direction.y, direction.z};
    const double lo[] = {box.low.x, box.low.y, box.low.z}, hi[] = {box.high.x, box.high.y, box.high.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (std::abs(d[axis]) < 1e-12) {
            if (o[axis] < lo[axis] || o[axis] > hi[axis])
                return Miss;
            continue;
        }
        double t0 = (lo[axis] - o[axis]) / d[axis], t1 = (hi[axis] - o[axis]) / d[axis];
        if (t0 > t1)
            std::swap(t0, t1);
        near = std::max(near, t0);
        far = std::min(far, t1);
        if (near > far)
            return Miss;
    }
    return near > 0 ? near : Miss;
}

double Hit(const Sphere& sphere, Vec origin, Vec direction)
{
    const Vec offset = origin - sphere.centre;
    const double a = Dot(direction, direction), b = Dot(offset, direction);
    const double c = Dot(offset, offset) - sphere.radius * sphere.radius;
    const double discriminant = b * b - a * c;
    if (discriminant < 0)
        return Miss;
    const double t = (-b - std::sqrt(discriminant)) / a;
    return t > 0 ? t : Miss;
}

struct Scene {
    std::vector<Plane> planes;
    std::vector<Box> boxes;
    std::vector<Sphere> spheres;

    double Hit(Vec origin, Vec direction) const
    {
        double nearest = Miss;
        for (const Plane& plane : planes)
            nearest = std::min(nearest, ::Hit(plane, origin, direction));
        for (const Box& box : boxes)
            nearest = std::min(nearest, ::Hit(box, origin, direction));
        for (const Sphere& sphere : spheres)
            nearest = std::min(nearest, ::Hit(sphere, origin, direction));
        return nearest;
    }
};

// A room 3.5 to 7 m deep seen from 0.8 to 1.5 m above its floor, with 3 to 6
// boxes and 2 to 4 spheres between 0.8 m and the wall, inside the view.
Scene MakeScene(std::mt19937& random)
{
    auto uniform = [&random](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    Scene scene;
    const double eye = uniform(800, 1500), wall = uniform(3500, 7000), turn = uniform(-0.4, 0.4);
    scene.planes.push_back({{0, 1, 0}, -eye});
    scene.planes.push_back({{std::sin(turn), 0, std::cos(turn)}, wall * std::cos(turn)});
    const int boxes = std::uniform_int_distribution<int>(3, 6)(random);
    for (int i = 0; i < boxes; ++i) {
        const double z = uniform(800, wall * 0.8), x = uniform(-0.45, 0.45) * z;
        const double width = uniform(150, 700), depth = uniform(150, 700), height = uniform(200, 1400);
        scene.boxes.push_back({{x - width / 2, -eye, z}, {x + width / 2, -eye + height, z + depth}});
    }
    const int spheres = std::uniform_int_distribution<int>(2, 4)(random);
    for (int i = 0; i < spheres; ++i) {
        const double z = uniform(800, wall * 0.8), radius = uniform(100, 450);
        scene.spheres.push_back({{uniform(-0.4, 0.4) * z, -eye + radius + uniform(0, 900), z}, radius});
    }
    return scene;
}

}  // namespace

DepthScene RenderDepthScene(int rows, int columns, unsigned seed)
{
    std::mt19937 random(seed);
    const Scene scene = MakeScene(random);
    std::normal_distribution<double> noise(0, 1);
    const double focal = 0.85 * columns;
    const Vec projector{50, 0, 0};
    DepthScene frame{rows, columns, std::vector<std::uint16_t>(static_cast<std::size_t>(rows) * columns),
                     std::vector<std::uint8_t>(static_cast<std::size_t>(rows) * columns)};
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const Vec ray{(x + 0.5 - columns / 2.0) / focal, -(y + 0.5 - rows / 2.0) / focal, 1};
            const double z = std::min(scene.Hit({0, 0, 0}, ray), 65000.0);
            const Vec point = z * ray;
            const std::size_t cell = static_cast<std::size_t>(y) * columns + x;
            // The point is in shadow where the projector's ray meets something
            // clearly before it.
            frame.shadow[cell] = scene.Hit(projector, point - projector) < 1 - 1e-3;
            const double measured = z + noise(random) * 1.5e-6 * z * z;
            frame.depth[cell] = static_cast<std::uint16_t>(std::clamp(std::lround(measured), 1L, 65535L));
        }
    return frame;
}

std::vector<std::uint8_t> SensorHoles(int rows, int columns, unsigned seed)
{
    std::mt19937 random(seed);
    auto uniform = [&random](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(rows) * columns);
    auto hide = [&](double x, double y) {
        const long cx = std::lround(x), cy = std::lround(y);
        if (cx >= 0 && cx < columns && cy >= 0 && cy < rows)
            mask[static_cast<std::size_t>(cy) * columns + cx] = 1;
    };
    const double scale = columns / 640.0;

    const int band = static_cast<int>(uniform(0.03, 0.07) * columns);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < band; ++x)
            hide(x, y);

    // Blobs: three overlapping discs each, their sizes spread evenly on a log scale.
    for (int i = 0; i < 40; ++i) {
        const double radius = 0.5 * scale * std::pow(45.0, uniform(0, 1));
        const double bx = uniform(0, columns), by = uniform(0, rows);
        for (int part = 0; part < 3; ++part) {
            const double r = radius * uniform(0.5, 1), px = bx + uniform(-0.5, 0.5) * radius,
                         py = by + uniform(-0.5, 0.5) * radius;
            for (double y = std::floor(py - r); y <= py + r; ++y)
                for (double x = std::floor(px - r); x <= px + r; ++x)
                    if ((x - px) * (x - px) + (y - py) * (y - py) <= r * r)
                        hide(x, y);
        }
    }

    // Cracks: walks that keep roughly to their heading, one or two pixels wide.
    for (int i = 0; i < 10; ++i) {
        double x = uniform(0, columns), y = uniform(0, rows), heading = uniform(0, 6.2832);
        const int length = static_cast<int>(uniform(40, 250) * scale), width = i % 2 + 1;
        for (int step = 0; step < length; ++step) {
            heading += uniform(-0.3, 0.3);
            x += std::cos(heading);
            y += std::sin(heading);
            for (int w = 0; w < width; ++w)
                hide(x + w, y);
        }
    }

    for (std::uint8_t& cell : mask)
        if (uniform(0, 1) < 0.01)
            cell = 1;
    return mask;
}
