#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/result.h"
#include "datafiles/dataset.h"
#include "datafiles/reference_patterns.h"
#include "patterns/identification_lines.h"

// What the identification reads of every entry record (card, eight lines, name, formula,
// elements), read from lithora.a once and kept with the data set until the file changes, so
// that ranking a pattern does not read and unscramble every record again.
namespace lithora {

struct EntryNames {
    std::string name, formula, elements; // as stored (Windows-1252)
};

class EntrySummaries {
  public:
    // Entries 1 .. count(); any other number is an entry without a record.
    int count() const { return static_cast<int>(m_card.size()) - 1; }
    // The entry's card number; 0 when it has no record.
    int card(int entry) const { return valid(entry) ? m_card[index(entry)] : 0; }
    // The entry record's own eight lines (identificationLines without a pattern store).
    const IdentificationLines& cardLines(int entry) const {
        return valid(entry) ? m_lines[index(entry)] : m_lines[0];
    }
    bool hasLines(int entry) const { return valid(entry) && m_hasLines[index(entry)]; }
    const EntryNames& names(int entry) const {
        return valid(entry) ? m_names[index(entry)] : m_names[0];
    }

  private:
    friend Result<std::shared_ptr<const EntrySummaries>> entrySummariesOf(DataSet& data);
    bool valid(int entry) const {
        return entry >= 1 && static_cast<std::size_t>(entry) < m_card.size();
    }
    static std::size_t index(int entry) { return static_cast<std::size_t>(entry); }

    // By entry; element 0 stands for every entry without a record.
    std::vector<int> m_card = std::vector<int>(1, 0);
    std::vector<IdentificationLines> m_lines = std::vector<IdentificationLines>(1);
    std::vector<bool> m_hasLines = std::vector<bool>(1, false);
    std::vector<EntryNames> m_names = std::vector<EntryNames>(1);
    PatternFileStamp m_stamp;
};

// The summaries of the data set, read again when lithora.a changed; an error when it cannot be
// read.
Result<std::shared_ptr<const EntrySummaries>> entrySummariesOf(DataSet& data);

} // namespace lithora
