#pragma once

#include <QWidget>

#include "search/near_miss.h"

class QLabel;
class QPushButton;
class QTableView;

namespace lithora::gui {

class NearMissModel;

// The window "Near Misses": the entries a card-form search leaves out for a single criterion,
// closest first, with the criterion and how far off each is. Non-modal; Esc or Close hides it.
// Enter or a double click on a row asks for that entry's card, Show as List for the whole list;
// the card window does both.
class frmNEARMISSES : public QWidget {
    Q_OBJECT
  public:
    explicit frmNEARMISSES(QWidget* parent);
    ~frmNEARMISSES() override;

    // What the window shows: the headline above the summary ("No Matches found", or empty to
    // leave it out) and the list. The first row becomes current and the table takes the focus.
    void setNearMisses(const QString& headline, const QString& summary, NearMissList list);
    const NearMissList& nearMisses() const { return m_list; }

    // Controls, for the tests.
    QLabel* headlineLabel() const { return m_headline; }
    QLabel* summaryLabel() const { return m_summary; }
    QTableView* table() const { return m_table; }
    QPushButton* showListButton() const { return m_showList; }
    QPushButton* closeButton() const { return m_close; }

  signals:
    void cardChosen(int card);
    void listWanted();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void chooseRow(const QModelIndex& index);

    NearMissList m_list;
    NearMissModel* m_model = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_summary = nullptr;
    QTableView* m_table = nullptr;
    QPushButton* m_showList = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace lithora::gui
