#include <cmath>

#include "card/card_texts.h"
#include "cli_commands.h"
#include "common/tool_support.h"
#include "text/numeric.h"

namespace lithora::cli {

namespace {

Json stateJson(const CardState& s) {
    return Json{
        {"currentCardNumber", s.currentCardNumber},
        {"currentEntryIndex", s.currentEntryIndex},
        {"currentName", s.currentName},
        {"currentRawName", s.currentRawName},
        {"currentFormula", s.currentFormula},
        {"lastSelection", s.lastSelection},
        {"currentSynonym", s.currentSynonym},
        {"currentElements", s.currentElements},
        {"currentCrystalSystemCode", s.currentCrystalSystemCode},
        {"currentCrystalSystem", s.currentCrystalSystem},
        {"currentSpaceGroup", s.currentSpaceGroup},
        {"currentCrystalClass", s.currentCrystalClass},
        {"currentCell", s.currentCell},
        {"currentCellVolume", s.currentCellVolume},
        {"currentMohs", s.currentMohs},
        {"currentZ", s.currentZ},
        {"currentDensityMeasured", s.currentDensityMeasured},
        {"currentDensityCalculated", s.currentDensityCalculated},
        {"currentStrunzClass", s.currentStrunzClass},
        {"currentGroup", s.currentGroup},
        {"currentNameReference", s.currentNameReference},
        {"currentCompareWith", s.currentCompareWith},
        {"currentIcddNumber", s.currentIcddNumber},
        {"currentAppearance", s.currentAppearance},
        {"currentTypeLocality", s.currentTypeLocality},
        {"currentNotes", s.currentNotes},
        {"currentDSpacingText", s.currentDSpacingText},
        {"currentIntensityText", s.currentIntensityText},
        {"currentDIPairs", s.currentDIPairs},
        {"currentDSpacings", s.currentDSpacings},
        {"currentIntensities", s.currentIntensities},
        {"currentStatus", s.currentStatus},
        {"currentLastUpdated", s.currentLastUpdated},
        {"currentReferences", s.currentReferences},
        {"currentReferenceCount", s.currentReferenceCount},
        {"currentOpticalRecord", s.currentOpticalRecord},
    };
}

class CardCommand : public Command {
  public:
    explicit CardCommand(CLI::App& app) {
        m_app = app.add_subcommand("card", "the card as the card window shows it");
        m_app->add_option("CARD_NUMBER", m_card, "card number (1..10000)")->required();
    }

    CLI::App* subcommand() const override { return m_app; }

    int run(Session& session, Json& out) override {
        if (const int code = makeCardCurrent(session, m_card); code != tools::kExitOk) return code;
        const CardState& state = session.card;
        const ReferencePage page = referencePage(state, 1);
        out = {{"status", statusJson(session)},
               {"state", stateJson(state)},
               {"tf", mainFieldTexts(state)},
               {"of", opticsFieldTexts(state.currentOpticalRecord, session.decimalSeparator)},
               {"lbr", page.numbers}};
        return tools::kExitOk;
    }

  private:
    CLI::App* m_app = nullptr;
    int m_card = 0;
};

} // namespace

std::unique_ptr<Command> makeCardCommand(CLI::App& app) {
    return std::make_unique<CardCommand>(app);
}

} // namespace lithora::cli
