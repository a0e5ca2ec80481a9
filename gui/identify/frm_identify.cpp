// The identification window's controls, their layout, keys and tab order.
#include "identify/frm_identify.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "common/qt_support.h"
#include "identify/candidate_model.h"
#include "identify/line_match_model.h"
#include "identify/mixture_phase_model.h"
#include "identify/pattern_plot.h"
#include "identify/plot_colours.h"

namespace lithora::gui {

namespace {

constexpr int kDefaultWidth = 1100;
// Tall enough for three phases above the candidates with the plot as high as without them.
constexpr int kDefaultHeight = 740;
constexpr int kInputWidth = 284;
constexpr int kDetailsWidth = 262;

// The candidate table's column widths in average characters; the name takes what is left.
const struct {
    int column;
    int characters;
} kColumnWidths[] = {
    {CandidateModel::Rank, 4},          {CandidateModel::Formula, 14},
    {CandidateModel::Card, 5},          {CandidateModel::Probability, 5},
    {CandidateModel::Score, 5},         {CandidateModel::ProfileR, 6},
    {CandidateModel::Lines, 6},         {CandidateModel::Zero, 7},
    {CandidateModel::Displacement, 10}, {CandidateModel::Lattice, 8},
};
const struct {
    int column;
    int characters;
} kPhaseColumnWidths[] = {
    {MixturePhaseModel::Card, 5},          {MixturePhaseModel::Amount, 9},
    {MixturePhaseModel::Certainty, 8},     {MixturePhaseModel::Zero, 7},
    {MixturePhaseModel::Displacement, 10}, {MixturePhaseModel::Lattice, 8},
};

QPushButton* makeButton(const QString& caption, const QString& tip) {
    auto* button = new QPushButton(caption);
    button->setToolTip(tip);
    // Enter on a focused button presses it, as in a dialog.
    button->setAutoDefault(true);
    return button;
}

QLabel* boldLabel(const QString& caption) {
    auto* label = new QLabel(caption);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

void setUpTable(QTableView* table) {
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->setShowGrid(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setHighlightSections(false);
}

} // namespace

frmIDENTIFY::~frmIDENTIFY() {
    detachFromChildren(this);
}

frmIDENTIFY::frmIDENTIFY(IdentifyWindowHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window), m_host(host) {
    setObjectName(QStringLiteral("frmIDENTIFY"));
    setWindowTitle(QStringLiteral("Identify Pattern"));
    setFont(arialFont(9, false));
    m_model = new CandidateModel(this);
    m_lineModel = new LineMatchModel(this);
    m_phaseModel = new MixturePhaseModel(this);

    auto* results = new QSplitter(Qt::Vertical);
    results->addWidget(buildPhases());
    results->addWidget(buildResults());
    results->addWidget(buildComparison());
    results->setStretchFactor(0, 1);
    results->setStretchFactor(1, 2);
    results->setStretchFactor(2, 3);
    results->setChildrenCollapsible(false);

    m_outer = new QSplitter(Qt::Horizontal);
    m_outer->addWidget(buildInput());
    m_outer->addWidget(results);
    m_outer->setStretchFactor(1, 1);
    m_outer->setChildrenCollapsible(false);
    m_outer->setSizes({kInputWidth, kDefaultWidth - kInputWidth});
    // Room for three phases; the panel is hidden until a profile is identified.
    results->setSizes({135, 190, 400});
    m_phasesPanel->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_outer);

    setTabOrder();
    resize(kDefaultWidth, kDefaultHeight);
    updateButtons();
    setFocusSafe(m_peaks);
}

QWidget* frmIDENTIFY::buildInput() {
    auto* panel = new QWidget;
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 6, 0);

