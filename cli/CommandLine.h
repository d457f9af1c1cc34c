#pragma once

#include "darkfill/darkfill.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the user asked darkfill-cli for.
struct CommandLine {
    QStringList inputs;        // "-" stands for standard input (one-file form only)
    QString output;            // -o: one file, "-" for standard output
    QString outputDirectory;   // --output-dir: the batch form
    QString fillMap;           // --fill-map: a file, or a folder in the batch form
    QString format = QStringLiteral("png");  // --format: the batch form's outputs
    bool stats = false;
    bool json = false;
    bool force = false;
    bool skipExisting = false;  // --skip-existing: leave what is done already
    bool quiet = false;
    int jobs = 0;              // 0: one a core
    darkfill::FillOptions options;  // --rule, --far
};

// The fill rules and far sides by the names that the command line and the Python
// module give them: rows-columns, nearest, background; larger, smaller.
std::optional<darkfill::FillRule> FillRuleNamed(const QString& name);
std::optional<darkfill::FarSide> FarSideNamed(const QString& name);
QString NameOf(darkfill::FillRule rule);
QString NameOf(darkfill::FarSide far);

enum class CommandLineRequest { Run, Help, Version, UsageError };

// Reads the arguments (the program's name first). On a usage error, error says
// what is wrong.
CommandLineRequest ParseCommandLine(const QStringList& arguments, CommandLine& commandLine, QString& error);

// The manual: what the program does, every option, the fill map's colours, the
// exit status and examples.
QString ManualText();

// One line that names the usage and points to --help, for usage errors.
QString UsageLine();
