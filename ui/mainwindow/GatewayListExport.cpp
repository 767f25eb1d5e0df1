#include "GatewayListExport.h"

#include "GatewayList.h"
#include "StringTable.h"
#include "Texts.h"
#include "Windows1252.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

namespace {

const QString LineEnd = QStringLiteral("\r\n");

} // namespace

GatewayListExport::GatewayListExport(const GatewayList &list, int protectionFlag, const QString &password)
    : m_list(list)
    , m_protectionFlag(protectionFlag)
    , m_password(password)
{
}

QByteArray GatewayListExport::content() const
{
    QString text;
    if (m_protectionFlag != 0)
        text += loadString(Text::ExportPasswordLine) + m_password + u']' + LineEnd;
    // The header text ends with its own line end.
    text += loadString(Text::ExportHeaderLine);
    for (int row = 0; row < m_list.count(); ++row) {
        for (int column = 0; column < ExportedColumns; ++column)
            text += m_list.cellText(row, column) + u'\t';
        text += LineEnd;
    }
    return toWindows1252(text);
}

bool GatewayListExport::writeTo(const QString &path, QString *error) const
{
    QSaveFile file(path);
    const auto failed = [&file, error] {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    };
    // A file the user may write in a folder where he may not create one (a
    // shared, write-protected folder) is overwritten in place, as the
    // Windows tool does; the safe replacement needs a new file beside it.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return failed();
    // The password is in clear text; the replaced file's wider permissions
    // must not carry over to it, in either way of writing. Set before the
    // first byte is written.
    if (m_protectionFlag != 0 && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return failed();
    const QByteArray bytes = content();
    if (file.write(bytes) != bytes.size())
        return failed();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void GatewayListExport::OnExportList(QWidget *parent) const
{
    if (m_list.count() <= 0)
        return;

    QFileDialog dialog(parent, loadString(Text::ExportTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("TXT Files (*.txt)"), QStringLiteral("All Files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // An existing file is replaced without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();

    QString reason;
    const bool written = writeTo(path, &reason);
    QMessageBox box(written ? QMessageBox::Information : QMessageBox::Warning, loadString(Text::ExportTitle),
                    written ? loadString(Text::ExportSucceeded)
                            : loadString(Text::ExportFailed).arg(QDir::toNativeSeparators(path), reason),
                    QMessageBox::Ok, parent);
    box.exec();
}
