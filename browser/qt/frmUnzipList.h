// The rows of the archive browser's list: one per directory entry, with the
// key "File" + entry index, in directory order. A table model rather than a
// widget per item, so an archive of 100,000 entries lists in well under a
// second; the formatted date is made only for the rows on screen.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
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

    void clear();
    // Adds rows at the end, in one step.
    void append(std::vector<Row>&& rows);

    const Row& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }
    QString key(int r) const { return QStringLiteral("File") + QString::number(row(r).index); }

    // The date as the list shows it: short date, one blank, short time, in
    // the user's locale.
    static QString formatDate(double oleDate);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::function<QIcon(const QString&)> iconFor_;
    std::vector<Row> rows_;
};
