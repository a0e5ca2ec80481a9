#include "main/form1.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "card/card_layout.h"
#include "common/message_box.h"
#include "common/qt_support.h"
#include "datafiles/tables.h"
#include "list/list_view.h"
#include "list/name_search.h"
#include "main/entry_list_model.h"
#include "main/entry_list_view.h"
#include "session/data_damage.h"

namespace lithora::gui {

namespace {

// Geometry of the main window in twips.
constexpr int kToolbarHeight = 540;
constexpr int kFrameTop = 540;
constexpr int kListTop = 270;
constexpr int kNameFieldHeight = 315;
constexpr int kNameFieldGap = 120;
constexpr int kListGap = 90;
constexpr int kDividerWidth = 90;
constexpr int kCardLeft = 3465;
constexpr int kCardTop = 540;
constexpr int kNetbookHeight = 8475;
constexpr int kCompactScreenHeight = 9000;

const QColor kWindowColour(222, 222, 222);
const QColor kBandColour(233, 233, 233);

char systemDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 128 ? static_cast<char>(point[0].unicode())
                                                         : '.';
}

} // namespace

Form1::Form1(const std::filesystem::path& dataDir, QWidget* parent,
             const std::filesystem::path& programPath)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Lithora"));
    m_session.data.dir = dataDir;
    m_programDir = dataDir.parent_path();
    m_programPath = programPath.empty() ? m_programDir / "lithora" : programPath;
    m_session.decimalSeparator = systemDecimalSeparator();
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kWindowColour);
    setPalette(palette);
    setAutoFillBackground(true);
    setMouseTracking(true);

    buildToolbar();
    buildFrame();
    buildStatusBar();
    buildMenus();
    connectList();
    resize(px(kCardLeft) + card_layout::kWidth + px(kFrameLeft) + 2,
           px(kCardTop) + card_layout::kHeight + px(kFrameLeft) + m_status->sizeHint().height());
    layoutChrome();
    layoutFrame();
}

Form1::~Form1() {
    detachFromChildren(this);
}

void Form1::buildToolbar() {
    m_toolbar = new QToolBar(this);
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(20, 20));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const struct {
        const char* caption;
        QStyle::StandardPixmap icon;
    } buttons[] = {
        {"Show All Entries", QStyle::SP_FileDialogDetailedView},
        {"Print Card", QStyle::SP_DialogSaveButton},
        {"Chemistry / Text Search", QStyle::SP_FileDialogContentsView},
        {"Help", QStyle::SP_DialogHelpButton},
    };
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        m_toolbarActions[i] = m_toolbar->addAction(style()->standardIcon(buttons[i].icon),
                                                   QString::fromLatin1(buttons[i].caption));
    }
    QAction* identify =
        m_toolbar->addAction(frmIDENTIFY::toolbarIcon(), QStringLiteral("Identify"));
    identify->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    identify->setToolTip(QStringLiteral("Identify Pattern (Ctrl+I)"));
    m_toolbarActions[4] = identify;
    QAction* compare = m_toolbar->addAction(style()->standardIcon(QStyle::SP_FileDialogListView),
                                            QStringLiteral("Compare"));
    compare->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    compare->setToolTip(QStringLiteral("Compare the selected cards side by side (Ctrl+K); "
                                       "Ctrl+click or Shift+click rows to select them"));
    m_toolbarActions[5] = compare;
    // The buttons are numbered from 1, as tb_ButtonClick takes them.
    for (std::size_t i = 0; i < m_toolbarActions.size(); ++i) {
        connect(m_toolbarActions[i], &QAction::triggered, this,
                [this, i] { tb_ButtonClick(static_cast<int>(i) + 1); });
    }
    auto* spacer = new QWidget(m_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spacer);
    m_logo = new QLabel(QStringLiteral("LITHORA  "), m_toolbar);
    m_logo->setFont(arialFont(12, true));
    QPalette logoPalette = m_logo->palette();
    logoPalette.setColor(QPalette::WindowText, QColor(70, 90, 120));
    m_logo->setPalette(logoPalette);
    m_logo->setCursor(Qt::PointingHandCursor);
    m_logo->installEventFilter(this);
    m_toolbar->addWidget(m_logo);
}

