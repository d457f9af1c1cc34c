#include "app/Unit1.h"

#include "analysis/Analysis.h"
#include "framework/controls/TFormClass.h"
#include "framework/core/Exception.h"
#include "framework/pictures/TBitmap.h"
#include "framework/pictures/TPicture.h"

#include <cstring>
#include <memory>
#include <string>

TForm1* Form1 = nullptr;

namespace {

const TFormClass& TForm1Class()
{
    static const TFormClass formClass = TFormClass("TForm1")
                                            .Field("Button1", &TForm1::Button1)
                                            .Field("Button2", &TForm1::Button2)
                                            .Field("Image1", &TForm1::Image1)
                                            .Field("Image2", &TForm1::Image2)
                                            .Field("OpenPictureDialog1", &TForm1::OpenPictureDialog1)
                                            .Handler("Button1Click", &TForm1::Button1Click)
                                            .Handler("Button2Click", &TForm1::Button2Click);
    return formClass;
}

// The working raster has room for pictures up to its own size; a larger one is
// refused before anything changes.
void RefuseOversizedPicture(const TBitmap& picture)
{
    if (picture.Width() <= RasterWidth && picture.Height() <= RasterHeight)
        return;
    throw Exception("The picture is " + std::to_string(picture.Width()) + " x " + std::to_string(picture.Height()) +
                    " pixels; the analysis handles pictures of at most " + std::to_string(RasterWidth) + " x " +
                    std::to_string(RasterHeight) + " pixels.");
}

// Byte 0 of every pixel (blue in the 24-bit layout) becomes the cell's grey level.
void CopyPictureIntoRaster(TBitmap& picture)
{
    // Cells outside a smaller picture would otherwise keep an earlier picture's
    // grey levels and leak into this result.
    std::memset(InputRaster, 0, sizeof InputRaster);
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* row = picture.GetScanline(y);
        for (int x = 0; x < picture.Width(); ++x)
            InputRaster[y][x] = row[3 * x];
    }
}

// Every byte of a pixel takes the result, so that the result shows as grey.
void CopyResultIntoPicture(TBitmap& picture)
{
    for (int y = 0; y < picture.Height(); ++y) {
        std::uint8_t* row = picture.GetScanline(y);
        for (int x = 0; x < picture.Width(); ++x)
            std::memset(row + 3 * x, static_cast<std::uint8_t>(ResultRaster[y][x]), 3);
    }
}

}  // namespace

TForm1::TForm1(TComponent* Owner) : TForm(Owner, TForm1Class())
{
}

void TForm1::Button1Click(TObject*)
{
    if (!OpenPictureDialog1->Execute())
        return;
    Image1->SetAutoSize(true);
    const AnsiString fileName = OpenPictureDialog1->GetFileName();
    Image1->Picture()->LoadFromFile(fileName);
}

void TForm1::Button2Click(TObject*)
{
    const auto input = std::make_unique<TBitmap>();
    const auto output = std::make_unique<TBitmap>();
    input->Assign(Image1->Picture()->GetBitmap());
    RefuseOversizedPicture(*input);
    output->Assign(Image2->Picture()->GetBitmap());
    output->SetWidth(input->Width());
    output->SetHeight(input->Height());
    input->SetPixelFormat(pf24bit);
    output->SetPixelFormat(pf24bit);

    CopyPictureIntoRaster(*input);
    RunAnalysis();
    CopyResultIntoPicture(*output);

    Image2->SetAutoSize(true);
    Image2->Picture()->Assign(output.get());
}
