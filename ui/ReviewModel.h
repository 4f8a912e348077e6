#pragma once

#include "run/FileOutcome.h"

#include <QAbstractTableModel>

#include <string>
#include <unordered_map>
#include <vector>

// The rows of the Review window: one file each, in run order, with its tick. Rows arrive in
// batches while a check runs; counts are kept as rows change, so the status line costs nothing.
class TReviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { NameColumn, SizeColumn, EncodingColumn, ResultColumn, ColumnCount };
    // The raw value a column sorts by (the size as a number).
    static constexpr int SortRole = Qt::UserRole;
    // The row's outcome kind, as an int.
    static constexpr int KindRole = Qt::UserRole + 1;
    // The detector's runners-up kept for a row.
    static constexpr std::size_t MaxGuesses = 8;

    struct TRow {
        TFileOutcome Outcome;
        bool Ticked = false;
    };

    explicit TReviewModel(QObject* Parent = nullptr);

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& Index, const QVariant& Value, int Role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;

    // Appends the outcomes of a check, ticking the rows that would convert.
    void AddOutcomes(std::vector<TFileOutcome>& Outcomes);
    // A row checked again: its result and tick follow the new outcome.
    void SetOutcome(int Row, TFileOutcome Outcome);
    // The outcomes of a conversion, matched to rows by source; converted rows are unticked, so a
    // second Convert does not convert them again.
    void ApplyConverted(std::vector<TFileOutcome>& Outcomes);
    // A row is to be read with Encoding: its result waits for the check (EncodingChosen).
    void ChooseEncoding(int Row, const std::string& Encoding);
    void SetTicked(int Row, bool Ticked);

    const TRow& Row(int Index) const { return Rows[static_cast<std::size_t>(Index)]; }
    int Count() const { return static_cast<int>(Rows.size()); }
    int OkCount() const { return Ok; }
    int ProblemCount() const { return Problems; }
    int UntickedCount() const { return Count() - Ticked; }
    // The kinds counted as OK: checked fine, nothing to do, or converted.
    static bool CountsAsOk(TOutcomeKind Kind);

Q_SIGNALS:
    void EncodingChosen(int Row);
    void CountsChanged();

private:
    void Count(const TRow& Row, int Sign);
    void RowChanged(int Row);

    std::vector<TRow> Rows;
    std::unordered_map<std::string, int> BySource;
    int Ok = 0;
    int Problems = 0;
    int Ticked = 0;
};
