#include "framework/controls/TImage.h"

#include "framework/core/ComponentClasses.h"
#include "framework/pictures/BitmapImage.h"
#include "framework/pictures/TBitmap.h"
#include "framework/pictures/TPicture.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

namespace {

const ComponentClassRegistration Registration("TImage", [](TComponent* owner) -> TComponent* {
    return new TImage(owner);
});

class ImagePane : public QWidget
{
public:
    ImagePane()
    {
        setFocusPolicy(Qt::NoFocus);
    }

    void Show(const TBitmap& bitmap)
    {
        image_ = ImageOfBitmap(bitmap);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (image_.isNull())
            return;
        QPainter painter(this);
        painter.drawImage(0, 0, image_);
    }

private:
    QImage image_;
};

}  // namespace

TImage::TImage(TComponent* owner) : TControl(owner, new ImagePane), picture_(std::make_unique<TPicture>())
{
    picture_->OnChange = [this] { PictureChanged(); };
}

TImage::~TImage() = default;

void TImage::AutoSizeTo(int& width, int& height) const
{
    const TBitmap* bitmap = picture_->GetBitmap();
    if (bitmap->Empty())
        return;
    width = bitmap->Width();
    height = bitmap->Height();
}

void TImage::PictureChanged()
{
    static_cast<ImagePane*>(Widget())->Show(*picture_->GetBitmap());
    AdjustSize();
}
