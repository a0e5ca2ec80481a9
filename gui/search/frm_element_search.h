#pragma once

#include <QWidget>
#include <array>

#include "search/element_search.h"
#include "session/session.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lithora::gui {

// What the search window needs from the window that owns it.
class SearchWindowHost {
  public:
    virtual ~SearchWindowHost() = default;
    virtual Session& searchSession() = 0;
    // Writes the session's status[0] and status[1] into status panels 1 and 2.
    virtual void showSearchPanels() = 0;
    // Shows session.rows after a search with matches, the first row current.
    virtual void showMatchList() = 0;
};

// The search window "Database Search": a text search over one category at the top, and below
// it the element search with its periodic table. Hiding it (Close, Esc) keeps the selection;
// closing it through the title bar deletes it.
class frmELEMENTSEARCH : public QWidget {
    Q_OBJECT
  public:
    frmELEMENTSEARCH(SearchWindowHost& host, QWidget* parent);
    ~frmELEMENTSEARCH() override;

    // Each cell's colours from the selection, and the required elements into tf.
    void refreshElementTable();
    void Command3_Click(); // element search
    void Command5_Click(); // text search
    void lbROLL_Click();   // collapse or expand

    const ElementSelection& selection() const { return m_selection; }
    bool collapsed() const { return m_collapsed; }

    // Controls by the names the window gives them, for the tests.
    QLabel* pse(int i) const { return m_pse[static_cast<std::size_t>(i)]; }
    QPushButton* btPOS(int k) const { return m_btPOS[static_cast<std::size_t>(k)]; }
    QPushButton* Command1() const { return m_command1; }
    QPushButton* Command2() const { return m_command2; }
    QPushButton* Command3() const { return m_command3; }
    QPushButton* Command4() const { return m_command4; }
    QPushButton* Command5() const { return m_command5; }
    QLineEdit* tf() const { return m_tf; }
    QLineEdit* tf2() const { return m_tf2; }
    QLineEdit* tfMAX() const { return m_tfMAX; }
    QComboBox* cmbTXT() const { return m_cmbTXT; }
    QCheckBox* chkAnySetting() const { return m_chkAnySetting; }
    QLabel* lbROLL() const { return m_lbROLL; }
    QLabel* Label1(int i) const { return m_label1[static_cast<std::size_t>(i)]; }
    QLabel* Label2(int i) const { return m_label2[static_cast<std::size_t>(i)]; } // 0 and 4
    QLabel* Label3(int i) const { return m_label3[static_cast<std::size_t>(i)]; } // 2 and 3
    QLabel* Label4() const { return m_label4; }
    QLabel* Label5() const { return m_label5; }
    QGroupBox* Frame1() const { return m_frame1; }
    QGroupBox* Frame2() const { return m_frame2; }
    QGroupBox* Frame3() const { return m_frame3; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildTextFrame();
    void buildElementFrame();
    void buildElementTable();
    void buildTableLabels();
    void watchAll();
    void cellPressed(int z, Qt::MouseButton button);
    void Command2_Click();
    void Command4_Click();
    void btPOS_Click(int k);
    void setTextSearchFocusLook(bool focused);
    void updateSearchButtons();
    void showOutcome(const SearchOutcome& outcome);
    int typedLimit() const;

    SearchWindowHost& m_host;
    ElementSelection m_selection;
    bool m_collapsed = false;

    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QGroupBox* m_frame3 = nullptr;
    std::array<QLabel*, kElementCount> m_pse{};
    std::array<QPushButton*, 4> m_btPOS{};
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QPushButton* m_command4 = nullptr;
    QPushButton* m_command5 = nullptr;
    QLineEdit* m_tf = nullptr;
    QLineEdit* m_tf2 = nullptr;
    QLineEdit* m_tfMAX = nullptr;
    QComboBox* m_cmbTXT = nullptr;
    QCheckBox* m_chkAnySetting = nullptr; // Unit Cell only: the cell in any setting
    QLabel* m_lbROLL = nullptr;
    std::array<QLabel*, 15> m_label1{};
    std::array<QLabel*, 5> m_label2{};
    std::array<QLabel*, 4> m_label3{};
    QLabel* m_label4 = nullptr;
    QLabel* m_label5 = nullptr;
};

} // namespace lithora::gui
