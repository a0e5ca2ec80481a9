#include <sstream>

#include "cli_commands.h"
#include "common/tool_support.h"
#include "list/match_list.h"
#include "search/criterion_names.h"
#include "search/search_run.h"
#include "text/numeric.h"

namespace lithora::cli {

namespace {

struct CardSearchOptions {
    bool orCombination = false;
    std::string within;
    bool widen = false;
    std::vector<std::string> criteria;
};

std::string namesHelp(const std::vector<CriterionName>& names, const char* prefix) {
    std::string help = std::string("criteria FIELD=TEXT; FIELD is ") + prefix + "N or one of:";
    for (const CriterionName& n : names)
        help += " " + std::string(n.name);
    return help;
}

void addCardSearchOptions(CLI::App* app, CardSearchOptions& o,
                          const std::vector<CriterionName>& names, const char* prefix) {
    app->add_flag("--or", o.orCombination, "an entry needs one criterion, not all");
    CLI::Option* within = app->add_option(
        "--within", o.within, "search only these cards (comma-separated), as the current list");
    app->add_flag("--widen", o.widen, "when the cards have no match, search the whole database")
        ->needs(within);
    app->add_option("CRITERIA", o.criteria, namesHelp(names, prefix))->required();
}

// Splits "FIELD=TEXT" arguments into the criterion texts; false, with the message, for a
// criterion that names no field.
template <std::size_t N>
bool readCriteria(const std::vector<std::string>& args, const char* prefix,
                  const std::vector<CriterionName>& names, std::array<std::string, N>& texts,
                  std::string& error) {
    for (const std::string& arg : args) {
        const std::size_t eq = arg.find('=');
        const std::optional<int> field = eq == std::string::npos
                                             ? std::nullopt
                                             : criterionField(std::string_view(arg).substr(0, eq),
                                                              prefix, names, static_cast<int>(N));
        if (!field) {
            error = "criterion '" + arg + "' does not name a field (see --help)";
            return false;
        }
        texts[static_cast<std::size_t>(*field)] = arg.substr(eq + 1);
    }
    return true;
}

// The list the search runs within: the given cards, as a match list of them.
int restrictToCards(Session& session, const std::string& cards) {
    std::vector<bool> flags(static_cast<std::size_t>(session.data.tables.entryCount) + 2, false);
    std::stringstream in(cards);
    std::string item;
    while (std::getline(in, item, ',')) {
        const float value = numericValue(item);
        const int card = value >= 1 && value <= 10000 ? static_cast<int>(value) : 0;
        const int entry = card == 0 ? 0 : session.data.tables.entryOf(card);
        if (entry <= 0 || static_cast<std::size_t>(entry) >= flags.size() ||
            rowOfCard(session, card) == 0) {
            printError("--within: card " + item + " is not in the database at " +
                       session.data.dir.string());
            return tools::kExitDataFault;
        }
        flags[static_cast<std::size_t>(entry)] = true;
    }
    session.matchFlags = std::move(flags);
    if (const Status s = getMatchList(session); !s) {
        printError(s.error().message);
        return tools::kExitDataFault;
    }
    return tools::kExitOk;
}

Json outcomeJson(const Session& session, const SearchOutcome& outcome) {
    Json cards = Json::array();
    if (outcome.end == SearchEnd::Matches) {
        for (const ListRow& row : session.rows)
            cards.push_back(static_cast<int>(numericValue(row[ColCard])));
    }
    return Json{{"count", outcome.matchCount},
                {"status", statusJson(session)},
                {"cards", std::move(cards)},
                {"message", outcome.message}};
}

class SearchCommand : public Command {
  public:
    explicit SearchCommand(CLI::App& app) {
        m_app = app.add_subcommand("search", "find entries as the program's searches do");
        m_app->require_subcommand(1);
        m_form =
            m_app->add_subcommand("form", "criteria typed into the card's main-data fields (tf)");
        addCardSearchOptions(m_form, m_formOptions, formCriterionNames(), "tf");
        m_optics =
            m_app->add_subcommand("optics", "criteria typed into the optics panel's fields (of)");
        addCardSearchOptions(m_optics, m_opticsOptions, opticsCriterionNames(), "of");
    }

    CLI::App* subcommand() const override { return m_app; }

    int run(Session& session, Json& out) override {
        const bool optics = m_optics->parsed();
        const CardSearchOptions& o = optics ? m_opticsOptions : m_formOptions;
        std::string error;
        FormCriterionTexts formTexts;
        OpticsCriterionTexts opticsTexts;
        const bool read =
            optics ? readCriteria(o.criteria, "of", opticsCriterionNames(), opticsTexts, error)
                   : readCriteria(o.criteria, "tf", formCriterionNames(), formTexts, error);
        if (!read) {
            printError(error);
            return tools::kExitUsage;
        }
        if (!o.within.empty()) {
            if (const int code = restrictToCards(session, o.within); code != tools::kExitOk)
                return code;
        }
        const SearchOptions options{o.orCombination, o.within.empty()};
        const bool widen = o.widen;
        const AskFn ask = [widen](std::string_view) { return widen; };
        const SearchOutcome outcome = optics ? runOpticsSearch(session, opticsTexts, options, ask)
                                             : runCardFormSearch(session, formTexts, options, ask);
        if (outcome.end == SearchEnd::Failed) {
            printError(outcome.message);
            return tools::kExitDataFault;
        }
        out = outcomeJson(session, outcome);
        return tools::kExitOk;
    }

  private:
    CLI::App* m_app = nullptr;
    CLI::App* m_form = nullptr;
    CLI::App* m_optics = nullptr;
    CardSearchOptions m_formOptions;
    CardSearchOptions m_opticsOptions;
};

} // namespace

std::unique_ptr<Command> makeSearchCommand(CLI::App& app) {
    return std::make_unique<SearchCommand>(app);
}

} // namespace lithora::cli
