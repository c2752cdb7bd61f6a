// Renders the program's scalable icon at the fixed sizes desktops look for, into the icon theme's layout:
//   voralin_make_icons ICON.svg OUTPUT_FOLDER SIZE...   ->   OUTPUT_FOLDER/SIZExSIZE/apps/voralin.png
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: voralin_make_icons ICON.svg OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    QSvgRenderer renderer(args[1]);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "voralin_make_icons: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    for (qsizetype i = 3; i < args.size(); ++i) {
        const int size = args[i].toInt();
        if (size <= 0)
            return 2;
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
        if (!QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/voralin.png"), "PNG")) {
            std::fprintf(stderr, "voralin_make_icons: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
