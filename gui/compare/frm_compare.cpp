#include "compare/frm_compare.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "common/message_box.h"
#include "common/qt_support.h"
#include "compare/compare_model.h"
#include "compare/compare_plot.h"
#include "print/card_page_painter.h"

namespace lithora::gui {

namespace {

const QString kTitle = QStringLiteral("Compare Cards");

} // namespace

frmCOMPARE::frmCOMPARE(CompareWindowHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window), m_host(host) {
    setObjectName(QStringLiteral("frmCOMPARE"));
    setWindowTitle(kTitle);

    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_onlyDifferences = new QCheckBox(QStringLiteral("&Only differences"), this);
    m_onlyDifferences->setToolTip(QStringLiteral("Show only the fields where the cards differ"));
    m_add = new QPushButton(QStringLiteral("&Add Current Card"), this);
    m_add->setToolTip(QStringLiteral("Add the card shown in the main window as a further column"));
    m_remove = new QPushButton(QStringLiteral("&Remove Card"), this);
    m_remove->setToolTip(QStringLiteral("Take the selected card's column away"));
    m_print = new QPushButton(QStringLiteral("&Print…"), this);
    m_print->setShortcut(QKeySequence::Print);
    m_print->setToolTip(
        QStringLiteral("Preview the comparison; print it or save it as a PDF file (Ctrl+P)"));
    m_close = new QPushButton(QStringLiteral("Close"), this);

    m_model = new CompareModel(this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectColumns);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(true);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->horizontalHeader()->setMinimumSectionSize(110);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->setAccessibleName(QStringLiteral("Compared fields"));

    m_plot = new ComparePlot(this);
    m_plot->setAccessibleName(QStringLiteral("Diffraction lines of the compared cards"));

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->addWidget(m_table);
    m_splitter->addWidget(m_plot);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
    m_splitter->setChildrenCollapsible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_onlyDifferences);
    buttons->addStretch(1);
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addWidget(m_print);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(buttons);

    connect(m_onlyDifferences, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setOnlyDifferences(on);
        refresh();
    });
    connect(m_add, &QPushButton::clicked, this, [this] { addCurrentCard(); });
    connect(m_remove, &QPushButton::clicked, this, &frmCOMPARE::removeSelectedCard);
    connect(m_print, &QPushButton::clicked, this, &frmCOMPARE::printComparison);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentColumnChanged, this,
            [this](const QModelIndex& current) { columnSelected(current.column()); });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &frmCOMPARE::columnSelected);
    connect(m_plot, &ComparePlot::cardClicked, this, [this](int column) {
        m_table->selectColumn(column);
        columnSelected(column);
    });

    setTabOrder(m_table, m_onlyDifferences);
    setTabOrder(m_onlyDifferences, m_add);
    setTabOrder(m_add, m_remove);
    setTabOrder(m_remove, m_print);
    setTabOrder(m_print, m_close);
    resize(860, 640);
    updateButtons();
}

frmCOMPARE::~frmCOMPARE() = default;

const CardComparison& frmCOMPARE::comparison() const {
    return m_model->comparison();
}

bool frmCOMPARE::setCards(const std::vector<int>& cards) {
    if (cards.size() > static_cast<std::size_t>(kMaxComparedCards)) {
        showMessage(this, MessageIcon::Exclamation, kTitle,
                    QStringLiteral("Up to %1 cards can be compared; %2 are selected.")
                        .arg(kMaxComparedCards)
                        .arg(cards.size()));
        return false;
    }
    std::vector<int> chosen;
    std::vector<CardState> states;
    for (const int card : cards) {
        if (std::find(chosen.begin(), chosen.end(), card) != chosen.end()) continue;
        // A card shown already keeps the state read for it; only new cards are read.
        const auto shown = std::find(m_cards.begin(), m_cards.end(), card);
        std::optional<CardState> state =
            shown != m_cards.end()
                ? std::optional<CardState>(
                      m_states[static_cast<std::size_t>(shown - m_cards.begin())])
                : cardStateOf(m_host.searchSession(), card);
        if (!state) {
            showMessage(
                this, MessageIcon::Exclamation, kTitle,
                QStringLiteral("Card %1 could not be read, so it cannot be compared.").arg(card));
            return false;
        }
        chosen.push_back(card);
        states.push_back(std::move(*state));
    }
    m_cards = std::move(chosen);
    m_states = std::move(states);
    refresh();
    return true;
}

