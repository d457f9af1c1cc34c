#include "app/Unit1.h"
#include "framework/application/TApplication.h"
#include "framework/application/WinMain.h"
#include "framework/core/Exception.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>

namespace {

// darkfill [FILE]: opens FILE at start. --help and --version answer without a
// window; a wrong command line gets the usage on standard error and status 2.
// Runs first, before the application object exists, so it also names the program.
std::optional<int> HandleCommandLine(const QStringList& arguments)
{
    QCoreApplication::setApplicationName(QStringLiteral("darkfill"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DARKFILL_VERSION));
    // The desktop's menu entry, darkfill.desktop, names the program's windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("darkfill"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "darkfill", "Fills the holes of grey pictures: load a picture with Button1, fill it with Button2."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QCoreApplication::translate("darkfill", "A picture to open at start."),
                                 QStringLiteral("[FILE]"));
    const bool parsed = parser.parse(arguments);
    // Without an application object yet, Qt cannot tell the program's name.
    const QString usage = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("darkfill"));
    if (!parsed || parser.positionalArguments().size() > 1) {
        const QString error = parsed ? QCoreApplication::translate("darkfill", "Only one picture can be opened at start.")
                                     : parser.errorText();
        std::fprintf(stderr, "darkfill: %s\n%s", qPrintable(error), qPrintable(usage));
        return 2;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(usage), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("darkfill %s\n", DARKFILL_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        FileToOpenAtStart() = parser.positionalArguments().constFirst().toStdString();
    return std::nullopt;
}

const CommandLineHandler CommandLine(HandleCommandLine);

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        Application->Initialize();
        Application->CreateForm(&Form1);
        Application->Run();
    } catch (Exception& exception) {
        Application->ShowException(&exception);
    } catch (...) {
        try {
            throw Exception("");
        } catch (Exception& exception) {
            Application->ShowException(&exception);
        }
    }
    return 0;
}
