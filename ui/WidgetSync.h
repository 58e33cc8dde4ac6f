#pragma once
// Showing a controller's state in controls without the controls reporting it back as a user
// edit, and without moving the cursor of a field whose text did not change.

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalBlocker>

namespace keskor {

inline void syncText(QLineEdit* field, const QString& text) {
    if (field->text() != text) {
        const QSignalBlocker block(field);
        field->setText(text);
    }
}

inline void syncChecked(QAbstractButton* button, bool checked) {
    if (button->isChecked() != checked) {
        const QSignalBlocker block(button);
        button->setChecked(checked);
    }
}

} // namespace keskor