    auto* peaksLabel = new QLabel(QStringLiteral("&Peaks (one a line: d, or d and intensity):"));
    m_peaks = new QPlainTextEdit;
    m_peaks->setObjectName(QStringLiteral("peaks"));
    m_peaks->setPlaceholderText(QStringLiteral(
        "One peak a line: d, or d and intensity\n3.343  100\n4.255  20\n1.818  13\n\n"
        "or 2θ with a wavelength; # starts a comment.\nCtrl+Enter identifies."));
    m_peaks->setTabChangesFocus(true);
    m_peaks->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(font().pointSizeF());
    m_peaks->setFont(fixed);
    m_peaks->installEventFilter(this);
    peaksLabel->setBuddy(m_peaks);
    column->addWidget(peaksLabel);
    column->addWidget(m_peaks, 1);

    auto* fileRow = new QHBoxLayout;
    m_openFile = makeButton(QStringLiteral("&Open Pattern File…"),
                            QStringLiteral("Read a measured scan (a diffractometer's file, or 2θ "
                                           "and counts as text) and find its peaks"));
    m_clear = makeButton(QStringLiteral("Cl&ear"),
                         QStringLiteral("Empty the peak list and forget the pattern file"));
    fileRow->addWidget(m_openFile, 1);
    fileRow->addWidget(m_clear);
    column->addLayout(fileRow);
    m_fileLabel = new QLabel(QStringLiteral("No pattern file"));
    m_fileLabel->setForegroundRole(QPalette::PlaceholderText);
    m_fileLabel->setMinimumWidth(10);
    column->addWidget(m_fileLabel);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_position = new QComboBox;
    m_position->addItems({QStringLiteral("d (Å)"), QStringLiteral("2θ (°)")});
    m_position->setToolTip(QStringLiteral("What the numbers of the peak list are"));
    m_wavelength = new QComboBox;
    m_wavelength->setEditable(true);
    m_wavelength->setInsertPolicy(QComboBox::NoInsert);
    for (const NamedWavelength& line : kWavelengths)
        m_wavelength->addItem(qs(line.name));
    m_wavelength->setToolTip(QStringLiteral("The x-ray line, or a wavelength in Å (0.1 to 5)"));
    m_tolerance = new QDoubleSpinBox;
    m_tolerance->setRange(0.05, 5.0);
    m_tolerance->setDecimals(2);
    m_tolerance->setSingleStep(0.1);
    m_tolerance->setSuffix(QStringLiteral(" %"));
    m_tolerance->setValue(kDefaultTolerancePercent);
    m_tolerance->setToolTip(QStringLiteral("How far a measured d may lie from a card's line, as "
                                           "a share of d"));
    m_threshold = new QDoubleSpinBox;
    m_threshold->setRange(0.1, 50.0);
    m_threshold->setDecimals(1);
    m_threshold->setSingleStep(0.5);
    m_threshold->setSuffix(QStringLiteral(" %"));
    m_threshold->setValue(PeakFinding{}.thresholdPercent);
    m_threshold->setKeyboardTracking(false);
    m_threshold->setToolTip(QStringLiteral("The weakest peak found in a pattern file, as a share "
                                           "of the highest; a change finds the peaks again"));
    form->addRow(QStringLiteral("&Values are:"), m_position);
    form->addRow(QStringLiteral("&Wavelength:"), m_wavelength);
    form->addRow(QStringLiteral("&Tolerance Δd/d:"), m_tolerance);
    form->addRow(QStringLiteral("Peak t&hreshold:"), m_threshold);
    m_alpha1Only = new QCheckBox(QStringLiteral("Kα&1 only: the scan has no Kα2"));
    m_alpha1Only->setToolTip(
        QStringLiteral("For a pattern file measured behind a Kα1 monochromator or with a single "
                       "line: Kα2 is then neither taken away nor calculated"));
    form->addRow(QString(), m_alpha1Only);
    column->addLayout(form);

