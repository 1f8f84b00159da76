// Draws the program's pictures at build time: the application icon and the
// maker's logo for the About dialog. Shapes only, no text, so nothing here
// needs a display or a font.
//
// Usage: ventaro_draw_art OUTPUT_FOLDER  (writes ventaro.png and logo.png)
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

// A serial line's pulses on a dark screen above a nine-pin connector.
QImage DrawIcon() {
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient body(0, 4, 0, 124);
    body.setColorAt(0, QColor(0x2A, 0x4D, 0x7A));
    body.setColorAt(1, QColor(0x10, 0x22, 0x3A));
    p.setPen(QPen(QColor(0x0B, 0x18, 0x2A), 2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(5, 5, 118, 118), 22, 22);

    p.setPen(QPen(QColor(0x4F, 0x80, 0xB5), 2));
    p.setBrush(QColor(0x08, 0x12, 0x1E));
    p.drawRoundedRect(QRectF(17, 18, 94, 62), 8, 8);

    // Start bit, data bits, stop bit.
    const int bits[] = {1, 0, 1, 1, 0, 0, 1, 0, 1, 1};
    QPainterPath pulses(QPointF(24, 40));
    double x = 24;
    int level = 1;
    for (int bit : bits) {
        const double y = bit ? 40 : 60;
        if (bit != level) {
            pulses.lineTo(x, y);
            level = bit;
        }
        x += 8;
        pulses.lineTo(x, y);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x52, 0xE8, 0x84), 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(pulses);

    QPainterPath shell;
    shell.moveTo(30, 90);
    shell.lineTo(98, 90);
    shell.lineTo(91, 110);
    shell.lineTo(37, 110);
    shell.closeSubpath();
    p.setPen(QPen(QColor(0x5E, 0x6B, 0x78), 2));
    p.setBrush(QColor(0xD5, 0xDD, 0xE5));
    p.drawPath(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x33, 0x3D, 0x47));
    for (int i = 0; i < 5; ++i) {
        p.drawEllipse(QPointF(42 + i * 11, 96.5), 2.6, 2.6);
    }
    for (int i = 0; i < 4; ++i) {
        p.drawEllipse(QPointF(47.5 + i * 11, 104), 2.6, 2.6);
    }
    return image;
}

// The maker's emblem: a quill writing a wave on a teal shield.
QImage DrawLogo() {
    QImage image(75, 89, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath shield;
    shield.moveTo(6, 4);
    shield.lineTo(69, 4);
    shield.lineTo(69, 52);
    shield.cubicTo(69, 70, 52, 80, 37.5, 86);
    shield.cubicTo(23, 80, 6, 70, 6, 52);
    shield.closeSubpath();
    QLinearGradient teal(0, 4, 0, 86);
    teal.setColorAt(0, QColor(0x13, 0x6F, 0x82));
    teal.setColorAt(1, QColor(0x07, 0x33, 0x3E));
    p.setPen(QPen(QColor(0x05, 0x24, 0x2C), 1.5));
    p.setBrush(teal);
    p.drawPath(shield);

    QPainterPath wave;
    for (int i = 0; i <= 44; ++i) {
        const double x = 15 + i;
        const double y = 62 + 5 * std::sin(i * 2 * std::numbers::pi / 22);
        i == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x8C, 0xEA, 0xF5), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);

    // The vane around a shaft from the nib (24, 58) to the tip (56, 12).
    QPainterPath vane;
    vane.moveTo(27, 53);
    vane.cubicTo(26, 36, 40, 18, 57, 11);
    vane.cubicTo(55, 27, 45, 45, 31, 56);
    vane.closeSubpath();
    QLinearGradient gold(27, 53, 57, 11);
    gold.setColorAt(0, QColor(0xD8, 0xB0, 0x4F));
    gold.setColorAt(1, QColor(0xF8, 0xEB, 0xBB));
    p.setPen(QPen(QColor(0x8A, 0x6A, 0x1C), 1));
    p.setBrush(gold);
    p.drawPath(vane);
    p.setPen(QPen(QColor(0x0C, 0x4A, 0x57), 1.2));
    p.drawLine(QPointF(37, 33), QPointF(31, 31));
    p.drawLine(QPointF(45, 26), QPointF(49, 20));
    p.setPen(QPen(QColor(0x6E, 0x52, 0x12), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 59), QPointF(52, 17));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    // The logo is a 24-bit picture: no alpha channel.
    const bool ok = DrawIcon().save(folder + QStringLiteral("/ventaro.png")) &&
                    DrawLogo()
                        .convertToFormat(QImage::Format_RGB888)
                        .save(folder + QStringLiteral("/logo.png"));
    if (!ok) {
        std::fprintf(stderr, "cannot write the pictures to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
