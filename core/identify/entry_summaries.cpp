#include "identify/entry_summaries.h"

#include "datafiles/record.h"
#include "identify/ranking.h"

namespace lithora {

namespace {

constexpr std::size_t kCardField = 0;
constexpr std::size_t kNameField = 1;
constexpr std::size_t kFormulaField = 2;
constexpr std::size_t kDField = 6;
constexpr std::size_t kIntensityField = 7;
constexpr std::size_t kElementsField = 27;

} // namespace

Result<std::shared_ptr<const EntrySummaries>> entrySummariesOf(DataSet& data) {
    const std::filesystem::path path = data.file(DataFiles::kEntries);
    const PatternFileStamp stamp = patternFileStamp(path);
    if (const EntrySummaries* held = data.entrySummaries.get()) {
        if (held->m_stamp == stamp && held->count() == std::max(data.tables.entryCount, 0))
            return data.entrySummaries;
    }
    Result<RecordBuffer> file = RecordBuffer::load(path);
    if (!file) return file.error();
    auto out = std::make_shared<EntrySummaries>();
    out->m_stamp = stamp;
    const std::size_t n = static_cast<std::size_t>(std::max(data.tables.entryCount, 0)) + 1;
    out->m_card.resize(n, 0);
    out->m_lines.resize(n);
    out->m_hasLines.resize(n, false);
    out->m_names.resize(n);
    RecordDecoder record(data.recordKey, false);
    for (int entry = 1; entry <= data.tables.entryCount; ++entry) {
        const std::string_view body = file.value().bodyAt(data.tables.positionOfEntry(entry));
        if (body.empty()) continue;
        record.decode(body);
        const auto i = static_cast<std::size_t>(entry);
        out->m_card[i] = recordCardNumber(record.field(kCardField));
        out->m_lines[i] = identificationLines(nullptr, out->m_card[i], record.field(kDField),
                                              record.field(kIntensityField));
        out->m_hasLines[i] = out->m_lines[i].size() > 0;
        out->m_names[i] = EntryNames{std::string(record.field(kNameField)),
                                     std::string(record.field(kFormulaField)),
                                     std::string(record.field(kElementsField))};
    }
    data.entrySummaries = out;
    return std::shared_ptr<const EntrySummaries>(out);
}

} // namespace lithora