    auto* filter = new QGroupBox(QStringLiteral("Candidates"));
    auto* filterForm = new QFormLayout(filter);
    filterForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_required = new QLineEdit;
    m_required->setPlaceholderText(QStringLiteral("e.g. Ca, C"));
    m_required->setToolTip(QStringLiteral("Only cards whose formula holds every one of these "
                                          "elements"));
    m_excluded = new QLineEdit;
    m_excluded->setPlaceholderText(QStringLiteral("e.g. Pb, U"));
    m_excluded->setToolTip(QStringLiteral("No card whose formula holds one of these elements"));
    m_maxElements = new QSpinBox;
    m_maxElements->setRange(0, 20);
    m_maxElements->setSpecialValueText(QStringLiteral("any number"));
    m_maxElements->setSuffix(QStringLiteral(" elements"));
    m_maxElements->setToolTip(QStringLiteral("At most this many elements in the formula"));
    m_currentList = new QCheckBox(QStringLiteral("Only the &current list"));
    m_currentList->setToolTip(QStringLiteral("Rank only the cards the main window's list holds"));
    filterForm->addRow(QStringLiteral("Re&quired:"), m_required);
    filterForm->addRow(QStringLiteral("E&xcluded:"), m_excluded);
    filterForm->addRow(QStringLiteral("At &most:"), m_maxElements);
    filterForm->addRow(m_currentList);
    column->addWidget(filter);

    auto* buttons = new QGridLayout;
    m_identify =
        makeButton(QStringLiteral("&Identify"),
                   QStringLiteral("Rank every card's whole pattern against the peaks (Enter)"));
    m_identify->setDefault(true);
    m_residual = makeButton(QStringLiteral("&Residual"),
                            QStringLiteral("Take the selected candidate's peaks away and rank "
                                           "what is left: the next phase of a mixture"));
    m_showList = makeButton(QStringLiteral("Show as &List"),
                            QStringLiteral("Put the phases into the main list while the plot "
                                           "shows them, else the candidates, best first"));
    m_close = makeButton(QStringLiteral("Close"), QStringLiteral("Close the window (Esc)"));
    buttons->addWidget(m_identify, 0, 0);
    buttons->addWidget(m_residual, 0, 1);
    buttons->addWidget(m_showList, 1, 0);
    buttons->addWidget(m_close, 1, 1);
    column->addLayout(buttons);

    // Enter in any one-line field identifies.
    for (QWidget* field : std::initializer_list<QWidget*>{
             m_position, m_wavelength, m_wavelength->lineEdit(), m_tolerance, m_threshold,
             m_required, m_excluded, m_maxElements})
        field->installEventFilter(this);

    connect(m_identify, &QPushButton::clicked, this, &frmIDENTIFY::identify);
    connect(m_residual, &QPushButton::clicked, this, &frmIDENTIFY::residual);
    connect(m_showList, &QPushButton::clicked, this, &frmIDENTIFY::showAsList);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_openFile, &QPushButton::clicked, this, &frmIDENTIFY::chooseFile);
    connect(m_clear, &QPushButton::clicked, this, &frmIDENTIFY::clearInput);
    connect(m_position, &QComboBox::currentIndexChanged, this, &frmIDENTIFY::positionChanged);
    connect(m_wavelength, &QComboBox::activated, this, &frmIDENTIFY::positionChanged);
    connect(m_threshold, &QDoubleSpinBox::valueChanged, this, [this] {
        if (m_profile && findProfilePeaks()) identify();
    });
    m_threshold->setEnabled(false);
    connect(m_alpha1Only, &QCheckBox::toggled, this, [this] {
        if (m_profile && findProfilePeaks()) identify();
    });
    m_alpha1Only->setEnabled(false);
    panel->setMinimumWidth(240);
    return panel;
}

