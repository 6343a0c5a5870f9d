#pragma once

#include "app/transformers/ValueTransformer.h"
#include "util/Value.h"

#include <QByteArray>
#include <QImage>

namespace quillcast::gui {

// Shows stored image bytes as an image and stores an edited image back as
// bytes. It works like the core's value transformers, but on the shown side
// it deals in QImage, which a Value cannot hold, so the widgets call it
// directly rather than through the registry.
//
// Images are stored as TIFF, the format other copies of the application
// read. Where Qt's TIFF plugin is not installed (Debian's
// qt6-image-formats-plugins) they are stored as PNG instead: lossless as
// well, and read by every image decoder, this one included; dropping the
// image would lose the user's data.
class LXImgData
{
public:
    static ValueTransformer::ValueClass transformedValueClass() { return ValueTransformer::ValueClass::Image; }
    static bool allowsReverseTransformation() { return true; }

    // The image the bytes hold; an empty image for none and for bytes that
    // are no image.
    QImage transformedValue(const Value &value) const;
    // The image's bytes in the storage format; none for an empty image or
    // when encoding fails.
    Value reverseTransformedValue(const QImage &image) const;

    // "tiff", or "png" where TIFF cannot be written.
    static QByteArray storageFormat();
};

} // namespace quillcast::gui
