#include "card/frm_card.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionFrame>
#include <QTextLayout>
#include <algorithm>

#include "card/card_layout.h"
#include "card/card_texts.h"
#include "common/qt_support.h"

namespace lithora::gui {

namespace {

// The card window's colours.
const QColor kFieldColour(239, 239, 239);     // C0
const QColor kPanelColour(222, 222, 222);     // C1
const QColor kLabelColour(103, 103, 103);     // C2
const QColor kReferenceColour(206, 255, 255); // C3
const QColor kButtonColour(189, 189, 189);    // C4
const QColor kSecondaryLabelColour(153, 153, 153);

// Fields have no border but while the optics panel shows; search criteria are red.
QString fieldStyle(const QColor& background, bool border, bool red = false) {
    return QStringLiteral("background-color: %1; color: %3; border: %2; padding: 0px;")
        .arg(background.name(),
             border ? QStringLiteral("1px solid #808080") : QStringLiteral("none"),
             red ? QStringLiteral("#ff0000") : QStringLiteral("black"));
}

// The optics panel paints its arrow between the index columns.
class OpticsPanel : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), kPanelColour);
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(card_layout::kArrowTop, card_layout::kArrowBottom);
        p.drawLine(QPoint(290, 250), card_layout::kArrowBottom);
        p.drawLine(QPoint(300, 250), card_layout::kArrowBottom);
    }
};

// A line edit that can say how wide a text it shows without scrolling.
class CardLineEdit : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

    int textWidth() const {
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QRect contents =
            style()->subElementRect(QStyle::SE_LineEditContents, &option, this) - textMargins();
        // QLineEdit keeps two pixels either side of its text, and scrolls once the text with one
        // pixel to spare and its caret is wider than what is left.
        return contents.width() - 2 * 2 - 2;
    }
};

const QString kEllipsis = QStringLiteral("\u2026");

QString fitLine(const QString& value, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(value) <= width) return value;
    return metrics.elidedText(value, Qt::ElideRight, std::max(width, 0));
}

// The height of a text laid out as a QPlainTextEdit lays it out: a block for each line break,
// lines wrapped at a word boundary or anywhere, each line's leading included.
qreal laidOutHeight(const QString& text, const QFont& font, qreal width) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    qreal height = 0;
    for (const QString& paragraph : plain.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width);
            height += line.height();
        }
        layout.endLayout();
    }
    return height;
}

// The longest start of the value that fits with "…" after it, cut at whatever character lets
// the most show.
QString fitBlock(const QString& value, const QFont& font, qreal width, qreal height) {
    auto fits = [&](const QString& text) { return laidOutHeight(text, font, width) <= height; };
    if (fits(value)) return value;
    auto cut = [&](qsizetype n) {
        QString start = value.left(n);
        while (!start.isEmpty() && start.back().isSpace())
            start.chop(1);
        return start + kEllipsis;
    };
    qsizetype low = 0;
    qsizetype high = value.size() - 1;
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (fits(cut(middle))) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return cut(low);
}

} // namespace

QWidget* CardField::widget() const {
    return m_line ? static_cast<QWidget*>(m_line) : m_multi;
}

void CardField::setText(const QString& text) {
    m_value = text;
    if (m_line) m_line->setText(text);
    if (m_multi) m_multi->setPlainText(text);
    refit();
    if (m_line) m_line->setCursorPosition(0);
}