QWidget* frmIDENTIFY::buildPhases() {
    m_phasesPanel = new QWidget;
    auto* column = new QVBoxLayout(m_phasesPanel);
    column->setContentsMargins(6, 0, 0, 2);
    auto* header = new QHBoxLayout;
    auto* caption = boldLabel(QStringLiteral("Ph&ases"));
    auto* about = new QLabel(QStringLiteral("of the mixture, fitted to the profile together"));
    about->setMinimumWidth(10);
    m_removePhase = makeButton(QStringLiteral("Remove Phase"),
                               QStringLiteral("Take the selected phase out of the mixture and fit "
                                              "the others again (Delete)"));
    m_addPhase = makeButton(QStringLiteral("Add as Phase"),
                            QStringLiteral("Add the candidate selected below to the mixture, at "
                                           "most six phases, and fit them all again"));
    header->addWidget(caption);
    header->addSpacing(10);
    header->addWidget(about, 1);
    m_report = makeButton(QStringLiteral("Report"),
                          QStringLiteral("Print the identification, or save it as PDF: the file "
                                         "and settings, the phases with their amounts, the plot "
                                         "and each phase's lines"));
    auto* reportMenu = new QMenu(m_report);
    reportMenu->addAction(QStringLiteral("Print Preview..."), this, &frmIDENTIFY::previewReport);
    reportMenu->addAction(QStringLiteral("Save as PDF..."), this, &frmIDENTIFY::saveReportPdf);
    m_report->setMenu(reportMenu);
    header->addWidget(m_removePhase);
    header->addWidget(m_addPhase);
    header->addWidget(m_report);
    column->addLayout(header);

    m_phaseTable = new QTableView;
    m_phaseTable->setObjectName(QStringLiteral("phases"));
    m_phaseTable->setModel(m_phaseModel);
    setUpTable(m_phaseTable);
    const int character = m_phaseTable->fontMetrics().averageCharWidth();
    for (const auto& w : kPhaseColumnWidths)
        m_phaseTable->setColumnWidth(w.column, w.characters * character + 12);
    m_phaseTable->horizontalHeader()->setSectionResizeMode(MixturePhaseModel::Phase,
                                                           QHeaderView::Stretch);
    m_phaseTable->horizontalHeader()->setMinimumSectionSize(4 * character);
    caption->setBuddy(m_phaseTable);
    column->addWidget(m_phaseTable, 1);

    m_phaseFit = new QLabel;
    m_phaseFit->setObjectName(QStringLiteral("phaseFit"));
    m_phaseFit->setMinimumWidth(10);
    column->addWidget(m_phaseFit);

    auto* remove = new QAction(m_phaseTable);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    m_phaseTable->addAction(remove);
    connect(remove, &QAction::triggered, this, &frmIDENTIFY::removePhase);
    // Whichever table the user selects in says what the plot shows: a row selected in one
    // clears the other's selection.
    connect(m_phaseTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_phaseTable->selectionModel()->hasSelection()) phaseSelected();
    });
    connect(m_removePhase, &QPushButton::clicked, this, &frmIDENTIFY::removePhase);
    connect(m_addPhase, &QPushButton::clicked, this, &frmIDENTIFY::addAsPhase);
    return m_phasesPanel;
}

QWidget* frmIDENTIFY::buildResults() {
    auto* panel = new QWidget;
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(6, 0, 0, 4);
    auto* header = new QHBoxLayout;
    auto* caption = boldLabel(QStringLiteral("Ca&ndidates"));
    m_summary = new QLabel(QStringLiteral("Type the peaks or open a pattern file, then click "
                                          "Identify."));
    m_summary->setMinimumWidth(10);
    m_fullPattern = makeButton(QStringLiteral("&Full Pattern"),
                               QStringLiteral("Back to the ranking of the whole pattern"));
    m_fullPattern->hide();
    header->addWidget(caption);
    header->addSpacing(10);
    header->addWidget(m_summary, 1);
    header->addWidget(m_fullPattern);
    column->addLayout(header);

    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("candidates"));
    m_table->setModel(m_model);
    setUpTable(m_table);
    const int character = m_table->fontMetrics().averageCharWidth();
    for (const auto& w : kColumnWidths)
        m_table->setColumnWidth(w.column, w.characters * character + 12);
    m_table->horizontalHeader()->setSectionResizeMode(CandidateModel::Name, QHeaderView::Stretch);
    m_table->horizontalHeader()->setMinimumSectionSize(4 * character);
    caption->setBuddy(m_table);
    column->addWidget(m_table);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_table->selectionModel()->hasSelection()) candidateSelected();
    });
    connect(m_fullPattern, &QPushButton::clicked, this, &frmIDENTIFY::showFullPattern);
    return panel;
}

