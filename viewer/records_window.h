// The Records window: a records text file as a table and a chart.
//
// How it works: the file is read and parsed once into a shared table; the table view, the
// chart and the CSV export all read that one table. The window is a top-level window owned by
// the window that opened it and shown without blocking, so the terminal stays usable beside
// it; it deletes itself when closed. File dialogs and messages go through the desktop services
// (platform/ui_services.h), which tests script.
//
// Relies on: a QApplication; the parser in records_text.h for everything about the format.
#pragma once

#include "device/record_retrieval.h"
#include "platform/ui_services.h"
#include "viewer/records_chart.h"
#include "viewer/records_model.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QTableView;

namespace ventaro {

class RecordsWindow : public QWidget {
    Q_OBJECT
  public:
    RecordsWindow(const QString& path, std::shared_ptr<const RecordsTable> table, QWidget* parent);

    // The window opened last, while it is open.
    static RecordsWindow* Last() { return last_; }

    const QString& Path() const { return path_; }
    RecordsModel* Model() const { return model_; }
    QTableView* Table() const { return table_; }
    RecordsChartView* Chart() const { return chart_; }
    // One box per column, in column order: checked columns are plotted.
    const QList<QCheckBox*>& FieldBoxes() const { return fieldBoxes_; }

    void SaveChartClick();
    void ExportCsvClick();

  private:
    QWidget* BuildSummary(const RecordsTable& table);
    QWidget* BuildFields(const RecordsTable& table);
    QWidget* BuildButtons();
    void PlotChecked();
    plat::FileRequest SaveRequest(const QString& title, const QStringList& filters) const;

    static inline QPointer<RecordsWindow> last_;
    QString path_;
    std::shared_ptr<const RecordsTable> records_;
    RecordsModel* model_;
    QTableView* table_;
    RecordsChartView* chart_;
    QList<QCheckBox*> fieldBoxes_;
};

// Reads a records text file into a new Records window; on failure tells the user why and
// returns nullptr.
RecordsWindow* OpenRecordsWindow(const QString& path, QWidget* parent);
// View > Records Viewer...: asks for a file, starting where `dialog` would, then opens it.
void AskAndOpenRecordsWindow(QWidget* parent, plat::FileRequest dialog);
// After Get Records: the window on the new file, when the download wrote any records.
void ShowDownloadedRecords(const DownloadResult& result, QWidget* parent);

}  // namespace ventaro
