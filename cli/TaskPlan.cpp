#include "cli/TaskPlan.h"

#include "framework/pictures/PictureFile.h"
#include "framework/pictures/PictureWriter.h"
#include "framework/pictures/SystemFileName.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The file that a path names, the same however it is written: for a path that
// does not exist yet, the one that its folder would hold.
QString Identity(const QString& path)
{
    if (const QString file = CanonicalFileName(path); !file.isEmpty())
        return file;
    const QFileInfo info(AbsoluteFileName(path));
    const QString folder = CanonicalFileName(info.path());
    return folder.isEmpty() ? info.filePath() : QDir::cleanPath(folder + QLatin1Char('/') + info.fileName());
}

QString MakeFolder(const QString& path)
{
    if (IsFolder(path) || MakeFolders(path))
        return {};
    return QStringLiteral("Cannot make the folder %1: %2.").arg(QuotedFileName(path), qt_error_string(errno));
}

}  // namespace

std::vector<FileTask> PlanTasks(const CommandLine& commandLine)
{
    const bool batch = !commandLine.outputDirectory.isEmpty();
    QString folderFailure;
    if (batch) {
        folderFailure = MakeFolder(commandLine.outputDirectory);
        if (folderFailure.isEmpty() && !commandLine.fillMap.isEmpty())
            folderFailure = MakeFolder(commandLine.fillMap);
    }

    QHash<QString, QString> inputs;  // identity -> input as given
    for (const QString& input : commandLine.inputs)
        if (input != QStringLiteral("-"))
            inputs.insert(Identity(input), input);

    std::vector<FileTask> tasks;
    QHash<QString, QString> written;  // identity -> the input whose task writes it
    for (const QString& input : commandLine.inputs) {
        FileTask task{input, commandLine.output, batch ? QString() : commandLine.fillMap, folderFailure,
                      commandLine.options};
        if (batch) {
            const QString name = QFileInfo(input).completeBaseName();
            task.output = QDir(commandLine.outputDirectory).filePath(name + QLatin1Char('.') + commandLine.format);
            if (!commandLine.fillMap.isEmpty())
                task.fillMap = QDir(commandLine.fillMap).filePath(name + QStringLiteral(".png"));
        }
        for (const QString& path : {task.output, task.fillMap}) {
            if (path.isEmpty() || path == QStringLiteral("-") || !task.refusal.isEmpty())
                continue;
            const QString identity = Identity(path);
            if (inputs.contains(identity))
                task.refusal = QStringLiteral("%1: writing %2 would write over the input %3.")
                                   .arg(QuotedFileName(input), QuotedFileName(path), QuotedFileName(inputs[identity]));
            else if (written.contains(identity))
                task.refusal = QStringLiteral("%1: %2 is written for %3 already.")
                                   .arg(QuotedFileName(input), QuotedFileName(path), QuotedFileName(written[identity]));
            else
                written.insert(identity, input);
        }
        tasks.push_back(task);
    }
    return tasks;
}

QString StandardOutputClash(const CommandLine& commandLine)
{
    const bool writes = commandLine.output == QStringLiteral("-") || commandLine.stats || commandLine.json;
    struct stat out;
    if (!writes || ::fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode))
        return {};
    for (const QString& input : commandLine.inputs) {
        struct stat in;
        if (input != QStringLiteral("-") && ::stat(SystemFileName(input).constData(), &in) == 0 &&
            in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            return QStringLiteral("standard output is the input %1; writing to it would destroy it, so nothing "
                                  "is written.")
                .arg(QuotedFileName(input));
    }
    return {};
}
