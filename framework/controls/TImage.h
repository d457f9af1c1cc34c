#pragma once

#include "framework/controls/TControl.h"

#include <memory>

class TPicture;

// A pane that shows its picture at its top-left corner, one picture pixel per
// layout pixel, neither smoothed nor stretched. It takes no focus and lies
// beneath the window's buttons.
class TImage : public TControl
{
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;

    TPicture* Picture() const { return picture_.get(); }

protected:
    void AutoSizeTo(int& width, int& height) const override;
    const char* ClassName() const override { return "TImage"; }

private:
    void PictureChanged();

    std::unique_ptr<TPicture> picture_;
};
