#include "list/match_list.h"

#include <algorithm>
#include <optional>

#include "datafiles/record.h"
#include "text/codepage.h"
#include "text/split.h"

namespace lithora {

int getNextMatch(const std::vector<bool>& matchFlags, int after) {
    const int upper = static_cast<int>(matchFlags.size()) - 1;
    for (int i = std::max(after + 1, 0); i <= upper; ++i) {
        if (matchFlags[static_cast<std::size_t>(i)]) return i;
    }
    return -1;
}

Result<std::vector<ListRow>> readMatchList(const DataSet& data, const std::vector<bool>& matchFlags,
                                           int& maxCardNumber, char decimalSeparator) {
    // A few matches are read where they lie; many are taken from the file read whole, which costs
    // less than as many seeks and small reads.
    constexpr std::size_t kWholeFileFrom = 64;
    const auto matches =
        static_cast<std::size_t>(std::count(matchFlags.begin(), matchFlags.end(), true));
    std::optional<RecordBuffer> whole;
    std::optional<RecordFile> file;
    if (matches >= kWholeFileFrom) {
        Result<RecordBuffer> loaded = RecordBuffer::load(data.file(DataFiles::kEntries));
        if (!loaded) return loaded.error();
        whole.emplace(std::move(loaded).value());
    } else {
        Result<RecordFile> opened = RecordFile::open(data.file(DataFiles::kEntries));
        if (!opened) return opened.error();
        file.emplace(std::move(opened).value());
    }
    std::vector<ListRow> rows;
    rows.reserve(matches);
    std::string record;
    for (int i = getNextMatch(matchFlags, 0); i >= 0 && i <= data.tables.entryCount;
         i = getNextMatch(matchFlags, i)) {
        const std::int64_t position = data.tables.positionOfEntry(i);
        if (whole) {
            record.assign(whole->bodyAt(position));
            xorWithKey(record, data.recordKey);
        } else {
            record = file->readRecordAt(position, data.recordKey);
        }
        rows.push_back(buildListRow(listRowFields(record), static_cast<int>(rows.size()) + 1,
                                    maxCardNumber, decimalSeparator));
    }
    return rows;
}

Result<std::vector<ListRow>> readOrderedList(const DataSet& data, const std::vector<int>& entries,
                                             int& maxCardNumber, char decimalSeparator) {
    Result<RecordFile> file = RecordFile::open(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    std::vector<bool> listed(static_cast<std::size_t>(std::max(data.tables.entryCount, 0)) + 1,
                             false);
    std::vector<ListRow> rows;
    for (int i : entries) {
        if (i < 1 || i > data.tables.entryCount || listed[static_cast<std::size_t>(i)]) continue;
        listed[static_cast<std::size_t>(i)] = true;
        const std::string record =
            file.value().readRecordAt(data.tables.positionOfEntry(i), data.recordKey);
        rows.push_back(buildListRow(listRowFields(record), static_cast<int>(rows.size()) + 1,
                                    maxCardNumber, decimalSeparator));
    }
    return rows;
}

} // namespace lithora
