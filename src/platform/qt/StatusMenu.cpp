#include "platform/qt/StatusMenu.h"

#include <QKeyEvent>

namespace tavrel::qt {

void StatusMenu::keyPressEvent(QKeyEvent* event) {
    const QKeySequence pressed(event->keyCombination());
    for (QAction* action : actions()) {
        if (action->isEnabled() && !action->shortcut().isEmpty() &&
            action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
            close();
            action->trigger();
            return;
        }
    }
    QMenu::keyPressEvent(event);
}

}  // namespace tavrel::qt
