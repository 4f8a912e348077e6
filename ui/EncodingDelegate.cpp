#include "ui/EncodingDelegate.h"

#include "ui/LocalText.h"

#include <QComboBox>

#include <cmath>

TEncodingDelegate::TEncodingDelegate(std::function<std::vector<TEncodingGuess>(const QModelIndex&)> Guesses,
                                     std::function<const TStringList&()> Names, QObject* Parent)
    : QStyledItemDelegate(Parent), Guesses(std::move(Guesses)), Names(std::move(Names))
{
}

QWidget* TEncodingDelegate::createEditor(QWidget* Parent, const QStyleOptionViewItem&, const QModelIndex& Index) const
{
    auto* combo = new QComboBox(Parent);
    combo->setObjectName(QStringLiteral("EncodingEditor"));
    const std::vector<TEncodingGuess> guesses = Guesses(Index);
    for (const TEncodingGuess& guess : guesses) {
        const int percent = static_cast<int>(std::lround(guess.Score * 100));
        combo->addItem(QStringLiteral("%1 (%2%)").arg(ToQString(guess.Name)).arg(percent), ToQString(guess.Name));
    }
    if (!guesses.empty())
        combo->insertSeparator(combo->count());
    for (const std::string& name : Names())
        combo->addItem(ToQString(name), ToQString(name));
    // A choice is taken at once, as a list box's would be.
    connect(combo, &QComboBox::activated, this, [this, combo] {
        auto* self = const_cast<TEncodingDelegate*>(this);
        Q_EMIT self->commitData(combo);
        Q_EMIT self->closeEditor(combo);
    });
    return combo;
}

void TEncodingDelegate::setEditorData(QWidget* Editor, const QModelIndex& Index) const
{
    auto* combo = static_cast<QComboBox*>(Editor);
    const int found = combo->findData(Index.data(Qt::EditRole));
    if (found >= 0)
        combo->setCurrentIndex(found);
}

void TEncodingDelegate::setModelData(QWidget* Editor, QAbstractItemModel* Model, const QModelIndex& Index) const
{
    auto* combo = static_cast<QComboBox*>(Editor);
    const QVariant chosen = combo->currentData();
    if (chosen.isValid() && chosen != Index.data(Qt::EditRole))
        Model->setData(Index, chosen, Qt::EditRole);
}
