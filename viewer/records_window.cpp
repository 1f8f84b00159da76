#include "viewer/records_window.h"

#include "serial/codepage.h"
#include "viewer/records_csv.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace ventaro {

namespace {

QLabel* TextLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString Counts(const RecordsTable& table) {
    const auto lines = qsizetype(table.rows.size());
    const QString read = lines == 1 ? RecordsWindow::tr("1 record line in the file")
                                    : RecordsWindow::tr("%1 record lines in the file").arg(lines);
    if (!table.hasHeader) {
        return RecordsWindow::tr("No header: the download had no fields per record.    %1")
            .arg(read);
    }
    return QStringLiteral("NUMBER OF RECORDS: %1    FIELDS PER RECORD: %2    %3")
        .arg(table.numberOfRecords)
        .arg(table.fieldsPerRecord)
        .arg(read);
}

bool HasNumbers(const RecordsTable& table, int column) {
    return std::any_of(table.rows.begin(), table.rows.end(), [column](const RecordRow& row) {
        return size_t(column) < row.values.size() && row.values[size_t(column)].has_value();
    });
}

}  // namespace

RecordsWindow::RecordsWindow(const QString& path, std::shared_ptr<const RecordsTable> table,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      path_(path),
      records_(std::move(table)),
      model_(new RecordsModel(records_, this)),
      table_(new QTableView),
      chart_(new RecordsChartView(records_)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Records - %1").arg(QFileInfo(path).fileName()));
    table_->setModel(model_);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setMinimumSectionSize(
        table_->fontMetrics().horizontalAdvance(QStringLiteral("-0000.00")));
    table_->resizeColumnsToContents();

    auto* bottom = new QWidget;
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(BuildFields(*records_));
    bottomLayout->addWidget(chart_, 1);

    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(table_);
    split->addWidget(bottom);
    split->setSizes({300, 400});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildSummary(*records_));
    layout->addWidget(split, 1);
    layout->addWidget(BuildButtons());
    resize(1000, 740);
    PlotChecked();
    last_ = this;
}

QWidget* RecordsWindow::BuildSummary(const RecordsTable& table) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    if (table.hasHeader) {
        QLabel* title = TextLabel(FromWindows1252(table.title1), box);
        QFont bold = title->font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.2);
        title->setFont(bold);
        layout->addWidget(title);
        layout->addWidget(TextLabel(FromWindows1252(table.title2), box));
    }
    layout->addWidget(TextLabel(Counts(table), box));
    if (!table.hasLabelRows) {
        layout->addWidget(TextLabel(tr("The download ended before its labels."), box));
    }
    for (const std::string& note : table.notes) {
        QLabel* label = TextLabel(QString::fromStdString(note), box);
        label->setStyleSheet(QStringLiteral("color: #a04000"));
        layout->addWidget(label);
    }
    return box;
}

QWidget* RecordsWindow::BuildFields(const RecordsTable& table) {
    auto* list = new QWidget;
    auto* layout = new QVBoxLayout(list);
    layout->addWidget(new QLabel(tr("Plot:")));
    bool first = true;
    for (int c = 0; c < table.Columns(); ++c) {
        auto* box = new QCheckBox(ColumnTitle(table, c));
        const bool numbers = HasNumbers(table, c);
        box->setEnabled(numbers);
        // Something to look at from the start: the first column that has numbers.
        box->setChecked(numbers && first);
        first = first && !numbers;
        connect(box, &QCheckBox::toggled, this, &RecordsWindow::PlotChecked);
        layout->addWidget(box);
        fieldBoxes_ << box;
    }
    layout->addStretch(1);
    auto* scroll = new QScrollArea;
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(list->sizeHint().width() + 20);
    scroll->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    return scroll;
}

