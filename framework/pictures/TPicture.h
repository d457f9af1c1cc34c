#pragma once

#include "framework/core/AnsiString.h"
#include "framework/core/TObject.h"

#include <functional>
#include <memory>

class TBitmap;

// The picture of a pane, always held as a bitmap.
class TPicture : public TObject
{
public:
    TPicture();
    ~TPicture() override;

    // Replaces the picture with the one read from the file; on failure raises
    // Exception and keeps the picture it had.
    void LoadFromFile(const AnsiString& fileName);

    // The picture as a bitmap owned by the picture; empty when there is none.
    TBitmap* GetBitmap() const { return bitmap_.get(); }

    // Replaces the picture with a copy of bitmap.
    void Assign(const TBitmap* bitmap);

    // Called after every change of the picture.
    std::function<void()> OnChange;

private:
    void Changed();

    std::unique_ptr<TBitmap> bitmap_;
};
