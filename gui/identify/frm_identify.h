#pragma once

#include <QIcon>
#include <QWidget>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "identify/instrument_file.h"
#include "identify/mixture.h"
#include "identify/profile.h"
#include "identify/profile_identify.h"
#include "identify/ranking.h"
#include "print/identify_print.h"
#include "session/session.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSplitter;
class QTableView;

namespace lithora::gui {

class CandidateModel;
class LineMatchModel;
class PatternPlot;
class MixturePhaseModel;

// What the identification window needs from the window that owns it.
class IdentifyWindowHost {
  public:
    virtual ~IdentifyWindowHost() = default;
    virtual Session& searchSession() = 0;
    // Writes the session's status[0] and status[1] into status panels 1 and 2.
    virtual void showSearchPanels() = 0;
    // Shows session.rows after the list was replaced, the selected row current.
    virtual void showMatchList() = 0;
    // Makes a card current and shows it, selecting its row when the list holds it.
    virtual void showCard(int card) = 0;
};

// The window "Identify Pattern": a measured pattern (typed peaks or a pattern file) is ranked
// against every card's diffraction lines; the selected candidate is compared line by line in a
// plot and a list, and becomes the current card. A pattern file's profile is searched for the
// phases of a mixture as well, which the user may take away or add to. Closing it (Esc, Close,
// the title bar) hides it and keeps what it shows.
class frmIDENTIFY : public QWidget {
    Q_OBJECT
  public:
    frmIDENTIFY(IdentifyWindowHost& host, QWidget* parent);
    ~frmIDENTIFY() override;

    // The toolbar's picture of the window: three sticks of a pattern.
    static QIcon toolbarIcon();

    // Ranks the typed peaks afresh (the full pattern, not a residual).
    void identify();
    // Ranks what is left once the selected candidate's peaks are taken away.
    void residual();
    // Back from a residual search to the ranking of the full pattern.
    void showFullPattern();
    // Replaces the main list by the phases in the order found while the plot shows them, else
    // by the candidates in rank order.
    void showAsList();
    // The identification as a printed report: previewed (and printed), or written as PDF.
    void previewReport();
    void saveReportPdf();
    // Takes the selected phase out of the mixture and fits the others again.
    void removePhase();
    // Adds the selected candidate to the mixture, scored on what the phases leave, and fits
    // them all again.
    void addAsPhase();
    // Reads a pattern file, finds its peaks into the peak list and ranks them. False, after
    // telling the user, when the file cannot be read or holds no peak.
    bool openPatternFile(const QString& path);

    const std::vector<Candidate>& candidates() const;
    const Candidate* selectedCandidate() const;
    bool residualShown() const { return !m_removed.empty(); }
    // The phases of the profile's mixture in the order found; empty for typed peaks.
    const std::vector<MixturePhase>& phases() const;
    const MixturePhase* selectedPhase() const;
    // Whether the plot shows the mixture (a phase selected) rather than one candidate.
    bool phasesShown() const { return m_phasesShown; }

