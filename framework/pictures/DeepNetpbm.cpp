#include "framework/pictures/DeepNetpbm.h"

#include <QCoreApplication>
#include <QImageReader>

#include <cctype>
#include <cstdint>

namespace {

class NetpbmReader
{
public:
    static constexpr int MaximumDigits = 9;

    explicit NetpbmReader(const QByteArray& bytes) : b_(bytes) {}

    // Skips white space and comments, then reads a decimal number; -1 if there is
    // none or it has more digits than any size or value may (which also keeps
    // the products of sizes within range).
    long long Number()
    {
        while (at_ < b_.size()) {
            const char c = b_[at_];
            if (c == '#') {
                while (at_ < b_.size() && b_[at_] != '\n' && b_[at_] != '\r')
                    ++at_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++at_;
            } else {
                break;
            }
        }
        long long value = -1;
        int digits = 0;
        for (; at_ < b_.size() && std::isdigit(static_cast<unsigned char>(b_[at_])); ++at_, ++digits)
            if (digits < MaximumDigits)
                value = (value < 0 ? 0 : value * 10) + (b_[at_] - '0');
        return digits > MaximumDigits ? -1 : value;
    }

    // One binary sample of two bytes, most significant first; -1 past the end.
    long long Binary()
    {
        if (at_ + 2 > b_.size())
            return -1;
        const long long value = static_cast<std::uint8_t>(b_[at_]) << 8 | static_cast<std::uint8_t>(b_[at_ + 1]);
        at_ += 2;
        return value;
    }

    // The one white-space byte between the header and binary samples.
    bool SkipSeparator()
    {
        if (at_ >= b_.size() || !std::isspace(static_cast<unsigned char>(b_[at_])))
            return false;
        ++at_;
        return true;
    }

private:
    const QByteArray& b_;
    qsizetype at_ = 2;
};

// P2, P3, P5 or P6: the grey maps and pixmaps that may have more than 8 bits.
bool HasNetpbmSignature(const QByteArray& bytes)
{
    return bytes.size() >= 2 && bytes[0] == 'P' && QByteArray("2356").contains(bytes[1]);
}

}  // namespace

QSize DeepNetpbmSize(const QByteArray& bytes)
{
    if (!HasNetpbmSignature(bytes))
        return {};
    NetpbmReader reader(bytes);
    const long long width = reader.Number();
    const long long height = reader.Number();
    if (reader.Number() <= 255 || width < 1 || height < 1)
        return {};
    constexpr long long Largest = 1 << 30;
    return QSize(static_cast<int>(std::min(width, Largest)), static_cast<int>(std::min(height, Largest)));
}

std::optional<QImage> DecodeDeepNetpbm(const QByteArray& bytes, QString& damage)
{
    if (!HasNetpbmSignature(bytes))
        return std::nullopt;
    const char kind = bytes[1];
    const bool colour = kind == '3' || kind == '6';
    const bool binary = kind == '5' || kind == '6';
    NetpbmReader reader(bytes);
    const long long width = reader.Number();
    const long long height = reader.Number();
    const long long maximum = reader.Number();
    if (maximum <= 255)
        return std::nullopt;
    if (width < 1 || height < 1 || maximum > 65535) {
        damage = QCoreApplication::translate("DeepNetpbm", "its header is not valid");
        return QImage();
    }
    const long long channels = colour ? 3 : 1;
    const long long limit = static_cast<long long>(QImageReader::allocationLimit()) * 1024 * 1024;
    if (limit > 0 && width * height * (colour ? 8 : 2) > limit) {
        damage = QCoreApplication::translate("DeepNetpbm", "the picture is too large: %1 x %2 pixels").arg(width).arg(height);
        return QImage();
    }
    if (binary && !reader.SkipSeparator()) {
        damage = QCoreApplication::translate("DeepNetpbm", "its header is not valid");
        return QImage();
    }

    QImage image(static_cast<int>(width), static_cast<int>(height),
                 colour ? QImage::Format_RGBX64 : QImage::Format_Grayscale16);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<quint16*>(image.scanLine(y));
        for (long long i = 0; i < width * channels; ++i) {
            const long long value = binary ? reader.Binary() : reader.Number();
            if (value < 0) {
                damage = QCoreApplication::translate("DeepNetpbm", "the picture data ends before the picture is complete");
                return QImage();
            }
            if (value > maximum) {
                damage = QCoreApplication::translate("DeepNetpbm", "a value lies above the file's maximum %1").arg(maximum);
                return QImage();
            }
            // RGBX64 holds red, green, blue and a fourth channel that stays opaque.
            row[colour ? i / 3 * 4 + i % 3 : i] = static_cast<quint16>(value);
        }
        if (colour)
            for (int x = 0; x < image.width(); ++x)
                row[x * 4 + 3] = 65535;
    }
    return image;
}

QByteArray EncodeDeepPgm(const QImage& image, int maximumValue)
{
    QByteArray bytes = QStringLiteral("P5\n%1 %2\n%3\n").arg(image.width()).arg(image.height()).arg(maximumValue).toLatin1();
    bytes.reserve(bytes.size() + qsizetype(image.width()) * image.height() * 2);
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const quint16*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            bytes.append(static_cast<char>(row[x] >> 8));
            bytes.append(static_cast<char>(row[x] & 0xFF));
        }
    }
    return bytes;
}
