// The rows of the archive browser's list: one per directory entry, with the
// key "File" + entry index, in directory order until sorted by a column. A
// table model rather than a
// widget per item, so an archive of 100,000 entries lists in well under a
// second; the formatted date is made only for the rows on screen.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <vector>

class frmUnzipListModel : public QAbstractTableModel {
public:
    enum Column { ColFilename = 0, ColSize, ColDate, ColPacked, ColFolder, ColumnCount };
    // The item's key ("File12") under this role.
    static constexpr int KeyRole = Qt::UserRole + 1;

    struct Row {
        std::int32_t index = 0;  // 1-based entry index of the unzip object
        QString text;            // file name, "+" appended when encrypted
        QString iconKey;
        std::int64_t size = 0;   // true sizes, 2 GiB and more included
        double date = 0;         // automation date
        std::int64_t packed = 0;
        QString folder;
    };

    // `iconFor` gives the small icon of an icon key (the window's image list).
    explicit frmUnzipListModel(std::function<QIcon(const QString&)> iconFor, QObject* parent = nullptr);

    // Gives the files of dragged entries (1-based indexes); none stops the drag.
    using DragFilesFn = std::function<QList<QUrl>(const std::vector<std::int32_t>&)>;
    void setDragFiles(DragFilesFn fn) { dragFiles_ = std::move(fn); }

    void clear();
    // Adds rows at the end, in one step.
    void append(std::vector<Row>&& rows);

    // Row r as shown (after sorting, if any).
    const Row& row(int r) const {
        const std::size_t i = static_cast<std::size_t>(r);
        return rows_[order_.empty() ? i : order_[i]];
    }
    QString key(int r) const { return QStringLiteral("File") + QString::number(row(r).index); }

    // The date as the list shows it: short date, one blank, short time, in
    // the user's locale.
    static QString formatDate(double oleDate);

    // Sorts the shown rows by a column (equal values keep directory order);
    // a column outside the list goes back to directory order. Selections and
    // other persistent indexes follow their rows.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The sorted column, or -1 in directory order.
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    std::function<QIcon(const QString&)> iconFor_;
    DragFilesFn dragFiles_;
    std::vector<Row> rows_;          // directory order
    std::vector<std::size_t> order_;  // shown row -> rows_ index; empty: directory order
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