void CardField::refit() {
    QWidget* w = widget();
    if (!w) return;
    // While editable the field shows what is typed, as typed.
    QString shown = text();
    if (!m_editable && m_line) {
        const auto* edit = dynamic_cast<const CardLineEdit*>(m_line);
        shown = fitLine(m_value, m_line->fontMetrics(),
                        edit ? edit->textWidth() : m_line->contentsRect().width() - 6);
    } else if (!m_editable && m_multi) {
        const qreal margin = m_multi->document()->documentMargin();
        const QRect area = m_multi->contentsRect();
        shown = fitBlock(m_value, m_multi->font(), area.width() - 2 * margin,
                         area.height() - 2 * margin);
    }
    if (m_line && m_line->text() != shown) {
        m_line->setText(shown);
        m_line->setCursorPosition(0);
    } else if (m_multi && m_multi->toPlainText() != shown) {
        m_multi->setPlainText(shown);
    }
    // The tooltip holds the whole value while it is cut; a tooltip of the window's own (a hint
    // for typing a criterion) comes back once the value fits.
    if (shown != text()) {
        if (w->toolTip() != m_tipShown || m_tipShown.isEmpty()) m_tipBefore = w->toolTip();
        m_tipShown = m_value.trimmed(); // without the blank the card sets before each value
        w->setToolTip(m_tipShown);
    } else if (!m_tipShown.isEmpty()) {
        if (w->toolTip() == m_tipShown) w->setToolTip(m_tipBefore);
        m_tipShown.clear();
    }
}

void CardField::setEditable(bool editable) {
    if (m_editable && !editable) m_value = m_line ? m_line->text() : m_multi->toPlainText();
    m_editable = editable;
    refit();
    if (m_line) m_line->setReadOnly(!editable);
    if (m_multi) m_multi->setReadOnly(!editable);
    if (QWidget* w = widget()) {
        w->setFocusPolicy(editable ? Qt::StrongFocus : Qt::NoFocus);
        w->setCursor(editable ? Qt::IBeamCursor : Qt::ArrowCursor);
    }
}

QString CardField::text() const {
    if (!m_editable) return m_value;
    if (m_line) return m_line->text();
    return m_multi ? m_multi->toPlainText() : QString();
}

frmCARD::frmCARD(CardWindowHost& host, QWidget* parent) : QWidget(parent), m_host(host) {
    setObjectName(QStringLiteral("frmCARD"));
    setFixedSize(card_layout::kWidth, card_layout::kHeight);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    buildMainFields();
    buildTopRow();
    buildOpticsPanel();
    buildSearchFrame();
    arrangeCardFields();
    m_unreadableNote = new QLabel(this);
    m_unreadableNote->setObjectName(QStringLiteral("unreadableNote"));
    m_unreadableNote->setGeometry(card_layout::kUnreadableNote);
    m_unreadableNote->setWordWrap(true);
    m_unreadableNote->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_unreadableNote->setMargin(12);
    m_unreadableNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_unreadableNote->setFont(arialFont(9, false));
    m_unreadableNote->setStyleSheet(QStringLiteral(
        "QLabel { background-color: #fff8dc; color: black; border: 1px solid #b08000; }"));
    m_unreadableNote->hide();
}

frmCARD::~frmCARD() {
    detachFromChildren(this);
}

CardField frmCARD::makeField(QWidget* parent, const QRect& rect, bool multiLine, bool centred,
                             const QFont& font) {
    CardField field;
    if (multiLine) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setReadOnly(true);
        edit->setFrameShape(QFrame::NoFrame);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->document()->setDocumentMargin(1);
        field = CardField(nullptr, edit);
    } else {
        auto* edit = new CardLineEdit(parent);
        edit->setReadOnly(true);
        edit->setFrame(false);
        edit->setTextMargins(0, 0, 0, 0);
        if (centred) edit->setAlignment(Qt::AlignCenter);
        field = CardField(edit, nullptr);
    }
    QWidget* w = field.widget();
    w->setGeometry(rect);
    w->setFont(font);
    w->setStyleSheet(fieldStyle(kFieldColour, false));
    w->setFocusPolicy(Qt::NoFocus);
    w->setCursor(Qt::ArrowCursor);
    watch(w);
    // A multi-line field gets its mouse through its viewport.
    QWidget* mouseTarget = multiLine ? static_cast<QPlainTextEdit*>(w)->viewport() : w;
    mouseTarget->setCursor(Qt::ArrowCursor);
    if (mouseTarget != w) watch(mouseTarget);
    m_fieldMouseTargets.push_back(mouseTarget);
    return field;
}

