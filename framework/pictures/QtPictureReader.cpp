#include "framework/pictures/QtPictureReader.h"

#include "files/FileError.h"
#include "framework/core/Exception.h"
#include "framework/pictures/GreyPicture.h"
#include "framework/pictures/PictureFile.h"
#include "framework/pictures/SystemFileName.h"

#include <QImageReader>
#include <QLoggingCategory>

#include <cstring>

namespace files = darkfill::files;

namespace {

QString NameOf(const std::string& bytes)
{
    return FileNameFromSystem(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// The picture's grey values (8 or 16 bits) as the file library holds them.
files::Picture GreyOf(const QImage& image)
{
    const GreyPicture grey = GreyPictureOfImage(image);
    const bool deep = grey.bitsPerValue > 8;
    files::Picture picture(grey.width, grey.height, deep ? files::SampleType::U16 : files::SampleType::U8);
    for (std::size_t i = 0; i < grey.values.size(); ++i) {
        if (deep)
            reinterpret_cast<std::uint16_t*>(picture.bytes.data())[i] = grey.values[i];
        else
            picture.bytes[i] = static_cast<std::uint8_t>(grey.values[i]);
    }
    return picture;
}

// Red, green and blue at 8 bits, or at 16 where the image has them.
files::Picture ColourOf(const QImage& image)
{
    const bool deep = image.depth() > 32;
    const QImage rgb = image.convertToFormat(deep ? QImage::Format_RGBX64 : QImage::Format_RGB888);
    files::Picture picture(rgb.width(), rgb.height(), deep ? files::SampleType::U16 : files::SampleType::U8, 3);
    for (int y = 0; y < rgb.height(); ++y) {
        if (!deep) {
            std::memcpy(picture.Row<std::uint8_t>(y), rgb.constScanLine(y), picture.RowBytes());
            continue;
        }
        const auto* from = reinterpret_cast<const quint16*>(rgb.constScanLine(y));
        std::uint16_t* to = picture.Row<std::uint16_t>(y);
        for (int x = 0; x < rgb.width(); ++x)
            for (int c = 0; c < 3; ++c)
                to[3 * x + c] = from[4 * x + c];
    }
    return picture;
}

}  // namespace

const files::ForeignReader* QtPictureReader::Instance()
{
    static const QtPictureReader* const reader = [] {
        // The readers' own warnings ("Corrupt JPEG data: ...") would reach
        // standard error in their words: only the program speaks there.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
        QImageReader::setAllocationLimit(static_cast<int>(files::ReadLimits{}.maximumPixels * 8 / (1024 * 1024)) + 1);
        return new QtPictureReader;
    }();
    return reader;
}

bool QtPictureReader::Recognises(std::span<const std::uint8_t> start, const std::string& name,
                                 const files::ReadLimits& limits) const
{
    try {
        const QByteArray bytes(reinterpret_cast<const char*>(start.data()), static_cast<qsizetype>(start.size()));
        return BeginsPicture(bytes, NameOf(name), limits.maximumPixels);
    } catch (const Exception& e) {
        throw files::FileError(e.Message);
    }
}

files::Picture QtPictureReader::Decode(const std::vector<std::uint8_t>& bytes, const std::string& name,
                                       const files::ReadLimits& limits, files::ReadAs as) const
{
    try {
        const QImage image =
            DecodePictureImage(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())),
                               NameOf(name), limits.maximumPixels);
        return as == files::ReadAs::Grey ? GreyOf(image) : ColourOf(image);
    } catch (const Exception& e) {
        throw files::FileError(e.Message);
    }
}
