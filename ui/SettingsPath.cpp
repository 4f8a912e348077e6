#include "ui/SettingsPath.h"

#include <QStandardPaths>
#include <QString>

std::string SettingsFileName()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        return {};
    return (folder + QStringLiteral("/Lumiva/Settings.ini")).toLocal8Bit().toStdString();
}
