#include "datafiles/element_index.h"

namespace lithora {

Status readElementIndex(const DataSet& data,
                        const std::function<void(int, std::string_view)>& visit) {
    Result<SequentialRecords> file = SequentialRecords::load(data.file(DataFiles::kElements));
    if (!file) return file.error();
    SequentialRecords& records = file.value();
    records.next(); // the header is not read
    std::string text;
    for (int r = 1; r <= data.tables.entryCount && !records.atEnd(); ++r) {
        const auto raw = records.next();
        if (!raw) break;
        text.assign(raw->body);
        xorWithKey(text, data.recordKey);
        visit(r, text);
    }
    return Ok{};
}

} // namespace lithora
