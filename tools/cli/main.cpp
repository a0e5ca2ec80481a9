// lithora-cli: answers queries on a data directory headless, one JSON object per command.
#include <iostream>
#include <memory>
#include <vector>

#include "cli_commands.h"
#include "common/tool_support.h"
#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "session/data_damage.h"

using namespace lithora;
using namespace lithora::cli;

namespace lithora::cli {

void printError(const std::string& message) {
    tools::printError("lithora-cli", message);
}

int makeCardCurrent(Session& session, int card) {
    const int row = card >= 1 && card <= kMaxCardNumber ? rowOfCard(session, card) : 0;
    if (row == 0) {
        printError("card " + std::to_string(card) + " is not in the database at " +
                   session.data.dir.string());
        return tools::kExitDataFault;
    }
    // Tables that lead nowhere are a data fault, named as such.
    const std::string unreadable = unreadableRecordReason(session.data, card);
    if (!unreadable.empty()) {
        printError("card " + std::to_string(card) + " could not be read: " + unreadable);
        return tools::kExitDataFault;
    }
    session.selectedRow = row;
    if (!loadSelectedCard(session)) {
        printError("card " + std::to_string(card) + " could not be read from " +
                   session.data.file(DataFiles::kEntries).string());
        return tools::kExitDataFault;
    }
    return tools::kExitOk;
}

Json statusJson(const Session& session) {
    return Json::array({session.status[0], session.status[1]});
}

} // namespace lithora::cli

int main(int argc, char** argv) {
    CLI::App app{"Answers queries on a Lithora data directory; prints one JSON object.",
                 "lithora-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string(LITHORA_VERSION));
    std::string dataDir;
    app.add_option("--data", dataDir, "data directory (default: INDEX beside this program)")
        ->type_name("INDEX_DIR");

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(makeListCommand(app));
    commands.push_back(makeCardCommand(app));
    commands.push_back(makeSearchCommand(app));
    commands.push_back(makePrintCommand(app));
    commands.push_back(makeIdentifyCommand(app));
    commands.push_back(makeCompareCommand(app));
    commands.push_back(makePatternCommand(app));

    if (const int code = tools::parseArguments(app, argc, argv); code >= 0) return code;

    Session session;
    session.data.dir = dataDir.empty() ? dataDirectoryBeside(tools::executablePath(argv[0]))
                                       : std::filesystem::path(dataDir);
    std::error_code ec;
    if (!std::filesystem::is_directory(session.data.dir, ec)) {
        printError("no data directory at " + session.data.dir.string());
        return tools::kExitDataFault;
    }
    // The table loaders go on after a failure, as the program does; their message goes here.
    session.errorSink = [](std::string_view operation, std::string_view message) {
        std::cerr << "lithora-cli: " << operation << ": " << message << '\n';
    };
    if (Status s = startUp(session); !s) {
        printError(s.error().message);
        return tools::kExitDataFault;
    }
    // A list cut short by damage is still answered from, but never in silence.
    if (const std::optional<ListDamage>& damage = session.listDamage) {
        printError("warning: " + listDamageStatus(*damage) + " (" + damage->reason + "); run " +
                   verifyCommand(session.data.dir) + " to see every damaged place");
    }

    for (const auto& command : commands) {
        if (!*command->subcommand()) continue;
        Json out;
        if (const int code = command->run(session, out); code != tools::kExitOk) return code;
        if (const TableOutput* table = command->tableOutput(); table && table->wantsTable()) {
            std::cout << table->text() << std::flush;
            return tools::kExitOk;
        }
        // identify --batch has written its answer line by line as each file was done.
        if (out.is_null()) return tools::kExitOk;
        std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << '\n';
        return tools::kExitOk;
    }
    return tools::kExitUsage;
}