bool frmCOMPARE::addCurrentCard() {
    const int card = m_host.searchSession().card.currentCardNumber;
    if (card <= 0) return false;
    if (std::find(m_cards.begin(), m_cards.end(), card) != m_cards.end()) {
        showMessage(this, MessageIcon::Information, kTitle,
                    QStringLiteral("%1 is compared already. Choose another card in the main "
                                   "window, then add it.")
                        .arg(qs(m_host.searchSession().card.currentName)));
        return false;
    }
    if (m_cards.size() >= static_cast<std::size_t>(kMaxComparedCards)) {
        showMessage(this, MessageIcon::Information, kTitle,
                    QStringLiteral("Up to %1 cards can be compared. Remove one first.")
                        .arg(kMaxComparedCards));
        return false;
    }
    std::vector<int> cards = m_cards;
    cards.push_back(card);
    if (!setCards(cards)) return false;
    m_table->selectColumn(static_cast<int>(m_cards.size()) - 1);
    return true;
}

void frmCOMPARE::removeSelectedCard() {
    const QModelIndex current = m_table->currentIndex();
    const int column = current.isValid() ? current.column() : -1;
    if (column < 0 || column >= static_cast<int>(m_cards.size())) return;
    m_cards.erase(m_cards.begin() + column);
    m_states.erase(m_states.begin() + column);
    refresh();
    if (!m_cards.empty()) m_table->selectColumn(std::min(column, int(m_cards.size()) - 1));
}

void frmCOMPARE::refresh() {
    const char separator = m_host.searchSession().decimalSeparator;
    CardComparison comparison = compareCardStates(m_states, separator);
    m_plot->setComparison(comparison);
    m_model->setComparison(std::move(comparison));
    // The section rows read across the whole table.
    m_table->clearSpans();
    for (int r = 0; r < m_model->rowCount(); ++r) {
        if (m_model->isSectionRow(r) && m_model->columnCount() > 1)
            m_table->setSpan(r, 0, 1, m_model->columnCount());
    }
    const CardComparison& shown = m_model->comparison();
    const auto differing = std::count_if(shown.rows.begin(), shown.rows.end(),
                                         [](const ComparisonRow& row) { return row.differ; });
    if (m_cards.size() < static_cast<std::size_t>(kMinComparedCards)) {
        m_summary->setText(QStringLiteral("Choose another card in the main window and press "
                                          "\"Add Current Card\" to compare it with this one."));
    } else {
        m_summary->setText(QStringLiteral("%1 cards; they differ in %2 of %3 fields (bold on a "
                                          "yellow ground). Select a column to show its card.")
                               .arg(m_cards.size())
                               .arg(differing)
                               .arg(shown.rows.size()));
    }
    updateButtons();
}

void frmCOMPARE::columnSelected(int column) {
    const int card = m_model->cardOfColumn(column);
    if (card <= 0) return;
    m_plot->setSelectedCard(column);
    updateButtons();
    if (m_host.searchSession().card.currentCardNumber != card) m_host.showComparedCard(card);
}

void frmCOMPARE::updateButtons() {
    m_add->setEnabled(m_cards.size() < static_cast<std::size_t>(kMaxComparedCards));
    m_remove->setEnabled(m_table->currentIndex().isValid() && !m_cards.empty());
    m_print->setEnabled(m_cards.size() >= static_cast<std::size_t>(kMinComparedCards));
}

void frmCOMPARE::printComparison() {
    if (m_cards.size() < static_cast<std::size_t>(kMinComparedCards)) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(kTitle);
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Print Comparison"));
    const CardComparison& comparison = m_model->comparison();
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&comparison](QPrinter* target) {
        QPainter painter(target);
        paintComparisonPages(painter, comparison, [target] { return target->newPage(); });
    });
    preview.exec();
}

void frmCOMPARE::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace lithora::gui
