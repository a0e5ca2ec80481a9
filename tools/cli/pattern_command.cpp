#include <cmath>

#include "cli_commands.h"
#include "common/tool_support.h"
#include "datafiles/record.h"
#include "patterns/identification_lines.h"
#include "source/source_set.h"
#include "text/codepage.h"

namespace lithora::cli {

namespace {

// Stored d and intensities are whole counts of 0.0001 Å and 0.01; printed as those decimals.
double rounded(double v, double scale) {
    return std::round(v * scale) / scale;
}

class PatternCommand : public Command {
  public:
    explicit PatternCommand(CLI::App& app) {
        m_app = app.add_subcommand(
            "pattern", "the lines the identification compares with: the card's whole reference "
                       "pattern (lithora.p), else its eight lines");
        m_app->add_option("CARD_NUMBER", m_card, "card number (1..10000)")->required();
        m_app->footer(
            "Prints {\"card\": N, \"name\": NAME, \"source\": \"pattern\" or \"card lines\", "
            "\"iic\": I/Ic or null, \"linesCut\": N, \"lines\": [{\"d\": D, \"intensity\": I, "
            "\"hkl\": [H, K, L], \"multiplicity\": M}, ...]}: lines in decreasing d, "
            "intensities relative to the strongest line (100); hkl and multiplicity are null "
            "for card lines. A lithora.p that is damaged is reported on standard error and the "
            "cards after the damage have their card lines.");
    }

    CLI::App* subcommand() const override { return m_app; }

    int run(Session& session, Json& out) override {
        if (const int code = makeCardCurrent(session, m_card); code != tools::kExitOk) return code;
        const std::shared_ptr<const ReferencePatterns> patterns =
            referencePatternsOf(session.data, session.errorSink);
        const CardState& card = session.card;
        const IdentificationLines lines = identificationLines(
            patterns.get(), m_card, card.currentDSpacingText, card.currentIntensityText);
        const std::optional<PatternView>& pattern = lines.pattern();
        Json rows = Json::array();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            Json row{{"d", rounded(lines.d()[i], 1e4)},
                     {"intensity", rounded(lines.intensity()[i], 1e2)}};
            if (pattern) {
                const Miller& m = pattern->hkl[i];
                row["hkl"] = Json::array({m.h, m.k, m.l});
                row["multiplicity"] = pattern->multiplicity[i];
            } else {
                row["hkl"] = nullptr;
                row["multiplicity"] = nullptr;
            }
            rows.push_back(std::move(row));
        }
        Json iic = nullptr;
        if (pattern && pattern->iic()) iic = *pattern->iic();
        out = {{"card", m_card},
               {"name", card.currentName},
               {"source", pattern ? "pattern" : "card lines"},
               {"iic", iic},
               {"linesCut", pattern ? pattern->cut : 0u},
               {"lines", std::move(rows)}};
        return tools::kExitOk;
    }

  private:
    CLI::App* m_app = nullptr;
    int m_card = 0;
};

} // namespace

std::unique_ptr<Command> makePatternCommand(CLI::App& app) {
    return std::make_unique<PatternCommand>(app);
}

} // namespace lithora::cli
