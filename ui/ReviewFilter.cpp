#include "ui/ReviewFilter.h"

#include "ui/ReviewModel.h"

TReviewFilter::TReviewFilter(QObject* Parent) : QSortFilterProxyModel(Parent)
{
    setSortRole(TReviewModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
}

void TReviewFilter::SetProblemsOnly(bool On)
{
    if (On == OnlyProblems)
        return;
    OnlyProblems = On;
    invalidateFilter();
}

bool TReviewFilter::filterAcceptsRow(int SourceRow, const QModelIndex& SourceParent) const
{
    if (!OnlyProblems)
        return true;
    const QModelIndex index = sourceModel()->index(SourceRow, 0, SourceParent);
    return !TReviewModel::CountsAsOk(static_cast<TOutcomeKind>(index.data(TReviewModel::KindRole).toInt()));
}
