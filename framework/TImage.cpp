#include "TImage.h"

#include "TBitmap.h"
#include "TPicture.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

namespace {

class ImagePane : public QWidget
{
public:
    ImagePane()
    {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    void Show(const TBitmap& bitmap)
    {
        image_ = QImage(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
        TBitmap copy;
        copy.Assign(&bitmap);
        copy.SetPixelFormat(pf32bit);
        for (int y = 0; y < copy.Height(); ++y) {
            const std::uint8_t* from = copy.GetScanline(y);
            auto* to = reinterpret_cast<QRgb*>(image_.scanLine(y));
            for (int x = 0; x < copy.Width(); ++x)
                to[x] = qRgb(from[4 * x + 2], from[4 * x + 1], from[4 * x]);
        }
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
