#include "testing/pictures/TestPictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

QImage PatternImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 37 + y) & 255, (y * 59 + 3 * x) & 255, (x * y + 11) & 255));
    return image;
}

QByteArray Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

namespace {

class BitWriter
{
public:
    void Write(int code, int bits)
    {
        for (int i = 0; i < bits; ++i) {
            current_ |= ((code >> i) & 1) << filled_;
            if (++filled_ == 8)
                Flush();
        }
    }
    QByteArray Finish()
    {
        if (filled_ > 0)
            Flush();
        return bytes_;
    }

private:
    void Flush()
    {
        bytes_.append(static_cast<char>(current_));
        current_ = 0;
        filled_ = 0;
    }
    QByteArray bytes_;
    int current_ = 0;
    int filled_ = 0;
};

void AppendShort(QByteArray& out, int value)
{
    out.append(static_cast<char>(value & 255));
    out.append(static_cast<char>(value >> 8));
}

}  // namespace

QByteArray EncodeGif(const QImage& indexed)
{
    QByteArray out("GIF89a");
    AppendShort(out, indexed.width());
    AppendShort(out, indexed.height());
    out.append(static_cast<char>(0xF7));  // a global palette of 256 colours
    out.append('\0');
    out.append('\0');
    const QList<QRgb> palette = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    out.append(',');
    AppendShort(out, 0);
    AppendShort(out, 0);
    AppendShort(out, indexed.width());
    AppendShort(out, indexed.height());
    out.append('\0');
    out.append(static_cast<char>(8));

    const int clear = 256;
    BitWriter bits;
    int sinceClear = 0;
    bits.Write(clear, 9);
    for (int y = 0; y < indexed.height(); ++y)
        for (int x = 0; x < indexed.width(); ++x) {
            if (sinceClear == 254) {
                bits.Write(clear, 9);
                sinceClear = 0;
            }
            bits.Write(indexed.pixelIndex(x, y), 9);
            ++sinceClear;
        }
    bits.Write(clear + 1, 9);
    const QByteArray data = bits.Finish();
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        out.append(static_cast<char>(block.size()));
        out.append(block);
    }
    out.append('\0');
    out.append(';');
    return out;
}

namespace {

void AppendLong(QByteArray& out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>(value >> (8 * i)));
}

// Runs of equal palette indexes, a row at a time, each row closed by an end of
// line and the picture by an end of bitmap.
QByteArray RunLengths(const QImage& image, bool fourBits)
{
    QByteArray data;
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width();) {
            const int index = image.pixelIndex(x, y);
            int run = 1;
            while (x + run < image.width() && run < 255 && image.pixelIndex(x + run, y) == index)
                ++run;
            data.append(static_cast<char>(run));
            data.append(static_cast<char>(fourBits ? (index << 4 | index) : index));
            x += run;
        }
        data.append('\0');
        data.append(y == 0 ? '\1' : '\0');
    }
    return data;
}

QByteArray PackedRows(const QImage& image, int bits)
{
    QByteArray data;
    const int rowBytes = (image.width() * bits + 31) / 32 * 4;
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < image.width(); ++x) {
            if (bits <= 8) {
                const int index = image.pixelIndex(x, y);
                const int bit = x * bits;
                row[bit / 8] = static_cast<char>(row[bit / 8] | index << (8 - bits - bit % 8));
            } else {
                const QRgb c = image.pixel(x, y);
                const int at = x * bits / 8;
                row[at] = static_cast<char>(qBlue(c));
                row[at + 1] = static_cast<char>(qGreen(c));
                row[at + 2] = static_cast<char>(qRed(c));
            }
        }
        data.append(row);
    }
    return data;
}

}  // namespace

QByteArray EncodeBmp(const QImage& image, int bitsPerPixel, bool rle)
{
    const int colours = bitsPerPixel <= 8 ? static_cast<int>(image.colorCount()) : 0;
    const QByteArray data = rle ? RunLengths(image, bitsPerPixel == 4) : PackedRows(image, bitsPerPixel);
    const quint32 offset = 14 + 40 + 4 * colours;
    QByteArray out("BM");
    AppendLong(out, offset + data.size());
    AppendLong(out, 0);
    AppendLong(out, offset);
    AppendLong(out, 40);
    AppendLong(out, image.width());
    AppendLong(out, image.height());
    AppendShort(out, 1);
    AppendShort(out, bitsPerPixel);
    AppendLong(out, rle ? (bitsPerPixel == 8 ? 1 : 2) : 0);
    AppendLong(out, data.size());
    AppendLong(out, 2835);
    AppendLong(out, 2835);
    AppendLong(out, colours);
    AppendLong(out, 0);
    for (int i = 0; i < colours; ++i) {
        const QRgb c = image.color(i);
        out.append(static_cast<char>(qBlue(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qRed(c)));
        out.append('\0');
    }
    return out + data;
}

QImage PalettePicture(int width, int height, int colours)
{
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> palette;
    for (int i = 0; i < colours; ++i)
        palette.append(qRgb((i * 67) & 255, 255 - (i * 31 & 255), (i * 7 + 40) & 255));
    image.setColorTable(palette);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, (x / 3 + y * 5) % colours);
    return image;
}

QString WriteTempFile(const QString& name, const QByteArray& bytes)
{
    static const auto folder = std::make_unique<QTemporaryDir>();
    const QString path = folder->filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    return path;
}
