#pragma once

#include "detect/EncodingDetector.h"
#include "util/StringList.h"

#include <QStyledItemDelegate>

#include <functional>
#include <vector>

// The editor of the Review table's Encoding cell: a list with the detector's runners-up first,
// each with its score as a percentage, then every name. The row's own encoding is selected.
class TEncodingDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Guesses: the runners-up of the row at an index of the view; Names: every encoding name.
    TEncodingDelegate(std::function<std::vector<TEncodingGuess>(const QModelIndex&)> Guesses,
                      std::function<const TStringList&()> Names, QObject* Parent = nullptr);

    QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;
    void setEditorData(QWidget* Editor, const QModelIndex& Index) const override;
    void setModelData(QWidget* Editor, QAbstractItemModel* Model, const QModelIndex& Index) const override;

private:
    std::function<std::vector<TEncodingGuess>(const QModelIndex&)> Guesses;
    std::function<const TStringList&()> Names;
};
