// Writes the program's icon in the layout of the desktop's hicolor icon theme: a PNG for each
// size and the scalable SVG, all named lirn-quarn. Run by the build.
//   quarn-render-icons FOLDER

#include "app/Icon.h"

#include <QBuffer>
#include <QDir>
#include <QSaveFile>
#include <QString>
#include <cstdio>

namespace {

constexpr int Sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
const char* const IconName = "lirn-quarn";

bool Fail(const QString& what) {
    std::fprintf(stderr, "quarn-render-icons: %s\n", qPrintable(what));
    return false;
}

bool WriteIn(const QString& folder, const QString& name, const QByteArray& bytes) {
    if (!QDir().mkpath(folder)) {
        return Fail("cannot create " + folder);
    }
    QSaveFile file(folder + '/' + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return Fail("cannot write " + file.fileName() + ": " + file.errorString());
    }
    return true;
}

QByteArray Png(int size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    MakeIconImage(size).save(&buffer, "PNG");
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quarn-render-icons FOLDER\n");
        return 2;
    }
    const QString theme = QString::fromLocal8Bit(argv[1]) + "/hicolor";
    const QString file = QString(IconName);
    for (const int size : Sizes) {
        const QString folder = QString("%1/%2x%2/apps").arg(theme).arg(size);
        if (!WriteIn(folder, file + ".png", Png(size))) {
            return 1;
        }
    }
    const QByteArray svg = QByteArray::fromStdString(MakeIconSvg());
    return WriteIn(theme + "/scalable/apps", file + ".svg", svg) ? 0 : 1;
}
