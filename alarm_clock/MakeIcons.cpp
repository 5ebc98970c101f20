// Writes the program's icon as PNG files for the desktop's icon theme, at
// build time: make-kestrum-icons <folder> writes <folder>/<n>x<n>/apps/kestrum.png.
#include "KestrumArt.h"
#include "KestrumLog.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

int main(int argc, char **argv)
{
    if (argc != 2) {
        qCWarning(kestrum::kestrumLog) << "usage: make-kestrum-icons <folder>";
        return 1;
    }
    QGuiApplication application(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString sub = QStringLiteral("%1x%1/apps").arg(size);
        if (!folder.mkpath(sub) || !kestrum::appIcon(size).save(folder.filePath(sub + QStringLiteral("/kestrum.png")))) {
            qCWarning(kestrum::kestrumLog) << "make-kestrum-icons cannot write" << folder.filePath(sub);
            return 1;
        }
    }
    return 0;
}
