#pragma once

#include "framework/core/TComponent.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Exception;
class QApplication;
class QLocale;
class QTranslator;
class TForm;

// The application object: owns the forms, runs the message loop and shows failures.
class TApplication : public TComponent
{
public:
    TApplication();
    ~TApplication() override;

    // The command line that Qt reads; set by the program's entry before WinMain.
    static void KeepCommandLine(int argc, char** argv);

    // The command line that the program was started with, its name first.
    static QStringList CommandLine();

    // Prepares Qt's application object (unless one exists), Qt's own texts in the
    // user's language where Qt has them, and the window icon.
    void Initialize();

    // Creates a form of class Form owned by the application and stores it at
    // reference; the first form created is the main form.
    template <class Form>
    void CreateForm(Form** reference)
    {
        Form* form = new Form(this);
        *reference = form;
        FormCreated(form);
    }

    TForm* MainForm() const { return mainForm_; }

    // Shows the main form and dispatches messages until it is closed.
    void Run();

    // Shows the message in a modal box and returns when the user closes it.
    void ShowException(const Exception* exception);

    // Runs an event handler; whatever it throws is shown and goes no further. The
    // controls run their events through it.
    void Dispatch(const std::function<void()>& handler);

    // Runs handler as an event, through Dispatch, once the message loop runs.
    void QueueEvent(std::function<void()> handler);

    // Releases the forms, then the Qt application object if this one made it.
    void Shutdown();

    AnsiString Title;

protected:
    void ComponentRemoved(TComponent* component) override;
    const char* ClassName() const override { return "TApplication"; }

private:
    void FormCreated(TForm* form);

    TForm* mainForm_ = nullptr;
    std::unique_ptr<QApplication> qtApplication_;
};

extern TApplication* Application;

// Loads Qt's own texts (dialog buttons, the file dialog) for a language into
// translator, from where Qt keeps its translations; false where it has none.
bool LoadQtTranslations(const QLocale& locale, QTranslator& translator);

// Lets a program answer its command line before anything else starts, even
// without a display: a static object of the program registers the handler,
// which the entry calls with the arguments (the program's name first). It returns
// an exit status to end at once (after --help, --version or a usage error), or
// nothing to go on and start the window.
class CommandLineHandler
{
public:
    using Handler = std::optional<int> (*)(const QStringList& arguments);
    explicit CommandLineHandler(Handler handler);

    // The registered handler's answer; nothing where none is registered.
    static std::optional<int> Run(const QStringList& arguments);
};
