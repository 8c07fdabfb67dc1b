#include "thumbnails/qtpicturescaler.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QPainter>
#include <QThreadPool>

namespace tessaloom {

namespace {

// Decoded pixels a hostile picture may claim, in megabytes: a JPEG is decoded at
// its reduced size, so only other formats of very large pictures reach it.
constexpr int kAllocationLimitMb = 128;
constexpr int kQuality = 80;
// Up to this many pixels a picture other than a JPEG is decoded whole and scaled
// after: Qt's readers scale while they decode at twice the cost of both, but hold
// only a few rows, which a larger picture needs.
constexpr qint64 kWholePixels = 4 * 1024 * 1024;

bool IsSvg(std::string_view picture)
{
    const std::string_view head = picture.substr(0, 512);
    return head.find("<svg") != std::string_view::npos ||
           head.find("<?xml") != std::string_view::npos;
}

// Asks the reader to decode at the thumbnail's size where that is cheaper, or
// needed. False when the picture has no size to show.
bool ScaleWhileReading(QImageReader& reader)
{
    const QSize stored = reader.size();
    if (!stored.isValid())
        return true;
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize shown = turned ? stored.transposed() : stored;
    const records::FittedSize fit =
        records::FitInSquare(shown.width(), shown.height(), records::kThumbnailSide);
    if (fit.width == 0)
        return false;
    // A JPEG is decoded at a fraction of its size by the decoder itself.
    if ((fit.width != shown.width() || fit.height != shown.height()) &&
        (reader.format() == "jpeg" ||
         static_cast<qint64>(stored.width()) * stored.height() > kWholePixels)) {
        const QSize scaled(fit.width, fit.height);
        reader.setScaledSize(turned ? scaled.transposed() : scaled);
    }
    return true;
}

// The picture decoded and fitted in the thumbnail's square; null when no decoder
// reads it.
QImage FittedPicture(std::string_view picture)
{
    QByteArray bytes =
        QByteArray::fromRawData(picture.data(), static_cast<qsizetype>(picture.size()));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device);
    // Drawn upright, as a browser draws a photo with an orientation mark.
    reader.setAutoTransform(true);
    if (!reader.canRead() || reader.format() == "svg" || !ScaleWhileReading(reader))
        return {};
    QImage image = reader.read();
    if (!image.isNull()) {
        const records::FittedSize fit =
            records::FitInSquare(image.width(), image.height(), records::kThumbnailSide);
        if (fit.width != image.width() || fit.height != image.height())
            image = image.scaled(fit.width, fit.height, Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
    }
    return image;
}

} // namespace

QtPictureScaler::QtPictureScaler()
{
    QImageReader::setAllocationLimit(kAllocationLimitMb);
    // Damaged pictures are common in a cache and no fault of the user's: the
    // decoders' complaints about them would only fill the terminal.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    m_writesWebp = QImageWriter::supportedImageFormats().contains("webp");
}

QtPictureScaler::~QtPictureScaler()
{
    QThreadPool::globalInstance()->waitForDone();
}

std::optional<records::Thumbnail> QtPictureScaler::makeThumbnail(std::string_view picture)
{
    if (picture.empty() || picture.size() > records::kMaxDecodedPictureBytes || IsSvg(picture))
        return std::nullopt;
    const QImage image = FittedPicture(picture);
    if (image.isNull() || image.width() > records::kThumbnailSide ||
        image.height() > records::kThumbnailSide)
        return std::nullopt;

    // An opaque picture goes to JPEG on a white square: WebP's encoder took most
    // of a first build's time, for little gain at this size.
    const bool alpha = image.hasAlphaChannel();
    const bool webp = m_writesWebp && alpha;
    const bool transparent = alpha;
    QImage square(records::kThumbnailSide, records::kThumbnailSide,
                  transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    square.fill(transparent ? QColor(Qt::transparent) : QColor(Qt::white));
    {
        QPainter painter(&square);
        painter.drawImage((records::kThumbnailSide - image.width()) / 2,
                          (records::kThumbnailSide - image.height()) / 2, image);
    }
    records::Thumbnail thumbnail;
    thumbnail.width = image.width();
    thumbnail.height = image.height();
    thumbnail.extension = webp ? "webp" : alpha ? "png" : "jpg";
    QByteArray encoded;
    QBuffer out(&encoded);
    out.open(QIODevice::WriteOnly);
    QImageWriter writer(&out, webp ? "webp" : alpha ? "png" : "jpeg");
    writer.setQuality(webp || !alpha ? kQuality : -1);
    if (!writer.write(square))
        return std::nullopt;
    thumbnail.bytes.assign(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    return thumbnail;
}

} // namespace tessaloom
