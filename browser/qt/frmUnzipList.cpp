#include "browser/qt/frmUnzipList.h"

#include <QCollator>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QMimeData>
#include <QRegularExpression>
#include <QTime>

#include "platform/OleDate.h"

#include <algorithm>

frmUnzipListModel::frmUnzipListModel(std::function<QIcon(const QString&)> iconFor, QObject* parent)
    : QAbstractTableModel(parent), iconFor_(std::move(iconFor)) {}

void frmUnzipListModel::clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    order_.clear();
    sortColumn_ = -1;
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
    // New rows join in directory order; a sorted list is sorted again.
    if (!order_.empty())
        for (std::size_t i = static_cast<std::size_t>(first); i < rows_.size(); ++i) order_.push_back(i);
    endInsertRows();
    if (sortColumn_ >= 0) sort(sortColumn_, sortOrder_);
}

void frmUnzipListModel::sort(int column, Qt::SortOrder order) {
    const bool unsort = column < 0 || column >= ColumnCount;
    if (unsort && order_.empty()) {
        sortColumn_ = -1;
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> was = order_;
    if (was.empty())
        for (std::size_t i = 0; i < rows_.size(); ++i) was.push_back(i);

    std::vector<std::size_t> now(rows_.size());
    for (std::size_t i = 0; i < now.size(); ++i) now[i] = i;
    if (!unsort) {
        QCollator collator;
        collator.setNumericMode(true);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        auto less = [&](std::size_t a, std::size_t b) {
            const Row& x = rows_[a];
            const Row& y = rows_[b];
            switch (column) {
                case ColFilename: return collator.compare(x.text, y.text) < 0;
                case ColSize: return x.size < y.size;
                case ColDate: return x.date < y.date;
                case ColPacked: return x.packed < y.packed;
                default: return collator.compare(x.folder, y.folder) < 0;
            }
        };
        // Equal values stay in directory order, both ways.
        if (order == Qt::AscendingOrder)
            std::stable_sort(now.begin(), now.end(), less);
        else
            std::stable_sort(now.begin(), now.end(), [&](std::size_t a, std::size_t b) { return less(b, a); });
    }
    std::vector<int> shownAt(rows_.size());
    for (std::size_t r = 0; r < now.size(); ++r) shownAt[now[r]] = static_cast<int>(r);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before)
        after.append(index(shownAt[was[static_cast<std::size_t>(i.row())]], i.column()));
    if (unsort) {
        order_.clear();
        sortColumn_ = -1;
    } else {
        order_ = std::move(now);
        sortColumn_ = column;
        sortOrder_ = order;
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
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
    const Row& r = row(index.row());
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

Qt::ItemFlags frmUnzipListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid()) f |= Qt::ItemIsDragEnabled;
    return f;
}

QStringList frmUnzipListModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* frmUnzipListModel::mimeData(const QModelIndexList& indexes) const {
    if (!dragFiles_) return nullptr;
    // One entry per dragged row (the view passes every cell of it).
    std::vector<std::int32_t> entries;
    std::vector<char> seen(rows_.size(), 0);
    for (const QModelIndex& i : indexes) {
        if (!i.isValid() || seen[static_cast<std::size_t>(i.row())]) continue;
        seen[static_cast<std::size_t>(i.row())] = 1;
        entries.push_back(row(i.row()).index);
    }
    const QList<QUrl> urls = dragFiles_(entries);
    if (urls.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}
