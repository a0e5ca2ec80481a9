#include "card/frm_near_misses.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "card/near_miss_model.h"
#include "common/qt_support.h"

namespace lithora::gui {

namespace {

constexpr int kDefaultWidth = 760;
constexpr int kDefaultHeight = 380;

// Column widths in average characters; the last column takes what is left.
const struct {
    int column;
    int characters;
} kColumnWidths[] = {
    {NearMissModel::Name, 26},
    {NearMissModel::Card, 7},
    {NearMissModel::Criterion, 13},
};

QPushButton* makeButton(const QString& caption, const QString& tip) {
    auto* button = new QPushButton(caption);
    button->setToolTip(tip);
    // Enter on a focused button presses it, as in a dialog.
    button->setAutoDefault(true);
    return button;
}

} // namespace

frmNEARMISSES::frmNEARMISSES(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmNEARMISSES"));
    setWindowTitle(QStringLiteral("Near Misses"));
    setFont(arialFont(9, false));
    m_model = new NearMissModel(this);

    m_headline = new QLabel;
    QFont bold = m_headline->font();
    bold.setBold(true);
    m_headline->setFont(bold);
    m_summary = new QLabel;
    m_summary->setWordWrap(true);

    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("nearMisses"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    const int character = m_table->fontMetrics().averageCharWidth();
    for (const auto& w : kColumnWidths)
        m_table->setColumnWidth(w.column, w.characters * character + 12);
    m_table->installEventFilter(this);
    connect(m_table, &QTableView::doubleClicked, this, &frmNEARMISSES::chooseRow);

    m_showList = makeButton(QStringLiteral("Show as &List"),
                            QStringLiteral("Put these entries into the main list, closest first"));
    m_close = makeButton(QStringLiteral("&Close"), QStringLiteral("Close the window (Esc)"));
    connect(m_showList, &QPushButton::clicked, this, &frmNEARMISSES::listWanted);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    auto* hint = new QLabel(QStringLiteral("Enter or a double click shows the entry's card."));
    hint->setForegroundRole(QPalette::PlaceholderText);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(hint, 1);
    buttons->addWidget(m_showList);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(m_headline);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);

    QWidget::setTabOrder(m_table, m_showList);
    QWidget::setTabOrder(m_showList, m_close);
    resize(kDefaultWidth, kDefaultHeight);
}

frmNEARMISSES::~frmNEARMISSES() {
    detachFromChildren(this);
}

void frmNEARMISSES::setNearMisses(const QString& headline, const QString& summary,
                                  NearMissList list) {
    m_list = std::move(list);
    m_headline->setText(headline);
    m_headline->setVisible(!headline.isEmpty());
    m_summary->setText(summary);
    m_model->setMisses(m_list.misses);
    m_showList->setEnabled(!m_list.misses.empty());
    if (!m_list.misses.empty()) {
        m_table->setCurrentIndex(m_model->index(0, NearMissModel::Name));
        m_table->scrollToTop();
    }
    m_table->setFocus(Qt::OtherFocusReason);
}

void frmNEARMISSES::chooseRow(const QModelIndex& index) {
    if (const NearMiss* m = index.isValid() ? m_model->miss(index.row()) : nullptr)
        emit cardChosen(m->card);
}

void frmNEARMISSES::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmNEARMISSES::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            chooseRow(m_table->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace lithora::gui
