// What the identification window does: reading the peaks and the pattern file, ranking, the
// residual search, the comparison of the selected candidate and the list for the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringList>
#include <QTableView>
#include <algorithm>

#include "common/busy_cursor.h"
#include "common/message_box.h"
#include "common/qt_support.h"
#include "datafiles/datadir.h"
#include "identify/candidate_model.h"
#include "identify/frm_identify.h"
#include "identify/identify_texts.h"
#include "identify/line_match_model.h"
#include "identify/pattern_plot.h"

namespace lithora::gui {

namespace {

// Every format the scan reader knows, all of them together first.
QString patternFilter() {
    QStringList filters;
    for (const std::string& filter : scanFileFilters())
        filters << qs(filter);
    filters << QStringLiteral("All files (*)");
    return filters.join(QStringLiteral(";;"));
}

QString escapedMnemonic(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString countText(std::size_t count, const char* noun) {
    return QString::number(count) + QLatin1Char(' ') + QString::fromLatin1(noun) +
           (count == 1 ? QString() : QStringLiteral("s"));
}

QString candidateLabel(const std::string& name, int card) {
    return qs(name) + QStringLiteral(" (") + QString::number(card) + QLatin1Char(')');
}

} // namespace

const std::vector<Candidate>& frmIDENTIFY::candidates() const {
    return m_model->candidates();
}

const Candidate* frmIDENTIFY::selectedCandidate() const {
    // The current row without a selection is the one left behind when a phase was selected.
    const QModelIndex current = m_table->currentIndex();
    return current.isValid() && m_table->selectionModel()->isRowSelected(current.row())
               ? m_model->candidate(current.row())
               : nullptr;
}

std::optional<double> frmIDENTIFY::typedWavelength() {
    const Result<double> wavelength = parseWavelength(utf8(m_wavelength->currentText().trimmed()));
    if (!wavelength) {
        showMessage(this, MessageIcon::Exclamation, QStringLiteral("Wavelength"),
                    qs(wavelength.error().message));
        setFocusSafe(m_wavelength);
        return std::nullopt;
    }
    return wavelength.value();
}

std::optional<double> frmIDENTIFY::usedWavelength() {
    const std::optional<double> typed = typedWavelength();
    if (!typed || !m_profile) return typed;
    // The field is the user's choice: the file's line was put there when the file was opened.
    const WavelengthDecision used = decideWavelength(typed, m_fileWavelengths);
    m_wavelengthNote = qs(used.note);
    m_wavelengthWarning = qs(used.warning);
    m_fileWavelengthUsed = used.source == WavelengthSource::File;
    showFileStatus();
    return used.angstrom;
}

void frmIDENTIFY::showFileStatus() {
    m_fileLabel->setText(m_fileAbout);
    m_fileLabel->setToolTip(m_fileAbout + m_scanDetails + QLatin1Char('\n') + m_wavelengthNote);
}

std::optional<IdentifyOptions> frmIDENTIFY::typedOptions() {
    IdentifyOptions options;
    options.tolerancePercent = m_tolerance->value();
    const Result<std::vector<int>> required = parseElementSymbols(utf8(m_required->text()));
    const Result<std::vector<int>> excluded = parseElementSymbols(utf8(m_excluded->text()));
    if (!required || !excluded) {
        showMessage(this, MessageIcon::Exclamation, QStringLiteral("Element Filter"),
                    (required ? QStringLiteral("Excluded elements: ")
                              : QStringLiteral("Required elements: ")) +
                        qs(required ? excluded.error().message : required.error().message));
        setFocusSafe(required ? m_excluded : m_required);
        return std::nullopt;
    }
    setElementFilter(options, required.value(), excluded.value(), m_maxElements->value());
    if (m_currentList->isChecked()) {
        options.cardScope.assign(static_cast<std::size_t>(kCardTableSize), false);
        getCurrentCardNumbers(m_host.searchSession(), options.cardScope);
    }
    return options;
}

PatternInput frmIDENTIFY::rankingInput(const MeasuredPattern& pattern) const {
    PatternInput input;
    input.pattern = pattern;
    input.axis = MeasuredAxis{m_rankedAngles, m_rankedWavelength};
    // Peaks of a profile, as found or edited in 2θ, are matched within the scan's range and the
    // best candidates compared with the profile as a whole.
    if (m_analysis && m_rankedAngles && !m_analysis->target.twoTheta.empty()) {
        input.rangeMin = m_analysis->target.twoTheta.front();
        input.rangeMax = m_analysis->target.twoTheta.back();
        input.profile = &m_analysis->target;
    }
    return input;
}

void frmIDENTIFY::identify() {
    std::optional<double> wavelength = usedWavelength();
    if (!wavelength) return;
    // The finder's peaks, untouched, were placed for the wavelength of the last finding: with
    // another wavelength now, they are found again.
    if (m_analysis && m_peaks->toPlainText() == m_writtenText &&
        m_analysis->radiation.alpha1 != *wavelength) {
        if (!findProfilePeaks()) return;
    }
    const bool angles = m_position->currentIndex() == 1;
    Result<MeasuredPattern> pattern =
        parsePeakList(utf8(m_peaks->toPlainText()),
                      angles ? PeakPosition::TwoTheta : PeakPosition::D, *wavelength);
    if (!pattern) {
        showMessage(this, MessageIcon::Exclamation, QStringLiteral("Peak List"),
                    qs(pattern.error().message));
        setFocusSafe(m_peaks);
        return;
    }
    const std::optional<IdentifyOptions> options = typedOptions();
    if (!options) return;
    m_rankedWavelength = *wavelength;
    // A profile's peaks are 2θ for the ranking whichever unit the list shows them in.
    const bool finderPeaks = m_analysis && m_peaks->toPlainText() == m_writtenText;
    m_rankedAngles = angles || finderPeaks;
    PatternInput input = rankingInput(pattern.value());
    if (finderPeaks) input.pattern = m_analysis->pattern;
    Result<Identification> ranking = [&] {
        BusyCursor busy;
        return identifyPattern(m_host.searchSession().data, input, *options);
    }();
    if (!ranking) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Identify Pattern"),
                    qs(ranking.error().message));
        return;
    }
    m_wholePattern = input.pattern;
    m_wholeInput = input;
    m_wholeRanking = std::move(ranking).value();
    m_rankedPattern = m_wholePattern;
    m_options = *options;
    m_removed.clear();
    std::optional<Mixture> mixture = findPhases(*options);
    // The plot follows the input: angles for 2θ and pattern files, d for d.
    (m_rankedAngles || m_profile.has_value() ? m_axisTwoTheta : m_axisD)->setChecked(true);
    showRanking(m_wholeRanking, m_wholePattern);
    // A mixture found is the answer to look at first: its first phase is selected.
    showMixture(std::move(mixture), 0);
}

