#include "search/frm_element_search.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "common/message_box.h"
#include "common/qt_support.h"
#include "search/periodic_table_layout.h"
#include "search/text_search.h"

namespace lithora::gui {

namespace {

const QColor kSearchWindowColour(239, 239, 239);
const QColor kRequiredColour(200, 0, 0);
const QColor kPossibleColour(206, 255, 255);

// The window was drawn in twips: 5955 high with everything, 1365 with the text search only.
constexpr int kWidth = 640;
const int kExpandedHeight = px(5955);
const int kCollapsedHeight = px(1365);

const QRect kTextFrame{6, 2, 628, 84};
const QRect kElementFrame{6, 89, 628, 76};
const QRect kTableFrame{6, 168, 628, 226};

// The preset buttons, by their index: what each makes possible is the core's business.
const struct {
    const char* caption;
    const char* tip;
    QRect rect;
} kPresetButtons[] = {
    {"&Exclude All", "Exclude all elements", {376, 46, 96, 24}},
    {"&Light Elements", "Select light elements as possible elements", {250, 46, 120, 24}},
    {"&Common Elements", "Select common elements as possible elements", {124, 46, 120, 24}},
    {"&Possible All", "Select all elements as possible elements", {10, 46, 108, 24}},
};

QString forDialog(std::string_view text) {
    QString q = qs(text);
    q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return q;
}

void setColours(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

QPushButton* makeButton(QWidget* parent, const char* caption, const char* tip, const QRect& rect) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setGeometry(rect);
    button->setToolTip(QString::fromLatin1(tip));
    button->setFont(arialFont(8.25, false));
    return button;
}

QLabel* makeLabel(QWidget* parent, const QString& caption, const QRect& rect,
                  Qt::Alignment alignment) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(rect);
    label->setFont(arialFont(8.25, false));
    label->setAlignment(alignment);
    return label;
}

QGroupBox* makeFrame(QWidget* parent, const QString& caption, const QRect& rect) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setGeometry(rect);
    frame->setFont(arialFont(8.25, false));
    return frame;
}

bool isBlank(const QLineEdit* field) {
    return field->text().trimmed().isEmpty();
}

} // namespace

frmELEMENTSEARCH::~frmELEMENTSEARCH() {
    detachFromChildren(this);
}

