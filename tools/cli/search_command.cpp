#include <cmath>
#include <sstream>

#include "cli_commands.h"
#include "common/tool_support.h"
#include "list/match_list.h"
#include "search/criterion_names.h"
#include "search/element_search.h"
#include "search/near_miss.h"
#include "search/search_run.h"
#include "search/text_search.h"
#include "text/numeric.h"
#include "text/split.h"

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

// Comma-separated element symbols; false, with the message, for one that names no element.
bool readSymbols(const std::string& list, std::vector<int>& atomicNumbers, std::string& error) {
    std::stringstream in(list);
    std::string symbol;
    while (std::getline(in, symbol, ',')) {
        const int z = atomicNumber(std::string(trimBlanks(symbol)));
        if (z == 0) {
            error = "'" + symbol + "' is no element symbol from H to Lr";
            return false;
        }
        atomicNumbers.push_back(z);
    }
    return true;
}

// A measured amount as JSON: rounded to the 4 decimals the texts show.
double rounded(float value) {
    return std::round(static_cast<double>(value) * 1e4) / 1e4;
}

Json nearMissesJson(const FormCriterionTexts& typed, bool orCombination,
                    const Result<NearMissList>& list) {
    const bool applies = nearMissesApply(parseFormCriteria(typed), orCombination);
    Json entries = Json::array();
    for (const NearMiss& m : list.value().misses) {
        Json entry{{"card", m.card},
                   {"name", m.name},
                   {"criterion", m.criterion},
                   {"label", m.label},
                   {"typed", m.typed},
                   {"found", m.check.found},
                   {"measured", m.check.measured},
                   {"text", m.text}};
        if (m.check.measured) {
            entry["typedValue"] = rounded(m.check.typedValue);
            entry["offBy"] = rounded(m.check.offBy);
            entry["tolerance"] = rounded(m.check.tolerance);
        }
        entries.push_back(std::move(entry));
    }
    return Json{
        {"applies", applies},
        {"total", list.value().total},
        {"listed", list.value().misses.size()},
        {"summary", applies ? nearMissSummary(list.value()) : std::string(kNearMissesNeedAnd)},
        {"entries", std::move(entries)}};
}

struct ElementOptions {
    std::string required;
    std::string possible;
    std::string preset;
    int max = 0;
};

struct TextOptions {
    std::string category;
    std::string required;
    int max = 0;
    bool anySetting = false;
    std::vector<std::string> keywords;
};

class SearchCommand : public Command {
  public:
    explicit SearchCommand(CLI::App& app) {
        m_app = app.add_subcommand("search", "find entries as the program's searches do");
        m_app->require_subcommand(1);
        m_form =
            m_app->add_subcommand("form", "criteria typed into the card's main-data fields (tf)");
        addCardSearchOptions(m_form, m_formOptions, formCriterionNames(), "tf");
        m_form->add_flag("--near-misses", m_nearMisses,
                         "also list the entries that fail exactly one criterion of an AND search, "
                         "which one and by how much: the closest " +
                             std::to_string(kNearMissCap) + ", in \"nearMisses\"");
        m_optics =
            m_app->add_subcommand("optics", "criteria typed into the optics panel's fields (of)");
        addCardSearchOptions(m_optics, m_opticsOptions, opticsCriterionNames(), "of");

        m_elements = m_app->add_subcommand("elements", "the element search of the search window");
        m_elements->add_option("--required", m_elementOptions.required,
                               "elements the formula must hold (e.g. Fe,S)");
        CLI::Option* possible = m_elements->add_option("--possible", m_elementOptions.possible,
                                                       "elements the formula may hold besides");
        m_elements
            ->add_option("--preset", m_elementOptions.preset,
                         "possible elements: light, common or all")
            ->check(CLI::IsMember({"light", "common", "all"}))
            ->excludes(possible);
        m_elements->add_option("--max", m_elementOptions.max,
                               "at most this many elements (0: no limit)");

        m_text =
            m_app->add_subcommand("text", "the text and unit-cell search of the search window");
        std::string categories = "category caption (letter case ignored) or index 0..13:";
        for (std::string_view c : kTextCategories)
            categories += " '" + std::string(c) + "'";
        m_text->add_option("--category", m_textOptions.category, categories)->required();
        m_text->add_option("--required", m_textOptions.required,
                           "elements the formula must hold (e.g. Si,O)");
        m_text->add_option("--max", m_textOptions.max,
                           "at most this many elements with --required (0: no limit)");
        m_text->add_option("KEYWORD", m_textOptions.keywords, "keywords; +-N sets the tolerance")
            ->required();
        m_text->add_flag("--any-setting", m_textOptions.anySetting,
                         "Unit Cell only: find the cell in any setting (other axes, another "
                         "centring, hexagonal or rhombohedral axes) by comparing reduced "
                         "primitive cells; needs all six values, a lattice letter P A B C I F R "
                         "may stand among the keywords");
        for (CLI::App* search : {m_form, m_optics, m_elements, m_text})
            m_output.addOption(search);
    }

