#include "app/ToolIcons.h"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <cmath>

namespace {

const QColor kPiece(120, 190, 120);
const QColor kFolder(235, 190, 70);
const QColor kTick(60, 190, 90);
const QColor kSteel(160, 170, 185);

// The colours an icon takes from the palette it is shown on: outlines in the
// text colour and paper in the base colour keep every shape's edge legible on
// light and dark palettes alike; the arrow turns lighter on a dark window.
struct Ink {
    QColor outline, paper, arrow;
    explicit Ink(const QPalette& palette)
        : outline(palette.color(QPalette::Active, QPalette::WindowText)),
          paper(palette.color(QPalette::Active, QPalette::Base)),
          arrow(palette.color(QPalette::Active, QPalette::Window).lightness() < 128 ? QColor(110, 175, 255)
                                                                                    : QColor(40, 110, 200)) {}
};

// A sheet with a folded top-right corner.
void Page(QPainter& p, QRectF r, const QColor& fill) {
    qreal fold = qMin(r.width(), r.height()) * 0.35;
    QPolygonF sheet{{r.left(), r.top()},
                    {r.right() - fold, r.top()},
                    {r.right(), r.top() + fold},
                    {r.right(), r.bottom()},
                    {r.left(), r.bottom()}};
    p.setBrush(fill);
    p.drawPolygon(sheet);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

// Three small pieces stacked on top of each other.
void Pieces(QPainter& p, qreal x, qreal y) {
    for (int i = 0; i < 3; ++i) p.drawRect(QRectF(x, y + i * 4.5, 5, 3.5));
}

void Folder(QPainter& p) {
    p.setBrush(kFolder);
    QPolygonF folder{{1.5, 4.5}, {5.5, 4.5}, {6.5, 6}, {14.5, 6}, {14.5, 14.5}, {1.5, 14.5}};
    p.drawPolygon(folder);
}

void Magnifier(QPainter& p, const Ink& ink) {
    p.setBrush(QColor(200, 225, 255));
    p.drawEllipse(QRectF(8.5, 8.5, 5, 5));
    p.setPen(QPen(ink.outline, 1.6));
    p.drawLine(QPointF(12.8, 12.8), QPointF(15.2, 15.2));
}

void Arrow(QPainter& p, const Ink& ink, qreal fromX, qreal toX, qreal y) {
    p.setPen(QPen(ink.arrow, 1.5));
    p.drawLine(QPointF(fromX, y), QPointF(toX - 1.5, y));
    p.setPen(Qt::NoPen);
    p.setBrush(ink.arrow);
    qreal dir = toX > fromX ? 1 : -1;
    p.drawPolygon(QPolygonF{{toX, y}, {toX - 2.8 * dir, y - 2.5}, {toX - 2.8 * dir, y + 2.5}});
}

void Draw(QPainter& p, ToolIcon which, const Ink& ink) {
    p.setPen(QPen(ink.outline, 1));
    switch (which) {
    case ToolIcon::SelectBigFile:
        Page(p, {2.5, 0.5, 9, 12}, ink.paper);
        Magnifier(p, ink);
        break;
    case ToolIcon::PlaceForPieces:
        Folder(p);
        p.setBrush(kPiece);
        Pieces(p, 8.5, 1.5);
        break;
    case ToolIcon::Split:
        Page(p, {0.5, 2.5, 7, 11}, ink.paper);
        p.setBrush(kPiece);
        Pieces(p, 10.5, 2);
        Arrow(p, ink, 6.5, 10, 8);
        break;
    case ToolIcon::SelectPieces:
        p.setBrush(kPiece);
        Pieces(p, 2.5, 0.5);
        Pieces(p, 5.5, 1.5);
        Magnifier(p, ink);
        break;
    case ToolIcon::PlaceForBigFile:
        Folder(p);
        Page(p, {7.5, 0.5, 6, 9}, ink.paper);
        break;
    case ToolIcon::Join:
        p.setBrush(kPiece);
        Pieces(p, 0.5, 2);
        Page(p, {8.5, 2.5, 7, 11}, ink.paper);
        Arrow(p, ink, 5, 9.5, 8);
        break;
    case ToolIcon::Exit:
        p.setBrush(QColor(200, 50, 40));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
        break;
    case ToolIcon::Stop: {
        // An octagon with a bar: a stop sign, not the round Exit.
        QPolygonF sign;
        for (int i = 0; i < 8; ++i) {
            const qreal angle = (22.5 + 45 * i) * 3.14159265358979 / 180;
            sign << QPointF(8 + 7 * std::cos(angle), 8 + 7 * std::sin(angle));
        }
        p.setBrush(QColor(200, 50, 40));
        p.drawPolygon(sign);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 6.9, 8, 2.2));
        break;
    }
    case ToolIcon::CheckPieces:
        // The pieces, ticked off.
        p.setBrush(kPiece);
        Pieces(p, 1.5, 1.5);
        Pieces(p, 4.5, 2.5);
        p.setPen(QPen(ink.outline, 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF{{8, 10.5}, {10.5, 13.5}, {14.8, 6.5}});
        p.setPen(QPen(kTick, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{{8, 10.5}, {10.5, 13.5}, {14.8, 6.5}});
        break;
    case ToolIcon::RepairPieces: {
        // The pieces and a wrench across them.
        p.setBrush(kPiece);
        Pieces(p, 1.5, 1.5);
        Pieces(p, 4.5, 2.5);
        p.setPen(QPen(ink.outline, 3.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 14.5), QPointF(11.5, 11));
        p.setPen(QPen(kSteel, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 14.5), QPointF(11.5, 11));
        // The head: a ring open toward the top right.
        p.setPen(QPen(ink.outline, 1));
        p.setBrush(kSteel);
        p.drawEllipse(QPointF(12.3, 10.2), 3.2, 3.2);
        p.setBrush(ink.paper);
        p.drawPolygon(QPolygonF{{12.3, 10.2}, {13.2, 6.6}, {15.9, 9.3}});
        break;
    }
    case ToolIcon::Help: {
        p.setBrush(QColor(40, 110, 200));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        QPainterPath hook;
        hook.moveTo(5.6, 6.2);
        hook.cubicTo(5.6, 3.2, 10.4, 3.2, 10.4, 6.2);
        hook.cubicTo(10.4, 8.0, 8, 8.0, 8, 10.0);
        p.setBrush(Qt::NoBrush);
        p.drawPath(hook);
        p.drawPoint(QPointF(8, 12.4));
        break;
    }
    }
}

// The disabled look: the drawing's shades of grey drawn toward the palette's
// disabled text colour, and partly transparent.
QImage Greyed(QImage image, const QPalette& palette) {
    const QColor muted = palette.color(QPalette::Disabled, QPalette::WindowText);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            const int grey = qGray(c);
            line[x] = qRgba((grey + muted.red()) / 2, (grey + muted.green()) / 2, (grey + muted.blue()) / 2,
                            qAlpha(c) * 3 / 5);
        }
    }
    return image;
}

}  // namespace

