// The splash and About window: what each use shows, the version texts, how it closes and when
// the mouse drags it, on the offscreen platform.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/frm_splash.h"
#include "app/splash_picture.h"

using namespace lithora::gui;

namespace {

// A program file of the given size whose modification time is set to modified (local time).
QString writeProgram(const QTemporaryDir& dir, const QString& name, qint64 size,
                     const QDateTime& modified = {}) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
    file.write(QByteArray(size, 'x'));
    file.flush(); // else closing writes the data and stamps the time afresh
    if (modified.isValid() && !file.setFileTime(modified, QFileDevice::FileModificationTime))
        qFatal("cannot set the time of %s", qPrintable(path));
    return path;
}

void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& at, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons,
                      modifiers);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class SplashTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_program = writeProgram(m_dir, QStringLiteral("lithora"), 64,
                                 QDateTime(QDate(2024, 3, 7), QTime(12, 0)));
    }

    void startUpShowsLoadingOnly() {
        frmSplash splash(false, m_program, QStringLiteral("12/06/2026"));
        QVERIFY(splash.splashDone()); // set first thing on load
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QVERIFY(splash.Label2()->isVisible());
        QCOMPARE(splash.Label2()->text(), QStringLiteral("Loading Database "));
        QVERIFY(!splash.lbDAT(0)->isVisible());
        QVERIFY(!splash.lbDAT(1)->isVisible());
        QVERIFY(!splash.Command1()->isVisible());
        QVERIFY(splash.pb()->isVisible());
        QCOMPARE(splash.pb()->size(), kSplashPictureSize);
        splash.FADEOUT();
        QVERIFY(!splash.isVisible());
    }

    void aboutShowsVersionsAndOk() {
        frmSplash about(true, m_program, QStringLiteral("12/06/2026"));
        QVERIFY(about.splashDone());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(!about.Label2()->isVisible());
        QVERIFY(about.lbDAT(0)->isVisible());
        QVERIFY(about.lbDAT(1)->isVisible());
        QVERIFY(about.Command1()->isVisible());
        QCOMPARE(about.Command1()->text(), QStringLiteral("&OK"));
        QCOMPARE(about.lbDAT(0)->text(), QStringLiteral("Data Version:  12/06/2026"));
        // The file's time was set to 7 March 2024, month first.
        QCOMPARE(about.lbDAT(1)->text(), QStringLiteral("Program Version:  03/07/2024"));
        // Every control lies inside the window, none under the picture.
        for (QWidget* control :
             {static_cast<QWidget*>(about.lbDAT(0)), static_cast<QWidget*>(about.lbDAT(1)),
              static_cast<QWidget*>(about.Command1())}) {
            QVERIFY(about.rect().contains(control->geometry()));
            QVERIFY(!control->geometry().intersects(about.pb()->geometry()));
        }
    }

    void programVersionNeedsANonEmptyFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QDateTime>("modified");
        QTest::addColumn<QString>("expected");
        // Two digits everywhere and a four-digit year: 1 Dec 1999 -> 12/01/1999.
        QTest::newRow("one byte") << "a.out" << qint64{1}
                                  << QDateTime(QDate(1999, 12, 1), QTime(12, 0))
                                  << "Program Version:  12/01/1999";
        QTest::newRow("day after month")
            << "b.out" << qint64{4096} << QDateTime(QDate(2026, 1, 31), QTime(23, 30))
            << "Program Version:  01/31/2026";
        QTest::newRow("empty file")
            << "empty" << qint64{0} << QDateTime(QDate(2026, 1, 31), QTime(12, 0)) << "";
        QTest::newRow("missing file") << "" << qint64{0} << QDateTime() << "";
    }
    void programVersionNeedsANonEmptyFile() {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QDateTime, modified);
        QFETCH(QString, expected);
        const QString path = name.isEmpty() ? m_dir.filePath(QStringLiteral("no-such-program"))
                                            : writeProgram(m_dir, name, size, modified);
        frmSplash about(true, path, QStringLiteral("1.0"));
        QCOMPARE(about.lbDAT(1)->text(), expected);
        QCOMPARE(about.lbDAT(0)->text(), QStringLiteral("Data Version:  1.0"));
    }

    void directoryIsNoProgram() {
        frmSplash about(true, m_dir.path(), QString());
        QCOMPARE(about.lbDAT(1)->text(), QString());
        QCOMPARE(about.lbDAT(0)->text(), QStringLiteral("Data Version:  "));
    }

    void eachWindowReadsTheFileAfresh() {
        frmSplash first(true, m_program, QString());
        QFile file(m_program);
        QVERIFY(file.open(QIODevice::ReadOnly)); // setFileTime works on an open file only
        QVERIFY(file.setFileTime(QDateTime(QDate(2025, 10, 2), QTime(12, 0)),
                                 QFileDevice::FileModificationTime));
        file.close();
        frmSplash second(true, m_program, QString());
        QCOMPARE(first.lbDAT(1)->text(), QStringLiteral("Program Version:  03/07/2024"));
        QCOMPARE(second.lbDAT(1)->text(), QStringLiteral("Program Version:  10/02/2025"));
    }

    void okAndThePictureClose_data() {
        QTest::addColumn<bool>("formLoaded");
        QTest::addColumn<bool>("onPicture");
        QTest::newRow("OK") << true << false;
        QTest::newRow("picture, About") << true << true;
        QTest::newRow("picture, start-up") << false << true;
    }
    void okAndThePictureClose() {
        QFETCH(bool, formLoaded);
        QFETCH(bool, onPicture);
        frmSplash splash(formLoaded, m_program, QString());
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QWidget* target = onPicture ? static_cast<QWidget*>(splash.pb()) : splash.Command1();
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(40, 12));
        QVERIFY(!splash.isVisible());
        QVERIFY(splash.splashDone());
    }

    void releaseOffThePictureKeepsTheWindow() {
        frmSplash splash(false, m_program, QString());
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QTest::mousePress(splash.pb(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
        QTest::mouseRelease(splash.pb(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 330));
        QVERIFY(splash.isVisible());
    }

    // Press, move the mouse by (30, 20) with the button held, release: only a plain left press
    // on the background drags. On the offscreen platform there is no window manager to move the
    // window, so it follows the mouse itself.
    void onlyAPlainLeftPressOnTheBackgroundDrags_data() {
        QTest::addColumn<bool>("onPicture");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("moves");
        const auto none = Qt::KeyboardModifiers(Qt::NoModifier);
        QTest::newRow("left") << false << Qt::LeftButton << none << true;
        QTest::newRow("right") << false << Qt::RightButton << none << false;
        QTest::newRow("middle") << false << Qt::MiddleButton << none << false;
        QTest::newRow("shift+left")
            << false << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << false;
        QTest::newRow("ctrl+left")
            << false << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
        QTest::newRow("alt+left") << false << Qt::LeftButton
                                  << Qt::KeyboardModifiers(Qt::AltModifier) << false;
        QTest::newRow("left on the picture") << true << Qt::LeftButton << none << false;
    }
    void onlyAPlainLeftPressOnTheBackgroundDrags() {
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QSKIP("a window manager would move the window itself");
        QFETCH(bool, onPicture);
        QFETCH(Qt::MouseButton, button);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, moves);
        frmSplash splash(false, m_program, QString());
        splash.move(100, 80);
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QPoint start = splash.pos();
        // The strip below the picture, right of "Loading Database ", is bare background.
        QWidget* target = onPicture ? static_cast<QWidget*>(splash.pb()) : &splash;
        const QPoint at =
            onPicture ? QPoint(40, 40) : QPoint(splash.width() - 30, splash.height() - 20);
        sendMouse(target, QEvent::MouseButtonPress, at, button, button, modifiers);
        sendMouse(target, QEvent::MouseMove, at + QPoint(30, 20), Qt::NoButton, button, modifiers);
        QCOMPARE(splash.pos(), moves ? start + QPoint(30, 20) : start);
        sendMouse(target, QEvent::MouseButtonRelease, at + QPoint(30, 20), button, Qt::NoButton,
                  modifiers);
        sendMouse(target, QEvent::MouseMove, at + QPoint(80, 80), Qt::NoButton, Qt::NoButton,
                  modifiers);
        QCOMPARE(splash.pos(), moves ? start + QPoint(30, 20) : start); // released: stays
        QCOMPARE(splash.isVisible(), !onPicture); // a release over the picture closes
    }

    void pressOnALabelDragsToo() {
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QSKIP("a window manager would move the window itself");
        frmSplash splash(false, m_program, QString());
        splash.move(100, 80);
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QPoint start = splash.pos();
        QLabel* label = splash.Label2();
        sendMouse(label, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
        sendMouse(&splash, QEvent::MouseMove, label->geometry().topLeft() + QPoint(-5, 45),
                  Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCOMPARE(splash.pos(), start + QPoint(-10, 40));
    }

    void aboutIsModalAndCentredOnItsOwner() {
        QWidget owner;
        owner.setGeometry(50, 60, 600, 400);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QPointer<frmSplash> seen;
        bool modal = false;
        bool closedBySelf = false;
        QPoint centre;
        QTimer::singleShot(0, this, [&] {
            seen = qobject_cast<frmSplash*>(QApplication::activeModalWidget());
            if (!seen) return;
            modal = seen->isModal();
            centre = seen->frameGeometry().center();
            QTest::mouseClick(seen->Command1(), Qt::LeftButton);
        });
        // Should the window not be found, it is closed here so the test fails, not hangs.
        QTimer::singleShot(5000, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* splash = qobject_cast<frmSplash*>(w); splash && splash->isVisible()) {
                    closedBySelf = true;
                    splash->FADEOUT();
                }
            }
        });
        frmSplash::showAbout(&owner, m_program, QStringLiteral("12/06/2026"));
        QVERIFY(!closedBySelf);
        QVERIFY(modal);
        QVERIFY(seen.isNull()); // gone once closed: the next showing is a new window
        const QPoint ownerCentre = owner.frameGeometry().center();
        QVERIFY2((centre - ownerCentre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("centre %1,%2 owner %3,%4")
                                .arg(centre.x())
                                .arg(centre.y())
                                .arg(ownerCentre.x())
                                .arg(ownerCentre.y())));
    }

  private:
    QTemporaryDir m_dir;
    QString m_program;
};

QTEST_MAIN(SplashTest)
#include "splash_test.moc"