QWidget* frmIDENTIFY::buildComparison() {
    auto* split = new QSplitter(Qt::Horizontal);
    split->setChildrenCollapsible(false);

    auto* plotPanel = new QWidget;
    auto* plotColumn = new QVBoxLayout(plotPanel);
    plotColumn->setContentsMargins(6, 4, 4, 0);
    auto* axisRow = new QHBoxLayout;
    m_axisTwoTheta = new QRadioButton(QStringLiteral("&2θ"));
    m_axisD = new QRadioButton(QStringLiteral("&d"));
    m_axisD->setChecked(true);
    axisRow->addWidget(boldLabel(QStringLiteral("Comparison")));
    axisRow->addSpacing(10);
    axisRow->addWidget(new QLabel(QStringLiteral("Plot against:")));
    axisRow->addWidget(m_axisTwoTheta);
    axisRow->addWidget(m_axisD);
    axisRow->addStretch(1);
    plotColumn->addLayout(axisRow);
    m_plot = new PatternPlot;
    m_plot->setFont(font());
    plotColumn->addWidget(m_plot, 1);
    connect(m_axisTwoTheta, &QRadioButton::toggled, this, [this](bool on) {
        m_plot->setAxis(on ? PatternPlot::Axis::TwoTheta : PatternPlot::Axis::D);
    });

    auto* detailsPanel = new QWidget;
    auto* detailsColumn = new QVBoxLayout(detailsPanel);
    detailsColumn->setContentsMargins(4, 4, 0, 0);
    m_linesCaption = boldLabel(QStringLiteral("Line&s"));
    m_details = new QTableView;
    m_details->setObjectName(QStringLiteral("lines"));
    m_details->setModel(m_lineModel);
    setUpTable(m_details);
    m_details->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_details->horizontalHeader()->setStretchLastSection(true);
    m_linesCaption->setBuddy(m_details);
    m_linesCaption->setMinimumWidth(10);
    detailsColumn->addWidget(m_linesCaption);
    detailsColumn->addWidget(m_details, 1);

    split->addWidget(plotPanel);
    split->addWidget(detailsPanel);
    split->setStretchFactor(0, 1);
    split->setSizes({kDefaultWidth - kInputWidth - kDetailsWidth, kDetailsWidth});
    return split;
}

void frmIDENTIFY::setTabOrder() {
    const QWidget* order[] = {
        m_peaks,     m_openFile,    m_clear,    m_position,     m_wavelength,  m_tolerance,
        m_threshold, m_alpha1Only,  m_required, m_excluded,     m_maxElements, m_currentList,
        m_identify,  m_residual,    m_showList, m_close,        m_phaseTable,  m_removePhase,
        m_addPhase,  m_fullPattern, m_table,    m_axisTwoTheta, m_axisD,       m_details};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

QIcon frmIDENTIFY::toolbarIcon() {
    QPixmap picture(20, 20);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawLine(1, 11, 19, 11);
    p.setPen(QPen(plot_colours::kMeasured, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(5, 11, 5, 3);
    p.drawLine(10, 11, 10, 7);
    p.drawLine(15, 11, 15, 1);
    p.setPen(QPen(plot_colours::kCardLine, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(5, 11, 5, 16);
    p.drawLine(15, 11, 15, 19);
    return QIcon(picture);
}

void frmIDENTIFY::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmIDENTIFY::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter) return QWidget::eventFilter(watched, event);
    if (watched == m_peaks) {
        // Enter is a new line in the peak list; Ctrl+Enter identifies.
        if (!key->modifiers().testFlag(Qt::ControlModifier)) return false;
        identify();
        return true;
    }
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(watched)) spin->interpretText();
    if (watched == m_position && m_position->view()->isVisible()) return false;
    identify();
    return true;
}

} // namespace lithora::gui