void frmIDENTIFY::residual() {
    const Candidate* selected = selectedCandidate();
    if (!selected) return;
    const int card = selected->card;
    const std::string name = selected->name;
    Session& session = m_host.searchSession();
    // What is left after a phase is taken away is a list of peaks: the profile still holds the
    // phase, so no candidate of a residual is compared with it.
    PatternInput input = m_removed.empty() ? m_wholeInput : rankingInput(m_rankedPattern);
    input.pattern = m_rankedPattern;
    const Result<Candidate> chosen = scoreOneCard(session.data, input, card, m_options);
    if (!chosen) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Residual"),
                    qs(chosen.error().message));
        return;
    }
    MeasuredPattern rest = residualPattern(m_rankedPattern, chosen.value().score);
    if (rest.peaks.empty()) {
        showMessage(this, MessageIcon::Information, QStringLiteral("Residual"),
                    QStringLiteral("Every peak is explained by %1: nothing is left to identify.")
                        .arg(candidateLabel(name, card)));
        return;
    }
    IdentifyOptions options = m_options;
    options.excludedCards.push_back(card);
    input.pattern = rest;
    input.profile = nullptr;
    Result<Identification> ranking = [&] {
        BusyCursor busy;
        return identifyPattern(session.data, input, options);
    }();
    if (!ranking) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Residual"),
                    qs(ranking.error().message));
        return;
    }
    m_options = std::move(options);
    m_removed.emplace_back(name, card);
    m_rankedPattern = std::move(rest);
    showRanking(ranking.value(), m_rankedPattern);
}

void frmIDENTIFY::showFullPattern() {
    if (m_removed.empty()) return;
    m_removed.clear();
    m_options.excludedCards.clear();
    m_rankedPattern = m_wholePattern;
    showRanking(m_wholeRanking, m_wholePattern);
}

void frmIDENTIFY::plotMeasured(const MeasuredPattern& pattern) {
    m_plot->setMeasured(pattern, m_rankedWavelength, m_profile ? &*m_profile : nullptr,
                        m_analysis ? m_analysis->background : std::vector<double>{});
}

