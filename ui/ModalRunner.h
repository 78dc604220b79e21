#pragma once

#include <QDialog>

namespace parlune {

// Shows the main window's modal dialogs: the file dialogs and the message boxes. The program
// shows them for real; tests and the screenshot tool answer them without blocking.
class ModalRunner {
public:
    virtual ~ModalRunner() = default;

    // Shows dialog modally and returns its result: QDialog::Accepted or QDialog::Rejected for
    // a file dialog, the button pressed for a message box.
    virtual int Exec(QDialog& dialog) = 0;
};

// Shows every dialog on the screen and waits for the user.
class QtModalRunner : public ModalRunner {
public:
    int Exec(QDialog& dialog) override { return dialog.exec(); }
};

} // namespace parlune
