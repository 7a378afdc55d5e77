// kmr6650-icons OUTDIR: writes the program's icon, as the desktop program draws it for its
// windows, into OUTDIR/hicolor/<N>x<N>/apps/kmr6650-tool.png for the sizes of the desktop's icon
// theme. Run at build time on the offscreen platform, so no display is needed.
#include "res/Pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: kmr6650-icons OUTDIR\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(outDir).arg(size);
        const QString path = dir + "/kmr6650-tool.png";
        if (!QDir().mkpath(dir) || !DrawPicture("icon", QSize(size, size)).save(path, "PNG")) {
            std::fprintf(stderr, "kmr6650-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
