// PBM, PGM and PPM, in their binary and text forms, and PFM.

#include "files/FileError.h"
#include "files/FileNames.h"
#include "files/PictureReader.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace darkfill::files {

namespace {

bool IsSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The header's fields: numbers (or a PFM's scale) between blanks and comments.
class HeaderReader
{
public:
    explicit HeaderReader(ByteSource& source) : source_(source) {}

    // The next word, after blanks and comments; empty at the end.
    std::string Word()
    {
        int c = SkipBlanks();
        std::string word;
        while (c >= 0 && !IsSpace(c) && c != '#' && word.size() < 32) {
            word += static_cast<char>(c);
            c = source_.ReadByte();
        }
        last_ = c;
        return word;
    }

    // A whole number of up to nine digits, or -1.
    long long Number()
    {
        const std::string word = Word();
        if (word.empty() || word.size() > 9 || word.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::stoll(word);
    }

    // The character that ended the last word: the one blank before binary data.
    int Last() const { return last_; }

private:
    int SkipBlanks()
    {
        for (;;) {
            const int c = source_.ReadByte();
            if (c == '#') {
                int skipped = c;
                while (skipped >= 0 && skipped != '\n' && skipped != '\r')
                    skipped = source_.ReadByte();
                continue;
            }
            if (!IsSpace(c))
                return c;
        }
    }

    ByteSource& source_;
    int last_ = -1;
};

[[noreturn]] void FailHeader(const std::string& name)
{
    FailDamaged(name, "its header is not valid");
}

void RequireSize(const std::string& name, long long width, long long height, const ReadLimits& limits,
                 int sampleBytes)
{
    if (width < 1 || height < 1)
        FailHeader(name);
    if (width * height > limits.maximumPixels)
        FailTooManyPixels(name, width, height, limits, sampleBytes);
}

// Text samples: whole numbers between blanks (and, in a PBM, single digits that
// may touch).
long long TextSample(ByteSource& source, bool bit)
{
    int c = source.ReadByte();
    while (IsSpace(c) || c == '#') {
        if (c == '#')
            while (c >= 0 && c != '\n' && c != '\r')
                c = source.ReadByte();
        c = source.ReadByte();
    }
    if (c < '0' || c > '9')
        return c < 0 ? -2 : -1;
    if (bit)
        return c - '0';
    // Digits past the ninth are read and refuse the value, uncounted.
    long long value = c - '0';
    for (int digits = 1;; ++digits) {
        const int next = source.Peek(1).empty() ? -1 : source.Peek(1)[0];
        if (next < '0' || next > '9')
            return digits > 9 ? -1 : value;
        const int digit = source.ReadByte() - '0';
        if (digits < 9)
            value = value * 10 + digit;
    }
}

}  // namespace

Picture ReadNetpbm(ByteSource& source, const ReadLimits& limits, ReadAs as)
{
    const std::string& name = source.Name();
    HeaderReader header(source);
    const std::string magic = header.Word();
    const char kind = magic.size() == 2 ? magic[1] : 0;
    const bool bits = kind == '1' || kind == '4', colour = kind == '3' || kind == '6';
    const bool binary = kind >= '4';
    const long long width = header.Number(), height = header.Number();
    const long long maximum = bits ? 1 : header.Number();
    if (width < 1 || height < 1 || maximum < 1 || maximum > 65535 || (binary && !IsSpace(header.Last())))
        FailHeader(name);
    RequireSize(name, width, height, limits, maximum > 255 ? 2 : 1);

    const int channels = colour ? 3 : 1;
    const bool deep = maximum > 255;
    Picture picture(static_cast<int>(width), static_cast<int>(height), deep ? SampleType::U16 : SampleType::U8,
                    channels);
    const std::size_t samples = std::size_t(width) * channels;
    std::vector<std::uint8_t> packed(binary ? (bits ? (width + 7) / 8 : samples * (deep ? 2 : 1)) : 0);
    for (int y = 0; y < picture.height; ++y) {
        if (bits) {  // 1 is black: 0 as grey, and 0 white, 255
            std::uint8_t* row = picture.Row<std::uint8_t>(y);
            if (binary)
                source.ReadExactly(packed.data(), packed.size());
            for (std::size_t x = 0; x < samples; ++x) {
                const long long bit = binary ? packed[x / 8] >> (7 - x % 8) & 1 : TextSample(source, true);
                if (bit < 0)
                    bit == -2 ? FailTruncated(name) : FailDamaged(name, "its picture data is not valid");
                row[x] = bit ? 0 : 255;
            }
            continue;
        }
        if (binary)
            source.ReadExactly(packed.data(), packed.size());
        for (std::size_t i = 0; i < samples; ++i) {
            long long value = 0;
            if (!binary) {
                value = TextSample(source, false);
                if (value < 0)
                    value == -2 ? FailTruncated(name) : FailDamaged(name, "its picture data is not valid");
            } else {
                value = deep ? packed[2 * i] << 8 | packed[2 * i + 1] : packed[i];
            }
            if (value > maximum)
                FailDamaged(name, "a value lies above the file's maximum " + std::to_string(maximum));
            if (deep)
                picture.Row<std::uint16_t>(y)[i] = static_cast<std::uint16_t>(value);
            else
                picture.Row<std::uint8_t>(y)[i] = static_cast<std::uint8_t>(value);
        }
    }
    if (as == ReadAs::Grey)
        KeepBlueChannel(picture);
    return picture;
}

Picture ReadPfm(ByteSource& source, const ReadLimits& limits, ReadAs as)
{
    const std::string& name = source.Name();
    HeaderReader header(source);
    const std::string magic = header.Word();
    const long long width = header.Number(), height = header.Number();
    const std::string scaleWord = header.Word();
    char* end = nullptr;
    const double scale = std::strtod(scaleWord.c_str(), &end);
    if ((magic != "Pf" && magic != "PF") || scaleWord.empty() || *end != '\0' || scale == 0 || !std::isfinite(scale) ||
        !IsSpace(header.Last()))
        FailHeader(name);
    RequireSize(name, width, height, limits, 4);

    // The scale's sign tells the byte order; its size is not applied: the values
    // are kept as written, bit for bit.
    const bool little = scale < 0;
    const int channels = magic == "PF" ? 3 : 1;
    Picture picture(static_cast<int>(width), static_cast<int>(height), SampleType::F32, channels);
    for (int y = picture.height - 1; y >= 0; --y) {  // rows bottom to top
        auto* row = picture.Row<std::uint32_t>(y);
        source.ReadExactly(row, picture.RowBytes());
        if (little != (std::endian::native == std::endian::little))
            for (std::size_t i = 0; i < std::size_t(width) * channels; ++i)
                row[i] = __builtin_bswap32(row[i]);
    }
    if (as == ReadAs::Grey)
        KeepBlueChannel(picture);
    return picture;
}

}  // namespace darkfill::files
