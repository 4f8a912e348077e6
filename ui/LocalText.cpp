#include "ui/LocalText.h"

QString ToQString(const std::string& Text)
{
    return QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string ToLocalString(const QString& Text)
{
    return Text.toLocal8Bit().toStdString();
}
