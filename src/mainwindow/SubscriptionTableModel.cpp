#include "mainwindow/SubscriptionTableModel.h"

#include "core/net/UrlReference.h"
#include "display/DisplayText.h"

#include <QCollator>
#include <QUrl>

#include <algorithm>
#include <unordered_map>

namespace tessarine {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

template <class A, class B>
bool SameRecords(const std::vector<A>& a, size_t aFrom, const std::vector<B>& b, size_t bFrom,
                 size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (a[aFrom + i].record != b[bFrom + i].record)
            return false;
    return true;
}

bool IsPlaceholderName(const std::string& name) {
    return name == LoadResString(IDS_NEW_PODCAST, Language::English) ||
           name == LoadResString(IDS_NEW_PODCAST, Language::German);
}

// Host, port and path of a feed's address, without its scheme, user or query.
QString HostAndPath(const std::string& url) {
    const QUrl parsed(FromUtf8(url));
    if (!parsed.isValid() || parsed.host().isEmpty())
        return FromUtf8(ShownUrl(url));
    QString shown = parsed.toDisplayString(QUrl::RemoveScheme | QUrl::RemoveUserInfo |
                                           QUrl::RemoveQuery | QUrl::RemoveFragment);
    while (shown.startsWith(QLatin1Char('/')))
        shown.remove(0, 1);
    return shown;
}

} // namespace

SubscriptionTableModel::SubscriptionTableModel(const PodcastLibrary& library, QObject* parent)
    : ReportTableModel(parent), library_(library), language_(CurrentLanguage()) {}

std::vector<SubscriptionTableModel::Row> SubscriptionTableModel::Rows() const {
    std::vector<Row> rows;
    for (SubscriptionSnapshot& s : library_.SubscriptionRows()) {
        const int32_t last = library_.LastCheckStatus(s.record);
        Failure failure = library_.LastCheckFailure(s.record);
        rows.push_back({std::move(s.record), std::move(s.values), last, std::move(failure)});
    }
    if (sortColumn_ < 0)
        return rows;
    // Keys are formed once per row, not once per comparison.
    std::vector<std::pair<QString, double>> keys;
    for (const Row& row : rows)
        keys.emplace_back(SortText(row, sortColumn_),
                          row.values.lastChecked.IsValid() ? row.values.lastChecked.Value() : -1e9);
    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    const auto less = [&](size_t a, size_t b) {
        if (sortColumn_ == 1)
            return keys[a].second < keys[b].second;
        return collator.compare(keys[a].first, keys[b].first) < 0;
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return sortOrder_ == Qt::AscendingOrder ? less(a, b) : less(b, a);
    });
    std::vector<Row> sorted;
    sorted.reserve(rows.size());
    for (size_t i : order)
        sorted.push_back(std::move(rows[i]));
    return sorted;
}

QString SubscriptionTableModel::SortText(const Row& row, int column) const {
    if (column == 0 || column == 2)
        return Cell(row, column);
    return {};
}

