#include "OpenFile.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace OpenFile {

QStringList NameFilters(const QString &filter)
{
    QStringList filters;
    if (filter.isEmpty())
        return filters;
    // The program's own filters join description and pattern with NUL, as the common dialog of old read
    // them; "|" joins them as well.
    static const QRegularExpression separator(QStringLiteral("[|\\x{0}]"));
    const QStringList parts = filter.split(separator);
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString &description = parts[i];
        QString pattern = i + 1 < parts.size() ? parts[i + 1] : QString();
        // A description without its pattern: the program's own filters name the pattern in the
        // description ("*.flv"), so a wildcard description filters by itself; anything else shows all.
        if (pattern.isEmpty())
            pattern = description.contains(QLatin1Char('*')) ? description : QStringLiteral("*");
        filters.append(description + QStringLiteral(" (") + QString(pattern).replace(QLatin1Char(';'), QLatin1Char(' '))
                       + QLatin1Char(')'));
    }
    return filters;
}

QString ConfirmedPath(const QString &path)
{
    return path.size() < kBufferChars ? path : QString();
}

QString ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder, const QString &title,
                       quint32 flags, const QString &fileName)
{
    if (mode != 1 && mode != 2)
        return {};
    // Flags of the old common dialog have no meaning here; the program passes 0 everywhere.
    Q_UNUSED(flags);

    // The desktop's own dialog where its platform theme or portal offers one, Qt's own otherwise.
    QFileDialog dialog(owner, title, folder);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // The patterns of every video kind would not fit the box of types; each filter's description names it.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(mode == 1 ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    const QStringList filters = NameFilters(filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName.left(kBufferChars - 1));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : ConfirmedPath(chosen.first());
}

QString ShowFolderDialog(QWidget *owner, const QString &folder, const QString &title)
{
    QFileDialog dialog(owner, title, folder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : ConfirmedPath(chosen.first());
}

}  // namespace OpenFile
