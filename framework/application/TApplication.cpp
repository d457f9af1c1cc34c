#include "framework/application/TApplication.h"

#include "framework/controls/EventDispatch.h"
#include "framework/controls/TForm.h"
#include "framework/core/Exception.h"
#include "framework/core/Resources.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <QTranslator>

#include <iostream>

namespace {

int commandLineCount = 0;
char** commandLine = nullptr;
char programName[] = "application";
char* defaultCommandLine[] = {programName, nullptr};

TApplication applicationObject;

CommandLineHandler::Handler& RegisteredHandler()
{
    static CommandLineHandler::Handler handler = nullptr;
    return handler;
}

void InstallQtTranslations()
{
    static QTranslator* installed = nullptr;
    if (installed)
        return;
    auto translator = std::make_unique<QTranslator>();
    if (LoadQtTranslations(QLocale(), *translator) && QCoreApplication::installTranslator(translator.get()))
        installed = translator.release();
}

QIcon IconFromResource()
{
    const auto icon = LookupResource("MAINICON");
    if (!icon)
        return {};
    QImage image;
    image.loadFromData(icon->data(), static_cast<int>(icon->size()));
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace

TApplication* Application = &applicationObject;

TApplication::TApplication() : TComponent(nullptr)
{
    SetEventDispatcher([this](const std::function<void()>& handler) { Dispatch(handler); });
}

TApplication::~TApplication()
{
    SetEventDispatcher(nullptr);
    Shutdown();
}

void TApplication::KeepCommandLine(int argc, char** argv)
{
    commandLineCount = argc;
    commandLine = argv;
}

void TApplication::Initialize()
{
    if (!QApplication::instance()) {
        if (!commandLine) {
            commandLineCount = 1;
            commandLine = defaultCommandLine;
        }
        qtApplication_ = std::make_unique<QApplication>(commandLineCount, commandLine);
    }
    InstallQtTranslations();
    // Read once: a later call finds the icon in place.
    if (!QApplication::windowIcon().isNull())
        return;
    const QIcon icon = IconFromResource();
    if (!icon.isNull())
        QApplication::setWindowIcon(icon);
}

void TApplication::FormCreated(TForm* form)
{
    if (mainForm_)
        return;
    mainForm_ = form;
    form->OnClosed = [] { QApplication::quit(); };
}

void TApplication::ComponentRemoved(TComponent* component)
{
    if (component == mainForm_)
        mainForm_ = nullptr;
}

void TApplication::Run()
{
    if (!mainForm_)
        return;
    mainForm_->Show();
    QApplication::exec();
}

void TApplication::ShowException(const Exception* exception)
{
    const QString message = QString::fromStdString(exception->Message);
    if (!QApplication::instance()) {
        std::cerr << exception->Message << std::endl;
        return;
    }
    const QString title = Title.empty() ? QApplication::applicationName() : QString::fromStdString(Title);
    QWidget* parent = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::Ok, parent);
    box.exec();
}

void TApplication::Dispatch(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const Exception& e) {
        ShowException(&e);
    } catch (const std::exception& e) {
        const Exception shown(e.what());
        ShowException(&shown);
    } catch (...) {
        const Exception shown("The command failed for a reason that it did not tell.");
        ShowException(&shown);
    }
}

void TApplication::Shutdown()
{
    DestroyComponents();
    mainForm_ = nullptr;
    qtApplication_.reset();
}

void TApplication::QueueEvent(std::function<void()> handler)
{
    QTimer::singleShot(0, QCoreApplication::instance(), [this, handler = std::move(handler)] { Dispatch(handler); });
}

QStringList TApplication::CommandLine()
{
    QStringList arguments;
    for (int i = 0; i < commandLineCount && commandLine; ++i)
        arguments << QString::fromLocal8Bit(commandLine[i]);
    return arguments;
}

bool LoadQtTranslations(const QLocale& locale, QTranslator& translator)
{
    return translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

CommandLineHandler::CommandLineHandler(Handler handler)
{
    RegisteredHandler() = handler;
}

std::optional<int> CommandLineHandler::Run(const QStringList& arguments)
{
    return RegisteredHandler() ? RegisteredHandler()(arguments) : std::nullopt;
}
