#pragma once

#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "output_format.h"
#include "session/session.h"

// lithora-cli's commands. Each registers its subcommand and runs against a session that has
// done the program's start-up; new commands add a file and one line in main.cpp.
namespace lithora::cli {

// Objects keep their keys in the order written: the list columns, the card's members.
using Json = nlohmann::ordered_json;

struct Command {
    virtual ~Command() = default;
    virtual CLI::App* subcommand() const = 0;
    // Runs after start-up; writes the command's JSON object or returns an exit code != 0
    // after printing one line on standard error.
    virtual int run(Session& session, Json& out) = 0;
    // Commands whose answer is a list take --format and keep the list here after run; main.cpp
    // then writes it as CSV or TSV in place of the JSON object when asked.
    virtual const TableOutput* tableOutput() const { return nullptr; }
};

std::unique_ptr<Command> makeListCommand(CLI::App& app);
std::unique_ptr<Command> makeCardCommand(CLI::App& app);
std::unique_ptr<Command> makeSearchCommand(CLI::App& app);
std::unique_ptr<Command> makePrintCommand(CLI::App& app);
std::unique_ptr<Command> makeIdentifyCommand(CLI::App& app);
std::unique_ptr<Command> makeCompareCommand(CLI::App& app);
std::unique_ptr<Command> makePatternCommand(CLI::App& app);

// Selects the row of a card and makes it current, as a click on the row does; an exit code
// other than 0, after one line on standard error, when the card is not there or unreadable.
int makeCardCurrent(Session& session, int card);

// The status bar's panels 1 and 2.
Json statusJson(const Session& session);

void printError(const std::string& message);

} // namespace lithora::cli
