#include "list/entry_list.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "datafiles/datadir.h"
#include "text/codepage.h"
#include "text/escapes.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

const std::array<ListColumnInfo, kListColumnCount> kListColumns = {{
    {"#", 0, ColumnAlignment::Left},
    {"Name", 2500, ColumnAlignment::Left},
    {"Formula", 2000, ColumnAlignment::Left},
    {"Group", 2000, ColumnAlignment::Left},
    {"Card#", 0, ColumnAlignment::Left},
    {"a", 0, ColumnAlignment::Centre},
    {"b", 0, ColumnAlignment::Centre},
    {"c", 0, ColumnAlignment::Centre},
    {"Alpha", 0, ColumnAlignment::Centre},
    {"Beta", 0, ColumnAlignment::Centre},
    {"Gamma", 0, ColumnAlignment::Centre},
    {"CrySys", 0, ColumnAlignment::Centre},
    {"Z", 0, ColumnAlignment::Centre},
    {"SpaceGr", 0, ColumnAlignment::Centre},
    {"c/a", 0, ColumnAlignment::Centre},
    {"a/b", 0, ColumnAlignment::Centre},
    {"Volume", 0, ColumnAlignment::Centre},
    {"Status", 0, ColumnAlignment::Centre},
}};

namespace {

// Why the list cannot go on with the record at a byte offset: its length is out of range, or
// runs past the end, or the file ends inside it.
std::string stopReason(const std::string& bytes, std::size_t offset) {
    if (offset + 4 > bytes.size()) {
        return "the file ends inside a record's length (" + std::to_string(bytes.size() - offset) +
               " bytes left)";
    }
    const std::int32_t n =
        readInt32LE(reinterpret_cast<const unsigned char*>(bytes.data() + offset));
    if (n > kMaxEntryRecordLength || n < 1) {
        return "length " + std::to_string(n) + " is outside 1.." +
               std::to_string(kMaxEntryRecordLength);
    }
    return "length " + std::to_string(n) + " runs past the end of the file (" +
           std::to_string(bytes.size() - offset - 4) + " bytes left)";
}

// A ratio of two cell values, or empty when the divisor is 0 (a damaged cell).
std::string ratio(const std::string& numerator, const std::string& denominator, char sep) {
    const float d = numericValue(denominator);
    if (d == 0.0f) return std::string();
    const float r = numericValue(numerator) / d;
    return std::isfinite(r) ? formatNumber(r, 1, 3, sep) : std::string();
}

bool hasAny(std::string_view text, std::string_view letters) {
    return text.find_first_of(letters) != std::string_view::npos;
}

} // namespace

std::string displayName(std::string name) {
    if (contains(name, "@") || contains(name, "!")) toPlainLetters(name);
    return replaceAll(name, "\xC3\x85", "A"); // Å
}

std::vector<std::string> listRowFields(std::string_view record) {
    // Card, name, formula, space group, status, crystal system, group, Z and cell.
    static constexpr std::size_t kShown[] = {0, 1, 2, 4, 9, 12, 13, 25, 26};
    const std::vector<std::string_view> pieces = splitFieldViews(record);
    std::vector<std::string> f(pieces.size());
    for (const std::size_t k : kShown) {
        if (k < pieces.size()) f[k] = cp1252ToUtf8(pieces[k]);
    }
    return f;
}

ListRow buildListRow(std::vector<std::string> f, int rowNumber, int& maxCardNumber, char sep) {
    const bool hasFormula = f.size() > 2;
    if (f.size() < 28) f.resize(28);
    ListRow row;
    row[ColNumber] = std::to_string(rowNumber);
    row[ColCard] = f[0];
    row[ColName] = displayName(f[1]);
    row[ColGroup] = f[13];
    if (hasFormula) row[ColFormula] = f[2];

    const float card = numericValue(f[0]);
    if (card > static_cast<float>(maxCardNumber)) {
        maxCardNumber =
            std::min(kMaxCardNumber, static_cast<int>(std::nearbyint(std::min(card, 1e6f))));
    }

    const std::string system = upperCase(f[12]);
    row[ColCrySys] = system;
    row[ColZ] = f[25];
    row[ColSpaceGr] = f[4];
    row[ColStatus] = f[9];

    if (!f[26].empty()) {
        std::vector<std::string> cell = splitWords(f[26]);
        cell.resize(std::max<std::size_t>(cell.size(), 7));
        if (contains(system, "M")) {
            for (std::size_t i = 3; i <= 5; ++i) {
                if (numericValue(cell[i]) == 90.0f) cell[i].clear();
            }
        }
        row[ColA] = cell[0];
        row[ColB] = cell[1];
        row[ColC] = cell[2];
        if (!hasAny(system, "OQCH")) {
            row[ColAlpha] = cell[3];
            row[ColBeta] = cell[4];
            row[ColGamma] = cell[5];
        }
        row[ColCOverA] = ratio(cell[2], cell[0], sep);
        row[ColAOverB] = ratio(cell[0], cell[1], sep);
        row[ColVolume] = cell[6];
    }
    return row;
}

