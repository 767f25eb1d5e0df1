#include "ProgramName.h"

namespace {

bool isSeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'/' || c == u'\\';
#else
    return c == u'/';
#endif
}

qsizetype extensionDot(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    // A leading dot marks a hidden file, not an extension.
    return dot > 0 ? dot : -1;
}

} // namespace

QString ProgramName::fileName(const QString &programPath)
{
    qsizetype start = programPath.size();
    while (start > 0 && !isSeparator(programPath.at(start - 1)))
        --start;
    return programPath.mid(start);
}

QString ProgramName::applicationName(const QString &programPath)
{
    const QString name = fileName(programPath);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

std::optional<ProductVariant> ProgramName::variant(const QString &programPath)
{
    QString upper = fileName(programPath).toUpper();
#ifndef Q_OS_WIN
    if (extensionDot(upper) < 0)
        upper += QLatin1String(".EXE");
#endif
    return findVariant(upper);
}
