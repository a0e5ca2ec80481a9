#pragma once

// The bundled database opened once for a quality test, and each of its entries handed over
// decoded, for the test to pick its species from.
#include "datafiles/record.h"
#include "search/criteria.h"
#include "session/session.h"

namespace lithora::test {

// Opens the bundled data set into session and calls visit(record) for every entry, its record
// decoded. False when the set or its entry file cannot be read.
template <typename Visit> bool visitBundledEntries(Session& session, Visit visit) {
    session.data.dir = LITHORA_BUNDLED_DATA;
    if (!startUp(session).ok()) return false;
    Result<RecordBuffer> file = RecordBuffer::load(session.data.file(DataFiles::kEntries));
    if (!file) return false;
    RecordDecoder record(session.data.recordKey, false);
    const LookupTables& t = session.data.tables;
    for (int e = 1; e <= t.entryCount; ++e) {
        record.decode(file.value().bodyAt(t.positionOfEntry(e)));
        visit(record);
    }
    return true;
}

} // namespace lithora::test
