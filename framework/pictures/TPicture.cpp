#include "framework/pictures/TPicture.h"

#include "framework/pictures/PictureFile.h"
#include "framework/pictures/TBitmap.h"

TPicture::TPicture() : bitmap_(std::make_unique<TBitmap>())
{
}

TPicture::~TPicture() = default;

void TPicture::LoadFromFile(const AnsiString& fileName)
{
    ReadPictureFile(fileName, *bitmap_);
    Changed();
}

void TPicture::Assign(const TBitmap* bitmap)
{
    bitmap_->Assign(bitmap);
    Changed();
}

void TPicture::Changed()
{
    if (OnChange)
        OnChange();
}
