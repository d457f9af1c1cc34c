#pragma once

#include "TComponent.h"

class QWidget;

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

    bool AutoSize() const { return autoSize_; }
    virtual void SetAutoSize(bool autoSize);

    // Puts the control into the client area of parent, which places aligned controls.
    void SetParent(TControl* parent);

    QWidget* Widget() const { return widget_; }

    void SetProperty(const std::string& name, const FormValue& value) override;

    // Places the aligned children within the client area.
    void AlignControls();

protected:
    // Moves the widget to the control's bounds.
    virtual void ApplyBounds();
    // The size that AutoSize gives; the current size where there is none.
    virtual void AutoSizeTo(int& width, int& height) const;
    void AdjustSize();
    const char* ClassName() const override { return "TControl"; }
    const std::vector<TControl*>& Children() const { return children_; }

private:
    QWidget* widget_;
    TControl* parent_ = nullptr;
    std::vector<TControl*> children_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    TAlign align_ = alNone;
    bool autoSize_ = false;
    bool aligning_ = false;
};
