#include "framework/controls/TControl.h"

#include "framework/controls/TPopupMenu.h"
#include "framework/core/Exception.h"
#include "framework/forms/FormModel.h"

#include <QRect>
#include <QWidget>

#include <algorithm>
#include <map>

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), widget_(widget)
{
}

TControl::~TControl()
{
    DestroyComponents();
    SetParent(nullptr);
    for (TControl* child : children_)
        child->parent_ = nullptr;
    delete widget_;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    left_ = left;
    top_ = top;
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    ApplyBounds();
    if (parent_ && align_ != alNone)
        parent_->AlignControls();
}

void TControl::SetAlign(TAlign align)
{
    align_ = align;
    if (parent_)
        parent_->AlignControls();
}

void TControl::SetAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    AdjustSize();
}

void TControl::AdjustSize()
{
    if (!autoSize_)
        return;
    int width = width_;
    int height = height_;
    AutoSizeTo(width, height);
    if (width != width_ || height != height_)
        SetBounds(left_, top_, width, height);
}

void TControl::AutoSizeTo(int&, int&) const
{
}

void TControl::SetHint(const AnsiString& hint)
{
    widget_->setToolTip(QString::fromStdString(hint));
}

void TControl::SetAccessibleName(const AnsiString& name)
{
    widget_->setAccessibleName(QString::fromStdString(name));
}

void TControl::SetPopupMenu(TPopupMenu* menu)
{
    if (!popupMenu_)
        QObject::connect(widget_, &QWidget::customContextMenuRequested, [this](const QPoint& at) {
            const QPoint onScreen = widget_->mapToGlobal(at);
            if (popupMenu_)
                popupMenu_->Popup(onScreen.x(), onScreen.y());
        });
    popupMenu_ = menu;
    widget_->setContextMenuPolicy(menu ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
}

void TControl::SetParent(TControl* parent)
{
    if (parent_)
        std::erase(parent_->children_, this);
    parent_ = parent;
    if (!parent_)
        return;
    parent_->children_.push_back(this);
    widget_->setParent(parent_->widget_);
    ApplyBounds();
    widget_->show();
    parent_->AlignControls();
}

void TControl::ApplyBounds()
{
    widget_->setGeometry(left_, top_, width_, height_);
}

// Top-aligned controls take the top of the free area, then bottom, left and right
// ones its sides, each in creation order; client-aligned ones take what is left.
void TControl::AlignControls()
{
    if (aligning_)
        return;
    aligning_ = true;
    QRect rest = widget_->contentsRect();
    rest.moveTo(0, 0);
    for (const TAlign pass : {alTop, alBottom, alLeft, alRight, alClient})
        for (TControl* c : children_) {
            if (c->align_ != pass)
                continue;
            const int w = std::min(c->width_, std::max(rest.width(), 0));
            const int h = std::min(c->height_, std::max(rest.height(), 0));
            switch (pass) {
            case alTop:
                c->SetBounds(rest.left(), rest.top(), rest.width(), c->height_);
                rest.setTop(rest.top() + h);
                break;
            case alBottom:
                c->SetBounds(rest.left(), rest.bottom() + 1 - c->height_, rest.width(), c->height_);
                rest.setBottom(rest.bottom() - h);
                break;
            case alLeft:
                c->SetBounds(rest.left(), rest.top(), c->width_, rest.height());
                rest.setLeft(rest.left() + w);
                break;
            case alRight:
                c->SetBounds(rest.right() + 1 - c->width_, rest.top(), c->width_, rest.height());
                rest.setRight(rest.right() - w);
                break;
            default:
                c->SetBounds(rest.left(), rest.top(), rest.width(), rest.height());
                break;
            }
        }
    aligning_ = false;
}

std::vector<TControl*> TControl::TabStops() const
{
    std::vector<TControl*> stops;
    for (TControl* child : children_)
        if (child->TakesFocus())
            stops.push_back(child);
    std::stable_sort(stops.begin(), stops.end(),
                     [](const TControl* a, const TControl* b) { return a->tabOrder_ < b->tabOrder_; });
    return stops;
}

void TControl::OrderTabStops()
{
    const std::vector<TControl*> stops = TabStops();
    for (std::size_t i = 0; i < stops.size(); ++i) {
        stops[i]->widget_->raise();
        if (i > 0)
            QWidget::setTabOrder(stops[i - 1]->widget_, stops[i]->widget_);
    }
}

void TControl::SetProperty(const std::string& name, const FormValue& value)
{
    static const std::map<std::string, TAlign> alignments = {{"alNone", alNone},   {"alTop", alTop},
                                                             {"alBottom", alBottom}, {"alLeft", alLeft},
                                                             {"alRight", alRight}, {"alClient", alClient}};
    if (name == "Left") {
        SetBounds(AsInteger(value, name), top_, width_, height_);
    } else if (name == "Top") {
        SetBounds(left_, AsInteger(value, name), width_, height_);
    } else if (name == "Width") {
        SetBounds(left_, top_, AsInteger(value, name), height_);
    } else if (name == "Height") {
        SetBounds(left_, top_, width_, AsInteger(value, name));
    } else if (name == "Align") {
        const auto found = alignments.find(AsIdentifier(value, name));
        if (found == alignments.end())
            throw Exception("The alignment " + value.text + " is unknown.");
        SetAlign(found->second);
    } else if (name == "TabOrder") {
        SetTabOrder(AsInteger(value, name));
    } else if (name == "AutoSize") {
        SetAutoSize(AsBoolean(value, name));
    } else {
        TComponent::SetProperty(name, value);
    }
}