QWidget* RecordsWindow::BuildButtons() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(
        tr("Wheel: zoom    Drag: zoom to an area    Right-drag: pan    Double-click: all")));
    layout->addStretch(1);
    auto* reset = new QPushButton(tr("&Reset Zoom"));
    auto* save = new QPushButton(tr("&Save Chart..."));
    auto* csv = new QPushButton(tr("&Export CSV..."));
    connect(reset, &QPushButton::clicked, chart_, &RecordsChartView::ResetView);
    connect(save, &QPushButton::clicked, this, &RecordsWindow::SaveChartClick);
    connect(csv, &QPushButton::clicked, this, &RecordsWindow::ExportCsvClick);
    for (QPushButton* button : {reset, save, csv}) {
        layout->addWidget(button);
    }
    return row;
}

void RecordsWindow::PlotChecked() {
    QList<int> columns;
    for (int c = 0; c < fieldBoxes_.size(); ++c) {
        if (fieldBoxes_[c]->isChecked()) {
            columns << c;
        }
    }
    chart_->Plot(columns);
}

plat::FileRequest RecordsWindow::SaveRequest(const QString& title,
                                             const QStringList& filters) const {
    plat::FileRequest request;
    request.title = title;
    request.initialDirectory = QFileInfo(path_).absolutePath();
    request.filters = filters;
    request.confirmOverwrite = true;
    return request;
}

void RecordsWindow::SaveChartClick() {
    const auto chosen = plat::Ui().SaveFileName(
        SaveRequest(tr("Save Chart"), {tr("PNG Image (*.png)"), tr("SVG Image (*.svg)")}));
    if (!chosen) {
        return;
    }
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".png");
    }
    if (!chart_->SaveImage(path)) {
        plat::Ui().MessageBox(tr("Could not write the chart to\r\n%1").arg(path), false);
    }
}

void RecordsWindow::ExportCsvClick() {
    const auto path = plat::Ui().SaveFileName(
        SaveRequest(tr("Export CSV"), {tr("CSV (*.csv)"), QStringLiteral("All Files (*.*)")}));
    if (!path) {
        return;
    }
    const std::string csv = RecordsCsv(*records_);
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv.data(), qint64(csv.size())) < 0 ||
        !file.commit()) {
        plat::Ui().MessageBox(tr("Could not write the CSV file\r\n%1").arg(*path), false);
    }
}

RecordsWindow* OpenRecordsWindow(const QString& path, QWidget* parent) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        plat::Ui().MessageBox(RecordsWindow::tr("Could not open\r\n%1").arg(path), false);
        return nullptr;
    }
    // One byte past the limit is enough for the parser to refuse a larger file.
    const QByteArray bytes = file.read(qint64(kMaxRecordsTextSize) + 1);
    RecordsTextResult parsed = ParseRecordsText(std::string_view(bytes.data(), bytes.size()));
    if (!parsed.table) {
        plat::Ui().MessageBox(
            RecordsWindow::tr("%1 is not a records file.\r\n%2")
                .arg(QFileInfo(path).fileName(), QString::fromStdString(parsed.error.Message())),
            false);
        return nullptr;
    }
    auto table = std::make_shared<const RecordsTable>(std::move(*parsed.table));
    auto* window = new RecordsWindow(path, std::move(table), parent);
    window->show();
    window->raise();
    return window;
}

void AskAndOpenRecordsWindow(QWidget* parent, plat::FileRequest dialog) {
    dialog.title = RecordsWindow::tr("Open Records File...");
    dialog.mustExist = true;
    dialog.confirmOverwrite = false;
    if (const auto path = plat::Ui().OpenFileName(dialog)) {
        OpenRecordsWindow(*path, parent);
    }
}

void ShowDownloadedRecords(const DownloadResult& result, QWidget* parent) {
    const bool ended =
        result.outcome == TransferOutcome::Done || result.outcome == TransferOutcome::GaveUp;
    if (ended && result.records > 0 && !result.path.isEmpty()) {
        OpenRecordsWindow(result.path, parent);
    }
}

}  // namespace ventaro
