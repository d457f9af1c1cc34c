#pragma once

#include "framework/core/TComponent.h"

#include <memory>

class QMenu;
class TAction;

// The menu that a right click on a control opens: commands (TAction), each with
// its shortcut shown, separators and submenus.
class TPopupMenu : public TComponent
{
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    void Add(TAction* action);
    void AddSeparator();
    // A menu within this one, under a caption ('&' marks the access key); this
    // menu owns it.
    TPopupMenu* AddSubmenu(const AnsiString& caption);

    // Opens the menu at a point of the screen and returns when it is closed.
    void Popup(int x, int y);

    QMenu* Menu() const { return menu_.get(); }

protected:
    const char* ClassName() const override { return "TPopupMenu"; }

private:
    std::unique_ptr<QMenu> menu_;
};
