// The window's icon is drawn in code (Windows builds have no SVG module);
// it must stay the picture the desktop shows from the SVG file, at every
// size the window hands to the desktop. The comparison needs the SVG module,
// so it is left out where that is missing.
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#ifdef QUORVEL_ICON_SVG
#include <QSvgRenderer>
#endif

#include "app/ToolIcons.h"

namespace {

#ifdef QUORVEL_ICON_SVG
QImage FromSvg(int size) {
    QSvgRenderer svg(QStringLiteral(QUORVEL_ICON_SVG));
    EXPECT_TRUE(svg.isValid());
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    svg.render(&p);
    return image;
}

// How far apart two pixels are: the largest difference of their channels.
int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

TEST(ProgramIcon, DrawingMatchesTheDesktopsSvgAtEverySize) {
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage drawn = ProgramIconImage(size).convertToFormat(QImage::Format_ARGB32);
        const QImage svg = FromSvg(size).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(drawn.size(), svg.size());
        int worst = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) worst = std::max(worst, Distance(drawn.pixel(x, y), svg.pixel(x, y)));
        // Small images smooth the edges of half-covered pixels a little
        // differently; a shape missing or out of place differs far more.
        // From 64 pixels on, every pixel agrees, colours and opacity too.
        EXPECT_LE(worst, size < 64 ? 64 : 12);
    }
}
#endif

TEST(ProgramIcon, WindowIconOffersEverySizeTheDesktopAsksFor) {
    const QIcon icon = ProgramIcon();
    for (int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // Opaque on the big file's paper, see-through in the corner.
        EXPECT_EQ(qAlpha(image.pixel(size * 24 / 128, size * 96 / 128)), 255);
        EXPECT_EQ(qAlpha(image.pixel(0, size - 1)), 0);
    }
}

}  // namespace
