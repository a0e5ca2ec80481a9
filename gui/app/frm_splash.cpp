#include "app/frm_splash.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "app/splash_picture.h"
#include "common/qt_support.h"

namespace lithora::gui {

namespace {

// A one-pixel border round the picture and the strip below it, which holds the texts and OK.
constexpr int kBorder = 1;
constexpr int kStripHeight = 70;
constexpr int kWidth = kSplashPictureSize.width() + 2 * kBorder;
constexpr int kHeight = kSplashPictureSize.height() + kStripHeight + 2 * kBorder;
constexpr int kStripTop = kBorder + kSplashPictureSize.height();

const QColor kStripColour(243, 240, 249);
const QColor kBorderColour(74, 64, 116);
const QColor kTextColour(46, 39, 72);

QLabel* makeLabel(QWidget* parent, const QRect& rect) {
    auto* label = new QLabel(parent);
    label->setGeometry(rect);
    label->setFont(arialFont(9, false));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kTextColour);
    label->setPalette(palette);
    return label;
}

} // namespace

frmSplash::frmSplash(bool formLoaded, const QString& executablePath, const QString& dataVersion,
                     QWidget* parent)
    // The start-up use is typed a splash screen, which window managers keep out of the task
    // bar; the About use is an ordinary dialog of its owner.
    : QDialog(parent, (formLoaded ? Qt::Dialog : Qt::SplashScreen) | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(formLoaded ? QStringLiteral("About Lithora") : QStringLiteral("Lithora"));
    setFixedSize(kWidth, kHeight);

    m_pb = new SplashPicture(this);
    m_pb->move(kBorder, kBorder);
    connect(m_pb, &SplashPicture::released, this, &frmSplash::pb_MouseUp);

    m_label2 = makeLabel(this, {16, kStripTop, 300, kStripHeight});
    m_label2->setText(QStringLiteral("Loading Database "));
    m_lbDAT[0] = makeLabel(this, {16, kStripTop + 6, 340, 18});
    m_lbDAT[1] = makeLabel(this, {16, kStripTop + 26, 340, 18});
    // The About window names where the database comes from.
    m_sources = makeLabel(this, {16, kStripTop + 46, kWidth - 32 - 90, 18});
    m_sources->setFont(arialFont(7.5, false));
    m_sources->setText(
        QStringLiteral("Data: IMA list (RRUFF), AMCSD, Wikipedia (CC BY-SA 3.0), gem data"));
    m_sources->setToolTip(
        QStringLiteral("Sources and licences: see the user guide and LICENSE-DATA.md"));

    m_command1 = new QPushButton(QStringLiteral("&OK"), this);
    m_command1->setFont(arialFont(9, false));
    m_command1->setGeometry(kWidth - 16 - 84, kStripTop + (kStripHeight - 28) / 2, 84, 28);
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &frmSplash::FADEOUT);

    Form_Load(formLoaded, executablePath, dataVersion);
    centreOn(parent);
}

void frmSplash::Form_Load(bool formLoaded, const QString& executablePath,
                          const QString& dataVersion) {
    m_splashDone = true;
    m_label2->setVisible(!formLoaded);
    m_lbDAT[0]->setText(QStringLiteral("Data Version:  ") + dataVersion);
    m_lbDAT[1]->setText(QString());
    // The program's version is the date its file was last written; an empty file counts as
    // missing, as its date is not that of a build.
    const QFileInfo program(executablePath);
    if (program.isFile() && program.size() > 0) {
        m_lbDAT[1]->setText(QStringLiteral("Program Version:  ") +
                            program.lastModified().toString(QStringLiteral("MM/dd/yyyy")));
    }
    m_lbDAT[0]->setVisible(formLoaded);
    m_lbDAT[1]->setVisible(formLoaded);
    m_sources->setVisible(formLoaded);
    m_command1->setVisible(formLoaded);
}

void frmSplash::showAbout(QWidget* owner, const QString& executablePath,
                          const QString& dataVersion) {
    // Guarded: the owner may be destroyed while the window runs, and the window with it.
    QPointer<frmSplash> about = new frmSplash(true, executablePath, dataVersion, owner);
    about->exec();
    delete about;
}

void frmSplash::FADEOUT() {
    close();
}

void frmSplash::pb_MouseUp() {
    m_splashDone = true;
    close();
}

void frmSplash::centreOn(const QWidget* owner) {
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    QRect frame(QPoint(0, 0), size());
    if (owner) {
        frame.moveCenter(owner->window()->frameGeometry().center());
    } else if (screen) {
        frame.moveCenter(screen->availableGeometry().center());
    }
    // An owner near the edge of the screen must not push the window off it.
    if (screen) {
        const QRect area = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), area.left(),
                                  std::max(area.left(), area.x() + area.width() - kWidth)));
        frame.moveTop(std::clamp(frame.top(), area.top(),
                                 std::max(area.top(), area.y() + area.height() - kHeight)));
    }
    move(frame.topLeft());
}

void frmSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kStripColour);
    painter.setPen(kBorderColour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void frmSplash::mousePressEvent(QMouseEvent* event) {
    constexpr Qt::KeyboardModifiers kHeld =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (event->button() != Qt::LeftButton || (event->modifiers() & kHeld)) return;
    // The window manager moves the window best (snapping, other screens); where it cannot,
    // the window follows the mouse until the button is released.
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void frmSplash::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && event->buttons().testFlag(Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void frmSplash::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_dragging = false;
}

} // namespace lithora::gui
