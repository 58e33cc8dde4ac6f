#include "testing/enterprise-server/TwoFactorImage.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>

namespace keskor::testing {

QByteArray TwoFactorImage::placeholderPng(const QString& otpauthUri) {
    constexpr int modules = 25;
    constexpr int scale = 6;
    constexpr int border = 4;
    const int size = (modules + 2 * border) * scale;
    QImage image(size, size, QImage::Format_Grayscale8);
    image.fill(255);
    QByteArray bits;
    for (int round = 0; bits.size() * 8 < modules * modules; ++round) {
        bits += QCryptographicHash::hash(otpauthUri.toUtf8() + QByteArray::number(round),
                                         QCryptographicHash::Sha256);
    }
    auto dark = [&](int x, int y) {
        // Three corner squares, as a QR code has, so the image reads as one at a glance.
        for (const auto& [cx, cy] : {std::pair{0, 0}, {modules - 7, 0}, {0, modules - 7}}) {
            if (x >= cx && x < cx + 7 && y >= cy && y < cy + 7) {
                const int dx = std::min(x - cx, cx + 6 - x);
                const int dy = std::min(y - cy, cy + 6 - y);
                return std::min(dx, dy) != 1;
            }
        }
        const int n = y * modules + x;
        return (bits[n / 8] >> (n % 8) & 1) != 0;
    };
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            if (!dark(x, y)) {
                continue;
            }
            for (int py = 0; py < scale; ++py) {
                uchar* line = image.scanLine((y + border) * scale + py);
                std::fill_n(line + (x + border) * scale, scale, uchar(0));
            }
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace keskor::testing
