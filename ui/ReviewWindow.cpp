#include "ui/ReviewWindow.h"

#include "ui/EncodingDelegate.h"
#include "ui/LocalText.h"
#include "ui/MessageBox.h"
#include "ui/ReviewFilter.h"
#include "ui/ReviewModel.h"
#include "ui/ReviewWorker.h"
#include "util/MessageBoxFlags.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTextBlock>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

QString ByteValues(const std::string& Bytes)
{
    QStringList values;
    for (const char byte : Bytes)
        values << QStringLiteral("0x") +
                      QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("Bytes that do not decode: ") + values.join(QLatin1Char(' '));
}

} // namespace

TReviewWindow::TReviewWindow(TReviewLayout& Layout, QWidget* Parent)
    : QWidget(Parent, Qt::Window), Layout(Layout)
{
    setObjectName(QStringLiteral("ReviewWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Review"));
    Build();
    Worker = std::make_unique<TReviewWorker>(this);
    if (Layout.Known()) {
        resize(Layout.Width, Layout.Height);
        for (std::size_t i = 0; i < Layout.ColumnWidths.size(); ++i)
            Table->setColumnWidth(static_cast<int>(i), Layout.ColumnWidths[i]);
    } else {
        resize(900, 560);
        Table->setColumnWidth(TReviewModel::NameColumn, 220);
        Table->setColumnWidth(TReviewModel::SizeColumn, 70);
        Table->setColumnWidth(TReviewModel::EncodingColumn, 120);
    }
    UpdateStatus();
}

// The worker goes first: its answers are queued to this window, which Qt drops once it is gone.
TReviewWindow::~TReviewWindow() = default;

void TReviewWindow::Build()
{
    Model = new TReviewModel(this);
    Filter = new TReviewFilter(this);
    Filter->setSourceModel(Model);

    Table = new QTableView(this);
    Table->setObjectName(QStringLiteral("ReviewTable"));
    Table->setModel(Filter);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    Table->setTabKeyNavigation(false);
    Table->verticalHeader()->hide();
    // Uniform rows: the view never measures 100,000 of them.
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6);
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    Table->setSortingEnabled(true);
    Table->setWordWrap(false);
    Table->installEventFilter(this);
    Table->setItemDelegateForColumn(
        TReviewModel::EncodingColumn,
        new TEncodingDelegate(
            [this](const QModelIndex& Index) {
                return Model->Row(Filter->mapToSource(Index).row()).Outcome.Guesses;
            },
            [this]() -> const TStringList& {
                static const TStringList None;
                return EncodingNames ? EncodingNames() : None;
            },
            Table));
    auto* setEncoding = new QAction(QStringLiteral("Set &Encoding..."), Table);
    setEncoding->setObjectName(QStringLiteral("SetEncodingAction"));
    connect(setEncoding, &QAction::triggered, this, [this] { Guarded([this] { SetEncodingOfSelected(); }, this); });
    Table->addAction(setEncoding);
    Table->setContextMenuPolicy(Qt::ActionsContextMenu);

    ProblemsOnly = new QCheckBox(QStringLiteral("&Problems only"), this);
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName(QStringLiteral("ReviewStatus"));

    PreviewInfo = new QLabel(this);
    PreviewInfo->setObjectName(QStringLiteral("PreviewInfo"));
    Preview = new QPlainTextEdit(this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->setReadOnly(true);
    Preview->setLineWrapMode(QPlainTextEdit::NoWrap);
    Preview->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Preview->viewport()->installEventFilter(this);

    ConvertButton = new QPushButton(QStringLiteral("&Convert"), this);
    SaveListButton = new QPushButton(QStringLiteral("Save &List..."), this);
    SaveLogButton = new QPushButton(QStringLiteral("Save L&og..."), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(Table);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(ProblemsOnly);
    filterRow->addStretch();
    filterRow->addWidget(StatusLabel);
    topLayout->addLayout(filterRow);
    auto* bottom = new QWidget(this);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(PreviewInfo);
    bottomLayout->addWidget(Preview);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(bottom);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {ConvertButton, SaveListButton, SaveLogButton, CloseButton})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    layout->addLayout(buttons);

    connect(Model, &TReviewModel::CountsChanged, this, [this] { UpdateStatus(); });
    connect(Model, &TReviewModel::EncodingChosen, this, [this](int Row) { Recheck(Row); });
    connect(ProblemsOnly, &QCheckBox::toggled, this, [this](bool On) { Filter->SetProblemsOnly(On); });
    connect(Table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { RequestPreview(); });
    connect(ConvertButton, &QPushButton::clicked, this, [this] {
        if (OnConvert)
            OnConvert(*this);
    });
    connect(SaveListButton, &QPushButton::clicked, this, [this] { Guarded([this] { SaveList(); }, this); });
    connect(SaveLogButton, &QPushButton::clicked, this, [this] {
        if (OnSaveLog)
            OnSaveLog(Log);
    });
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, ConvertButton, &QPushButton::click);
    }
}

