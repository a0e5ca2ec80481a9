#pragma once

#include <filesystem>
#include <string>

#include "datafiles/dataset.h"
#include "list/entry_list.h"

// What the user is told about damage met while reading: a list that stopped short of the entry
// count, and a card whose record cannot be read. Each names the file and the place, and points
// to lithora-pack verify, which lists every damaged place.
namespace lithora {

// "lithora.a is damaged at byte 1234: length 99999 is outside 1..2023. The list holds the 56
// entries read before it. ..." with the command that lists every fault.
std::string listDamageMessage(const ListDamage& damage, const std::filesystem::path& dataDir);

// The short form for the status bar: "lithora.a damaged at byte 1234; 56 entries read".
std::string listDamageStatus(const ListDamage& damage);

// Why the entry record of a card cannot be read: lithora.d gives the card no entry, or
// lithora.g gives that entry a position where lithora.a holds no record with a body. Empty
// when the record can be read.
std::string unreadableRecordReason(const DataSet& data, int card);

// "Card 12 cannot be read: REASON." and the command that lists every fault.
std::string unreadableCardMessage(int card, const std::string& reason,
                                  const std::filesystem::path& dataDir);

// The command a user runs to see every damaged place of a data directory.
std::string verifyCommand(const std::filesystem::path& dataDir);

} // namespace lithora
