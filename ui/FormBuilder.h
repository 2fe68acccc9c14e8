#pragma once

#include "FormTemplates.h"

#include <functional>

#include <QHash>
#include <QList>
#include <QString>

class QWidget;

namespace tavrenode {

// The widgets of one form, found by control identifier.
class Form {
public:
    template<class T> [[nodiscard]] T *control(int id) const {
        return qobject_cast<T *>(m_controls.value(id));
    }
    [[nodiscard]] QWidget *widget(int id) const { return m_controls.value(id); }

private:
    friend Form buildForm(const forms::Template &, QWidget &, const std::function<void(Form &)> &);
    QHash<int, QWidget *> m_controls;
};

// The object name of the control with this identifier, for finding it in the widget tree.
[[nodiscard]] QString controlName(int id);

// Creates the template's controls as children of window in tab order, lets fill put texts
// into them (the lists' lines, say), then places them from their dialog units converted with
// the window's font and fixes the window's size.
//
// Fonts differ in how wide their words are for the same average letter: where a text would
// not fit its control, the whole form is widened by the same factor, so that nothing is
// clipped and the proportions stay.
Form buildForm(const forms::Template &form, QWidget &window,
               const std::function<void(Form &)> &fill = {});

} // namespace tavrenode
