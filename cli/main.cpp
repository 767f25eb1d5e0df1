// ovipgw: reads every gateway of the network from the command line.

#include "LanguageSwitch.h"
#include "LiveOutput.h"
#include "OvipgwCommand.h"
#include "StringTable.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ovipgw"));
    StringTable::setCurrentLanguage(LanguageSwitch::chooseLanguage());
    // Rows reach the terminal or the pipe as their results are known.
    LiveOutput::enable();

    QByteArray out;
    QByteArray err;
    const int status = OvipgwCommand::run(QCoreApplication::arguments().mid(1), &out, &err);
    std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout);
    std::fwrite(err.constData(), 1, std::size_t(err.size()), stderr);
    return status;
}
