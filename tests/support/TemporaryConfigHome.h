#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// An empty configuration folder of its own for one test function: once it
// is valid, XDG_CONFIG_HOME points at it, so the user store of the code
// under test lands there and never in a real home.
class TemporaryConfigHome
{
public:
    TemporaryConfigHome();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.path() + u'/' + relative; }

    // Writes `content` to the file at `relative`, creating its folders; a
    // failure fails the running test.
    void writeFile(const QString &relative, const QByteArray &content) const;

private:
    QTemporaryDir m_dir;
};
