#include "TestPictures.h"

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

QString WriteTempFile(const QString& name, const QByteArray& bytes)
{
    static const auto folder = std::make_unique<QTemporaryDir>();
    const QString path = folder->filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    return path;
}
