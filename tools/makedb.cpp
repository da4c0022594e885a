// Creates the initial database beside the program: works/vkdb.mdb and
// bak/vkdb.mdb. An existing file is never overwritten.
#include "data/schema.h"
#include "common/errors.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: makedb PROGRAM_FOLDER\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    int rc = 0;
    for (const char* rel : {"works/vkdb.mdb", "bak/vkdb.mdb"}) {
        QString path = folder + "/" + rel;
        if (QFileInfo::exists(path)) continue;
        QDir().mkpath(QFileInfo(path).absolutePath());
        try {
            qm::createInitialDatabase(path);
            std::printf("created %s\n", qPrintable(path));
        } catch (const qm::AppError& e) {
            std::fprintf(stderr, "makedb: %s: %s\n", qPrintable(path), e.what());
            QFile::remove(path);
            rc = 1;
        }
    }
    return rc;
}