Result<FullList> readFullList(const DataSet& data, const ListFilter& filter, int& maxCardNumber,
                              char sep) {
    Result<SequentialRecords> file = SequentialRecords::load(data.file(DataFiles::kEntries));
    if (!file) return file.error();
    SequentialRecords& records = file.value();
    FullList list;
    std::unordered_set<std::string> collected;

    // The header record is not read, only stepped over.
    std::int64_t next = 1; // 1-based position of the record about to be read
    if (const std::optional<SequentialRecords::Raw> header = records.next()) {
        next = header->position + 4 + std::max(header->length, 0);
    } else if (!records.bytes().empty()) {
        list.damage = ListDamage{0, stopReason(records.bytes(), 0), 0};
        return list;
    }
    int r = 0;
    std::string text;
    auto stop = [&](std::string reason) {
        list.damage = ListDamage{next - 1, std::move(reason), r};
    };
    while (!records.atEnd()) {
        const std::optional<SequentialRecords::Raw> raw = records.next(kMaxEntryRecordLength);
        if (!raw || raw->length < 1) {
            stop(stopReason(records.bytes(), static_cast<std::size_t>(next - 1)));
            break;
        }
        text.assign(raw->body);
        xorWithKey(text, data.recordKey);
        std::vector<std::string> f = listRowFields(text);
        if (f.size() == 1) {
            stop("the record holds no fields (its bytes or the key are damaged)");
            break;
        }
        next = raw->position + 4 + raw->length;
        ++r;
        const std::string& status = fieldOrEmpty(f, 9);
        const std::string& group = fieldOrEmpty(f, 13);
        if (filter.imaOnly && status != "A") continue;
        if (!filter.group.empty()) {
            const std::string upperGroup = upperCase(group);
            if (filter.group == "ALUM" && upperGroup != "ALUM") continue;
            if (upperGroup.compare(0, filter.group.size(), filter.group) != 0) continue;
        }
        if (upperCase(status) == "GROUP" && !group.empty() && collected.insert(group).second) {
            list.groupNames.push_back(group);
        }
        list.rows.push_back(
            buildListRow(std::move(f), static_cast<int>(list.rows.size()) + 1, maxCardNumber, sep));
        if (r > data.tables.entryCount) break;
    }
    if (!list.damage && r < data.tables.entryCount) {
        list.damage = ListDamage{next - 1,
                                 "the file ends after " + std::to_string(r) + " of the " +
                                     std::to_string(data.tables.entryCount) + " entries that " +
                                     DataFiles::kEntryOfCardTable + " counts",
                                 r};
    }
    return list;
}

std::vector<std::string> groupMenuCaptions(std::vector<std::string> names) {
    // Sorted by the names' codes in the records' own character set.
    auto key = [](const std::string& s) {
        std::string bytes;
        (void)utf8ToCp1252(s, bytes);
        return bytes;
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        const std::string ka = key(a);
        const std::string kb = key(b);
        return std::lexicographical_compare(
            ka.begin(), ka.end(), kb.begin(), kb.end(), [](char x, char y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            });
    });
    std::vector<std::string> captions;
    captions.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        captions.push_back(std::to_string(i + 1) + " - " + names[i]);
    }
    return captions;
}

std::string groupNameOfCaption(std::string_view caption) {
    const std::size_t dash = caption.find('-');
    if (dash == std::string_view::npos) return std::string();
    return std::string(trimBlanks(caption.substr(dash + 1)));
}

std::string loadGroupMembersCaption(std::string_view currentGroup) {
    return "Load Group Members (" + std::string(currentGroup) + ")";
}

std::string entriesStatusText(std::size_t rowCount) {
    return std::to_string(rowCount) + " entries";
}

std::string listKindStatusText(bool imaOnly) {
    return imaOnly ? "IMA entries listed" : "All entries listed";
}

} // namespace lithora
