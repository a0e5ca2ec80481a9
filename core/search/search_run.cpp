#include "search/search_run.h"

namespace lithora {

namespace {

using PassFn = std::function<Result<SearchPass>(const std::vector<bool>& scope)>;

// The steps both card-window searches share once their criteria are read.
SearchOutcome runPasses(Session& session, bool fullScope, const PassFn& pass,
                        bool listHoldsEverything, const AskFn& askWiden) {
    SearchOutcome outcome;
    bool full = fullScope;
    for (;;) {
        Result<SearchPass> result = pass(searchScope(session, full));
        if (!result) {
            outcome.end = SearchEnd::Failed;
            outcome.message = "The search cannot go on: " + result.error().message;
            return outcome;
        }
        session.matchFlags = std::move(result.value().matchFlags);
        session.matchCount = result.value().matchCount;
        session.status[1] = std::to_string(session.matchCount) + " matches";
        outcome.matchCount = session.matchCount;
        if (session.matchCount > 0) {
            if (const Status s = getMatchList(session); !s) {
                outcome.end = SearchEnd::Failed;
                outcome.message = "The matches cannot be listed: " + s.error().message;
                return outcome;
            }
            outcome.end = SearchEnd::Matches;
            outcome.message.clear();
            return outcome;
        }
        if (full || listHoldsEverything ||
            result.value().entriesTested == session.data.tables.entryCount) {
            outcome.end = SearchEnd::NoMatches;
            outcome.message = std::string(kNoMatchesMessage);
            return outcome;
        }
        outcome.message = std::string(kWidenQuestion);
        if (!askWiden || !askWiden(kWidenQuestion)) {
            outcome.end = SearchEnd::Declined;
            return outcome;
        }
        full = true;
    }
}

} // namespace

SearchOutcome finishWindowSearch(Session& session, Result<SearchPass> pass,
                                 std::string_view title) {
    SearchOutcome outcome;
    outcome.title = std::string(title);
    if (!pass) {
        outcome.end = SearchEnd::Failed;
        outcome.message = "The search cannot go on: " + pass.error().message;
        return outcome;
    }
    session.matchFlags = std::move(pass.value().matchFlags);
    session.matchCount = pass.value().matchCount;
    outcome.matchCount = session.matchCount;
    session.status[0] = "Search Results";
    session.status[1] = std::to_string(session.matchCount) + " matches";
    if (session.matchCount == 0) {
        outcome.end = SearchEnd::NoMatches;
        outcome.message = std::string(kNoMatchesMessage);
        return outcome;
    }
    if (const Status s = getMatchList(session); !s) {
        outcome.end = SearchEnd::Failed;
        outcome.message = "The matches cannot be listed: " + s.error().message;
        return outcome;
    }
    outcome.end = SearchEnd::Matches;
    return outcome;
}

std::vector<bool> searchScope(const Session& session, bool fullScope) {
    std::vector<bool> scope(static_cast<std::size_t>(std::max(session.maxCardNumber, 0)) + 1,
                            fullScope);
    if (!fullScope) getCurrentCardNumbers(session, scope);
    return scope;
}

SearchOutcome runCardFormSearch(Session& session, const FormCriterionTexts& typed,
                                const SearchOptions& options, const AskFn& askWiden,
                                const ProgressFn& progress) {
    session.matchCount = 0;
    const FormCriteria criteria = parseFormCriteria(typed);
    if (criteria.totalLength == 0)
        return {SearchEnd::NoCriteria, 0, std::string(kNoCriteriaMessage)};
    const int required = requiredFormHits(criteria, options.orCombination);
    const PassFn pass = [&](const std::vector<bool>& scope) {
        return runFormSearchPass(session.data, criteria, required, scope, session.maxCardNumber,
                                 progress);
    };
    return runPasses(session, options.fullScope, pass, false, askWiden);
}

SearchOutcome runOpticsSearch(Session& session, const OpticsCriterionTexts& typed,
                              const SearchOptions& options, const AskFn& askWiden,
                              const ProgressFn& progress) {
    session.matchCount = 0;
    const OpticsCriteria criteria = parseOpticsCriteria(typed);
    if (criteria.totalLength == 0)
        return {SearchEnd::NoCriteria, 0, std::string(kNoCriteriaMessage)};
    const int required = requiredOpticsHits(criteria, options.orCombination);
    const PassFn pass = [&](const std::vector<bool>& scope) {
        return runOpticsSearchPass(session.data, criteria, required, scope, session.maxCardNumber,
                                   progress);
    };
    // Optical records are few: whether the list holds everything is told by its rows.
    const bool listHoldsEverything =
        static_cast<int>(session.rows.size()) == session.data.tables.entryCount;
    return runPasses(session, options.fullScope, pass, listHoldsEverything, askWiden);
}

} // namespace lithora
