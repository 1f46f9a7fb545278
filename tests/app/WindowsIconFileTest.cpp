// The icon the .exe files carry (data/quorvel.ico) is written by quorvel-icon
// from the window's drawing; these hold the file to the drawing and check the
// icon container with Qt's own reader, an independent one.
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <gtest/gtest.h>

#include "app/IconFile.h"
#include "app/ToolIcons.h"

namespace {

bool CanReadIcons() { return QImageReader::supportedImageFormats().contains("ico"); }

// Every image of an icon file, in the file's order, as Qt reads them.
QList<QImage> ReadIcon(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    QList<QImage> images;
    for (int i = 0; i < reader.imageCount(); ++i) {
        EXPECT_TRUE(reader.jumpToImage(i));
        images.append(reader.read().convertToFormat(QImage::Format_ARGB32));
    }
    return images;
}

// Rows and columns told apart, every alpha from clear to opaque: a picture
// read upside down, mirrored or with its alpha lost differs. Made as a
// drawing is, premultiplied, so that no colour is stronger than its alpha.
QImage Pattern(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.setPixel(x, y, qPremultiply(qRgba(x * 255 / size, y < size / 3 ? 200 : 20, 90, (x + y * size) % 256)));
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Fully clear pixels show no colour, whatever they hold.
bool Same(QRgb a, QRgb b) { return a == b || (qAlpha(a) == 0 && qAlpha(b) == 0); }

void ExpectSamePixels(const QImage& actual, const QImage& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    int differing = 0;
    QString first;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (!Same(actual.pixel(x, y), expected.pixel(x, y)) && differing++ == 0)
                first = QStringLiteral("%1,%2: %3 instead of %4")
                            .arg(x)
                            .arg(y)
                            .arg(actual.pixel(x, y), 8, 16, QLatin1Char('0'))
                            .arg(expected.pixel(x, y), 8, 16, QLatin1Char('0'));
    EXPECT_EQ(differing, 0) << "first at " << first.toStdString();
}

TEST(WindowsIconFile, CommittedIconIsTheDrawingAtEverySizeWindowsUses) {
    if (!CanReadIcons()) {
#ifdef Q_OS_WIN
        GTEST_SKIP() << "no ico image plugin beside the test program";
#else
        FAIL() << "Qt's ico image plugin is missing";
#endif
    }
    QFile file(QStringLiteral(QUORVEL_ICON_ICO));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << QUORVEL_ICON_ICO;
    const QList<QImage> images = ReadIcon(file.readAll());
    ASSERT_EQ(images.size(), int(std::size(kWindowsIconSizes)))
        << "data/quorvel.ico is out of date: write it again with quorvel-icon";
    for (int i = 0; i < images.size(); ++i) {
        const int size = kWindowsIconSizes[i];
        SCOPED_TRACE(size);
        ExpectSamePixels(images[i], ProgramIconImage(size).convertToFormat(QImage::Format_ARGB32));
    }
}

TEST(WindowsIconFile, ReadsBackAsTheImagesItHoldsBitmapsAndPngAlike) {
    if (!CanReadIcons()) GTEST_SKIP() << "no ico image plugin";
    const QList<QImage> pictures{Pattern(16), Pattern(24), Pattern(64), Pattern(256)};
    const QList<QImage> read = ReadIcon(WindowsIconFile(pictures));
    ASSERT_EQ(read.size(), pictures.size());
    for (int i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(pictures[i].width());
        ExpectSamePixels(read[i], pictures[i]);
    }
}

// A reader that ignores the alpha channel cuts the shape out with the mask:
// it must be set exactly where the picture is clear, rows bottom-up as the
// colours run.
TEST(WindowsIconFile, MaskIsSetWhereThePictureIsClear) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 255));
    for (int x = 0; x < 16; ++x) image.setPixel(x, 0, qRgba(0, 0, 0, 0));  // top row clear
    image.setPixel(3, 15, qRgba(0, 0, 0, 0));                              // one pixel at the bottom
    const QByteArray icon = WindowsIconFile({image});
    const int entry = 6 + 16, mask = entry + 40 + 16 * 16 * 4;
    ASSERT_EQ(icon.size(), mask + 16 * 4);
    const auto maskByte = [&](int fileRow, int byte) { return quint8(icon[mask + fileRow * 4 + byte]); };
    EXPECT_EQ(maskByte(0, 0), 0x10);  // the picture's bottom row comes first
    EXPECT_EQ(maskByte(0, 1), 0x00);
    EXPECT_EQ(maskByte(15, 0), 0xff);
    EXPECT_EQ(maskByte(15, 1), 0xff);
    for (int row = 1; row < 15; ++row) EXPECT_EQ(maskByte(row, 0) | maskByte(row, 1), 0) << row;
}

TEST(WindowsIconFile, ImagesAnIconCannotHoldGiveNoFile) {
    EXPECT_TRUE(WindowsIconFile({QImage(32, 16, QImage::Format_ARGB32)}).isEmpty());
    EXPECT_TRUE(WindowsIconFile({Pattern(16), Pattern(512)}).isEmpty());
    EXPECT_TRUE(WindowsIconFile({QImage()}).isEmpty());
}

}  // namespace