void frmIDENTIFY::showRanking(const Identification& ranking, const MeasuredPattern& pattern) {
    plotMeasured(pattern);
    m_model->setCandidates(ranking.candidates);
    const QString peaks = countText(pattern.peaks.size(), "peak");
    QString summary;
    if (!m_removed.empty()) {
        summary =
            qs(residualCaption(m_removed)) + QStringLiteral(": ") + peaks + QStringLiteral(" left");
    } else {
        summary = peaks;
    }
    summary += ranking.candidates.empty()
                   ? QStringLiteral(" · no entry has a line near these peaks")
                   : QStringLiteral(" · best %1 of %2 entries")
                         .arg(ranking.candidates.size())
                         .arg(ranking.entriesScored);
    // No candidate convincing: said first, the best of them still listed below.
    if (!ranking.candidates.empty() && !ranking.confident) {
        summary =
            QStringLiteral("No confident match: the best candidates are listed below · ") + summary;
    }
    if (!ranking.patternNote.empty()) summary += QStringLiteral(" · ") + qs(ranking.patternNote);
    // A pattern file's peaks: which wavelength placed them, and first, where it must be seen, a
    // choice against the file's.
    if (m_profile) {
        summary += QStringLiteral(" · ") + m_wavelengthNote;
        if (!m_wavelengthWarning.isEmpty())
            summary =
                QStringLiteral("Warning: ") + m_wavelengthWarning + QStringLiteral(" · ") + summary;
    }
    m_summary->setText(summary);
    m_summary->setToolTip(summary);
    m_fullPattern->setVisible(!m_removed.empty());
    if (!ranking.candidates.empty()) {
        m_table->setCurrentIndex(m_model->index(0, CandidateModel::Name));
        m_table->scrollToTop();
    } else {
        candidateSelected();
    }
    updateButtons();
}

void frmIDENTIFY::candidateSelected() {
    m_phasesShown = false;
    m_phaseTable->clearSelection();
    const Candidate* c = selectedCandidate();
    // The plot may have shown the whole pattern under the phases.
    plotMeasured(m_rankedPattern);
    m_plot->setCandidate(c);
    // The candidate's calculated profile, as the ranking compared it, over the measured one.
    if (c && m_removed.empty() && m_wholeInput.profile) {
        const Result<ProfileComparison> calculated =
            candidateProfile(m_host.searchSession().data, m_wholeInput, *c);
        if (calculated)
            m_plot->setCalculated(m_wholeInput.profile->twoTheta, calculated.value().calculated);
    }
    showLinesOf(c, m_rankedPattern);
    updateButtons();
    if (c) m_host.showCard(c->card);
}

void frmIDENTIFY::showLinesOf(const Candidate* c, const MeasuredPattern& pattern) {
    m_lineModel->setRows(c ? lineMatchRows(pattern, c->score) : std::vector<LineMatchRow>{});
    m_linesCaption->setText(c ? QStringLiteral("Line&s of ") +
                                    escapedMnemonic(candidateLabel(c->name, c->card))
                              : QStringLiteral("Line&s"));
}

void frmIDENTIFY::updateButtons() {
    const Candidate* c = selectedCandidate();
    m_residual->setEnabled(c != nullptr);
    m_showList->setEnabled(m_phasesShown ? !phases().empty() : !m_model->candidates().empty());
    m_removePhase->setEnabled(m_analysis && selectedPhase() != nullptr);
    const bool isPhase = c && std::any_of(phases().begin(), phases().end(), [&](const auto& p) {
                             return p.candidate.card == c->card;
                         });
    m_addPhase->setEnabled(m_mixture && m_analysis && c && !isPhase &&
                           phases().size() < static_cast<std::size_t>(kMostPhases));
}

void frmIDENTIFY::showAsList() {
    // What the plot shows goes into the list: the phases in the order found, or the candidates.
    std::vector<int> entries;
    if (m_phasesShown) {
        for (const MixturePhase& p : phases())
            entries.push_back(p.candidate.entry);
    } else {
        for (const Candidate& c : m_model->candidates())
            entries.push_back(c.entry);
    }
    if (entries.empty()) return;
    const char* noun = m_phasesShown ? (entries.size() == 1 ? "phase" : "phases")
                                     : (entries.size() == 1 ? "candidate" : "candidates");
    Session& session = m_host.searchSession();
    if (const Status s = getOrderedList(session, entries, "Identification", noun); !s) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Show as List"),
                    qs(s.error().message));
        return;
    }
    // The list keeps the phase or candidate the user is looking at.
    const QModelIndex current = (m_phasesShown ? m_phaseTable : m_table)->currentIndex();
    if (current.isValid() && current.row() + 1 <= static_cast<int>(session.rows.size())) {
        session.selectedRow = current.row() + 1;
        loadSelectedCard(session);
    }
    m_host.showSearchPanels();
    m_host.showMatchList();
}