void Form1::buildFrame() {
    m_frame = new QGroupBox(QStringLiteral("List View"), this);
    m_frame->setGeometry(px(kFrameLeft), px(kFrameTop), px(kFrameWidthBesideCard), 400);
    m_frame->setFont(arialFont(8.25, true));
    m_list = new EntryListView(m_frame);
    m_list->setGeometry(px(kListLeft), px(kListTop), px(kListWidthBesideCard), 300);
    m_list->setFont(arialFont(8.25, false));
    m_model = std::make_unique<EntryListModel>(m_session.rows);
    m_list->setModel(m_model.get());
    QPalette listPalette = m_list->palette();
    listPalette.setColor(QPalette::Base, kWindowColour);
    listPalette.setColor(QPalette::AlternateBase, kBandColour);
    m_list->setPalette(listPalette);
    for (int c = 0; c < kListColumnCount; ++c) {
        const int width = kListColumns[static_cast<std::size_t>(c)].width;
        m_list->setColumnWidth(c, px(width));
        m_list->setColumnHidden(c, width == 0);
    }

    m_name = new QLineEdit(m_frame);
    m_name->setToolTip(QStringLiteral("Search Name or Card number"));
    m_name->setFont(arialFont(9, false));
    m_name->installEventFilter(this);
    setNameFieldFocusLook(false);
    const QString tips[] = {QStringLiteral("Toggle Last Selection"),
                            QStringLiteral("Clear Text Field for Name Search")};
    const QStyle::StandardPixmap icons[] = {QStyle::SP_BrowserReload,
                                            QStyle::SP_LineEditClearButton};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QToolButton(m_frame);
        button->setToolTip(tips[i]);
        button->setIcon(style()->standardIcon(icons[i]));
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoRaise(true);
        m_tb2b[static_cast<std::size_t>(i)] = button;
    }
    connect(m_tb2b[0], &QToolButton::clicked, this, &Form1::toggleLastSelection);
    connect(m_tb2b[1], &QToolButton::clicked, this, &Form1::clearNameField);
    connect(m_name, &QLineEdit::textChanged, this, &Form1::nameFieldChanged);
    connect(m_name, &QLineEdit::returnPressed, this, &Form1::nameFieldChanged);
}

void Form1::buildStatusBar() {
    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(true);
    const int minimumWidths[] = {110, 150, 0, 90};
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i] = new QLabel(m_status);
        m_panels[i]->setMinimumWidth(minimumWidths[i]);
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_status->addPermanentWidget(m_panels[i], i == 2 ? 1 : 0);
    }
    m_damageNote = new QLabel(m_status);
    m_damageNote->setObjectName(QStringLiteral("damageNote"));
    m_damageNote->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
    m_status->addWidget(m_damageNote);
    m_damageNote->hide();
}

void Form1::layoutChrome() {
    m_toolbar->setGeometry(0, 0, width(), px(kToolbarHeight));
    const int statusHeight = m_status->sizeHint().height();
    m_status->setGeometry(0, height() - statusHeight, width(), statusHeight);
}

void Form1::layoutFrame() {
    // The frame reaches down to the status bar, keeping a margin as wide as its left one; the
    // name field and its buttons sit at its bottom, the list fills the rest.
    const int frameHeight =
        height() - m_status->sizeHint().height() - px(kFrameTop) - px(kFrameLeft);
    m_frame->setGeometry(px(kFrameLeft), px(kFrameTop), m_frame->width(), frameHeight);
    const int nameTop = frameHeight - px(kNameFieldHeight) - px(kNameFieldGap);
    const int listWidth = m_list->width();
    const int buttonSize = px(kNameFieldHeight);
    m_name->setGeometry(px(kListLeft), nameTop, listWidth - 2 * (buttonSize + 2),
                        px(kNameFieldHeight));
    m_tb2b[0]->setGeometry(px(kListLeft) + listWidth - 2 * buttonSize - 2, nameTop + 1, buttonSize,
                           buttonSize);
    m_tb2b[1]->setGeometry(px(kListLeft) + listWidth - buttonSize, nameTop + 1, buttonSize,
                           buttonSize);
    m_list->setGeometry(px(kListLeft), px(kListTop), listWidth,
                        nameTop - px(kListTop) - px(kListGap));
    m_viewLabel->setGeometry(m_frame->width() - 24, 0, 18, 16);
}

