// Writes the documentation's screenshots: the program in a real window (run it under Xvfb),
// brought into each state a user reaches through its menus, and grabbed from the screen.
// Usage: lithora_doc_screenshots INDEX_DIR OUTPUT_DIR
#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "card/frm_card.h"
#include "main/form1.h"

using namespace lithora::gui;

namespace {

void save(Form1& form, const QString& file) {
    form.repaint();
    QApplication::processEvents();
    QTest::qWait(300);
    form.screen()->grabWindow(form.winId()).save(file);
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
    Form1 form(argv[1]);
    if (!form.Form_Load(QStringLiteral("/i quartz"), 16000)) return 1;
    form.move(0, 0);
    save(form, out + QStringLiteral("/screenshot-main.png"));

    form.cardWindow()->bt_Click(3);
    save(form, out + QStringLiteral("/screenshot-optics.png"));
    form.cardWindow()->bt_Click(2);

    if (QAction* garnet = groupItem(form, QStringLiteral("Garnet"))) garnet->trigger();
    save(form, out + QStringLiteral("/screenshot-group.png"));

    form.itmPop1(0)->trigger();
    form.itmLST(3)->trigger();
    form.resize(1240, form.height());
    form.itmLST(3)->trigger();
    save(form, out + QStringLiteral("/screenshot-all-columns.png"));
    return 0;
}
