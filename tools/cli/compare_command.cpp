#include <QString>
#include <cmath>

#include "cli_commands.h"
#include "common/tool_support.h"
#include "compare/card_compare.h"
#include "print/card_page_painter.h"

namespace lithora::cli {

namespace {

double rounded(double v, double scale) {
    return std::round(v * scale) / scale;
}

Json comparisonJson(const CardComparison& comparison) {
    Json cards = Json::array();
    for (const ComparedCard& card : comparison.cards) {
        Json lines = Json::array();
        for (const DiffractionLine& line : card.lines)
            lines.push_back({{"d", rounded(line.d, 1e4)}, {"intensity", line.intensity}});
        cards.push_back({{"card", card.card}, {"name", card.name}, {"lines", std::move(lines)}});
    }
    Json rows = Json::array();
    int differing = 0;
    for (const ComparisonRow& row : comparison.rows) {
        rows.push_back({{"section", row.section},
                        {"field", row.field},
                        {"values", row.values},
                        {"differ", row.differ}});
        differing += row.differ ? 1 : 0;
    }
    Json overlaps = Json::array();
    for (const LineOverlap& overlap : overlappingLines(comparison)) {
        Json members = Json::array();
        for (const int c : overlap.cards)
            members.push_back(comparison.cards[static_cast<std::size_t>(c)].card);
        overlaps.push_back({{"d", rounded(overlap.d, 1e4)}, {"cards", std::move(members)}});
    }
    return Json{{"cards", std::move(cards)},
                {"differingRows", differing},
                {"rows", std::move(rows)},
                {"sharedLines", std::move(overlaps)}};
}

class CompareCommand : public Command {
  public:
    explicit CompareCommand(CLI::App& app) {
        m_app = app.add_subcommand(
            "compare", "two to six cards side by side: every field with a flag where they differ");
        m_app->add_option("CARD_NUMBER", m_cards, "the cards to compare, 2 to 6 card numbers")
            ->required()
            ->expected(kMinComparedCards, kMaxComparedCards);
        m_app->add_option("--pdf", m_file, "also write the printed comparison as a PDF file")
            ->type_name("FILE");
    }

    CLI::App* subcommand() const override { return m_app; }

    int run(Session& session, Json& out) override {
        for (std::size_t i = 0; i < m_cards.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (m_cards[i] == m_cards[j]) {
                    printError("card " + std::to_string(m_cards[i]) + " is given twice");
                    return tools::kExitUsage;
                }
            }
        }
        const Result<CardComparison> comparison = compareCards(session, m_cards);
        if (!comparison) {
            printError(comparison.error().message);
            return tools::kExitDataFault;
        }
        out = comparisonJson(comparison.value());
        if (!m_file.empty()) {
            const Result<int> pages =
                gui::writeComparisonPdf(comparison.value(), QString::fromStdString(m_file));
            if (!pages) {
                printError(pages.error().message);
                return tools::kExitDataFault;
            }
            out["pdf"] = Json{{"file", m_file}, {"pages", pages.value()}};
        }
        return tools::kExitOk;
    }

  private:
    CLI::App* m_app = nullptr;
    std::vector<int> m_cards;
    std::string m_file;
};

} // namespace

std::unique_ptr<Command> makeCompareCommand(CLI::App& app) {
    return std::make_unique<CompareCommand>(app);
}

} // namespace lithora::cli
