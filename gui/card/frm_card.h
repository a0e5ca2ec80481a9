#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <vector>

#include "card/card_state.h"
#include "card/frm_near_misses.h"
#include "search/near_miss.h"
#include "session/session.h"

class QAction;
class QCheckBox;
class QFrame;
class QProgressBar;
class QRadioButton;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace lithora::gui {

// What the card window needs from the window that owns it.
class CardWindowHost {
  public:
    virtual ~CardWindowHost() = default;
    virtual const CardState& cardState() const = 0;
    virtual char decimalSeparator() const = 0;
    virtual void btPREV_Click() = 0;
    virtual void btNEXT_Click() = 0;
    // The list's view menu, opened by a right click on a card field.
    virtual void showViewMenu(const QPoint& globalPos) = 0;
    // What the searches work on, and how the window shows what they leave behind.
    virtual Session& searchSession() = 0;
    virtual void showSearchCount() = 0;  // status panel 2
    virtual void showSearchPanels() = 0; // status panels 1 and 2
    virtual void showMatchList() = 0;    // the list after a search with matches
    // Makes a card current and shows it, selecting its row when the list holds it; when it does
    // not, no row is selected and the status bar says whenNotListed.
    virtual void presentCard(int card, const QString& whenNotListed) = 0;
};

// One text field of the card: single-line, or multi-line for the longer texts. A value too long
// for the field shows cut with "…" and whole as the field's tooltip; while the field is editable
// it shows the whole text, as typed.
class CardField {
  public:
    CardField() = default;
    CardField(QLineEdit* line, QPlainTextEdit* multi) : m_line(line), m_multi(multi) {}
    QWidget* widget() const;
    void setText(const QString& text);
    // The whole value, or what was typed while the field is editable.
    QString text() const;
    void setEditable(bool editable);
    // Fits the shown text to the field's present size and font again.
    void refit();

  private:
    QLineEdit* m_line = nullptr;
    QPlainTextEdit* m_multi = nullptr;
    QString m_value;
    bool m_editable = false;
    QString m_tipShown;  // the whole value as set as tooltip by refit, or empty
    QString m_tipBefore; // the tooltip that was there before, given back once the value fits
};

// The card window: one card's main data, references and optical data, inside the main window.
class frmCARD : public QWidget {
    Q_OBJECT
  public:
    frmCARD(CardWindowHost& host, QWidget* parent);
    ~frmCARD() override;

    // Shows the current card (nothing while search mode is on).
    void setCard();
    // Compact height for small screens: the window ends above the fourth reference line.
    void SetNetbookSize();
    // The main-data view, not searching.
    void showFormView();
    // Search mode on the main-data fields, or on the optics panel.
    void showFormSearch();
    void showOpticsSearch();
    void toggleSearchForm();
    void toggleSearchOptics();
    // The start routine of both searches (Start Search, or Enter in search mode).
    void startSearch();
    // The entries that fail just one criterion of the card-form criteria typed now, whether the
    // search finds matches or not (Near Misses, or Ctrl+M in search mode).
    void showNearMisses();

    bool searchMode() const { return m_searchMode; }
    bool opticsShown() const { return m_opticsShown; }
    int extraReferenceSteps() const { return m_extraReferenceSteps; }

    // Controls by the names the window gives them; tests read them as a user sees them.
    const CardField& tf(int i) const { return m_tf[static_cast<std::size_t>(i)]; }
    const CardField& of(int i) const { return m_of[static_cast<std::size_t>(i)]; }
    QLabel* lbr(int i) const { return m_lbr[static_cast<std::size_t>(i)]; }
    QLabel* Label1(int i) const { return m_label1[static_cast<std::size_t>(i)]; }
    QPushButton* bt(int i) const { return m_bt[static_cast<std::size_t>(i)]; }
    QScrollBar* scr() const { return m_scr; }
    QCheckBox* cb(int i) const { return i == 0 ? m_search : m_full; }
    QRadioButton* op(int i) const { return m_op[static_cast<std::size_t>(i)]; }
    QFrame* frSEARCH() const { return m_frSEARCH; }
    QProgressBar* prb() const { return m_prb; }
    QLabel* lbHLP() const { return m_lbHLP; }
    // Shown over the blank card in place of a card whose record cannot be read.
    QLabel* unreadableNote() const { return m_unreadableNote; }
    QWidget* pb() const { return m_pb; }
    QAction* nearMissAction() const { return m_nearMissAction; }
    QPushButton* nearMissButton() const { return m_nearMissButton; }
    // The Near Misses window; null until it was first opened.
    frmNEARMISSES* nearMissWindow() const { return m_nearMissWindow; }

  public slots:
    void bt_Click(int index);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void buildMainFields();
    void buildOpticsPanel();
    void buildTopRow();
    CardField makeField(QWidget* parent, const QRect& rect, bool multiLine, bool centred,
                        const QFont& font);
    QLabel* makeLabel(QWidget* parent, int index, const QString& caption, const QRect& rect,
                      const QColor& colour, const QFont& font, Qt::Alignment alignment);
    void watch(QWidget* widget);
    bool handleKey(QKeyEvent* event);
    void showReferencePage(int value);
    void setOptics();
    void arrangeCardFields();
    void buildSearchFrame();
    void cb_Click();
    void clearCriteria();
    FormCriterionTexts typedFormCriteria();
    void updateNearMissAction();
    void openNearMissWindow(const QString& headline, const QString& summary, NearMissList list);
    void nearMissChosen(int card);
    void listNearMissEntries();
    void restyleField(const CardField& field, bool optics, int index, bool focused = false);
    void restyleAllFields();
    bool isField(QObject* object, bool* optics, int* index) const;

    CardWindowHost& m_host;
    std::vector<QObject*> m_fieldMouseTargets;
    std::array<CardField, 49> m_tf;
    std::array<CardField, 50> m_of;
    std::array<QLabel*, 60> m_label1{};
    std::array<QLabel*, 3> m_lbr{};
    std::array<QPushButton*, 7> m_bt{};
    QCheckBox* m_search = nullptr;
    QScrollBar* m_scr = nullptr;
    QWidget* m_pb = nullptr;
    QFrame* m_frSEARCH = nullptr;
    std::array<QRadioButton*, 2> m_op{};
    QCheckBox* m_full = nullptr;
    QProgressBar* m_prb = nullptr;
    QLabel* m_lbHLP = nullptr;
    QLabel* m_unreadableNote = nullptr;
    QAction* m_nearMissAction = nullptr;
    QPushButton* m_nearMissButton = nullptr;
    QPointer<frmNEARMISSES> m_nearMissWindow;
    std::array<QString, 50> m_savedCriteria;
    std::array<QString, 50> m_savedOpticsCriteria;
    bool m_searchMode = false;
    bool m_opticsShown = false;
    int m_extraReferenceSteps = 0;
};

} // namespace lithora::gui
