#include "GatewayConfigApp.h"

#include <QApplication>
#include <QFile>

int main(int argc, char *argv[])
{
    // argv[0] is the name the program was started under, which picks the
    // product variant; it is taken before Qt sees the arguments. A start
    // with an empty argument vector has no name and so no variant.
    const QString programPath = argc > 0 && argv[0] ? QFile::decodeName(argv[0]) : QString();

    QApplication application(argc, argv);
    GatewayConfigApp app(programPath);
    return app.run();
}
