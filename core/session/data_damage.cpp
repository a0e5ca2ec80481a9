#include "session/data_damage.h"

#include "datafiles/datadir.h"
#include "datafiles/record.h"

namespace lithora {

std::string verifyCommand(const std::filesystem::path& dataDir) {
    return "lithora-pack verify \"" + dataDir.string() + "\"";
}

namespace {

std::string entriesPhrase(int n) {
    if (n == 0) return "no entries";
    return n == 1 ? "the 1 entry" : "the " + std::to_string(n) + " entries";
}

std::string verifyAdvice(const std::filesystem::path& dataDir) {
    return "To see every damaged place in the data files, run:\n" + verifyCommand(dataDir);
}

} // namespace

std::string listDamageMessage(const ListDamage& damage, const std::filesystem::path& dataDir) {
    return std::string(DataFiles::kEntries) + " is damaged at byte " + std::to_string(damage.byte) +
           ": " + damage.reason + ".\n\nThe list holds " + entriesPhrase(damage.entriesRead) +
           " read before it; the entries after it are " + "missing.\n\n" + verifyAdvice(dataDir);
}

std::string listDamageStatus(const ListDamage& damage) {
    return std::string(DataFiles::kEntries) + " damaged at byte " + std::to_string(damage.byte) +
           "; " + std::to_string(damage.entriesRead) + " entries read";
}

std::string unreadableRecordReason(const DataSet& data, int card) {
    const int entry = data.tables.entryOf(card);
    if (entry < 1) {
        return std::string(DataFiles::kEntryOfCardTable) + " gives it entry " +
               std::to_string(entry);
    }
    const std::int32_t position = data.tables.positionOfEntry(entry);
    Result<RecordFile> file = RecordFile::open(data.file(DataFiles::kEntries));
    if (!file) return file.error().message;
    if (!file.value().readRecordAt(position, data.recordKey).empty()) return {};
    return std::string(DataFiles::kEntryOfCardTable) + " gives it entry " + std::to_string(entry) +
           " and " + DataFiles::kRecordPositionTable + " that entry the position " +
           std::to_string(position) + ", where " + data.file(DataFiles::kEntries).string() +
           " holds no readable record";
}

std::string unreadableCardMessage(int card, const std::string& reason,
                                  const std::filesystem::path& dataDir) {
    return "Card " + std::to_string(card) + " cannot be read: " + reason + ".\n\n" +
           verifyAdvice(dataDir);
}

} // namespace lithora
