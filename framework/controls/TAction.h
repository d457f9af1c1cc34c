#pragma once

#include "framework/core/TComponent.h"

class QAction;

// A command of a window: a caption, a shortcut and a hint, run by OnExecute from
// its shortcut anywhere in the owner's window or from the menus that list it. Its
// owner must be a control (the form); the command lives as long as its owner.
class TAction : public TComponent
{
public:
    explicit TAction(TComponent* owner);
    ~TAction() override;

    // The caption as menus show it; '&' marks the access key.
    void SetCaption(const AnsiString& caption);
    // The shortcut in its portable text form ("Ctrl+S"); the platform's own
    // shortcut for the same command where there is one (QKeySequence's names).
    void SetShortCut(const AnsiString& keys);
    void SetHint(const AnsiString& hint);
    void SetEnabled(bool enabled);
    bool Enabled() const;

    // A choice rather than a command: the actions of one owner with the same
    // group index (above 0) show a mark on the one chosen, and choosing one,
    // from a menu or by Execute, moves the mark to it before OnExecute runs.
    void SetGroupIndex(int index);
    void SetChecked(bool checked);
    bool Checked() const;

    // Runs OnExecute as the shortcut does, through the event dispatcher.
    void Execute();

    TNotifyEvent OnExecute;

    QAction* Action() const { return action_; }

protected:
    const char* ClassName() const override { return "TAction"; }

private:
    QAction* action_;
};
