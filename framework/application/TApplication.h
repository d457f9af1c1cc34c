#pragma once

#include "framework/core/TComponent.h"

#include <functional>
#include <memory>

class Exception;
class QApplication;
class TForm;

// The application object: owns the forms, runs the message loop and shows failures.
class TApplication : public TComponent
{
public:
    TApplication();
    ~TApplication() override;

    // The command line that Qt reads; set by the program's entry before WinMain.
    static void KeepCommandLine(int argc, char** argv);

    // Prepares Qt's application object (unless one exists) and the window icon.
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
