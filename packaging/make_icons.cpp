// tallyra-make-icons FOLDER NAME SIZE...
// Writes FOLDER/hicolor/<SIZE>x<SIZE>/apps/NAME.png for every size, drawn
// by the window icon's own code.
#include "core/AppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: tallyra-make-icons FOLDER NAME SIZE...\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        if (size <= 0 || !QDir().mkpath(dir) || !tallyra::AppIcon::pixmap(size).save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) {
            std::fprintf(stderr, "tallyra-make-icons: cannot write the %s icon in %s\n", argv[i], qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
