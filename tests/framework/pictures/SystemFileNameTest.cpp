#include "framework/pictures/PictureFile.h"
#include "framework/pictures/SystemFileName.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Every name the system can give comes back byte for byte, two names that differ
// stay two, and messages show the bytes that are no UTF-8 as the bytes they are.
TEST(SystemFileName, EveryNameRoundTripsAndShowsItsBytes)
{
    struct Row {
        const char* name;
        QByteArray bytes;
        const char* shown;  // as PrintableFileName shows it
    } const rows[] = {
        {"ASCII", "plain.png", "plain.png"},
        {"UTF-8", "caf\xc3\xa9 \xe6\xb7\xb1.png", "caf\xc3\xa9 \xe6\xb7\xb1.png"},
        {"four-byte character", "\xf0\x9f\x98\x80.png", "\xf0\x9f\x98\x80.png"},
        {"Latin-1", "lat\xe9.png", "lat\\xe9.png"},
        {"two stray bytes", "bad\xff\xfe.png", "bad\\xff\\xfe.png"},
        {"overlong slash", "a\xc0\xaf" "b", "a\\xc0\\xafb"},
        {"encoded surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"cut short at the end", "x\xe2\x82", "x\\xe2\\x82"},
        {"stray byte after a pair", "\xf0\x90\x80\x80\x80", "\xf0\x90\x80\x80\\x80"},
        {"control character", "two\nlines", "two\\nlines"},
    };
    for (const Row& row : rows) {
        const QString name = FileNameFromSystem(row.bytes);
        EXPECT_EQ(SystemFileName(name), row.bytes) << row.name;
        EXPECT_EQ(PrintableFileName(name).toStdString(), row.shown) << row.name;
    }
    std::set<QString> names;
    for (int byte = 0x80; byte <= 0xff; ++byte)
        names.insert(FileNameFromSystem(QByteArray("dup") + static_cast<char>(byte)));
    EXPECT_EQ(names.size(), 128u);
}

}  // namespace
