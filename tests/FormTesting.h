#pragma once

#include "FormBuilder.h"

#include <QWidget>

// A control of a window built from a form template, found in the widget tree by its id.
template<class T = QWidget> T *control(const QWidget &window, int id) {
    return window.findChild<T *>(tavrenode::controlName(id));
}