frmELEMENTSEARCH::frmELEMENTSEARCH(SearchWindowHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window), m_host(host) {
    setObjectName(QStringLiteral("frmELEMENTSEARCH"));
    setWindowTitle(QStringLiteral("Database Search"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(arialFont(8.25, false));
    setAutoFillBackground(true);
    setColours(this, kSearchWindowColour, Qt::black);
    setFixedSize(kWidth, kExpandedHeight);
    buildTextFrame();
    buildElementFrame();
    buildElementTable();
    buildTableLabels();
    watchAll();
    refreshElementTable();
    updateSearchButtons();
}

void frmELEMENTSEARCH::buildTextFrame() {
    m_frame3 = makeFrame(this, QStringLiteral("Text Search"), kTextFrame);
    m_cmbTXT = new QComboBox(m_frame3);
    m_cmbTXT->setGeometry(10, 22, 170, 24);
    m_cmbTXT->setToolTip(QStringLiteral("Select category"));
    for (std::string_view category : kTextCategories)
        m_cmbTXT->addItem(qs(category));
    m_cmbTXT->setCurrentIndex(0);
    m_cmbTXT->setMaxVisibleItems(kTextCategoryCount);
    m_tf2 = new QLineEdit(m_frame3);
    m_tf2->setGeometry(188, 22, 428, 24);
    m_tf2->setToolTip(QStringLiteral("Enter keywords"));
    m_command5 = makeButton(m_frame3, "Search", "Start text search", {188, 52, 96, 24});
    m_command4 = makeButton(m_frame3, "New", "Start new text search", {290, 52, 96, 24});
    m_chkAnySetting = new QCheckBox(QStringLiteral("&Any setting"), m_frame3);
    m_chkAnySetting->setGeometry(398, 52, 150, 24);
    m_chkAnySetting->setFont(arialFont(8.25, false));
    m_chkAnySetting->setToolTip(QStringLiteral(
        "Find the unit cell in any setting: other axes, another centring, hexagonal or "
        "rhombohedral axes. The reduced primitive cells are compared; all six values are "
        "needed, and a lattice letter P, A, B, C, I, F or R may be added"));
    m_chkAnySetting->setEnabled(false); // the first category is not Unit Cell
    m_lbROLL = makeLabel(m_frame3, QStringLiteral("<<<"), {576, 54, 40, 20},
                         Qt::AlignRight | Qt::AlignVCenter);
    m_lbROLL->setToolTip(QStringLiteral("Collapse/Expand Window"));
    m_lbROLL->setCursor(Qt::PointingHandCursor);
    setTextSearchFocusLook(false);

    connect(m_command5, &QPushButton::clicked, this, &frmELEMENTSEARCH::Command5_Click);
    connect(m_command4, &QPushButton::clicked, this, &frmELEMENTSEARCH::Command4_Click);
    connect(m_tf2, &QLineEdit::returnPressed, this, &frmELEMENTSEARCH::Command5_Click);
    connect(m_tf2, &QLineEdit::textChanged, this, &frmELEMENTSEARCH::updateSearchButtons);
    connect(m_cmbTXT, &QComboBox::activated, this, [this] { setFocusSafe(m_tf2); });
    connect(m_cmbTXT, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_chkAnySetting->setEnabled(index == CategoryUnitCell); });
}

void frmELEMENTSEARCH::buildElementFrame() {
    m_frame2 = makeFrame(this, QStringLiteral("Element Search"), kElementFrame);
    m_tf = new QLineEdit(m_frame2);
    m_tf->setGeometry(10, 18, 352, 24);
    m_tf->setToolTip(QStringLiteral("Selected required elements"));
    m_tf->setReadOnly(true);
    QPalette red = m_tf->palette();
    red.setColor(QPalette::Text, kRequiredColour);
    m_tf->setPalette(red);
    m_command3 = makeButton(m_frame2, "Search", "Start element search", {376, 18, 96, 24});
    m_command2 = makeButton(m_frame2, "&New", "Start new element search", {478, 18, 66, 24});
    m_command1 = makeButton(m_frame2, "&Close", "Close search dialog", {550, 18, 66, 24});
    for (std::size_t k = 0; k < m_btPOS.size(); ++k) {
        const auto& preset = kPresetButtons[k];
        m_btPOS[k] = makeButton(m_frame2, preset.caption, preset.tip, preset.rect);
        connect(m_btPOS[k], &QPushButton::clicked, this,
                [this, k] { btPOS_Click(static_cast<int>(k)); });
    }
    m_label4 = makeLabel(m_frame2, QStringLiteral("max"), {510, 46, 34, 24},
                         Qt::AlignRight | Qt::AlignVCenter);
    m_label4->setToolTip(QStringLiteral("Enter 0 to accept any number of elements"));
    m_tfMAX = new QLineEdit(QStringLiteral("0"), m_frame2);
    m_tfMAX->setGeometry(550, 46, 66, 24);
    m_tfMAX->setToolTip(QStringLiteral("Allowed Maximum Number of Elements in Formula"));
    m_tfMAX->setMaxLength(5);

    connect(m_command3, &QPushButton::clicked, this, &frmELEMENTSEARCH::Command3_Click);
    connect(m_command2, &QPushButton::clicked, this, &frmELEMENTSEARCH::Command2_Click);
    connect(m_command1, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_tf, &QLineEdit::textChanged, this, &frmELEMENTSEARCH::updateSearchButtons);
}

void frmELEMENTSEARCH::buildElementTable() {
    using namespace periodic_table;
    m_frame1 = makeFrame(this, QStringLiteral("Periodic Table of Elements"), kTableFrame);
    for (int z = 1; z <= kElementCount; ++z) {
        auto* cell = makeLabel(m_frame1, QStringLiteral(" ") + qs(elementSymbol(z)),
                               cellRect(elementCell(z)), Qt::AlignLeft | Qt::AlignVCenter);
        cell->setFrameShape(QFrame::Box);
        cell->setLineWidth(1);
        cell->setAutoFillBackground(true);
        cell->setToolTip(QStringLiteral("Element %1").arg(z));
        cell->setCursor(Qt::PointingHandCursor);
        m_pse[static_cast<std::size_t>(z - 1)] = cell;
    }
}

void frmELEMENTSEARCH::buildTableLabels() {
    using namespace periodic_table;
    for (int period = 1; period <= kMainRows; ++period) {
        m_label1[static_cast<std::size_t>(period - 1)] =
            makeLabel(m_frame1, QString::number(period), cellRect({period, 0}), Qt::AlignCenter);
    }
    // The main groups' Roman numerals over groups 1, 2 and 13 to 18; VIII heads the noble gases.
    const char* numerals[] = {"I", "II", "III", "IV", "V", "VI", "VII", "VIII"};
    const int columns[] = {1, 2, 13, 14, 15, 16, 17, 18};
    for (std::size_t i = 0; i < 8; ++i) {
        m_label1[7 + i] = makeLabel(m_frame1, QString::fromLatin1(numerals[i]),
                                    cellRect({0, columns[i]}), Qt::AlignCenter);
    }
    // Period 1 leaves groups 2 to 17 free; the hint and the legend use that room.
    m_label5 = makeLabel(
        m_frame1,
        QStringLiteral("In order to select an element click at it until its background turns red"),
        spanRect(1, 3, 16), Qt::AlignCenter);
    m_label5->setCursor(Qt::PointingHandCursor);
    const QRect required = spanRect(2, 4, 7).adjusted(4, 2, -4, -2);
    m_label3[2] =
        makeLabel(m_frame1, QStringLiteral("Required Elements"), required, Qt::AlignCenter);
    m_label3[3] = makeLabel(m_frame1, QStringLiteral("Possible Elements"),
                            required.translated(4 * kCellWidth, 0), Qt::AlignCenter);
    setColours(m_label3[2], kRequiredColour, Qt::white);
    setColours(m_label3[3], kPossibleColour, Qt::black);
    for (QLabel* legend : {m_label3[2], m_label3[3]}) {
        legend->setAutoFillBackground(true);
        legend->setFrameShape(QFrame::Box);
    }
    const struct {
        std::size_t index;
        const char* caption;
        const char* tip;
        int row;
    } series[] = {{0, "Lanthanides", "Select/Unselect Lanthanides", kLanthanideRow},
                  {4, "Actinides", "Select/Unselect Actinides", kActinideRow}};
    for (const auto& s : series) {
        QLabel* label = makeLabel(m_frame1, QString::fromLatin1(s.caption),
                                  spanRect(s.row, 0, 2).adjusted(0, 0, -4, 0),
                                  Qt::AlignRight | Qt::AlignVCenter);
        label->setToolTip(QString::fromLatin1(s.tip));
        label->setCursor(Qt::PointingHandCursor);
        m_label2[s.index] = label;
    }
}

// The window sees every key and click before its controls do.
void frmELEMENTSEARCH::watchAll() {
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void frmELEMENTSEARCH::refreshElementTable() {
    for (int z = 1; z <= kElementCount; ++z) {
        QLabel* cell = m_pse[static_cast<std::size_t>(z - 1)];
        switch (m_selection.state(z)) {
        case ElementState::Required:
            setColours(cell, kRequiredColour, Qt::white);
            break;
        case ElementState::Possible:
            setColours(cell, kPossibleColour, Qt::black);
            break;
        case ElementState::Excluded:
            setColours(cell, Qt::white, Qt::black);
            break;
        }
    }
    m_tf->setText(qs(requiredElementsText(m_selection)));
}

void frmELEMENTSEARCH::cellPressed(int z, Qt::MouseButton button) {
    if (button == Qt::LeftButton) {
        m_selection.cycle(z);
    } else if (button == Qt::RightButton) {
        m_selection.require(z);
    } else {
        return;
    }
    refreshElementTable();
}

void frmELEMENTSEARCH::btPOS_Click(int k) {
    m_selection.applyPreset(k);
    refreshElementTable();
}

void frmELEMENTSEARCH::Command2_Click() {
    m_command3->setEnabled(false);
    m_tf->clear();
    m_selection.clear();
    refreshElementTable();
}

void frmELEMENTSEARCH::Command4_Click() {
    m_tf2->clear();
    setFocusSafe(m_tf2);
    m_command5->setEnabled(false);
}

void frmELEMENTSEARCH::updateSearchButtons() {
    m_command3->setEnabled(!isBlank(m_tf));
    m_command5->setEnabled(!isBlank(m_tf2));
}

int frmELEMENTSEARCH::typedLimit() const {
    return elementLimit(utf8(m_tfMAX->text()));
}

void frmELEMENTSEARCH::Command3_Click() {
    if (isBlank(m_tf)) m_label5->setVisible(true);
    if (!isBlank(m_tf2)) {
        showMessage(this, MessageIcon::Information, qs(kElementSearchTitle),
                    forDialog(kKeywordsIgnoredMessage));
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SearchOutcome outcome =
        runElementSearch(m_host.searchSession(), m_selection, typedLimit());
    QApplication::restoreOverrideCursor();
    showOutcome(outcome);
    refreshElementTable(); // the search made the required elements possible as well
}

void frmELEMENTSEARCH::Command5_Click() {
    if (isBlank(m_tf2)) {
        Command3_Click();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SearchOutcome outcome = runTextSearch(
        m_host.searchSession(), utf8(m_tf2->text()), m_cmbTXT->currentIndex(), utf8(m_tf->text()),
        typedLimit(), m_chkAnySetting->isEnabled() && m_chkAnySetting->isChecked());
    QApplication::restoreOverrideCursor();
    showOutcome(outcome);
}

void frmELEMENTSEARCH::showOutcome(const SearchOutcome& outcome) {
    m_host.showSearchPanels();
    if (outcome.end == SearchEnd::Matches) {
        m_host.showMatchList();
        return;
    }
    if (outcome.message.empty()) return;
    MessageIcon icon = MessageIcon::None; // "No Matches found" comes without an icon here
    if (outcome.end == SearchEnd::Failed) {
        icon = MessageIcon::Critical;
    } else if (outcome.title == kUnitCellTitle) {
        icon = MessageIcon::Exclamation;
    }
    showMessage(this, icon, qs(outcome.title), forDialog(outcome.message));
}

void frmELEMENTSEARCH::lbROLL_Click() {
    m_collapsed = !m_collapsed;
    setFixedSize(kWidth, m_collapsed ? kCollapsedHeight : kExpandedHeight);
    m_lbROLL->setText(m_collapsed ? QStringLiteral(">>>") : QStringLiteral("<<<"));
}

void frmELEMENTSEARCH::setTextSearchFocusLook(bool focused) {
    const QColor background = focused ? tooltipBackground() : kSearchWindowColour;
    for (QWidget* field : {static_cast<QWidget*>(m_tf2), static_cast<QWidget*>(m_cmbTXT)}) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, background);
        palette.setColor(QPalette::Button, background);
        field->setPalette(palette);
    }
}

bool frmELEMENTSEARCH::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            hide();
            return true;
        }
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (watched == m_tf2 || watched == m_cmbTXT) {
            // The combo's own list popping up is no loss of focus.
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
                setTextSearchFocusLook(event->type() == QEvent::FocusIn);
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // A quick second click arrives as a double click and must count as a click too.
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        const auto cell = std::find(m_pse.begin(), m_pse.end(), watched);
        if (cell != m_pse.end()) {
            cellPressed(static_cast<int>(cell - m_pse.begin()) + 1, button);
            return true;
        }
        if (button != Qt::LeftButton) break;
        if (watched == m_label5) {
            m_label5->hide();
        } else if (watched == m_lbROLL) {
            lbROLL_Click();
        } else if (watched == m_label2[0] || watched == m_label2[4]) {
            if (watched == m_label2[0]) {
                m_selection.toggleLanthanides();
            } else {
                m_selection.toggleActinides();
            }
            refreshElementTable();
        } else {
            break;
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace lithora::gui
