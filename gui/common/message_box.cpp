#include "common/message_box.h"

#include <QMessageBox>
#include <cstdio>

namespace lithora::gui {

namespace {

class DialogBoxes : public MessageBoxes {
  public:
    MessageAnswer show(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                       MessageButtons buttons) override {
        QMessageBox box(parent);
        box.setWindowTitle(title);
        box.setText(text);
        switch (icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        }
        if (buttons == MessageButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return MessageAnswer::Ok;
    }
};

// Scripted runs (LITHORA_UNATTENDED set) must never wait for a click: each message is written
// to standard error as one line and answered with its default, OK or No.
class UnattendedBoxes : public MessageBoxes {
  public:
    MessageAnswer show(QWidget*, MessageIcon, const QString& title, const QString& text,
                       MessageButtons buttons) override {
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        std::fprintf(stderr, "lithora: %s: %s\n", qPrintable(title), qPrintable(line));
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
};

DialogBoxes g_dialogs;
UnattendedBoxes g_unattended;
MessageBoxes* defaultBoxes() {
    return qEnvironmentVariableIsSet("LITHORA_UNATTENDED")
               ? static_cast<MessageBoxes*>(&g_unattended)
               : &g_dialogs;
}
MessageBoxes* g_current = nullptr;

} // namespace

MessageBoxes& messageBoxes() {
    return g_current ? *g_current : *defaultBoxes();
}

void setMessageBoxes(MessageBoxes* boxes) {
    g_current = boxes;
}

MessageAnswer showMessage(QWidget* parent, MessageIcon icon, const QString& title,
                          const QString& text, MessageButtons buttons) {
    return messageBoxes().show(parent, icon, title, text, buttons);
}

} // namespace lithora::gui