frmCARD* Form1::cardWindow() {
    if (!m_card) {
        m_card = new frmCARD(*this, this);
        m_card->move(px(kCardLeft), px(kCardTop));
        m_card->hide();
    }
    return m_card;
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChrome();
    // The frame follows the window only in the compact layout of small screens; elsewhere the
    // window's controls keep their places when it is resized.
    if (isMinimized() || cardWindow()->extraReferenceSteps() == 0) return;
    layoutFrame();
}

bool Form1::onDivider(int x) const {
    const int right = m_frame->x() + m_frame->width();
    return x > right && x < right + px(kDividerWidth);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    setCursor(onDivider(event->position().toPoint().x()) ? Qt::SizeHorCursor : Qt::ArrowCursor);
    QWidget::mouseMoveEvent(event);
}

void Form1::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && cursor().shape() == Qt::SizeHorCursor) dividerClick();
    QWidget::mousePressEvent(event);
}

void Form1::dividerClick() {
    setCursor(Qt::ArrowCursor);
    frmCARD* card = cardWindow();
    card->setVisible(!card->isVisible());
    if (card->isVisible()) {
        m_frame->resize(px(kFrameWidthBesideCard), m_frame->height());
        m_list->resize(px(kListWidthBesideCard), m_list->height());
        m_list->setColumnWidth(ColName, px(kNameWidth));
        fitColumn(ColFormula);
        fitColumn(ColGroup);
    } else {
        m_frame->resize(width() - 2 * px(kFrameLeft), m_frame->height());
        m_list->resize(m_frame->width() - 2 * px(kListLeft), m_list->height());
    }
    layoutFrame();
}

void Form1::Msg(const QString& text) {
    m_panels[2]->setText(text);
    m_panels[2]->repaint();
}

void Form1::SBT(const QString& text, int panel) {
    if (panel < 1 || panel > 4) return;
    m_panels[static_cast<std::size_t>(panel - 1)]->setText(text);
    m_panels[static_cast<std::size_t>(panel - 1)]->repaint();
}

void Form1::clrMSG() {
    m_panels[2]->setText(QString());
}

QString Form1::panelText(int panel) const {
    return m_panels[static_cast<std::size_t>(panel - 1)]->text();
}

bool Form1::Form_Load(const QString& commandLine, int screenHeightTwips) {
    // The tables report what they cannot read and start-up goes on with the rest.
    const ErrorSink sink = [this](std::string_view operation, std::string_view message) {
        showMessage(this, MessageIcon::None, qs(operation), qs(message));
    };
    getLineNumbers(m_session.data.dir, m_session.data.tables, sink);
    getReferenceIndex(m_session.data.dir, m_session.data.tables, sink);

    if (const Status s = lithora::getFullList(m_session, std::string()); !s) {
        if (m_splash) m_splash->close();
        showMessage(this, MessageIcon::Critical, QStringLiteral("Lithora"),
                    QStringLiteral("The entry index cannot be read, so Lithora cannot "
                                   "start.\n\n%1\n\nData directory: %2")
                        .arg(qs(s.error().message), qs(m_session.data.dir.string())));
        return false;
    }
    refillList();
    selectRow(1);

    const std::string argument = commandLineArgument(utf8(commandLine));
    if (!argument.empty()) findName(nameFromCommandLineArgument(argument));

    if (screenHeightTwips <= kCompactScreenHeight) {
        cardWindow()->SetNetbookSize();
        resize(width(), px(kNetbookHeight));
    }
    if (m_splash) m_splash->close();
    show();
    loadSelectedCard();
    cardWindow()->show();
    m_formLoaded = true;
    finishAppearance();
    tellListDamage();
    return true;
}

void Form1::updateDamageNote() {
    if (!m_session.listDamage) {
        m_damageNote->hide();
        return;
    }
    const lithora::ListDamage& damage = *m_session.listDamage;
    m_damageNote->setText(qs(listDamageStatus(damage)));
    m_damageNote->setToolTip(qs(listDamageMessage(damage, m_session.data.dir)));
    m_damageNote->show();
}

void Form1::tellListDamage() {
    updateDamageNote();
    // The note's tooltip holds the whole message.
    if (m_session.listDamage)
        showMessage(this, MessageIcon::Exclamation, QStringLiteral("Lithora"),
                    m_damageNote->toolTip());
}

} // namespace lithora::gui
