#include "ui/ReviewModel.h"

#include "ui/LocalText.h"

#include <QLocale>

TReviewModel::TReviewModel(QObject* Parent) : QAbstractTableModel(Parent) {}

int TReviewModel::rowCount(const QModelIndex& Parent) const
{
    return Parent.isValid() ? 0 : Count();
}

int TReviewModel::columnCount(const QModelIndex& Parent) const
{
    return Parent.isValid() ? 0 : ColumnCount;
}

QVariant TReviewModel::headerData(int Section, Qt::Orientation Orientation, int Role) const
{
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole)
        return {};
    switch (Section) {
    case NameColumn:
        return QStringLiteral("Name");
    case SizeColumn:
        return QStringLiteral("Size");
    case EncodingColumn:
        return QStringLiteral("Encoding");
    case ResultColumn:
        return QStringLiteral("Result");
    default:
        return {};
    }
}

QVariant TReviewModel::data(const QModelIndex& Index, int Role) const
{
    if (!Index.isValid() || Index.row() >= Count())
        return {};
    const TRow& row = Rows[static_cast<std::size_t>(Index.row())];
    const TFileOutcome& outcome = row.Outcome;
    if (Role == Qt::CheckStateRole && Index.column() == NameColumn)
        return row.Ticked ? Qt::Checked : Qt::Unchecked;
    if (Role == KindRole)
        return static_cast<int>(outcome.Kind);
    if (Role == Qt::TextAlignmentRole && Index.column() == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (Role != Qt::DisplayRole && Role != Qt::EditRole && Role != SortRole && Role != Qt::ToolTipRole)
        return {};
    switch (Index.column()) {
    case NameColumn:
        return ToQString(Role == Qt::ToolTipRole ? outcome.Source : outcome.Name);
    case SizeColumn:
        if (Role == SortRole)
            return QVariant::fromValue<qulonglong>(outcome.Size);
        return QLocale().toString(static_cast<qulonglong>(outcome.Size));
    case EncodingColumn:
        return ToQString(outcome.Encoding);
    case ResultColumn:
        return ToQString(outcome.Text);
    default:
        return {};
    }
}

bool TReviewModel::setData(const QModelIndex& Index, const QVariant& Value, int Role)
{
    if (!Index.isValid() || Index.row() >= Count())
        return false;
    if (Role == Qt::CheckStateRole && Index.column() == NameColumn) {
        SetTicked(Index.row(), Value.toInt() == Qt::Checked);
        return true;
    }
    if (Role == Qt::EditRole && Index.column() == EncodingColumn) {
        const std::string name = ToLocalString(Value.toString());
        if (name.empty())
            return false;
        ChooseEncoding(Index.row(), name);
        return true;
    }
    return false;
}

Qt::ItemFlags TReviewModel::flags(const QModelIndex& Index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(Index);
    if (!Index.isValid() || Index.row() >= Count())
        return flags;
    if (Index.column() == NameColumn)
        flags |= Qt::ItemIsUserCheckable;
    if (Index.column() == EncodingColumn && Row(Index.row()).Outcome.Kind != TOutcomeKind::Skipped)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TReviewModel::CountsAsOk(TOutcomeKind Kind)
{
    return Kind == TOutcomeKind::Ok || Kind == TOutcomeKind::AlreadyInTarget || Kind == TOutcomeKind::Converted;
}

void TReviewModel::Count(const TRow& Row, int Sign)
{
    if (CountsAsOk(Row.Outcome.Kind))
        Ok += Sign;
    else if (IsProblem(Row.Outcome.Kind))
        Problems += Sign;
    if (Row.Ticked)
        Ticked += Sign;
}

void TReviewModel::AddOutcomes(std::vector<TFileOutcome>& Outcomes)
{
    if (Outcomes.empty())
        return;
    const int first = Count();
    beginInsertRows({}, first, first + static_cast<int>(Outcomes.size()) - 1);
    Rows.reserve(Rows.size() + Outcomes.size());
    for (TFileOutcome& outcome : Outcomes) {
        if (outcome.Guesses.size() > MaxGuesses)
            outcome.Guesses.resize(MaxGuesses);
        outcome.Guesses.shrink_to_fit();
        TRow row{std::move(outcome), false};
        row.Ticked = row.Outcome.Kind == TOutcomeKind::Ok;
        Count(row, 1);
        BySource.emplace(row.Outcome.Source, Count());
        Rows.push_back(std::move(row));
    }
    endInsertRows();
    Q_EMIT CountsChanged();
}

void TReviewModel::RowChanged(int Row)
{
    Q_EMIT dataChanged(index(Row, 0), index(Row, ColumnCount - 1));
    Q_EMIT CountsChanged();
}

void TReviewModel::SetOutcome(int Row, TFileOutcome Outcome)
{
    if (Row < 0 || Row >= Count())
        return;
    TRow& row = Rows[static_cast<std::size_t>(Row)];
    Count(row, -1);
    // The name shown and the runners-up come from the first check.
    Outcome.Name = row.Outcome.Name;
    Outcome.Guesses = std::move(row.Outcome.Guesses);
    row.Outcome = std::move(Outcome);
    row.Ticked = row.Outcome.Kind == TOutcomeKind::Ok;
    Count(row, 1);
    RowChanged(Row);
}

void TReviewModel::ApplyConverted(std::vector<TFileOutcome>& Outcomes)
{
    for (TFileOutcome& outcome : Outcomes) {
        const auto found = BySource.find(outcome.Source);
        if (found == BySource.end())
            continue;
        TRow& row = Rows[static_cast<std::size_t>(found->second)];
        Count(row, -1);
        row.Outcome.Kind = outcome.Kind;
        row.Outcome.Text = std::move(outcome.Text);
        row.Outcome.Line = outcome.Line;
        row.Outcome.Column = outcome.Column;
        row.Outcome.Offset = outcome.Offset;
        row.Ticked = false;
        Count(row, 1);
        RowChanged(found->second);
    }
}

void TReviewModel::ChooseEncoding(int Row, const std::string& Encoding)
{
    if (Row < 0 || Row >= Count())
        return;
    TRow& row = Rows[static_cast<std::size_t>(Row)];
    Count(row, -1);
    row.Outcome.Encoding = Encoding;
    row.Outcome.Kind = TOutcomeKind::Failed;
    row.Outcome.Text = "Checking...";
    row.Outcome.Offset.reset();
    row.Ticked = false;
    Count(row, 1);
    RowChanged(Row);
    Q_EMIT EncodingChosen(Row);
}

void TReviewModel::SetTicked(int Row, bool Ticked)
{
    if (Row < 0 || Row >= Count())
        return;
    TRow& row = Rows[static_cast<std::size_t>(Row)];
    if (row.Ticked == Ticked)
        return;
    Count(row, -1);
    row.Ticked = Ticked;
    Count(row, 1);
    RowChanged(Row);
}