    // Controls, for the tests.
    QPlainTextEdit* peaksEdit() const { return m_peaks; }
    QComboBox* positionBox() const { return m_position; }
    QComboBox* wavelengthBox() const { return m_wavelength; }
    QDoubleSpinBox* toleranceBox() const { return m_tolerance; }
    QDoubleSpinBox* thresholdBox() const { return m_threshold; }
    QCheckBox* alpha1OnlyBox() const { return m_alpha1Only; }
    QLineEdit* requiredEdit() const { return m_required; }
    QLineEdit* excludedEdit() const { return m_excluded; }
    QSpinBox* maxElementsBox() const { return m_maxElements; }
    QCheckBox* currentListBox() const { return m_currentList; }
    QPushButton* identifyButton() const { return m_identify; }
    QPushButton* residualButton() const { return m_residual; }
    QPushButton* fullPatternButton() const { return m_fullPattern; }
    QPushButton* showListButton() const { return m_showList; }
    QPushButton* openFileButton() const { return m_openFile; }
    QTableView* candidateTable() const { return m_table; }
    QTableView* detailsTable() const { return m_details; }
    QTableView* phaseTable() const { return m_phaseTable; }
    QLabel* phaseFitLabel() const { return m_phaseFit; }
    QPushButton* removePhaseButton() const { return m_removePhase; }
    QPushButton* addPhaseButton() const { return m_addPhase; }
    QLabel* summaryLabel() const { return m_summary; }
    QLabel* fileLabel() const { return m_fileLabel; }
    QRadioButton* twoThetaAxisButton() const { return m_axisTwoTheta; }
    QRadioButton* dAxisButton() const { return m_axisD; }
    PatternPlot* plot() const { return m_plot; }
    const LineMatchModel& lineModel() const { return *m_lineModel; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The report of what the window shows, or nothing after telling the user why not.
    std::optional<IdentificationReport> report(const QString& caption);
    QWidget* buildInput();
    QWidget* buildPhases();
    QWidget* buildResults();
    QWidget* buildComparison();
    void setTabOrder();
    void chooseFile();
    bool findProfilePeaks();
    void positionChanged();
    void clearInput();
    void candidateSelected();
    void phaseSelected();
    // The phases of the profile just ranked, found with the ranking's options; none when the
    // ranking had no profile.
    std::optional<Mixture> findPhases(const IdentifyOptions& options);
    // A new mixture (or none) into the table, with the phase of `row` selected when there is
    // one.
    void showMixture(std::optional<Mixture> mixture, int row);
    // The measured pattern on the plot, with the profile when there is one.
    void plotMeasured(const MeasuredPattern& pattern);
    // The list beside the plot: the candidate's lines against the pattern, or none.
    void showLinesOf(const Candidate* c, const MeasuredPattern& pattern);
    void updateButtons();
    void showRanking(const Identification& ranking, const MeasuredPattern& pattern);
    std::optional<double> typedWavelength();
    // The wavelength for the peaks: the field's, or the pattern file's when the field agrees
    // with it; keeps the choice, and a warning when they disagree, for the summary line.
    std::optional<double> usedWavelength();
    void showFileStatus();
    std::optional<IdentifyOptions> typedOptions();

    IdentifyWindowHost& m_host;

    // The ranking's input for the shown pattern: the full pattern (with the profile analysed
    // when it came from a file), or what a residual search left (peaks alone).
    PatternInput rankingInput(const MeasuredPattern& pattern) const;

    // The pattern of the last identification, its ranking, and the cards taken away since.
    MeasuredPattern m_wholePattern;
    PatternInput m_wholeInput;
    Identification m_wholeRanking;
    MeasuredPattern m_rankedPattern; // the full pattern, or what a residual search left
    IdentifyOptions m_options;
    std::vector<std::pair<std::string, int>> m_removed;
    double m_rankedWavelength = kDefaultWavelength;
    bool m_rankedAngles = false;
    // The mixture found in the profile of the last identification, as the user changed it, with
    // the options it was found with.
    std::optional<Mixture> m_mixture;
    IdentifyOptions m_mixtureOptions;
    bool m_phasesShown = false;

    std::optional<Profile> m_profile;
    // The profile's background, Kα2 stripped, peaks and widths: what the last peak finding made
    // of it, with the wavelength it was made for.
    std::optional<ProfileAnalysis> m_analysis;
    bool m_fileWavelengthUsed = false;
    QString m_profileName;
    QString m_sampleName;              // as the pattern file names it
    ScanWavelengths m_fileWavelengths; // the lines the pattern file states
    QString m_scanFormat;
    QString m_scanDetails;       // its sample and which of its scans was read, for the tooltip
    QString m_fileAbout;         // the file line: name, format, points, peaks
    QString m_wavelengthNote;    // the wavelength the file's peaks were placed with
    QString m_wavelengthWarning; // why that is not the file's, or empty
    QString m_writtenText;       // what the peak finder last wrote into the peak list

    CandidateModel* m_model = nullptr;
    LineMatchModel* m_lineModel = nullptr;
    MixturePhaseModel* m_phaseModel = nullptr;
    QPlainTextEdit* m_peaks = nullptr;
    QComboBox* m_position = nullptr;
    QComboBox* m_wavelength = nullptr;
    QDoubleSpinBox* m_tolerance = nullptr;
    QDoubleSpinBox* m_threshold = nullptr;
    QCheckBox* m_alpha1Only = nullptr;
    QLineEdit* m_required = nullptr;
    QLineEdit* m_excluded = nullptr;
    QSpinBox* m_maxElements = nullptr;
    QCheckBox* m_currentList = nullptr;
    QPushButton* m_openFile = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_identify = nullptr;
    QPushButton* m_residual = nullptr;
    QPushButton* m_fullPattern = nullptr;
    QPushButton* m_showList = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_fileLabel = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_linesCaption = nullptr;
    QTableView* m_table = nullptr;
    QTableView* m_details = nullptr;
    QWidget* m_phasesPanel = nullptr;
    QTableView* m_phaseTable = nullptr;
    QLabel* m_phaseFit = nullptr;
    QPushButton* m_removePhase = nullptr;
    QPushButton* m_addPhase = nullptr;
    QPushButton* m_report = nullptr;
    QRadioButton* m_axisTwoTheta = nullptr;
    QRadioButton* m_axisD = nullptr;
    PatternPlot* m_plot = nullptr;
    QSplitter* m_outer = nullptr;
};

} // namespace lithora::gui
