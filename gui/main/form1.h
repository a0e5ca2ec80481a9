#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "card/frm_card.h"
#include "session/session.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace lithora::gui {

class EntryListModel;
class EntryListView;

// The main window: the toolbar, the list with the name field, the status bar, and the card
// window inside it to the right of the list.
class Form1 : public QWidget, public CardWindowHost {
    Q_OBJECT
  public:
    // dataDir is the INDEX directory the program reads.
    explicit Form1(const std::filesystem::path& dataDir, QWidget* parent = nullptr);
    ~Form1() override;

    // The load handler: tables, list, the entry of the command line or row 1, the first card.
    // False, after telling the user, when the entry index cannot be read.
    bool Form_Load(const QString& commandLine, int screenHeightTwips);

    // The status bar: panel 3 holds messages, panel 4 the current card.
    void Msg(const QString& text);
    void SBT(const QString& text, int panel);
    void clrMSG();

    // Makes the selected row the current card and shows it.
    void loadSelectedCard();
    void showSelection();
    void btPREV_Click() override;
    void btNEXT_Click() override;
    void getCurrentCardNumbers(std::vector<bool>& flags) const;

    void findName(const std::string& prefix);
    void findCardNumber(int cardNumber);
    void toggleLastSelection();
    void clearNameField();
    void applyListView();

    // CardWindowHost
    const CardState& cardState() const override { return m_session.card; }
    char decimalSeparator() const override { return m_session.decimalSeparator; }
    void showViewMenu(const QPoint& globalPos) override;

    // Controls and state by the names the window gives them, for the tests.
    frmCARD* cardWindow();
    EntryListView* List1() const { return m_list; }
    QLineEdit* tfNAME() const { return m_name; }
    QToolButton* tb2b(int i) const { return m_tb2b[static_cast<std::size_t>(i)]; }
    QGroupBox* frL() const { return m_frame; }
    QString panelText(int panel) const;
    const Session& session() const { return m_session; }
    int selectedRow() const;
    bool formLoaded() const { return m_formLoaded; }
    // The divider strip right of the frame, in the window's coordinates.
    bool onDivider(int x) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildToolbar();
    void buildFrame();
    void buildStatusBar();
    void connectList();
    void layoutChrome();
    void layoutFrame();
    void dividerClick();
    void selectRow(int row);
    void refillList();
    void nameFieldChanged();
    void setNameFieldFocusLook(bool focused);
    void fitColumn(int column);

    Session m_session;
    std::unique_ptr<EntryListModel> m_model;
    QToolBar* m_toolbar = nullptr;
    std::array<QAction*, 4> m_toolbarActions{};
    QLabel* m_logo = nullptr;
    QGroupBox* m_frame = nullptr;
    EntryListView* m_list = nullptr;
    QLineEdit* m_name = nullptr;
    std::array<QToolButton*, 2> m_tb2b{};
    QStatusBar* m_status = nullptr;
    std::array<QLabel*, 4> m_panels{};
    frmCARD* m_card = nullptr;
    int m_viewMode = 0;
    bool m_formLoaded = false;
    std::string m_nameAtFocus;
};

} // namespace lithora::gui