QLabel* frmCARD::makeLabel(QWidget* parent, int index, const QString& caption, const QRect& rect,
                           const QColor& colour, const QFont& font, Qt::Alignment alignment) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(rect);
    label->setFont(font);
    label->setAlignment(alignment);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    if (index >= 0) m_label1[static_cast<std::size_t>(index)] = label;
    watch(label);
    return label;
}

void frmCARD::watch(QWidget* widget) {
    widget->installEventFilter(this);
}

void frmCARD::buildMainFields() {
    const QFont bold9 = arialFont(9, true);
    for (const card_layout::FieldPlace& place : card_layout::mainFields()) {
        QFont font = place.index == 0 ? arialFont(12, true) : bold9;
        if (place.index == 44 || place.index == 46 || place.index == 48) font.setBold(false);
        m_tf[static_cast<std::size_t>(place.index)] =
            makeField(this, place.rect, place.multiLine, place.centred, font);
    }
    for (int index : {43, 45, 47}) {
        m_tf[static_cast<std::size_t>(index)].widget()->setStyleSheet(
            fieldStyle(kReferenceColour, false));
    }
    const QFont captionFont = arialFont(8.25, true);
    for (const card_layout::LabelPlace& place : card_layout::mainLabels()) {
        makeLabel(this, place.index, place.caption, place.rect,
                  place.grey ? kSecondaryLabelColour : kLabelColour, captionFont, place.alignment);
    }
    for (int k = 0; k < 3; ++k) {
        m_lbr[static_cast<std::size_t>(k)] =
            makeLabel(this, -1, QString(), card_layout::referenceNumberRect(k), kLabelColour,
                      captionFont, Qt::AlignCenter);
    }
    m_scr = new QScrollBar(Qt::Vertical, this);
    m_scr->setGeometry(card_layout::kReferenceScrollBar);
    m_scr->setMinimum(1);
    m_scr->setPageStep(1);
    m_scr->setFocusPolicy(Qt::NoFocus);
    connect(m_scr, &QScrollBar::valueChanged, this, &frmCARD::showReferencePage);
}

void frmCARD::buildTopRow() {
    const QFont font = arialFont(8.25, false);
    const QString buttonStyle = QStringLiteral("background-color: %1;").arg(kButtonColour.name());
    for (const card_layout::ButtonPlace& place : card_layout::topRow()) {
        QAbstractButton* button = nullptr;
        if (place.index < 0) {
            m_search = new QCheckBox(place.caption, this);
            m_search->setStyleSheet(buttonStyle);
            connect(m_search, &QCheckBox::toggled, this, &frmCARD::cb_Click);
            button = m_search;
        } else {
            auto* push = new QPushButton(place.caption, this);
            push->setStyleSheet(buttonStyle +
                                QStringLiteral(" border: 1px solid #7a7a7a; padding: 0px;"));
            m_bt[static_cast<std::size_t>(place.index)] = push;
            const int index = place.index;
            connect(push, &QPushButton::clicked, this, [this, index] { bt_Click(index); });
            button = push;
        }
        button->setGeometry(place.rect);
        button->setFont(font);
        button->setToolTip(place.toolTip);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::ArrowCursor);
        watch(button);
    }
}

