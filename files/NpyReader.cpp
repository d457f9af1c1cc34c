// numpy's .npy: a magic string, a version, a header that is a Python dict
// literal ({'descr': '<u2', 'fortran_order': False, 'shape': (480, 640), }),
// padding, then the raw data.

#include "files/FileError.h"
#include "files/FileNames.h"
#include "files/PictureReader.h"

#include <bit>
#include <cstring>
#include <optional>
#include <vector>

namespace darkfill::files {

namespace {

// The value that the header gives a key, as written up to the next comma at
// its own depth of brackets.
std::optional<std::string> ValueOf(const std::string& header, const std::string& key)
{
    std::size_t at = header.find("'" + key + "'");
    if (at == std::string::npos)
        at = header.find("\"" + key + "\"");
    if (at == std::string::npos)
        return std::nullopt;
    at = header.find(':', at);
    if (at == std::string::npos)
        return std::nullopt;
    int depth = 0;
    std::string value;
    for (++at; at < header.size(); ++at) {
        const char c = header[at];
        if (c == '(' || c == '[')
            ++depth;
        else if (c == ')' || c == ']')
            --depth;
        if ((c == ',' && depth == 0) || depth < 0 || (c == '}' && depth == 0))
            break;
        if (c != ' ')
            value += c;
    }
    return value;
}

struct Dtype {
    SampleType type;
    bool swapped;  // stored in the other byte order than the machine's
};

std::optional<Dtype> DtypeOf(const std::string& descr)
{
    if (descr.size() != 5 || (descr.front() != '\'' && descr.front() != '"'))
        return std::nullopt;
    const char order = descr[1];
    const std::string kind = descr.substr(2, 2);
    const bool little = std::endian::native == std::endian::little;
    const bool swapped = (order == '<' && !little) || (order == '>' && little);
    if (order != '<' && order != '>' && order != '|' && order != '=')
        return std::nullopt;
    if (kind == "u1")
        return Dtype{SampleType::U8, false};
    if (order == '|')
        return std::nullopt;
    if (kind == "u2")
        return Dtype{SampleType::U16, swapped};
    if (kind == "i4")
        return Dtype{SampleType::I32, swapped};
    if (kind == "f4")
        return Dtype{SampleType::F32, swapped};
    return std::nullopt;
}

// The shape's numbers: "(480,640)" gives {480, 640}.
std::optional<std::vector<long long>> ShapeOf(const std::string& shape)
{
    if (shape.size() < 2 || shape.front() != '(' || shape.back() != ')')
        return std::nullopt;
    std::vector<long long> sides;
    std::string number;
    for (std::size_t i = 1; i < shape.size(); ++i) {
        const char c = shape[i];
        if (c >= '0' && c <= '9') {
            if (number.size() >= 12)
                return std::nullopt;
            number += c;
        } else if (c == ',' || c == ')') {
            if (!number.empty())
                sides.push_back(std::stoll(number));
            else if (c == ',')
                return std::nullopt;
            number.clear();
        } else if (c != 'L') {
            return std::nullopt;
        }
    }
    return sides;
}

std::string ShapeText(const std::vector<long long>& sides)
{
    std::string text = "(";
    for (std::size_t i = 0; i < sides.size(); ++i)
        text += (i ? ", " : "") + std::to_string(sides[i]);
    return text + (sides.size() == 1 ? ",)" : ")");
}

template <class Sample>
void Swap(Sample* cells, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if constexpr (sizeof(Sample) == 2)
            cells[i] = __builtin_bswap16(cells[i]);
        else
            cells[i] = __builtin_bswap32(cells[i]);
    }
}

// A Fortran-ordered array arrives column by column: each column of the picture
// is one run of the data.
void ReadColumns(ByteSource& source, Picture& picture)
{
    const int size = BytesOf(picture.type);
    std::vector<std::uint8_t> column(std::size_t(picture.height) * size);
    for (int x = 0; x < picture.width; ++x) {
        source.ReadExactly(column.data(), column.size());
        for (int y = 0; y < picture.height; ++y)
            std::memcpy(picture.Row<std::uint8_t>(y) + std::size_t(x) * size, column.data() + std::size_t(y) * size,
                        size);
    }
}

}  // namespace

Picture ReadNpy(ByteSource& source, const ReadLimits& limits)
{
    const std::string& name = source.Name();
    std::uint8_t preamble[10];
    source.ReadExactly(preamble, 8);
    const int major = preamble[6];
    std::size_t headerLength = 0;
    if (major == 1) {
        source.ReadExactly(preamble + 8, 2);
        headerLength = preamble[8] | preamble[9] << 8;
    } else if (major == 2 || major == 3) {
        std::uint8_t length[4];
        source.ReadExactly(length, 4);
        headerLength = length[0] | length[1] << 8 | length[2] << 16 | std::size_t(length[3]) << 24;
    } else {
        FailDamaged(name, "its NPY version " + std::to_string(major) + " is unknown");
    }
    constexpr std::size_t LongestHeader = 1 << 16;  // numpy writes a few hundred bytes
    if (headerLength > LongestHeader)
        FailDamaged(name, "its NPY header is not valid");
    std::string header(headerLength, '\0');
    source.ReadExactly(header.data(), headerLength);

    const std::optional<std::string> descr = ValueOf(header, "descr");
    const std::optional<std::string> order = ValueOf(header, "fortran_order");
    const std::optional<std::string> shapeText = ValueOf(header, "shape");
    const auto shape = shapeText ? ShapeOf(*shapeText) : std::nullopt;
    if (!descr || !order || (*order != "True" && *order != "False") || !shape)
        FailDamaged(name, "its NPY header is not valid");
    const std::optional<Dtype> dtype = DtypeOf(*descr);
    if (!dtype)
        throw FileError(QuotedName(name) + " holds an array of " + *descr +
                        " values; uint8, uint16, int32 and float32 arrays can be read.");
    if (shape->size() != 2)
        throw FileError(QuotedName(name) + " holds an array of shape " + ShapeText(*shape) + ", " +
                        std::to_string(shape->size()) + " dimensions; a picture is a 2-D array (rows, columns).");
    const long long height = (*shape)[0], width = (*shape)[1];
    if (width < 1 || height < 1)
        throw FileError(QuotedName(name) + " holds an empty array, of shape " + ShapeText(*shape) + ".");
    if (width > limits.maximumPixels || height > limits.maximumPixels || width * height > limits.maximumPixels)
        FailTooManyPixels(name, width, height, limits, BytesOf(dtype->type));

    Picture picture(static_cast<int>(width), static_cast<int>(height), dtype->type);
    if (*order == "True")
        ReadColumns(source, picture);
    else
        source.ReadExactly(picture.bytes.data(), picture.bytes.size());
    const std::size_t cells = std::size_t(width) * std::size_t(height);
    if (dtype->swapped && BytesOf(dtype->type) == 2)
        Swap(reinterpret_cast<std::uint16_t*>(picture.bytes.data()), cells);
    else if (dtype->swapped)
        Swap(reinterpret_cast<std::uint32_t*>(picture.bytes.data()), cells);
    return picture;
}

}  // namespace darkfill::files