void TReviewWindow::SetCheck(TStringList Files, const TConvertOptions& Options, const TConvertSpecs& Specs)
{
    this->Files = std::move(Files);
    this->Options = Options;
    this->Specs = Specs;
}

void TReviewWindow::AddOutcomes(std::vector<TFileOutcome>& Outcomes)
{
    const bool first = Model->Count() == 0;
    Model->AddOutcomes(Outcomes);
    if (first && Model->Count() > 0 && !Table->currentIndex().isValid())
        Table->setCurrentIndex(Filter->index(0, 0));
}

void TReviewWindow::SetLog(const TLogger& Log)
{
    this->Log = Log;
}

void TReviewWindow::ApplyConverted(std::vector<TFileOutcome>& Outcomes)
{
    Model->ApplyConverted(Outcomes);
}

void TReviewWindow::UpdateStatus()
{
    StatusLabel->setText(QStringLiteral("%1 files: %2 OK, %3 problems, %4 not ticked")
                             .arg(Model->Count())
                             .arg(Model->OkCount())
                             .arg(Model->ProblemCount())
                             .arg(Model->UntickedCount()));
    ConvertButton->setEnabled(Model->UntickedCount() < Model->Count());
}

std::vector<TSourceEntry> TReviewWindow::TickedSources() const
{
    std::vector<TSourceEntry> entries;
    for (int i = 0; i < Model->Count(); ++i)
        if (const auto& row = Model->Row(i); row.Ticked)
            entries.push_back({row.Outcome.Encoding, row.Outcome.Source});
    return entries;
}

void TReviewWindow::SaveList()
{
    std::string fileName = "LMV List.txt";
    if (!AskSaveName || !AskSaveName(fileName))
        return;
    try {
        TSourcesFile::Write(fileName, TickedSources());
    } catch (const std::exception&) {
        ShowMessageBox("The program cannot save the list to the following file:\r\n\r\n" + fileName,
                       MB_OK | MB_ICONERROR | MB_SETFOREGROUND, {}, this);
    }
}

std::vector<int> TReviewWindow::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : Table->selectionModel()->selectedRows())
        rows.push_back(Filter->mapToSource(index).row());
    if (rows.empty() && CurrentRow() >= 0)
        rows.push_back(CurrentRow());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TReviewWindow::CurrentRow() const
{
    const QModelIndex current = Table->currentIndex();
    return current.isValid() ? Filter->mapToSource(current).row() : -1;
}

void TReviewWindow::ToggleSelected()
{
    const std::vector<int> rows = SelectedRows();
    const bool tick = std::any_of(rows.begin(), rows.end(), [this](int Row) { return !Model->Row(Row).Ticked; });
    for (const int row : rows)
        Model->SetTicked(row, tick);
}

void TReviewWindow::SetEncodingOfSelected()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || !EncodingNames)
        return;
    QStringList names;
    for (const std::string& name : EncodingNames())
        names << ToQString(name);
    const int current = static_cast<int>(names.indexOf(ToQString(Model->Row(rows.front()).Outcome.Encoding)));
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, QStringLiteral("Set Encoding"), QStringLiteral("&Encoding:"),
                                                 names, std::max(current, 0), false, &ok);
    if (!ok || chosen.isEmpty())
        return;
    for (const int row : rows)
        if (Model->Row(row).Outcome.Kind != TOutcomeKind::Skipped)
            Model->ChooseEncoding(row, ToLocalString(chosen));
}

void TReviewWindow::Recheck(int Row)
{
    const TFileOutcome& outcome = Model->Row(Row).Outcome;
    const std::string source = outcome.Source;
    Worker->Recheck(source, outcome.Encoding, Options, Specs, [this, Row](TFileOutcome& Result) {
        // Rows keep their place in the model; an answer for an encoding chosen before the last
        // one is dropped.
        if (Model->Row(Row).Outcome.Encoding != Result.Encoding)
            return;
        Model->SetOutcome(Row, std::move(Result));
        if (Row == CurrentRow())
            RequestPreview();
    });
    if (Row == CurrentRow())
        PreviewInfo->setText(QStringLiteral("Checking..."));
}

