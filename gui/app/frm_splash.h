#pragma once

#include <QDialog>
#include <QPoint>
#include <array>

class QLabel;
class QPushButton;

namespace lithora::gui {

class SplashPicture;

// The splash window, shown while the data load, and the About window, shown modal over the main
// window: the product picture, then either "Loading Database " or the data and program versions
// with OK. Frameless; the background drags it. Each showing is a new window, so the version
// texts are read afresh.
class frmSplash : public QDialog {
    Q_OBJECT
  public:
    // formLoaded is the main window's flag: false at start-up, true for the About use.
    // executablePath is the program file, whose modification date is the program version;
    // dataVersion is shown as the data version (the lead passes the data build date).
    frmSplash(bool formLoaded, const QString& executablePath, const QString& dataVersion,
              QWidget* parent = nullptr);

    // The About window over owner, centred on it, modal; returns when it is closed.
    static void showAbout(QWidget* owner, const QString& executablePath,
                          const QString& dataVersion);

    // Closes the window at once.
    void FADEOUT();

    bool splashDone() const { return m_splashDone; }

    // Controls by the names the window gives them, for the tests.
    SplashPicture* pb() const { return m_pb; }
    QLabel* Label2() const { return m_label2; }
    QLabel* lbDAT(int i) const { return m_lbDAT[static_cast<std::size_t>(i)]; }
    QPushButton* Command1() const { return m_command1; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void Form_Load(bool formLoaded, const QString& executablePath, const QString& dataVersion);
    void pb_MouseUp();
    void centreOn(const QWidget* owner);

    SplashPicture* m_pb = nullptr;
    QLabel* m_label2 = nullptr;
    std::array<QLabel*, 2> m_lbDAT{};
    QPushButton* m_command1 = nullptr;
    QLabel* m_sources = nullptr;
    bool m_splashDone = false;
    // Set while the window follows the mouse itself, where the platform cannot move it.
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace lithora::gui
