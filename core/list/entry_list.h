#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "datafiles/dataset.h"

namespace lithora {

enum ListColumn {
    ColNumber = 0,
    ColName,
    ColFormula,
    ColGroup,
    ColCard,
    ColA,
    ColB,
    ColC,
    ColAlpha,
    ColBeta,
    ColGamma,
    ColCrySys,
    ColZ,
    ColSpaceGr,
    ColCOverA,
    ColAOverB,
    ColVolume,
    ColStatus,
    kListColumnCount
};

enum class ColumnAlignment { Left, Centre };

struct ListColumnInfo {
    std::string_view header;
    int width; // twips at start; 0 hides the column
    ColumnAlignment alignment;
};

extern const std::array<ListColumnInfo, kListColumnCount> kListColumns;

using ListRow = std::array<std::string, kListColumnCount>;

// A stored name (UTF-8) as the list shows it: letter codes as plain letters, Å as A.
std::string displayName(std::string name);

// The fields of an unscrambled entry record (Windows-1252) that a list row is built from, in
// UTF-8: the record's every field is counted, but only those the row shows are converted; the
// others are left empty.
std::vector<std::string> listRowFields(std::string_view record);

// Builds a list row from the fields of an entry record; rowNumber is the row's 1-based place.
// Raises maxCardNumber when the row's card number is higher (never above 10000).
ListRow buildListRow(std::vector<std::string> fields, int rowNumber, int& maxCardNumber,
                     char decimalSeparator);

struct ListFilter {
    bool imaOnly = false; // only entries whose status is exactly "A"
    std::string group;    // upper-cased group name, or empty for every entry
};

// Where the reading of the entry index stopped short: the byte offset (from 0, as
// lithora-pack verify counts) of the record it could not read, what was wrong with it, and how
// many entries had been read before it.
struct ListDamage {
    std::int64_t byte = 0;
    std::string reason;
    int entriesRead = 0;
};

struct FullList {
    std::vector<ListRow> rows;
    std::vector<std::string> groupNames; // as written, in file order, each once
    std::optional<ListDamage> damage;    // the reading stopped before the entry count
};

// Reads lithora.a from its start and builds a row for every entry the filter lets through.
// A length outside 1..2023, a record without "|", or more records than entryCount end the list;
// a missing or unreadable file is an error. The list keeps what was read before the stop, and
// damage says where it was when the file holds fewer sound records than the entry count.
Result<FullList> readFullList(const DataSet& data, const ListFilter& filter, int& maxCardNumber,
                              char decimalSeparator);

// "1 - Amphibole", "2 - Garnet", ...: the group names sorted by their character codes.
std::vector<std::string> groupMenuCaptions(std::vector<std::string> groupNames);

// The group name a submenu caption stands for: the trimmed text after its first "-".
std::string groupNameOfCaption(std::string_view caption);

// The group menu's item for the current card: "Load Group Members (NAME)", enabled only when
// the card belongs to a group.
std::string loadGroupMembersCaption(std::string_view currentGroup);

std::string entriesStatusText(std::size_t rowCount);
std::string listKindStatusText(bool imaOnly);

} // namespace lithora