void frmIDENTIFY::chooseFile() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Pattern File"),
                                                      QString(), patternFilter());
    if (!path.isEmpty()) openPatternFile(path);
}

bool frmIDENTIFY::openPatternFile(const QString& path) {
    Result<MeasuredScan> read = [&] {
        BusyCursor busy;
        return readScanFile(std::filesystem::path(path.toStdU16String()));
    }();
    if (!read) {
        showMessage(this, MessageIcon::Exclamation, QStringLiteral("Open Pattern File"),
                    qs(read.error().message));
        return false;
    }
    MeasuredScan& scan = read.value();
    m_profile = std::move(scan.profile);
    m_profileName = QFileInfo(path).fileName();
    m_fileWavelengths = scan.wavelengths;
    m_scanFormat = qs(scan.format);
    m_scanDetails.clear();
    if (!scan.sampleName.empty())
        m_scanDetails += QStringLiteral("\nSample: ") + qs(scan.sampleName);
    m_sampleName = qs(scan.sampleName);
    if (!scan.scanNote.empty()) m_scanDetails += QLatin1Char('\n') + qs(scan.scanNote);
    // The field shows the line the file states; changed afterwards, it is a choice against it.
    if (scan.wavelengths.kAlpha1)
        m_wavelength->setEditText(QString::number(*scan.wavelengths.kAlpha1, 'f', 5));
    m_threshold->setEnabled(true);
    m_alpha1Only->setEnabled(true);
    {
        // The peak finder writes the list in 2θ; the change of unit must not rewrite it first.
        const QSignalBlocker quiet(m_position);
        m_position->setCurrentIndex(1);
    }
    if (!findProfilePeaks()) return false;
    identify();
    return true;
}

bool frmIDENTIFY::findProfilePeaks() {
    if (!m_profile) return false;
    const std::optional<double> wavelength = usedWavelength();
    if (!wavelength) return false;
    PeakFinding finding;
    finding.thresholdPercent = m_threshold->value();
    {
        BusyCursor busy;
        // Peaks are found with Kα2 taken away, so that a resolved Kα2 peak is never one of them.
        m_analysis = analyseProfile(*m_profile,
                                    scanRadiation(*wavelength, m_fileWavelengths,
                                                  m_fileWavelengthUsed, m_alpha1Only->isChecked()),
                                    finding);
    }
    const std::vector<FoundPeak>& peaks = m_analysis->peaks;
    const PeakPosition position =
        m_position->currentIndex() == 1 ? PeakPosition::TwoTheta : PeakPosition::D;
    m_peaks->setPlainText(qs(foundPeaksText(peaks, position, *wavelength, utf8(m_profileName),
                                            finding.thresholdPercent)));
    m_writtenText = m_peaks->toPlainText();
    const std::size_t usable = patternOfPeaks(peaks, *wavelength).peaks.size();
    // One arg() for all: a %3 in a file name stays as it is.
    m_fileAbout = QStringLiteral("%1 · %2 · %3 points · %4")
                      .arg(m_profileName, m_scanFormat, QString::number(m_profile->twoTheta.size()),
                           countText(usable, "peak"));
    showFileStatus();
    if (usable == 0) {
        showMessage(this, MessageIcon::Exclamation, QStringLiteral("Open Pattern File"),
                    QStringLiteral("No peak of %1 stands above the background and the threshold "
                                   "of %2 %. Try a lower peak threshold.")
                        .arg(m_profileName)
                        .arg(finding.thresholdPercent));
        return false;
    }
    return true;
}

void frmIDENTIFY::positionChanged() {
    // Peaks the finder wrote, untouched since, are written again in the unit now chosen.
    if (m_profile && m_peaks->toPlainText() == m_writtenText) findProfilePeaks();
}

void frmIDENTIFY::clearInput() {
    m_peaks->clear();
    m_profile.reset();
    m_analysis.reset();
    m_wholeInput = {};
    m_profileName.clear();
    m_fileWavelengths = {};
    m_scanFormat.clear();
    m_scanDetails.clear();
    m_fileAbout.clear();
    m_wavelengthNote.clear();
    m_wavelengthWarning.clear();
    m_writtenText.clear();
    m_threshold->setEnabled(false);
    m_alpha1Only->setEnabled(false);
    m_fileLabel->setText(QStringLiteral("No pattern file"));
    m_fileLabel->setToolTip(QString());
    // The phases were fitted to the profile now forgotten.
    showMixture(std::nullopt, -1);
    setFocusSafe(m_peaks);
}

} // namespace lithora::gui
