#pragma once

#include <QString>

#include <string>

// Texts are std::string in the locale's character set everywhere below the widgets; they become
// QString only at the widget boundary, through these two.
QString ToQString(const std::string& Text);
std::string ToLocalString(const QString& Text);
