#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

#include "card/frm_card.h"
#include "compare/frm_compare.h"
#include "identify/frm_identify.h"
#include "search/frm_element_search.h"
#include "session/session.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace lithora::gui {

// Where the list's frame and the list itself stand in the main window (twips).
inline constexpr int kFrameLeft = 60;
inline constexpr int kListLeft = 90;

class EntryListModel;
class EntryListView;

// The main window: the toolbar, the list with the name field, the status bar, and the card
// window inside it to the right of the list.
class Form1 : public QWidget,
              public CardWindowHost,
              public SearchWindowHost,
              public IdentifyWindowHost,
              public CompareWindowHost {
    Q_OBJECT
  public:
    // dataDir is the INDEX directory beside the program; programPath the program itself.
    explicit Form1(const std::filesystem::path& dataDir, QWidget* parent = nullptr,
                   const std::filesystem::path& programPath = {});
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

    // Replaces the list by the entries the last search flagged and shows the first.
    void getMatchList();
    void loadGroup(const QString& groupName);

    // Prints the current card through the print dialog with its preview.
    void printCard();
    // Opens the help: the compiled help file when it lies below the program, else the guide.
    void ShowHelp(int unused = 0);
    QString helpDocument() const;
    // The date of the data files, as the About window shows it.
    QString dataVersion() const;
    // Asks, then starts the program again on the selected row's entry.
    void launchNewInstance();
    // The splash window shown while the data load; closed before the main window appears.
    void setSplash(QWidget* splash) { m_splash = splash; }
    // The About window, as a click on the logo opens it.
    void showAbout();

    // Where the font is copied (the user's font directory unless a test says otherwise).
    void setFontDirectory(const QString& dir) { m_fontDir = dir; }

    void findName(const std::string& prefix);
    void findCardNumber(int cardNumber);
    void toggleLastSelection();
    void clearNameField();
    void applyListView();

    // CardWindowHost
    const CardState& cardState() const override { return m_session.card; }
    char decimalSeparator() const override { return m_session.decimalSeparator; }
    void showViewMenu(const QPoint& globalPos) override;
    Session& searchSession() override { return m_session; }
    void showSearchCount() override;
    void showSearchPanels() override;
    void showMatchList() override;
    void showCard(int card) override;
    void presentCard(int card, const QString& whenNotListed) override;
    void showComparedCard(int card) override;

    // Controls and state by the names the window gives them, for the tests.
    frmCARD* cardWindow();
    // The search window, opened from the toolbar; null until then and after it was closed.
    frmELEMENTSEARCH* searchWindow() const { return m_searchWindow; }
    // The identification window, opened from the toolbar; null until then.
    frmIDENTIFY* identifyWindow() const { return m_identifyWindow; }
    // The comparison window; null until a comparison was asked for.
    frmCOMPARE* compareWindow() const { return m_compareWindow; }
    // Compares the cards of the selected rows (2 to 6), or starts a comparison with the current
    // card when fewer are selected. False when nothing could be compared.
    bool compareSelection();
    // The card numbers of the selected rows, in list order.
    std::vector<int> selectedCards() const;
    QAction* compareAction() const { return m_compareAction; }
    // Saves the list as it stands (all entries, a match list, a group) with the columns shown,
    // as CSV, TSV or JSON, through the save dialog. False when cancelled or not written.
    bool exportList();
    // Puts the current card on the clipboard as plain text. False when there is no card.
    bool copyCard();
    // The list's shown columns, in the order the user sees them.
    std::vector<int> shownListColumns() const;
    QAction* exportListAction() const { return m_exportListAction; }
    QAction* copyCardAction() const { return m_copyCardAction; }
    // The toolbar's buttons from the left: Show All Entries, Print Card, Chemistry / Text
    // Search, Help, Identify, Compare.
    QAction* toolbarAction(int i) const { return m_toolbarActions[static_cast<std::size_t>(i)]; }
    EntryListView* List1() const { return m_list; }
    QLineEdit* tfNAME() const { return m_name; }
    QToolButton* tb2b(int i) const { return m_tb2b[static_cast<std::size_t>(i)]; }
    QGroupBox* frL() const { return m_frame; }
    QLabel* Label1() const { return m_viewLabel; }
    // The status bar's note of damage met while reading the list; hidden for sound data.
    QLabel* damageNote() const { return m_damageNote; }
    QMenu* pop1() const { return m_pop1; }
    QMenu* pop2() const { return m_pop2; }
    QAction* itmLST(int i) const { return m_itmLST[static_cast<std::size_t>(i)]; }
    QAction* itmPop1(int i) const { return m_itmPop1[static_cast<std::size_t>(i)]; }
    const std::vector<QAction*>& itmGroup() const { return m_itmGroup; }
    int viewMode() const { return m_viewMode; }
    Session& session() { return m_session; }
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

  private slots:
    void itmLST_Click(int index);
    void itmPop1_Click(int index);
    void tb_ButtonClick(int index);
    void Label1_Click();
    void Timer2_Timer();

  private:
    void buildMenus();
    void finishAppearance();
    // Tells once, after start-up, where the list stopped short of the entry count: the status
    // bar's note and one message box. A reload brings the note up to date without a box.
    void tellListDamage();
    void updateDamageNote();
    void rebuildGroupMenu();
    void showCurrentCard();
    void reloadDatabase();
    void narrowToGroup(const QString& groupName);
    void openCnmncDocument();
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
    std::array<QAction*, 6> m_toolbarActions{};
    QAction* m_compareAction = nullptr; // the list menu's "Compare Selected Cards"
    QAction* m_exportListAction = nullptr;
    QAction* m_copyCardAction = nullptr;
    QString m_exportPath;   // where the last export went, offered again
    QString m_exportFilter; // the dialog's filter the user chose last
    QLabel* m_logo = nullptr;
    QGroupBox* m_frame = nullptr;
    EntryListView* m_list = nullptr;
    QLineEdit* m_name = nullptr;
    std::array<QToolButton*, 2> m_tb2b{};
    QStatusBar* m_status = nullptr;
    std::array<QLabel*, 4> m_panels{};
    QLabel* m_damageNote = nullptr;
    frmCARD* m_card = nullptr;
    QPointer<frmELEMENTSEARCH> m_searchWindow;
    QPointer<frmIDENTIFY> m_identifyWindow;
    QPointer<frmCOMPARE> m_compareWindow;
    QLabel* m_viewLabel = nullptr;
    QMenu* m_pop1 = nullptr;
    std::array<QAction*, 7> m_itmLST{};
    QMenu* m_pop2 = nullptr;
    int m_pop2Tag = 0; // where the toolbar opened the menu, so it can reopen there
    std::array<QAction*, 5> m_itmPop1{};
    QMenu* m_groupMenu = nullptr;
    std::vector<QAction*> m_itmGroup;
    QTimer* m_timer2 = nullptr;
    std::filesystem::path m_programDir;
    std::filesystem::path m_programPath;
    QString m_fontDir;
    QPointer<QWidget> m_splash;
    int m_viewMode = 0;
    bool m_formLoaded = false;
    std::string m_nameAtFocus;
};

} // namespace lithora::gui
