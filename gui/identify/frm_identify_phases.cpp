// The identification window's mixtures: the phases found in a profile after its ranking, the
// phases the user takes away or adds, and the plot of the mixture.
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableView>

#include "common/busy_cursor.h"
#include "common/file_dialog.h"
#include "common/message_box.h"
#include "common/qt_support.h"
#include "identify/candidate_model.h"
#include "identify/frm_identify.h"
#include "identify/identify_report.h"
#include "identify/identify_texts.h"
#include "identify/mixture_phase_model.h"
#include "identify/pattern_plot.h"

namespace lithora::gui {

namespace {

// The line under the phase table: how well the phases explain the profile together, against
// what the scan's noise leaves to a perfect fit, and whose amounts the figures are.
QString mixtureFitText(const Mixture& m) {
    if (m.phases.empty())
        return QStringLiteral("No phase: select a candidate and click Add as Phase.");
    QString text = QStringLiteral("Rwp of the phases together %1 (the counting noise alone "
                                  "leaves %2)")
                       .arg(qs(profileRText(m.rwp)), qs(profileRText(m.noiseR)));
    if (!m.amountsComplete) {
        QStringList without;
        for (const MixturePhase& p : m.phases)
            if (p.weightPercent < 0.0) without << qs(p.candidate.name);
        text += QStringLiteral(" · Amounts are of the phases with a reference intensity ratio "
                               "(I/Ic): %1 %2 none")
                    .arg(without.join(QStringLiteral(", ")),
                         without.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"));
    }
    return text;
}

} // namespace

const std::vector<MixturePhase>& frmIDENTIFY::phases() const {
    return m_phaseModel->phases();
}

const MixturePhase* frmIDENTIFY::selectedPhase() const {
    const QModelIndex current = m_phaseTable->currentIndex();
    return current.isValid() && m_phaseTable->selectionModel()->isRowSelected(current.row())
               ? m_phaseModel->phase(current.row())
               : nullptr;
}

std::optional<Mixture> frmIDENTIFY::findPhases(const IdentifyOptions& options) {
    if (!m_wholeInput.profile || !m_profile || !m_analysis || m_wholeRanking.candidates.empty())
        return std::nullopt;
    m_mixtureOptions = options;
    Result<Mixture> found = [&] {
        BusyCursor busy;
        return findMixture(m_host.searchSession().data, *m_profile, *m_analysis, m_wholeRanking,
                           options);
    }();
    if (!found) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Phases"),
                    qs(found.error().message));
        return std::nullopt;
    }
    return std::move(found).value();
}

void frmIDENTIFY::showMixture(std::optional<Mixture> mixture, int row) {
    m_mixture = std::move(mixture);
    m_phasesPanel->setVisible(m_mixture.has_value());
    m_phaseModel->setPhases(m_mixture ? m_mixture->phases : std::vector<MixturePhase>{});
    const QString fit = m_mixture ? mixtureFitText(*m_mixture) : QString();
    m_phaseFit->setText(fit);
    m_phaseFit->setToolTip(fit);
    if (row >= 0 && row < m_phaseModel->rowCount()) {
        m_phaseTable->setCurrentIndex(m_phaseModel->index(row, MixturePhaseModel::Phase));
    } else if (m_phasesShown) {
        // Nothing to select: the profile alone when no phase is left, the candidates when
        // the mixture went with its profile.
        if (m_mixture) {
            phaseSelected();
        } else {
            candidateSelected();
        }
    }
    updateButtons();
}

void frmIDENTIFY::phaseSelected() {
    m_phasesShown = true;
    m_table->clearSelection();
    const MixturePhase* phase = selectedPhase();
    // The phases are fitted to the whole profile, whatever a residual search shows.
    plotMeasured(m_wholePattern);
    // A phase found in what the phases before it left was matched against those peaks: for the
    // plot and the list its lines are matched again against the whole pattern.
    std::optional<Candidate> lines;
    if (phase) {
        Result<Candidate> scored = scoreOneCard(m_host.searchSession().data, m_wholeInput,
                                                phase->candidate.card, m_mixtureOptions);
        if (scored) lines = std::move(scored).value();
    }
    m_plot->setCandidate(lines ? &*lines : nullptr);
    if (m_mixture && !m_mixture->phases.empty())
        m_plot->setPhases(*m_mixture, phase ? m_phaseTable->currentIndex().row() : -1);
    showLinesOf(lines ? &*lines : nullptr, m_wholePattern);
    updateButtons();
    if (phase) m_host.showCard(phase->candidate.card);
}

