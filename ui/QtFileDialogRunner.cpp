#include "ui/QtFileDialogRunner.h"

#include "ui/LocalText.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

// The description without a trailing "(...)" that lists patterns.
QString BareDescription(QString Description)
{
    Description = Description.trimmed();
    if (Description.endsWith(QLatin1Char(')'))) {
        const qsizetype open = Description.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            Description = Description.left(open).trimmed();
    }
    return Description;
}

} // namespace

QStringList TQtFileDialogRunner::NameFilters(const std::string& Filter)
{
    QStringList result;
    const QStringList parts = ToQString(Filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                patterns << trimmed;
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        QString description = BareDescription(parts[i]);
        if (description.isEmpty())
            description = patterns.join(QLatin1Char(' '));
        result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

bool TQtFileDialogRunner::Run(TFileDialog& Dialog)
{
    QFileDialog dialog(Parent, ToQString(Dialog.Title));
    if (Dialog.Kind == TFileDialog::dkSave) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(ToQString(Dialog.DefaultExt));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(Dialog.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }

    const QStringList filters = NameFilters(Dialog.Filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        // An index outside the filters leaves the first one selected.
        if (Dialog.FilterIndex >= 1 && Dialog.FilterIndex <= filters.size())
            dialog.selectNameFilter(filters[Dialog.FilterIndex - 1]);
    }

    const QString folder = ToQString(Dialog.InitialDir);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog.setDirectory(folder);
    if (!Dialog.FileName.empty())
        dialog.selectFile(ToQString(Dialog.FileName));

    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;

    Dialog.Files.Clear();
    for (const QString& name : chosen)
        Dialog.Files.Add(ToLocalString(QDir::toNativeSeparators(name)));
    Dialog.FileName = Dialog.Files[0];
    const qsizetype index = filters.indexOf(dialog.selectedNameFilter());
    if (index >= 0)
        Dialog.FilterIndex = static_cast<std::int32_t>(index + 1);
    return true;
}
