#include "export/table_export.h"
#include "identify_internal.h"
#include "text/numeric.h"

namespace lithora::cli::identify {

const std::vector<std::string> kPhaseHeaders = {"file",           "phase",          "card",
                                                "name",           "formula",        "weightPercent",
                                                "weightSigma",    "probability",    "zeroDegrees",
                                                "displacementMm", "latticePercent", "profileR"};
const std::vector<std::string> kCandidateHeaders = {
    "file",        "rank",           "card",           "name",         "formula",
    "score",       "probability",    "figureOfMerit",  "linesMatched", "linesCounted",
    "zeroDegrees", "displacementMm", "latticePercent", "profileR"};

namespace {

// A number of the answer with the decimals the JSON rounds it to, always written; "" for null
// (a weight without I/Ic, a candidate not compared with the profile).
std::string cellOf(const Json& value, int decimals = 0) {
    if (value.is_null()) return "";
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return std::to_string(value.get<long long>());
    return formatNumber(value.get<double>(), decimals, decimals, '.');
}

} // namespace

std::vector<std::vector<std::string>> tableRows(const Json& answer, const std::string& file,
                                                bool phases) {
    std::vector<std::vector<std::string>> rows;
    if (phases) {
        if (!answer.contains("mixture")) return rows;
        const Json& mixture = answer.at("mixture");
        int number = 0;
        for (const Json& p : mixture.at("phases")) {
            const Json& fit = p.at("fit");
            rows.push_back(
                {file, std::to_string(++number), cellOf(p.at("card")), cellOf(p.at("name")),
                 cellOf(p.at("formula")), cellOf(p.at("weightPercent"), 1),
                 cellOf(p.at("weightSigma"), 1), cellOf(p.at("probability"), 3),
                 cellOf(fit.at("zeroDegrees"), 4), cellOf(fit.at("displacementMm"), 3),
                 cellOf(fit.at("latticePercent"), 3), cellOf(mixture.at("profileR"), 3)});
        }
        return rows;
    }
    for (const Json& c : answer.at("candidates")) {
        const Json& fit = c.at("fit");
        rows.push_back({file, cellOf(c.at("rank")), cellOf(c.at("card")), cellOf(c.at("name")),
                        cellOf(c.at("formula")), cellOf(c.at("score"), 1),
                        cellOf(c.at("probability"), 3), cellOf(c.at("figureOfMerit"), 1),
                        cellOf(c.at("linesMatched")), cellOf(c.at("linesCounted")),
                        cellOf(fit.at("zeroDegrees"), 4), cellOf(fit.at("displacementMm"), 3),
                        cellOf(fit.at("latticePercent"), 3), cellOf(c.at("profileR"), 3)});
    }
    return rows;
}

} // namespace lithora::cli::identify
