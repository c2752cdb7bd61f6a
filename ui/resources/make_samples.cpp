// Draws the two sample pictures the comparison pane shows at start (220 x 290 JPEGs of about 17 KB and
// 12 KB): a lighthouse on a cliff, once at dusk and once by day. Run once; the outputs are committed.
//   voralin_make_samples OUTPUT_FOLDER
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr int kWidth = 220;
constexpr int kHeight = 290;

struct Palette {
    QColor skyTop, skyBottom, sun, sea, seaLight, cliff, cliffDark, grass;
    bool stars;
};

// Smooth pseudo-random texture in 0..1, so the pictures compress like photographs rather than drawings.
double Noise(int x, int y, int cell, uint32_t seed) {
    auto hash = [seed](int i, int j) {
        uint32_t h = static_cast<uint32_t>(i) * 374761393u + static_cast<uint32_t>(j) * 668265263u + seed;
        h = (h ^ (h >> 13)) * 1274126177u;
        return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
    };
    const int i = x / cell, j = y / cell;
    const double fx = (x % cell) / double(cell), fy = (y % cell) / double(cell);
    const double a = hash(i, j), b = hash(i + 1, j), c = hash(i, j + 1), d = hash(i + 1, j + 1);
    const double top = a + (b - a) * fx, bottom = c + (d - c) * fx;
    return top + (bottom - top) * fy;
}

QImage Draw(const Palette& p, uint32_t seed, double grain) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 170);
    sky.setColorAt(0, p.skyTop);
    sky.setColorAt(1, p.skyBottom);
    painter.fillRect(0, 0, kWidth, 175, sky);

    QRadialGradient glow(150, 150, 70);
    glow.setColorAt(0, p.sun);
    glow.setColorAt(0.25, p.sun);
    glow.setColorAt(1, QColor(p.sun.red(), p.sun.green(), p.sun.blue(), 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(QPointF(150, 150), 70, 70);

    if (p.stars) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> x(0, kWidth - 1), y(0, 90), a(90, 230);
        for (int i = 0; i < 45; ++i) {
            painter.setBrush(QColor(255, 255, 240, a(rng)));
            painter.drawEllipse(QPointF(x(rng), y(rng)), 0.8, 0.8);
        }
    }

    QLinearGradient sea(0, 170, 0, kHeight);
    sea.setColorAt(0, p.seaLight);
    sea.setColorAt(1, p.sea);
    painter.fillRect(0, 170, kWidth, kHeight - 170, sea);

    QPainterPath cliff;
    cliff.moveTo(0, 150);
    cliff.cubicTo(30, 140, 60, 150, 88, 160);
    cliff.cubicTo(110, 175, 118, 215, 135, 240);
    cliff.cubicTo(150, 262, 170, 275, 220, 282);
    cliff.lineTo(220, 290);
    cliff.lineTo(0, 290);
    cliff.closeSubpath();
    QLinearGradient rock(0, 150, 140, 290);
    rock.setColorAt(0, p.cliff);
    rock.setColorAt(1, p.cliffDark);
    painter.setBrush(rock);
    painter.drawPath(cliff);

    QPainterPath grass;
    grass.moveTo(0, 150);
    grass.cubicTo(30, 140, 60, 150, 88, 160);
    grass.lineTo(84, 168);
    grass.cubicTo(55, 158, 30, 152, 0, 160);
    grass.closeSubpath();
    painter.setBrush(p.grass);
    painter.drawPath(grass);

    // The lighthouse: a tapering tower with two bands, the lantern and its beam.
    QPolygonF tower({QPointF(38, 150), QPointF(58, 150), QPointF(54, 78), QPointF(42, 78)});
    painter.setBrush(QColor(236, 233, 225));
    painter.drawPolygon(tower);
    painter.setBrush(QColor(196, 52, 48));
    painter.drawPolygon(QPolygonF({QPointF(39.5, 128), QPointF(56.5, 128), QPointF(55.6, 112), QPointF(40.4, 112)}));
    painter.drawPolygon(QPolygonF({QPointF(41.3, 98), QPointF(54.7, 98), QPointF(54.2, 88), QPointF(41.8, 88)}));
    painter.setBrush(QColor(60, 60, 66));
    painter.drawRect(QRectF(40, 74, 16, 5));
    painter.setBrush(QColor(255, 236, 150));
    painter.drawRect(QRectF(43, 64, 10, 10));
    painter.setBrush(QColor(60, 60, 66));
    painter.drawPolygon(QPolygonF({QPointF(41, 64), QPointF(55, 64), QPointF(48, 56)}));
    QLinearGradient beam(53, 69, 220, 40);
    beam.setColorAt(0, QColor(255, 240, 170, 150));
    beam.setColorAt(1, QColor(255, 240, 170, 0));
    painter.setBrush(beam);
    painter.drawPolygon(QPolygonF({QPointF(53, 67), QPointF(220, 20), QPointF(220, 70), QPointF(53, 71)}));
    painter.end();

    // Texture: waves on the sea, grain on the rock and a light film grain everywhere.
    std::mt19937 rng(seed * 7 + 1);
    std::normal_distribution<double> film(0.0, grain);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            double shade = film(rng);
            if (y > 172)
                shade += 22 * (Noise(x, y * 3, 9, seed) - 0.5) + 10 * (Noise(x, y, 3, seed + 5) - 0.5);
            else
                shade += 6 * (Noise(x, y, 14, seed + 9) - 0.5);
            auto clamp = [](double v) { return static_cast<int>(std::lround(std::min(255.0, std::max(0.0, v)))); };
            const QRgb c = line[x];
            line[x] = qRgb(clamp(qRed(c) + shade), clamp(qGreen(c) + shade), clamp(qBlue(c) + shade));
        }
    }
    return image;
}

// Saves at the JPEG quality whose file size is nearest the target.
bool SaveNear(const QImage& image, const QString& path, qint64 targetBytes) {
    QByteArray best;
    for (int quality = 30; quality <= 98; ++quality) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(quality);
        writer.setOptimizedWrite(true);
        if (!writer.write(image))
            return false;
        if (best.isEmpty() || std::llabs(bytes.size() - targetBytes) < std::llabs(best.size() - targetBytes))
            best = bytes;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(best) != best.size())
        return false;
    std::printf("%s: %lld bytes\n", qPrintable(path), static_cast<long long>(best.size()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: voralin_make_samples OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const Palette dusk{QColor(38, 44, 92), QColor(238, 146, 96), QColor(255, 214, 140), QColor(28, 40, 74),
                       QColor(120, 96, 120), QColor(92, 78, 76), QColor(44, 36, 40), QColor(62, 84, 52), true};
    const Palette day{QColor(92, 160, 222), QColor(206, 230, 246), QColor(255, 252, 232), QColor(24, 92, 140),
                      QColor(110, 176, 204), QColor(150, 132, 112), QColor(92, 80, 70), QColor(92, 150, 70), false};
    const bool ok = SaveNear(Draw(dusk, 11, 4.0), folder + QStringLiteral("/sample1.jpg"), 17 * 1024) &&
                    SaveNear(Draw(day, 12, 2.0), folder + QStringLiteral("/sample2.jpg"), 12 * 1024);
    return ok ? 0 : 1;
}