    CLI::App* subcommand() const override { return m_app; }
    const TableOutput* tableOutput() const override { return &m_output; }

    int run(Session& session, Json& out) override {
        if (m_elements->parsed()) return runElements(session, out);
        if (m_text->parsed()) return runText(session, out);
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
        if (m_nearMisses && m_output.wantsTable()) {
            printError("search form: --near-misses is answered in JSON only, not with --format");
            return tools::kExitUsage;
        }
        if (!o.within.empty()) {
            if (const int code = restrictToCards(session, o.within); code != tools::kExitOk)
                return code;
        }
        const SearchOptions options{o.orCombination, o.within.empty()};
        const bool widen = o.widen;
        bool widened = false;
        const AskFn ask = [widen, &widened](std::string_view) { return widened = widen; };
        // The cards searched: the search replaces the list by its matches.
        const std::vector<bool> scope = searchScope(session, options.fullScope);
        const SearchOutcome outcome = optics ? runOpticsSearch(session, opticsTexts, options, ask)
                                             : runCardFormSearch(session, formTexts, options, ask);
        if (outcome.end == SearchEnd::Failed) {
            printError(outcome.message);
            return tools::kExitDataFault;
        }
        out = outcomeJson(session, outcome);
        keepRows(session, outcome);
        if (!optics && m_nearMisses && outcome.end != SearchEnd::NoCriteria) {
            const Result<NearMissList> misses =
                findNearMisses(session.data, formTexts, o.orCombination,
                               widened ? searchScope(session, true) : scope, session.maxCardNumber);
            if (!misses) {
                printError("The near misses cannot be found: " + misses.error().message);
                return tools::kExitDataFault;
            }
            out["nearMisses"] = nearMissesJson(formTexts, o.orCombination, misses);
        }
        return tools::kExitOk;
    }

  private:
    int runElements(Session& session, Json& out) {
        ElementSelection selection;
        std::vector<int> required;
        std::vector<int> possible;
        std::string error;
        if (!readSymbols(m_elementOptions.required, required, error) ||
            !readSymbols(m_elementOptions.possible, possible, error)) {
            printError("search elements: " + error);
            return tools::kExitUsage;
        }
        const std::string& preset = m_elementOptions.preset;
        if (!preset.empty())
            selection.applyPreset(preset == "light" ? 1 : preset == "common" ? 2 : 3);
        for (int z : possible)
            selection.possible[static_cast<std::size_t>(z)] = true;
        for (int z : required)
            selection.require(z);
        return finish(session, runElementSearch(session, selection, m_elementOptions.max), out);
    }

    int runText(Session& session, Json& out) {
        const int category = textCategoryIndex(m_textOptions.category);
        if (category < 0) {
            printError("search text: --category '" + m_textOptions.category +
                       "' is no category (see --help)");
            return tools::kExitUsage;
        }
        if (m_textOptions.anySetting && category != CategoryUnitCell) {
            printError("search text: --any-setting is for --category \"Unit Cell\" only");
            return tools::kExitUsage;
        }
        std::vector<int> required;
        std::string error;
        if (!readSymbols(m_textOptions.required, required, error)) {
            printError("search text: " + error);
            return tools::kExitUsage;
        }
        std::string symbols;
        for (int z : required)
            symbols += " " + std::string(elementSymbol(z)) + ", ";
        std::string keywords;
        for (const std::string& k : m_textOptions.keywords)
            keywords += k + " ";
        const int code = finish(session,
                                runTextSearch(session, keywords, category, symbols,
                                              m_textOptions.max, m_textOptions.anySetting),
                                out);
        if (m_textOptions.anySetting && code == tools::kExitOk) out["anySetting"] = true;
        return code;
    }

    int finish(const Session& session, const SearchOutcome& outcome, Json& out) {
        if (outcome.end == SearchEnd::Failed) {
            printError(outcome.message);
            return tools::kExitDataFault;
        }
        out = outcomeJson(session, outcome);
        keepRows(session, outcome);
        return tools::kExitOk;
    }

    // The match list's rows, as "cards" lists them; none when the search found nothing.
    void keepRows(const Session& session, const SearchOutcome& outcome) {
        m_output.setRows(outcome.end == SearchEnd::Matches ? session.rows : std::vector<ListRow>());
    }

    CLI::App* m_elements = nullptr;
    CLI::App* m_text = nullptr;
    ElementOptions m_elementOptions;
    TextOptions m_textOptions;
    CLI::App* m_app = nullptr;
    CLI::App* m_form = nullptr;
    bool m_nearMisses = false;
    CLI::App* m_optics = nullptr;
    CardSearchOptions m_formOptions;
    CardSearchOptions m_opticsOptions;
    TableOutput m_output;
};

} // namespace

std::unique_ptr<Command> makeSearchCommand(CLI::App& app) {
    return std::make_unique<SearchCommand>(app);
}

} // namespace lithora::cli
