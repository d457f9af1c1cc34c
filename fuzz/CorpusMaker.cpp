// Writes the fuzzers' seeds: form description streams compiled from the given
// sources, small pictures of every format the loader reads, the file library's
// formats of every type, and small pictures for the analysis.
//   fuzz_corpus OUTPUT_FOLDER FORM_SOURCE...

#include "framework/core/Exception.h"
#include "framework/forms/FormStream.h"
#include "framework/forms/FormText.h"
#include "files/PictureWriter.h"
#include "testing/pictures/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QCoreApplication>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray FormSeed(const char* source)
{
    std::ifstream in(source);
    std::stringstream text;
    text << in.rdbuf();
    const std::vector<std::uint8_t> stream = WriteFormStream(ParseFormText(text.str()));
    return QByteArray(reinterpret_cast<const char*>(stream.data()), static_cast<qsizetype>(stream.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    // Qt finds its image plugins through an application object; no window is shown.
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_corpus OUTPUT_FOLDER FORM_SOURCE...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const char* kind : {"form", "picture", "file", "analysis"})
        out.mkpath(QString::fromLatin1(kind));

    bool written = true;
    try {
        for (int i = 2; i < argc; ++i)
            written &= Write(out.filePath(QStringLiteral("form/%1").arg(i)), FormSeed(argv[i]));
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        return 1;
    }

    const QImage colour = PatternImage(13, 9);
    const QImage palette = PalettePicture(13, 9, 16);
    const std::pair<const char*, QByteArray> pictures[] = {
        {"bmp1", EncodeBmp(PalettePicture(13, 9, 2), 1)},
        {"bmp4", EncodeBmp(palette, 4)},
        {"bmp8", EncodeBmp(palette, 8)},
        {"bmp24", EncodeBmp(colour, 24)},
        {"bmp32", EncodeBmp(colour, 32)},
        {"rle4", EncodeBmp(palette, 4, true)},
        {"rle8", EncodeBmp(palette, 8, true)},
        {"png", Encode(colour, "png")},
        {"jpeg", Encode(colour, "jpg")},
        {"gif", EncodeGif(palette)},
        {"ico", Encode(colour, "ico")},
        {"ppm", Encode(colour, "ppm")},
        {"pgm", Encode(colour.convertToFormat(QImage::Format_Grayscale8), "pgm")},
        {"pbm", Encode(colour.convertToFormat(QImage::Format_Mono), "pbm")},
        {"xbm", Encode(colour.convertToFormat(QImage::Format_Mono), "xbm")},
        {"xpm", Encode(palette, "xpm")},
        {"png16", Encode(colour.convertToFormat(QImage::Format_Grayscale16), "png")},
        {"pgm16", QByteArray("P5\n# deep\n3 2\n4095\n") + QByteArray::fromHex("000100020fff00000800007f")},
        {"ppm16text", QByteArray("P3 2 1 65535 1 2 3 65535 0 300")},
    };
    for (const auto& [name, bytes] : pictures)
        written &= Write(out.filePath(QStringLiteral("picture/%1").arg(QLatin1String(name))), bytes);

    // The file library's formats, from its own writers, of every type they hold.
    using namespace darkfill::files;
    for (const SampleType type : {SampleType::U8, SampleType::U16, SampleType::I32, SampleType::F32}) {
        Picture picture(7, 5, type);
        for (std::size_t i = 0; i < picture.bytes.size(); ++i)
            picture.bytes[i] = static_cast<std::uint8_t>(i * 37 % 61);
        for (const FileFormat format : {FileFormat::Png, FileFormat::Pgm, FileFormat::Tiff, FileFormat::Pfm,
                                        FileFormat::Npy})
            if (Holds(format, type)) {
                const std::vector<std::uint8_t> bytes = EncodePicture(picture, format, {}, "seed");
                written &= Write(out.filePath(QStringLiteral("file/%1-%2").arg(ExtensionOf(format), DtypeName(type))),
                                 QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
            }
    }

    // Rows, columns, mode, then cells: below 96 is dark.
    const QByteArray analysis[] = {
        QByteArray("\x09\x0b\x00") + QByteArray(60, '\x10') + QByteArray(60, '\xc0'),
        QByteArray("\x27\x27\x00") + QByteArray::fromHex("10c010c0c0c01010c0a0b0c01020"),
        QByteArray("\x0f\x0f\x01") + QByteArray::fromHex("0a0b0c0d0e0f000102030405060708"),
    };
    for (int i = 0; i < 3; ++i)
        written &= Write(out.filePath(QStringLiteral("analysis/%1").arg(i)), analysis[i]);
    return written ? 0 : 1;
}