QPixmap ToolPixmap(ToolIcon which, int size, bool enabled, const QPalette& palette) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        Draw(p, which, Ink(palette));
    }
    return QPixmap::fromImage(enabled ? image : Greyed(image, palette));
}

QIcon MakeToolIcon(ToolIcon which, const QPalette& palette) {
    QIcon icon;
    for (int size : {16, 32}) {
        icon.addPixmap(ToolPixmap(which, size, true, palette), QIcon::Normal);
        icon.addPixmap(ToolPixmap(which, size, false, palette), QIcon::Disabled);
    }
    return icon;
}

void DrawProgramIcon(QPainter& p) {
    // The same picture as data/org.vornholt.Quorvel.svg, on its 128 x 128
    // grid, drawn in code because Qt's SVG module is not there on every
    // platform the window is built for. Outlines are SVG's: flat ends unless
    // round, round corners, each shape filled before it is stroked.
    const QColor ink(0x28, 0x32, 0x4a);
    const auto pen = [](const QColor& colour, qreal width, Qt::PenCapStyle cap) {
        return QPen(colour, width, Qt::SolidLine, cap, Qt::RoundJoin);
    };
    // Gradients run top to bottom over each shape's own box, as in the SVG.
    const auto topToBottom = [](const QColor& top, const QColor& bottom) {
        QLinearGradient gradient(0, 0, 0, 1);
        gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
        gradient.setColorAt(0, top);
        gradient.setColorAt(1, bottom);
        return QBrush(gradient);
    };
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // The big file: a sheet with a folded corner and four lines of text.
    QPainterPath sheet;
    sheet.moveTo(10, 14);
    sheet.lineTo(48, 14);
    sheet.lineTo(64, 30);
    sheet.lineTo(64, 112);
    sheet.lineTo(10, 112);
    sheet.closeSubpath();
    p.setPen(pen(ink, 4, Qt::FlatCap));
    p.setBrush(topToBottom(QColor(0xff, 0xff, 0xff), QColor(0xdf, 0xe6, 0xef)));
    p.drawPath(sheet);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{{48, 14}, {48, 30}, {64, 30}});
    p.setPen(pen(QColor(0x8a, 0x97, 0xab), 4, Qt::RoundCap));
    for (qreal y : {46, 60, 74})
        p.drawLine(QPointF(20, y), QPointF(52, y));
    p.drawLine(QPointF(20, 88), QPointF(44, 88));

    // The cut: an arrow from the file to its pieces.
    const QColor blue(0x2a, 0x6e, 0xc8);
    p.setPen(pen(blue, 7, Qt::RoundCap));
    p.drawLine(QPointF(66, 64), QPointF(86, 64));
    p.setPen(pen(blue, 3, Qt::FlatCap));
    p.setBrush(blue);
    p.drawPolygon(QPolygonF{{84, 52}, {98, 64}, {84, 76}});

    // The pieces, each with a white line of text.
    p.setPen(pen(ink, 4, Qt::FlatCap));
    p.setBrush(topToBottom(QColor(0x8f, 0xd4, 0x8f), QColor(0x4f, 0x9f, 0x5a)));
    for (qreal y : {20, 52, 84})
        p.drawRoundedRect(QRectF(100, y, 22, 24), 3, 3);
    p.setOpacity(0.85);
    p.setPen(pen(Qt::white, 4, Qt::RoundCap));
    for (qreal y : {32, 64, 96})
        p.drawLine(QPointF(106, y), QPointF(116, y));
    p.restore();
}

QImage ProgramIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(size / 128.0, size / 128.0);
    DrawProgramIcon(p);
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}
