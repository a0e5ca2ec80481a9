// Writes the documentation's screenshots: the program in a real window (run it under Xvfb),
// brought into each state a user reaches through its menus, and grabbed from the screen.
// Usage: lithora_doc_screenshots INDEX_DIR OUTPUT_DIR [HELP_DIR [NAME...]]
// With HELP_DIR the guide's own pictures are taken as well (help/images/identify.png and
// identify-mixture.png, from the samples in help/samples, and help/images/near-misses.png);
// NAMEs (main, optics, group, all-columns, identify, identify-mixture, near-misses, compare,
// any-setting) take only those.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "card/frm_card.h"
#include "card/frm_near_misses.h"
#include "compare/frm_compare.h"
#include "identify/frm_identify.h"
#include "main/entry_list_view.h"
#include "main/form1.h"
#include "search/frm_element_search.h"
#include "search/text_search.h"

using namespace lithora::gui;

namespace {

void save(QWidget& window, const QString& file) {
    window.repaint();
    QApplication::processEvents();
    QTest::qWait(300);
    window.screen()->grabWindow(window.winId()).save(file);
}

QAction* groupItem(Form1& form, const QString& name) {
    for (QAction* item : form.itmGroup()) {
        if (item->text().endsWith(QStringLiteral(" - ") + name)) return item;
    }
    return form.itmGroup().empty() ? nullptr : form.itmGroup().front();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString help = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    QStringList only;
    for (int i = 4; i < argc; ++i)
        only << QString::fromLocal8Bit(argv[i]);
    auto wanted = [&](const char* name) {
        return only.isEmpty() || only.contains(QString::fromLatin1(name));
    };
    Form1 form(argv[1]);
    if (!form.Form_Load(QStringLiteral("/i quartz"), 16000)) return 1;
    form.move(0, 0);
    if (wanted("main")) save(form, out + QStringLiteral("/screenshot-main.png"));

    if (wanted("optics")) {
        form.cardWindow()->bt_Click(3);
        save(form, out + QStringLiteral("/screenshot-optics.png"));
        form.cardWindow()->bt_Click(2);
    }

    if (!help.isEmpty() && wanted("identify")) {
        // The sample mixture opened, quartz ranked first and selected, the plot against 2θ.
        form.toolbarAction(4)->trigger();
        frmIDENTIFY* window = form.identifyWindow();
        window->move(40, 40);
        if (!QTest::qWaitForWindowExposed(window)) return 1;
        if (!window->openPatternFile(help + QStringLiteral("/samples/quartz-calcite.xy"))) return 1;
        window->candidateTable()->selectRow(0);
        save(*window, help + QStringLiteral("/images/identify.png"));
        window->close();
    }

    if (!help.isEmpty() && wanted("identify-mixture")) {
        // The three-phase sample opened: the phases found with their amounts, the first
        // selected, each phase's share of the profile in its colour.
        form.toolbarAction(4)->trigger();
        frmIDENTIFY* window = form.identifyWindow();
        window->move(40, 40);
        if (!QTest::qWaitForWindowExposed(window)) return 1;
        if (!window->openPatternFile(help + QStringLiteral("/samples/calcite-dolomite-quartz.xy")))
            return 1;
        if (window->phases().size() < 2) return 1;
        save(*window, help + QStringLiteral("/images/identify-mixture.png"));
        window->close();
    }

    if (!help.isEmpty() && wanted("near-misses")) {
        // Beryl typed with Mohs 7 finds nothing: beryl itself is 7.5-8, and a few more entries
        // miss by their hardness or their name alone.
        frmCARD* card = form.cardWindow();
        card->showFormSearch();
        const struct {
            int field;
            const char* text;
        } typed[] = {{0, "beryl"}, {13, "7"}};
        for (const auto& t : typed) {
            auto* field = qobject_cast<QLineEdit*>(card->tf(t.field).widget());
            if (!field) return 1;
            field->setText(QString::fromLatin1(t.text));
        }
        card->bt(5)->click();
        frmNEARMISSES* window = card->nearMissWindow();
        if (!window) return 1;
        window->move(40, 40);
        if (!QTest::qWaitForWindowExposed(window)) return 1;
        save(*window, help + QStringLiteral("/images/near-misses.png"));
        window->close();
        card->cb(0)->setChecked(false);
    }

    if (!help.isEmpty() && wanted("compare")) {
        // The three polymorphs of CaCO3 selected in the list and compared.
        QItemSelectionModel* selection = form.List1()->selectionModel();
        selection->clearSelection();
        for (const int card : {814, 244, 5692}) {
            const int row = lithora::rowOfCard(form.session(), card);
            if (row < 1) return 1;
            selection->select(form.List1()->model()->index(row - 1, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        if (!form.compareSelection()) return 1;
        frmCOMPARE* window = form.compareWindow();
        window->move(40, 40);
        window->resize(900, 720);
        if (!QTest::qWaitForWindowExposed(window)) return 1;
        window->table()->selectColumn(0);
        save(*window, help + QStringLiteral("/images/compare.png"));
        window->close();
    }

    if (!help.isEmpty() && wanted("any-setting")) {
        // Calcite's rhombohedral cell searched in any setting, the search window beside the
        // main window whose list holds the match; both are in the picture.
        form.toolbarAction(2)->trigger();
        frmELEMENTSEARCH* window = form.searchWindow();
        if (!window || !QTest::qWaitForWindowExposed(window)) return 1;
        window->move(form.frameGeometry().right() - 300, 160);
        window->cmbTXT()->setCurrentIndex(lithora::CategoryUnitCell);
        window->chkAnySetting()->setChecked(true);
        window->tf2()->setText(QStringLiteral("6.37 6.37 6.37 46.1 46.1 46.1"));
        window->Command5()->click();
        if (form.session().rows.size() != 1) return 1;
        window->activateWindow();
        QTest::qWait(300);
        const QRect both = form.frameGeometry().united(window->frameGeometry());
        // A plain backdrop where neither window stands, in place of the bare screen.
        QWidget backdrop;
        backdrop.setWindowFlags(Qt::FramelessWindowHint);
        backdrop.setStyleSheet(QStringLiteral("background-color: #c8ccd0;"));
        backdrop.setGeometry(both);
        backdrop.show();
        backdrop.lower();
        form.raise();
        window->raise();
        form.repaint();
        window->repaint();
        QApplication::processEvents();
        QTest::qWait(300);
        form.screen()
            ->grabWindow(0, both.x(), both.y(), both.width(), both.height())
            .save(help + QStringLiteral("/images/any-setting.png"));
        window->close();
    }

    if (wanted("group")) {
        if (QAction* garnet = groupItem(form, QStringLiteral("Garnet"))) garnet->trigger();
        save(form, out + QStringLiteral("/screenshot-group.png"));
    }

    if (wanted("all-columns")) {
        form.itmPop1(0)->trigger();
        form.itmLST(3)->trigger();
        form.resize(1240, form.height());
        form.itmLST(3)->trigger();
        save(form, out + QStringLiteral("/screenshot-all-columns.png"));
    }
    return 0;
}