void SubscriptionTableModel::Sync() {
    std::vector<Row> next = Rows();
    const size_t shown = rows_.size();
    const bool relabel = language_ != CurrentLanguage();
    language_ = CurrentLanguage();

    if (next.size() == shown && !SameRecords(rows_, 0, next, 0, shown)) {
        // The same records in another order (a sort, or a sorted value changed)?
        std::unordered_map<const Subscription*, int> count;
        for (const Row& row : rows_)
            ++count[row.record.get()];
        bool same = true;
        for (const Row& row : next)
            same = same && --count[row.record.get()] >= 0;
        if (same) {
            Reorder(std::move(next));
            return;
        }
    }
    if (next.size() + 1 == shown) {
        // One record removed?
        size_t gone = 0;
        while (gone < next.size() && rows_[gone].record == next[gone].record)
            ++gone;
        if (SameRecords(rows_, gone + 1, next, gone, next.size() - gone)) {
            beginRemoveRows({}, static_cast<int>(gone), static_cast<int>(gone));
            rows_.erase(rows_.begin() + static_cast<long>(gone));
            endRemoveRows();
        }
    }
    const size_t common = std::min(rows_.size(), next.size());
    if (!SameRecords(rows_, 0, next, 0, common)) {
        beginResetModel();
        rows_ = std::move(next);
        endResetModel();
        return;
    }
    // Runs of changed rows are announced together.
    const auto sameValues = [](const Row& a, const Row& b) {
        return a.values.name == b.values.name && a.values.lastChecked == b.values.lastChecked &&
               a.values.status == b.values.status && a.values.url == b.values.url &&
               a.lastStatus == b.lastStatus && a.failure == b.failure;
    };
    int runStart = -1;
    for (size_t r = 0; r < common; ++r) {
        const bool changed = relabel || !sameValues(rows_[r], next[r]);
        if (changed)
            rows_[r] = next[r];
        if (changed && runStart < 0) {
            runStart = static_cast<int>(r);
        } else if (!changed && runStart >= 0) {
            AnnounceRows(runStart, static_cast<int>(r) - 1);
            runStart = -1;
        }
    }
    if (runStart >= 0)
        AnnounceRows(runStart, static_cast<int>(common) - 1);
    if (next.size() > common) {
        beginInsertRows({}, static_cast<int>(common), static_cast<int>(next.size()) - 1);
        rows_.insert(rows_.end(), std::make_move_iterator(next.begin() + static_cast<long>(common)),
                     std::make_move_iterator(next.end()));
        endInsertRows();
    } else if (rows_.size() > common) {
        beginRemoveRows({}, static_cast<int>(common), static_cast<int>(rows_.size()) - 1);
        rows_.resize(common);
        endRemoveRows();
    }
}

void SubscriptionTableModel::Reorder(std::vector<Row> next) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::unordered_map<const Subscription*, int> rowOf;
    for (size_t r = 0; r < next.size(); ++r)
        rowOf[next[r].record.get()] = static_cast<int>(r);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    for (const QModelIndex& index : from)
        to.append(index.isValid()
                      ? this->index(rowOf[rows_[static_cast<size_t>(index.row())].record.get()],
                                    index.column())
                      : index);
    rows_ = std::move(next);
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SubscriptionTableModel::sort(int column, Qt::SortOrder order) {
    if (column == sortColumn_ && (column < 0 || order == sortOrder_))
        return;
    sortColumn_ = column >= 0 && column < columnCount() ? column : -1;
    sortOrder_ = order;
    Sync();
}

SubscriptionPtr SubscriptionTableModel::RecordAt(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return nullptr;
    return rows_[static_cast<size_t>(row)].record;
}

QString SubscriptionTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return {};
    return Cell(rows_[static_cast<size_t>(row)], column);
}

QString SubscriptionTableModel::Cell(const Row& row, int column) const {
    const Subscription& s = row.values;
    switch (column) {
    case 0:
        // Podcasts whose first check failed all carry the placeholder name:
        // their address tells them apart (the record keeps the name).
        if (row.lastStatus == Error && IsPlaceholderName(s.name))
            return FromUtf8(FormatText(LoadResString(TXT_PLACEHOLDER_WITH_ADDRESS),
                                       {s.name, HostAndPath(s.url).toStdString()}));
        return FromUtf8(s.name);
    case 1:
        // A date the settings file does not hold (never checked, or not
        // readable) says so instead of showing an invalid date.
        return FromUtf8(s.lastChecked.IsValid() ? s.lastChecked.FormatShown()
                                                : LoadResString(TXT_CLI_NEVER_CHECKED));
    case 2:
        // Not checked in this run: how the last check ended, also in an
        // earlier run.
        return FromUtf8(StatusText(s.status == Idle ? row.lastStatus : s.status));
    default:
        return {};
    }
}

QString SubscriptionTableModel::ToolTip(int row, int) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return {};
    const Row& r = rows_[static_cast<size_t>(row)];
    std::string result;
    if (r.lastStatus == Error && r.failure)
        result = FormatResString(TXT_TIP_LAST_CHECK_FAILED, FailureText(r.failure));
    else if (r.lastStatus != Idle)
        result = FormatResString(TXT_TIP_LAST_CHECK, StatusText(r.lastStatus));
    else
        result = LoadResString(TXT_TIP_NEVER_CHECKED);
    return FromUtf8(FormatResString(TXT_TIP_URL, ShownUrl(r.values.url)) + "\n" + result);
}

int SubscriptionTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

} // namespace tessarine
