#include "TemporaryConfigHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

TemporaryConfigHome::TemporaryConfigHome()
{
    if (m_dir.isValid())
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
}

void TemporaryConfigHome::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString path = filePath(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}
