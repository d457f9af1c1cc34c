#include "framework/controls/TAction.h"

#include "framework/controls/EventDispatch.h"
#include "framework/controls/TControl.h"

#include <QAction>
#include <QActionGroup>
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

// The group lives with the owner's window, found again by its index.
void TAction::SetGroupIndex(int index)
{
    action_->setCheckable(index > 0);
    QObject* window = action_->parent();
    if (index <= 0 || !window) {
        action_->setActionGroup(nullptr);
        return;
    }
    const QString name = QStringLiteral("TActionGroup%1").arg(index);
    auto* group = window->findChild<QActionGroup*>(name, Qt::FindDirectChildrenOnly);
    if (!group) {
        group = new QActionGroup(window);
        group->setObjectName(name);
    }
    action_->setActionGroup(group);
}

void TAction::SetChecked(bool checked)
{
    action_->setChecked(checked);
}

bool TAction::Checked() const
{
    return action_->isChecked();
}

void TAction::Execute()
{
    if (!action_->isEnabled())
        return;
    if (action_->actionGroup())
        action_->setChecked(true);
    if (OnExecute)
        DispatchEvent([this] { OnExecute(this); });
}