void frmCARD::buildOpticsPanel() {
    m_pb = new OpticsPanel(this);
    m_pb->setGeometry(card_layout::kOpticsPanel);
    const QFont font10 = arialFont(10, false);
    for (int i = 0; i < 50; ++i)
        m_of[static_cast<std::size_t>(i)] = CardField();
    for (const card_layout::FieldPlace& place : card_layout::opticsFields()) {
        m_of[static_cast<std::size_t>(place.index)] =
            makeField(m_pb, place.rect, place.multiLine, place.centred, font10);
    }
    const QFont captionFont = arialFont(8.25, true);
    const QFont largeFont = arialFont(12, true);
    for (const card_layout::LabelPlace& place : card_layout::opticsLabels()) {
        makeLabel(m_pb, place.index, place.caption, place.rect, kLabelColour,
                  place.large ? largeFont : captionFont, place.alignment);
    }
    QLabel* lambda = makeLabel(m_pb, -1, QStringLiteral("\u03BB"), card_layout::kLambdaLabel,
                               Qt::black, arialFont(9, true), Qt::AlignCenter);
    lambda->setAutoFillBackground(true);
    QPalette palette = lambda->palette();
    palette.setColor(QPalette::Window, kPanelColour);
    lambda->setPalette(palette);
    m_pb->hide();
}

void frmCARD::restyleField(const CardField& field, bool optics, int index, bool focused) {
    if (!field.widget()) return;
    const bool reference = !optics && (index == 43 || index == 45 || index == 47);
    const QColor background = focused && m_searchMode ? tooltipBackground()
                              : reference             ? kReferenceColour
                                                      : kFieldColour;
    const bool border = !optics && m_opticsShown && (index <= 2 || index == 41 || index == 42);
    field.widget()->setStyleSheet(fieldStyle(background, border, m_searchMode));
}

void frmCARD::restyleAllFields() {
    for (std::size_t i = 0; i < m_tf.size(); ++i)
        restyleField(m_tf[i], false, static_cast<int>(i));
    for (std::size_t i = 0; i < m_of.size(); ++i)
        restyleField(m_of[i], true, static_cast<int>(i));
}

bool frmCARD::isField(QObject* object, bool* optics, int* index) const {
    for (std::size_t i = 0; i < m_tf.size(); ++i) {
        if (m_tf[i].widget() == object) {
            *optics = false;
            *index = static_cast<int>(i);
            return true;
        }
    }
    for (std::size_t i = 0; i < m_of.size(); ++i) {
        if (m_of[i].widget() && m_of[i].widget() == object) {
            *optics = true;
            *index = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

void frmCARD::arrangeCardFields() {
    m_opticsShown = m_pb->isVisible();
    // The optics panel leaves the formula row only as wide as the name and synonym rows.
    m_tf[2].widget()->resize(m_opticsShown ? m_tf[0].widget()->width() : 521, 19);
    for (int index : {0, 1, 2, 41, 42})
        restyleField(m_tf[static_cast<std::size_t>(index)], false, index);
    m_tf[3].widget()->setVisible(!m_opticsShown);
    update();
}

void frmCARD::bt_Click(int index) {
    switch (index) {
    case 0:
        m_host.btPREV_Click();
        setCard();
        break;
    case 1:
        m_host.btNEXT_Click();
        setCard();
        break;
    case 2:
        if (m_pb->isVisible()) {
            m_pb->hide();
            arrangeCardFields();
        }
        break;
    case 3:
        if (!m_pb->isVisible()) {
            m_pb->show();
            m_pb->raise();
            arrangeCardFields();
        }
        break;
    default:
        break;
    }
}

void frmCARD::setCard() {
    if (m_searchMode) return;
    const CardState& state = m_host.cardState();
    const MainFieldTexts texts = mainFieldTexts(state);
    for (std::size_t i = 0; i < texts.size(); ++i)
        m_tf[i].setText(qs(texts[i]));
    for (CardField& field : m_of)
        field.setText(QString());
    m_tf[0].widget()->resize(m_tf[0].widget()->width(), 24);
    m_tf[1].widget()->resize(m_tf[1].widget()->width(), 19);
    m_tf[2].widget()->resize(m_tf[2].widget()->width(), 19);

    const QSignalBlocker block(m_scr);
    m_scr->setMaximum(referenceScrollMaximum(state.currentReferenceCount, m_extraReferenceSteps));
    m_scr->setEnabled(referenceScrollEnabled(state.currentReferenceCount));
    m_scr->setValue(1);
    showReferencePage(1);

    if (!state.currentOpticalRecord.empty()) setOptics();

    m_unreadableNote->setText(qs(state.unreadableMessage));
    m_unreadableNote->setVisible(!state.unreadableMessage.empty());
    if (m_unreadableNote->isVisible()) m_unreadableNote->raise();
}

void frmCARD::showReferencePage(int value) {
    const ReferencePage page = referencePage(m_host.cardState(), value);
    for (std::size_t k = 0; k < page.lines.size(); ++k)
        m_tf[43 + k].setText(qs(page.lines[k]));
    for (std::size_t k = 0; k < page.numbers.size(); ++k)
        m_lbr[k]->setText(qs(page.numbers[k]));
}

void frmCARD::setOptics() {
    const OpticsFieldTexts texts =
        opticsFieldTexts(m_host.cardState().currentOpticalRecord, m_host.decimalSeparator());
    for (std::size_t i = 0; i < texts.size(); ++i)
        m_of[i].setText(qs(texts[i]));
}

void frmCARD::SetNetbookSize() {
    const QRect fourthLine = m_tf[46].widget()->geometry();
    setFixedHeight(fourthLine.top() + 1);
    m_scr->resize(m_scr->width(), 3 * fourthLine.height() - 3);
    m_extraReferenceSteps = 2;
}

void frmCARD::showFormView() {
    if (m_search->isChecked()) m_search->setChecked(false);
    if (m_pb->isVisible()) bt_Click(2);
    restyleAllFields();
}

bool frmCARD::handleKey(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!m_searchMode) return false;
        startSearch();
        return true;
    case Qt::Key_Escape:
        hide();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (m_searchMode) return false;
        m_host.btPREV_Click();
        setCard();
        return true;
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (m_searchMode) return false;
        m_host.btNEXT_Click();
        setCard();
        return true;
    default:
        return false;
    }
}

void frmCARD::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event)) QWidget::keyPressEvent(event);
}

