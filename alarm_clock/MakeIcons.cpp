// Writes the program's icon as PNG files for the desktop's icon theme, at
// build time: make-kestrum-icons <folder> writes <folder>/<n>x<n>/apps/kestrum.png.
#include "KestrumArt.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-kestrum-icons <folder>\n");
        return 1;
    }
    QGuiApplication application(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString sub = QStringLiteral("%1x%1/apps").arg(size);
        if (!folder.mkpath(sub) || !kestrum::appIcon(size).save(folder.filePath(sub + QStringLiteral("/kestrum.png")))) {
            std::fprintf(stderr, "make-kestrum-icons: cannot write %s\n", qPrintable(folder.filePath(sub)));
            return 1;
        }
    }
    return 0;
}
