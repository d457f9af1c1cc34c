#include "cli/Report.h"

#include "framework/pictures/PictureFile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

// 22,102: thousands grouped the same way whatever the user's locale, for scripts.
QString Grouped(long long n)
{
    return QLocale(QLocale::English).toString(n);
}

// The size, depth, counts and milliseconds of a picture that was filled.
void InsertCounts(QJsonObject& object, const FileOutcome& outcome)
{
    const darkfill::FillCounts& c = outcome.counts;
    object.insert(QStringLiteral("width"), outcome.width);
    object.insert(QStringLiteral("height"), outcome.height);
    object.insert(QStringLiteral("bits"), outcome.bitsPerValue);
    object.insert(QStringLiteral("regions_found"), c.regionsFound);
    object.insert(QStringLiteral("regions_painted"), c.regionsPainted);
    object.insert(QStringLiteral("pixels_painted"), c.pixelsPainted);
    object.insert(QStringLiteral("pixels_filled"), c.pixelsFilled);
    object.insert(QStringLiteral("pixels_left_at_zero"), c.pixelsLeftAtZero);
    object.insert(QStringLiteral("milliseconds"), QJsonObject{{QStringLiteral("read"), outcome.readMilliseconds},
                                                              {QStringLiteral("analyse"), outcome.analyseMilliseconds},
                                                              {QStringLiteral("write"), outcome.writeMilliseconds}});
}

}  // namespace

QString StatsLine(const FileTask& task, const FileOutcome& outcome)
{
    if (outcome.alreadyDone)
        return QStringLiteral("%1: already done, %2 exists").arg(PrintableFileName(task.input), QuotedFileName(task.output));
    const darkfill::FillCounts& c = outcome.counts;
    return QStringLiteral("%1: %2 x %3, %4 bits: %5 regions, %6 painted (%7 pixels); %8 pixels filled, %9 left at 0")
        .arg(PrintableFileName(task.input))
        .arg(outcome.width)
        .arg(outcome.height)
        .arg(outcome.bitsPerValue)
        .arg(Grouped(c.regionsFound), Grouped(c.regionsPainted), Grouped(c.pixelsPainted), Grouped(c.pixelsFilled),
             Grouped(c.pixelsLeftAtZero));
}

QString JsonLine(const FileTask& task, const FileOutcome& outcome)
{
    QJsonObject object{{QStringLiteral("input"), task.input}, {QStringLiteral("ok"), outcome.ok}};
    if (!outcome.ok) {
        object.insert(QStringLiteral("error"), outcome.error);
    } else {
        object.insert(QStringLiteral("output"), task.output);
        if (!task.fillMap.isEmpty())
            object.insert(QStringLiteral("fill_map"), task.fillMap);
        if (outcome.alreadyDone)
            object.insert(QStringLiteral("already_done"), true);
        else
            InsertCounts(object, outcome);
    }
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString SummaryLine(int filled, int failed, double seconds, double readMs, double analyseMs, double writeMs)
{
    const double total = readMs + analyseMs + writeMs;
    const auto share = [total](double part) { return total > 0 ? QString::number(100.0 * part / total, 'f', 0) : QStringLiteral("0"); };
    return QStringLiteral("%1 filled, %2 failed in %3 s (%4 pictures/s); of the work: reading %5 %, filling %6 %, "
                          "writing %7 %")
        .arg(filled)
        .arg(failed)
        .arg(seconds, 0, 'f', 2)
        .arg(seconds > 0 ? (filled + failed) / seconds : 0.0, 0, 'f', 1)
        .arg(share(readMs), share(analyseMs), share(writeMs));
}