void frmIDENTIFY::removePhase() {
    const MixturePhase* phase = selectedPhase();
    if (!phase || !m_mixture || !m_analysis || !m_profile) return;
    const int row = m_phaseTable->currentIndex().row();
    std::vector<MixturePhase> rest = m_mixture->phases;
    rest.erase(rest.begin() + row);
    Result<Mixture> refitted = [&] {
        BusyCursor busy;
        // The peak shape stays as the search fitted it to the scan.
        return refitMixture(m_host.searchSession().data, *m_profile, *m_analysis, std::move(rest),
                            m_mixture->eta, m_mixtureOptions);
    }();
    if (!refitted) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Remove Phase"),
                    qs(refitted.error().message));
        return;
    }
    // The phase below takes the removed one's place, or the one above when it was the last.
    const int left = static_cast<int>(refitted.value().phases.size());
    showMixture(std::move(refitted).value(), std::min(row, left - 1));
}

void frmIDENTIFY::addAsPhase() {
    const Candidate* selected = selectedCandidate();
    if (!selected || !m_mixture || !m_profile || !m_analysis ||
        m_mixture->phases.size() >= static_cast<std::size_t>(kMostPhases)) {
        return;
    }
    const int card = selected->card;
    Session& session = m_host.searchSession();
    Result<Mixture> refitted = [&]() -> Result<Mixture> {
        BusyCursor busy;
        // Scored on what the phases leave, so that its shifts are fitted on its own peaks.
        Result<Candidate> scored =
            scorePhase(session.data, *m_profile, *m_analysis, *m_mixture, card, m_mixtureOptions);
        if (!scored) return scored.error();
        std::vector<MixturePhase> phases = m_mixture->phases;
        phases.push_back(MixturePhase{});
        phases.back().candidate = std::move(scored).value();
        phases.back().alternatives = groupMembers(m_model->candidates(), *selected);
        return refitMixture(session.data, *m_profile, *m_analysis, std::move(phases),
                            m_mixture->eta, m_mixtureOptions);
    }();
    if (!refitted) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Add as Phase"),
                    qs(refitted.error().message));
        return;
    }
    const int last = static_cast<int>(refitted.value().phases.size()) - 1;
    showMixture(std::move(refitted).value(), last);
}

std::optional<IdentificationReport> frmIDENTIFY::report(const QString& caption) {
    // The phases stand for the last identification of a profile: typed peaks since have none.
    if (!m_profile || !m_analysis || !m_mixture) {
        showMessage(this, MessageIcon::Information, caption,
                    QStringLiteral("Open a pattern file and identify it first: the report is of "
                                   "a measured profile."));
        return std::nullopt;
    }
    ReportSource source;
    source.fileName = utf8(m_profileName);
    source.sample = utf8(m_sampleName);
    source.dateTime =
        utf8(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    source.wavelengthSource =
        m_fileWavelengthUsed ? WavelengthSource::File : WavelengthSource::Chosen;
    Result<IdentificationReport> made = [&] {
        BusyCursor busy;
        return reportOf(m_host.searchSession().data, source, *m_profile, *m_analysis,
                        m_wholeRanking, m_mixture ? &*m_mixture : nullptr, m_mixtureOptions);
    }();
    if (!made) {
        showMessage(this, MessageIcon::Critical, caption, qs(made.error().message));
        return std::nullopt;
    }
    return std::move(made).value();
}

void frmIDENTIFY::previewReport() {
    if (const std::optional<IdentificationReport> r = report(QStringLiteral("Report")))
        previewIdentificationReport(this, *r);
}

void frmIDENTIFY::saveReportPdf() {
    const std::optional<IdentificationReport> r = report(QStringLiteral("Save as PDF"));
    if (!r) return;
    const QString suggested = QFileInfo(m_profileName).completeBaseName() + QStringLiteral(".pdf");
    QString filter = QStringLiteral("PDF (*.pdf)");
    const QString path = fileDialogs().saveFileName(this, QStringLiteral("Save as PDF"), suggested,
                                                    {filter}, &filter);
    if (path.isEmpty()) return;
    if (!writeIdentificationReportPdf(*r, path)) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Save as PDF"),
                    QStringLiteral("The report could not be written to ") + path);
    }
}

} // namespace lithora::gui
