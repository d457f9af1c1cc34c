#include "framework/controls/TAction.h"

#include "framework/controls/EventDispatch.h"
#include "framework/controls/TControl.h"

#include <QAction>
#include <QWidget>

TAction::TAction(TComponent* owner) : TComponent(owner), action_(new QAction)
{
    action_->setShortcutContext(Qt::WindowShortcut);
    if (auto* control = dynamic_cast<TControl*>(owner)) {
        action_->setParent(control->Widget());
        control->Widget()->addAction(action_);
    }
    QObject::connect(action_, &QAction::triggered, [this] { Execute(); });
}

TAction::~TAction()
{
    // Deleting the action takes it out of its window and of every menu.
    delete action_;
}

void TAction::SetCaption(const AnsiString& caption)
{
    action_->setText(QString::fromStdString(caption));
}

void TAction::SetShortCut(const AnsiString& keys)
{
    action_->setShortcut(QKeySequence(QString::fromStdString(keys)));
}

void TAction::SetHint(const AnsiString& hint)
{
    action_->setToolTip(QString::fromStdString(hint));
    action_->setStatusTip(QString::fromStdString(hint));
}

void TAction::SetEnabled(bool enabled)
{
    action_->setEnabled(enabled);
}

bool TAction::Enabled() const
{
    return action_->isEnabled();
}

void TAction::Execute()
{
    if (OnExecute && action_->isEnabled())
        DispatchEvent([this] { OnExecute(this); });
}
