#pragma once

#include <QSortFilterProxyModel>

// The Review table's view of its rows: sorted by the raw values, and with "Problems only" the
// OK rows hidden.
class TReviewFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TReviewFilter(QObject* Parent = nullptr);

    void SetProblemsOnly(bool On);
    bool ProblemsOnly() const { return OnlyProblems; }

protected:
    bool filterAcceptsRow(int SourceRow, const QModelIndex& SourceParent) const override;

private:
    bool OnlyProblems = false;
};
