#pragma once

#include "framework/core/TComponent.h"

class QWidget;
class TPopupMenu;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// A visible part of a window, shown by a Qt widget that it owns.
class TControl : public TComponent
{
public:
    TControl(TComponent* owner, QWidget* widget);
    ~TControl() override;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    // The place of the control in the order in which the Tab key moves the focus
    // among the controls that take it.
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int tabOrder) { tabOrder_ = tabOrder; }

    bool AutoSize() const { return autoSize_; }
    virtual void SetAutoSize(bool autoSize);

    // The hint shown when the pointer rests on the control, and the name by which
    // assistive tools such as screen readers call it.
    void SetHint(const AnsiString& hint);
    void SetAccessibleName(const AnsiString& name);

    // The menu that a right click on the control opens; nullptr for none.
    void SetPopupMenu(TPopupMenu* menu);
    TPopupMenu* PopupMenu() const { return popupMenu_; }

    // Puts the control into the client area of parent, which places aligned controls.
    void SetParent(TControl* parent);

    QWidget* Widget() const { return widget_; }

    void SetProperty(const std::string& name, const FormValue& value) override;

    // Places the aligned children within the client area.
    void AlignControls();

    // Lays the children that take the focus above the others and chains them for
    // the Tab key in their TabOrder (creation order among equals).
    void OrderTabStops();

protected:
    // Moves the widget to the control's bounds.
    virtual void ApplyBounds();
    // The size that AutoSize gives; the current size where there is none.
    virtual void AutoSizeTo(int& width, int& height) const;
    void AdjustSize();
    // The children that take the focus, in their tab order.
    std::vector<TControl*> TabStops() const;
    // Whether the control takes the keyboard focus; a plain control does not.
    virtual bool TakesFocus() const { return false; }
    const char* ClassName() const override { return "TControl"; }

private:
    QWidget* widget_;
    TControl* parent_ = nullptr;
    std::vector<TControl*> children_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    int tabOrder_ = 0;
    TAlign align_ = alNone;
    bool autoSize_ = false;
    bool aligning_ = false;
    TPopupMenu* popupMenu_ = nullptr;
};
