#pragma once

#include <QString>

class QWidget;

// Every message box of the program goes through here, so tests can answer them instead of
// blocking on a modal dialog.
namespace lithora::gui {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer show(QWidget* parent, MessageIcon icon, const QString& title,
                               const QString& text, MessageButtons buttons) = 0;
};

// The boxes in use: real dialogs unless a test has put its own in place.
MessageBoxes& messageBoxes();
// Puts boxes in place (nullptr restores the real dialogs); the caller keeps ownership.
void setMessageBoxes(MessageBoxes* boxes);

MessageAnswer showMessage(QWidget* parent, MessageIcon icon, const QString& title,
                          const QString& text, MessageButtons buttons = MessageButtons::Ok);

} // namespace lithora::gui
