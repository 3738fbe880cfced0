// Draws the two emblems of the front panel, so that no outside image is shipped.
// Usage: draw_pictures OUTPUT_DIR  (writes picture_2.png and vxi_logo.png)
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

constexpr int kSineWidth = 64;
constexpr int kSineHeight = 64;
constexpr int kBusWidth = 84;
constexpr int kBusHeight = 60;

// A dark instrument screen with a graticule and a bright sine wave.
QImage drawSineEmblem() {
    QImage image(kSineWidth, kSineHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF bezel(0.5, 0.5, kSineWidth - 1.0, kSineHeight - 1.0);
    QLinearGradient metal(bezel.topLeft(), bezel.bottomLeft());
    metal.setColorAt(0.0, QColor(0x6a, 0x70, 0x78));
    metal.setColorAt(1.0, QColor(0x2c, 0x30, 0x36));
    p.setPen(QPen(QColor(0x1a, 0x1c, 0x20), 1.0));
    p.setBrush(metal);
    p.drawRoundedRect(bezel, 7, 7);

    const QRectF screen = bezel.adjusted(6, 6, -6, -6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0c, 0x1a, 0x14));
    p.drawRoundedRect(screen, 3, 3);

    p.setPen(QPen(QColor(0x1f, 0x4a, 0x36), 1.0));
    for (int i = 1; i < 6; ++i) {
        const double x = screen.left() + screen.width() * i / 6.0;
        p.drawLine(QPointF(x, screen.top() + 2), QPointF(x, screen.bottom() - 2));
    }
    for (int i = 1; i < 4; ++i) {
        const double y = screen.top() + screen.height() * i / 4.0;
        p.drawLine(QPointF(screen.left() + 2, y), QPointF(screen.right() - 2, y));
    }

    QPainterPath wave;
    const double mid = screen.center().y();
    const double amplitude = screen.height() * 0.36;
    const int steps = 120;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double x = screen.left() + 3 + t * (screen.width() - 6);
        const double y = mid - amplitude * std::sin(t * 4.0 * std::numbers::pi);
        if (i == 0) {
            wave.moveTo(x, y);
        } else {
            wave.lineTo(x, y);
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x3c, 0xff, 0x9a, 0x60), 4.0, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);
    p.setPen(QPen(QColor(0x9c, 0xff, 0xc8), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);
    return image;
}

// A plug-in module seen from the front: a card with its backplane connector and "VXI".
QImage drawBusEmblem() {
    QImage image(kBusWidth, kBusHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF card(0.5, 0.5, kBusWidth - 1.0, kBusHeight - 13.0);
    QLinearGradient blue(card.topLeft(), card.bottomLeft());
    blue.setColorAt(0.0, QColor(0x2d, 0x5f, 0xa8));
    blue.setColorAt(1.0, QColor(0x16, 0x33, 0x66));
    p.setPen(QPen(QColor(0x0e, 0x1f, 0x3d), 1.0));
    p.setBrush(blue);
    p.drawRoundedRect(card, 5, 5);

    // Backplane connector: a strip of gold contacts under the card.
    const QRectF strip(8.5, card.bottom() + 1.5, kBusWidth - 17.0, 9.0);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.setPen(Qt::NoPen);
    p.drawRect(strip);
    p.setBrush(QColor(0xe0, 0xb0, 0x30));
    for (double x = strip.left() + 2; x + 3 <= strip.right() - 1; x += 5) {
        p.drawRect(QRectF(x, strip.top() + 2, 3, strip.height() - 2));
    }

    // Ejector handles at both ends of the card.
    p.setBrush(QColor(0xd8, 0xdc, 0xe2));
    p.drawRoundedRect(QRectF(4, 4, 6, card.height() - 8), 2, 2);
    p.drawRoundedRect(QRectF(kBusWidth - 10, 4, 6, card.height() - 8), 2, 2);

    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(24);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(card.adjusted(10, 0, -10, 0), Qt::AlignCenter, QStringLiteral("VXI"));
    return image;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures OUTPUT_DIR\n");
        return 1;
    }
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString sine = out.filePath(QStringLiteral("picture_2.png"));
    const QString bus = out.filePath(QStringLiteral("vxi_logo.png"));
    if (!drawSineEmblem().save(sine, "PNG") || !drawBusEmblem().save(bus, "PNG")) {
        std::fprintf(stderr, "draw_pictures: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
