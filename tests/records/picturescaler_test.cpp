#include "thumbnails/qtpicturescaler.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace tessaloom {
namespace {

using records::FitInSquare;
using records::kThumbnailSide;

TEST(FitInSquare, AspectKeptNeverEnlarged)
{
    struct Case
    {
        int width, height, fitWidth, fitHeight;
    };
    const Case cases[] = {
        {16, 16, 16, 16},     {300, 300, 300, 300},   {301, 301, 300, 300}, {1600, 400, 300, 75},
        {400, 1600, 75, 300}, {4000, 3000, 300, 225}, {301, 10, 300, 10},   {1, 4000, 1, 300},
        {100, 299, 100, 299}, {0, 10, 0, 0},
    };
    for (const Case& c : cases) {
        const auto fit = FitInSquare(c.width, c.height, kThumbnailSide);
        EXPECT_EQ(fit.width, c.fitWidth) << c.width << "x" << c.height;
        EXPECT_EQ(fit.height, c.fitHeight) << c.width << "x" << c.height;
    }
}

std::string Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A picture with a border of its own colour, so that where it lies in the
// thumbnail can be measured.
QImage Picture(int width, int height, bool alpha)
{
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(QColor(200, 30, 30, alpha ? 128 : 255));
    return image;
}

// The box of the thumbnail's pixels that are not background.
QRect DrawnBox(const QImage& thumbnail, bool transparentBackground)
{
    QRect box;
    for (int y = 0; y < thumbnail.height(); ++y) {
        for (int x = 0; x < thumbnail.width(); ++x) {
            const QColor c = thumbnail.pixelColor(x, y);
            const bool background =
                transparentBackground ? c.alpha() < 16 : (c.red() > 240 && c.green() > 240);
            if (!background)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

TEST(QtPictureScaler, ThumbnailsFitTheSquareInEveryFormat)
{
    QtPictureScaler scaler;
    struct Case
    {
        const char* format;
        int width, height;
        bool alpha;
    };
    const Case cases[] = {
        {"jpeg", 1600, 400, false}, {"jpeg", 3000, 4000, false}, {"png", 16, 16, true},
        {"png", 400, 1600, false},  {"bmp", 640, 480, false},    {"gif", 120, 30, false},
        {"webp", 1000, 333, true},  {"png", 1, 1200, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + std::to_string(c.width) + "x" +
                     std::to_string(c.height));
        if (!QImageWriter::supportedImageFormats().contains(c.format))
            continue; // a plugin this system lacks (Qt reads GIF, but writes none)
        const std::string picture = Encode(Picture(c.width, c.height, c.alpha), c.format);
        const auto made = scaler.makeThumbnail(picture);
        ASSERT_TRUE(made);
        const auto fit = FitInSquare(c.width, c.height, kThumbnailSide);
        EXPECT_EQ(made->width, fit.width);
        EXPECT_EQ(made->height, fit.height);
        EXPECT_LT(made->bytes.size(), 40'000u);
        QImage thumbnail;
        ASSERT_TRUE(thumbnail.loadFromData(reinterpret_cast<const uchar*>(made->bytes.data()),
                                           static_cast<int>(made->bytes.size())));
        EXPECT_EQ(thumbnail.size(), QSize(kThumbnailSide, kThumbnailSide));
        // Drawn in the middle, aspect kept within 3% (a pixel for thin ones).
        const QRect box = DrawnBox(thumbnail, thumbnail.hasAlphaChannel());
        EXPECT_LE(std::abs(box.width() - fit.width), std::max(1, fit.width * 3 / 100));
        EXPECT_LE(std::abs(box.height() - fit.height), std::max(1, fit.height * 3 / 100));
        EXPECT_LE(std::abs(box.center().x() - kThumbnailSide / 2), 2);
        EXPECT_LE(std::abs(box.center().y() - kThumbnailSide / 2), 2);
    }
}

TEST(QtPictureScaler, WhatNoDecoderDrawsIsLeftAlone)
{
    QtPictureScaler scaler;
    const std::string jpeg = Encode(Picture(64, 64, false), "jpeg");
    for (const std::string& picture : {
             std::string(),
             std::string("not a picture at all"),
             jpeg.substr(0, 20), // cut inside its header
             std::string("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 8 4'/>"),
         }) {
        EXPECT_FALSE(scaler.makeThumbnail(picture)) << picture.size();
    }
}

} // namespace
} // namespace tessaloom
