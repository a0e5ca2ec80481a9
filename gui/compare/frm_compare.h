#pragma once

#include <QWidget>
#include <vector>

#include "compare/card_compare.h"
#include "session/session.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTableView;

namespace lithora::gui {

class CompareModel;
class ComparePlot;

// What the comparison window needs from the window that owns it.
class CompareWindowHost {
  public:
    virtual ~CompareWindowHost() = default;
    virtual Session& searchSession() = 0;
    // Makes a card current and shows it, selecting its row when the list holds it.
    virtual void showComparedCard(int card) = 0;
};

// The window "Compare Cards": two to six cards as columns, their fields as rows with the values
// that differ marked, and their diffraction lines on one d axis. Selecting a column makes that
// card current. Closing it (Esc, Close, the title bar) hides it.
class frmCOMPARE : public QWidget {
    Q_OBJECT
  public:
    frmCOMPARE(CompareWindowHost& host, QWidget* parent);
    ~frmCOMPARE() override;

    // Shows these cards, replacing what was shown; one card waits for more to be added. False,
    // after telling the user, when a card cannot be read.
    bool setCards(const std::vector<int>& cards);
    // Adds the host's current card as a further column. False, after telling the user, when it
    // is shown already or six cards are.
    bool addCurrentCard();
    // Takes the selected column away.
    void removeSelectedCard();
    // The print preview of the comparison, from which it prints or goes to a PDF file.
    void printComparison();

    const std::vector<int>& cards() const { return m_cards; }
    const CardComparison& comparison() const;

    // Controls, for the tests.
    QTableView* table() const { return m_table; }
    ComparePlot* plot() const { return m_plot; }
    QCheckBox* onlyDifferencesBox() const { return m_onlyDifferences; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* printButton() const { return m_print; }
    QLabel* summaryLabel() const { return m_summary; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void refresh();
    void columnSelected(int column);
    void updateButtons();

    CompareWindowHost& m_host;
    std::vector<int> m_cards;
    std::vector<CardState> m_states;
    CompareModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    ComparePlot* m_plot = nullptr;
    QSplitter* m_splitter = nullptr;
    QCheckBox* m_onlyDifferences = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_summary = nullptr;
};

} // namespace lithora::gui
