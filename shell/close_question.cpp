#include "shell/close_question.h"

#include "shell/error_box.h"

namespace CloseQuestion {

bool mayClose(bool unsaved, QWidget* parent) {
    if (!unsaved) return true;
    return Modal::ask(Text, Name, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                      QMessageBox::Question, parent) == QMessageBox::Yes;
}

} // namespace CloseQuestion
