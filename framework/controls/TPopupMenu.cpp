#include "framework/controls/TPopupMenu.h"

#include "framework/controls/TAction.h"

#include <QAction>
#include <QMenu>

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), menu_(std::make_unique<QMenu>())
{
}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Add(TAction* action)
{
    menu_->addAction(action->Action());
}

void TPopupMenu::AddSeparator()
{
    menu_->addSeparator();
}

TPopupMenu* TPopupMenu::AddSubmenu(const AnsiString& caption)
{
    auto* submenu = new TPopupMenu(this);
    submenu->menu_->setTitle(QString::fromStdString(caption));
    menu_->addMenu(submenu->menu_.get());
    return submenu;
}

void TPopupMenu::Popup(int x, int y)
{
    menu_->exec(QPoint(x, y));
}
