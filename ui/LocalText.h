#pragma once

#include <QString>

#include <string>

// Texts are std::string in UTF-8 everywhere below the widgets; they become QString only at the
// widget boundary, through these two. Bytes that are no UTF-8 (a name in Latin-1) travel as the
// lone surrogates U+DC80 to U+DCFF, so that a text comes back byte for byte.
QString ToQString(const std::string& Text);
std::string ToLocalString(const QString& Text);
