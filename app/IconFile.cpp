#include "app/IconFile.h"

#include <QBuffer>

#include "app/ToolIcons.h"

namespace {

void Put16(QByteArray& out, quint16 value) {
    out.append(char(value & 0xff));
    out.append(char(value >> 8));
}

void Put32(QByteArray& out, quint32 value) {
    for (int shift = 0; shift < 32; shift += 8) out.append(char((value >> shift) & 0xff));
}

// A device-independent bitmap as an icon entry holds it: the header gives
// twice the height (colours, then the mask), rows run bottom-up, colours are
// BGRA with straight alpha, and each mask row is padded to 32 bits; a set
// mask bit lets the background through where a reader ignores the alpha.
QByteArray BitmapEntry(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskRowBytes = ((size + 31) / 32) * 4;
    QByteArray out;
    Put32(out, 40);
    Put32(out, quint32(size));
    Put32(out, quint32(size * 2));
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, 0);   // uncompressed
    Put32(out, quint32(size * size * 4 + maskRowBytes * size));
    for (int i = 0; i < 4; ++i) Put32(out, 0);  // resolution and palette: unused
    for (int y = size - 1; y >= 0; --y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < size; ++x) Put32(out, row[x]);  // 0xAARRGGBB is B, G, R, A in memory order
    }
    for (int y = size - 1; y >= 0; --y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QByteArray mask(maskRowBytes, '\0');
        for (int x = 0; x < size; ++x)
            if (qAlpha(row[x]) == 0) mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
        out.append(mask);
    }
    return out;
}

QByteArray PngEntry(const QImage& image) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG")) return {};
    return out;
}

}  // namespace

QByteArray WindowsIconFile(const QList<QImage>& images) {
    QList<QByteArray> entries;
    for (const QImage& image : images) {
        if (image.isNull() || image.width() != image.height() || image.width() > 256) return {};
        entries.append(image.width() <= 64 ? BitmapEntry(image) : PngEntry(image));
        if (entries.last().isEmpty()) return {};
    }
    QByteArray out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // an icon, not a cursor
    Put16(out, quint16(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        out.append(char(size == 256 ? 0 : size));  // 0 stands for 256
        out.append(char(size == 256 ? 0 : size));
        out.append('\0');  // no palette
        out.append('\0');
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, quint32(entries[i].size()));
        Put32(out, offset);
        offset += quint32(entries[i].size());
    }
    for (const QByteArray& entry : entries) out.append(entry);
    return out;
}

QByteArray ProgramIconFile() {
    QList<QImage> images;
    for (int size : kWindowsIconSizes) images.append(ProgramIconImage(size));
    return WindowsIconFile(images);
}
