#include "transformers/LXImgData.h"

#include <QBuffer>
#include <QImageWriter>

namespace quillcast::gui {

QImage LXImgData::transformedValue(const Value &value) const
{
    if (value.type() != Value::Type::Bytes)
        return QImage();
    return QImage::fromData(value.toBytes());
}

Value LXImgData::reverseTransformedValue(const QImage &image) const
{
    if (image.isNull())
        return Value();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return Value();
    QImageWriter writer(&buffer, storageFormat());
    if (!writer.write(image))
        return Value();
    return Value(bytes);
}

QByteArray LXImgData::storageFormat()
{
    static const QByteArray format =
        QImageWriter::supportedImageFormats().contains(QByteArrayLiteral("tiff")) ? QByteArrayLiteral("tiff")
                                                                                  : QByteArrayLiteral("png");
    return format;
}

} // namespace quillcast::gui
