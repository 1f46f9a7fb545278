// Writes the program's icon as a Windows icon file, the one the .exe files
// carry (data/quorvel.ico):
//   quorvel-icon OUT.ico
// Run it again whenever the drawing changes; a test holds the two together.
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>

#include "app/IconFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.ico\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QByteArray icon = ProgramIconFile();
    QSaveFile out(QString::fromLocal8Bit(argv[1]));
    if (icon.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(icon) != icon.size() || !out.commit()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
