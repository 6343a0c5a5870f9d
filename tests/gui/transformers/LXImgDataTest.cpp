#include "transformers/LXImgData.h"

#include <QBuffer>
#include <QImageReader>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;

Q_DECLARE_METATYPE(quillcast::Value)

namespace {

QImage sample()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(0, 0, qRgba(200, 10, 30, 255));
    image.setPixel(2, 1, qRgba(0, 120, 255, 128));
    return image;
}

} // namespace

class LXImgDataTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void storedImageReadsBackPixelForPixel()
    {
        const LXImgData transformer;
        const Value stored = transformer.reverseTransformedValue(sample());
        QCOMPARE(transformer.transformedValue(stored).convertToFormat(QImage::Format_ARGB32), sample());
    }

    void storedBytesAreTiff()
    {
        // The TIFF plugin comes with the packages the project installs.
        const Value stored = LXImgData().reverseTransformedValue(sample());
        QBuffer buffer;
        buffer.setData(stored.toBytes());
        QCOMPARE(QImageReader(&buffer).format(), QByteArray("tiff"));
    }

    void unreadableInput_data()
    {
        QTest::addColumn<Value>("input");
        QTest::newRow("none") << Value();
        QTest::newRow("textBytes") << Value(QByteArrayLiteral("Dear Ann"));
        QTest::newRow("truncatedPng") << Value(QByteArrayLiteral("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"));
        QTest::newRow("textValue") << Value(QStringLiteral("picture.png"));
    }
    void unreadableInput()
    {
        QFETCH(Value, input);
        QVERIFY(LXImgData().transformedValue(input).isNull());
    }

    void emptyImageStoresNothing() { QVERIFY(LXImgData().reverseTransformedValue(QImage()).isNull()); }
};

QTEST_MAIN(LXImgDataTest)
#include "LXImgDataTest.moc"
