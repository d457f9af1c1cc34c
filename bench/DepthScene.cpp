#include "bench/DepthScene.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <utility>

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

    double Hit(Vec origin, Vec direction) const { return HitObject(origin, direction).first; }

    // The nearest hit and what it hits: planes first, then boxes, then spheres.
    std::pair<double, std::size_t> HitObject(Vec origin, Vec direction) const
    {
        double nearest = Miss;
        std::size_t object = 0, index = 0;
        const auto take = [&](double t) {
            if (t < nearest) {
                nearest = t;
                object = index;
            }
            ++index;
        };
        for (const Plane& plane : planes)
            take(::Hit(plane, origin, direction));
        for (const Box& box : boxes)
            take(::Hit(box, origin, direction));
        for (const Sphere& sphere : spheres)
            take(::Hit(sphere, origin, direction));
        return {nearest, object};
    }

    std::size_t Objects() const { return planes.size() + boxes.size() + spheres.size(); }
};

// Each object's look: a colour, and a texture of stripes or checks of its own
// size in the world, which darkens the colour by up to a third.
struct Look {
    double red, green, blue;
    double period;  // mm
    bool checks;
};

std::vector<Look> MakeLooks(std::size_t objects, unsigned seed)
{
    std::mt19937 random(seed);
    auto uniform = [&random](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    std::vector<Look> looks;
    for (std::size_t i = 0; i < objects; ++i)
        looks.push_back({uniform(40, 230), uniform(40, 230), uniform(40, 230), uniform(60, 400), uniform(0, 1) < 0.5});
    return looks;
}

// The colour of a point of an object, seen at depth z: the look's colour, with
// its texture where textured, a little darker farther away.
void Colour(const Look& look, Vec point, double z, bool textured, std::uint8_t* rgb, double grain)
{
    const auto band = [&](double v) { return static_cast<long>(std::floor(v / look.period)) & 1; };
    const bool dark = textured && (look.checks ? (band(point.x) ^ band(point.y) ^ band(point.z)) != 0
                                               : band(point.x + point.y) != 0);
    const double shade = (dark ? 0.67 : 1.0) * (1.0 - z / 20000.0);
    for (const double c : {look.red, look.green, look.blue})
        *rgb++ = static_cast<std::uint8_t>(std::clamp(std::lround(c * shade + grain), 0L, 255L));
}

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
                     std::vector<std::uint8_t>(static_cast<std::size_t>(rows) * columns),
                     std::vector<std::uint8_t>(static_cast<std::size_t>(rows) * columns * 3),
                     std::vector<std::uint8_t>(static_cast<std::size_t>(rows) * columns * 3)};
    // The colour frame draws from a generator of its own, so that the depth stays
    // what it was without it.
    const std::vector<Look> looks = MakeLooks(scene.Objects(), seed ^ 0x9e3779b9u);
    std::mt19937 grainRandom(seed + 1);
    std::normal_distribution<double> grain(0, 2);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const Vec ray{(x + 0.5 - columns / 2.0) / focal, -(y + 0.5 - rows / 2.0) / focal, 1};
            const auto [hit, object] = scene.HitObject({0, 0, 0}, ray);
            const double z = std::min(hit, 65000.0);
            const Vec point = z * ray;
            const std::size_t cell = static_cast<std::size_t>(y) * columns + x;
            const double speck = grain(grainRandom);
            Colour(looks[object], point, z, false, &frame.colour[cell * 3], speck);
            Colour(looks[object], point, z, true, &frame.textured[cell * 3], speck);
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