bool frmCARD::eventFilter(QObject* watched, QEvent* event) {
    // A field fits its value to its size, font and border again whenever one of them changes.
    if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange) {
        bool optics = false;
        int index = 0;
        if (isField(watched, &optics, &index)) {
            (optics ? m_of[static_cast<std::size_t>(index)] : m_tf[static_cast<std::size_t>(index)])
                .refit();
        }
    }
    // The window sees every key before its controls do.
    if (event->type() == QEvent::KeyPress) return handleKey(static_cast<QKeyEvent*>(event));
    if (m_searchMode && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        bool optics = false;
        int index = 0;
        if (isField(watched, &optics, &index)) {
            restyleField(optics ? m_of[static_cast<std::size_t>(index)]
                                : m_tf[static_cast<std::size_t>(index)],
                         optics, index, event->type() == QEvent::FocusIn);
        }
    }
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == m_bt[0] || watched == m_bt[1]) {
            if (mouse->button() != Qt::RightButton) return false;
            // A right click on Prev goes to the next card and on Next to the previous one.
            bt_Click(watched == m_bt[0] ? 1 : 0);
            return true;
        }
        const bool onField = std::find(m_fieldMouseTargets.begin(), m_fieldMouseTargets.end(),
                                       watched) != m_fieldMouseTargets.end();
        if (!m_searchMode && onField) {
            // Outside search mode the fields take no caret and no selection; a right click opens
            // the list's view menu.
            setFocus(Qt::MouseFocusReason);
            if (mouse->button() == Qt::RightButton)
                m_host.showViewMenu(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmCARD::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kPanelColour);
    p.fillRect(card_layout::kFieldArea, kFieldColour);
}

} // namespace lithora::gui