void TReviewWindow::RequestPreview()
{
    const int row = CurrentRow();
    PreviewRow = row;
    Undecodable.clear();
    if (row < 0) {
        Preview->clear();
        PreviewInfo->clear();
        return;
    }
    const TFileOutcome& outcome = Model->Row(row).Outcome;
    if (outcome.Encoding.empty() || outcome.Kind == TOutcomeKind::Skipped) {
        Preview->clear();
        PreviewInfo->setText(outcome.Encoding.empty() ? QStringLiteral("No encoding chosen")
                                                      : QStringLiteral("Not a text file"));
        if (OnPreviewShown)
            OnPreviewShown();
        return;
    }
    PreviewInfo->setText(QStringLiteral("Reading..."));
    const std::optional<std::uint64_t> mark =
        outcome.Kind == TOutcomeKind::Unwritable || outcome.Kind == TOutcomeKind::InvalidBytes ||
                outcome.Kind == TOutcomeKind::Incomplete
            ? outcome.Offset
            : std::nullopt;
    Worker->Preview(outcome.Source, outcome.Encoding, mark, [this, row](TTextPreview& Text) {
        if (row == PreviewRow)
            ShowPreview(row, Text);
    });
}

void TReviewWindow::ShowPreview(int Row, TTextPreview& Text)
{
    Undecodable.clear();
    if (!Text.Error.empty()) {
        Preview->clear();
        PreviewInfo->setText(ToQString(Text.Error));
        if (OnPreviewShown)
            OnPreviewShown();
        return;
    }
    QString shown;
    shown.reserve(static_cast<qsizetype>(Text.Text.size()));
    int markAt = -1;
    int markLength = 1;
    std::size_t next = 0;
    for (std::size_t i = 0; i < Text.Text.size(); ++i) {
        if (Text.Mark && *Text.Mark == i) {
            markAt = static_cast<int>(shown.size());
            markLength = Text.Text[i] > 0xFFFF ? 2 : 1;
        }
        if (next < Text.Undecodable.size() && Text.Undecodable[next].At == i) {
            Undecodable.emplace_back(static_cast<int>(shown.size()), ByteValues(Text.Undecodable[next].Bytes));
            ++next;
        }
        const char32_t code = Text.Text[i];
        shown += QString::fromUcs4(&code, 1);
    }
    if (Text.Mark && *Text.Mark >= Text.Text.size())
        markAt = static_cast<int>(shown.size());
    Preview->setPlainText(shown);

    const TFileOutcome& outcome = Model->Row(Row).Outcome;
    QString info = QStringLiteral("Encoding: %1    Line ends: %2    Signature: %3")
                       .arg(ToQString(outcome.Encoding),
                            Text.LineEnds.empty() ? QStringLiteral("none") : ToQString(Text.LineEnds),
                            Text.Signature ? QStringLiteral("yes") : QStringLiteral("no"));
    if (Text.Start > 0)
        info += QStringLiteral("    From byte %1").arg(static_cast<qulonglong>(Text.Start));
    PreviewInfo->setText(info);

    QList<QTextEdit::ExtraSelection> marks;
    if (markAt >= 0) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(Preview->document());
        selection.cursor.setPosition(markAt);
        selection.cursor.setPosition(std::min(markAt + markLength, static_cast<int>(shown.size())),
                                     QTextCursor::KeepAnchor);
        selection.format.setBackground(QColor(255, 120, 120));
        selection.format.setForeground(Qt::black);
        marks << selection;
        QTextCursor at(Preview->document());
        at.setPosition(markAt);
        Preview->setTextCursor(at);
        Preview->centerCursor();
    }
    Preview->setExtraSelections(marks);
    if (OnPreviewShown)
        OnPreviewShown();
}

bool TReviewWindow::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == Table && Event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(Event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            ToggleSelected();
            return true;
        }
        if (key->key() == Qt::Key_F2 && CurrentRow() >= 0) {
            Table->edit(Table->currentIndex().siblingAtColumn(TReviewModel::EncodingColumn));
            return true;
        }
    }
    if (Preview && Watched == Preview->viewport() && Event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(Event);
        const int at = Preview->cursorForPosition(help->pos()).position();
        for (const auto& [position, tip] : Undecodable) {
            if (position == at || position == at - 1) {
                QToolTip::showText(help->globalPos(), tip, Preview);
                return true;
            }
        }
        QToolTip::hideText();
        return true;
    }
    return QWidget::eventFilter(Watched, Event);
}

void TReviewWindow::KeepLayout()
{
    Layout.Width = width();
    Layout.Height = height();
    Layout.ColumnWidths.clear();
    for (int i = 0; i < TReviewModel::ColumnCount; ++i)
        Layout.ColumnWidths.push_back(Table->columnWidth(i));
}

void TReviewWindow::closeEvent(QCloseEvent* Event)
{
    KeepLayout();
    QWidget::closeEvent(Event);
}
