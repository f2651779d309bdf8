#include "browser/qt/frmUnzipList.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include "platform/OleDate.h"

frmUnzipListModel::frmUnzipListModel(std::function<QIcon(const QString&)> iconFor, QObject* parent)
    : QAbstractTableModel(parent), iconFor_(std::move(iconFor)) {}

void frmUnzipListModel::clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

void frmUnzipListModel::append(std::vector<Row>&& rows) {
    if (rows.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    if (rows_.empty()) {
        rows_ = std::move(rows);
    } else {
        rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    }
    endInsertRows();
}

QString frmUnzipListModel::formatDate(double oleDate) {
    const pw::DateParts p = pw::splitOleDate(oleDate);
    const QLocale locale;
    // The short time shows hours and minutes only, also where the locale's
    // short form has seconds (the C locale's "HH:mm:ss"): entries are dated
    // to the minute.
    static const QRegularExpression seconds(QStringLiteral("[.:]s{1,2}"));
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(seconds);
    return locale.toString(QDate(p.year, p.month, p.day), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(QTime(p.hour, p.minute, p.second), timeFormat);
}

int frmUnzipListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int frmUnzipListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant frmUnzipListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const Row& r = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
            case ColFilename: return r.text;
            case ColSize: return QString::number(r.size);
            case ColDate: return formatDate(r.date);
            case ColPacked: return QString::number(r.packed);
            case ColFolder: return r.folder;
        }
    } else if (role == Qt::DecorationRole && index.column() == ColFilename) {
        return iconFor_ ? iconFor_(r.iconKey) : QIcon();
    } else if (role == KeyRole) {
        return key(index.row());
    } else if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant frmUnzipListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
            case ColFilename: return QStringLiteral("Filename");
            case ColSize: return QStringLiteral("Size");
            case ColDate: return QStringLiteral("Date");
            case ColPacked: return QStringLiteral("Packed");
            case ColFolder: return QStringLiteral("Folder");
        }
    } else if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}
