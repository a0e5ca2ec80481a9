#include "list/match_list.h"

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
    Result<RecordFile> file = RecordFile::open(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    std::vector<ListRow> rows;
    for (int i = getNextMatch(matchFlags, 0); i >= 0 && i <= data.tables.entryCount;
         i = getNextMatch(matchFlags, i)) {
        const std::string record =
            file.value().readRecordAt(data.tables.positionOfEntry(i), data.recordKey);
        rows.push_back(buildListRow(splitFields(cp1252ToUtf8(record)),
                                    static_cast<int>(rows.size()) + 1, maxCardNumber,
                                    decimalSeparator));
    }
    return rows;
}

} // namespace lithora
