#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <cstdlib>

namespace tidemark::testing {

/// The control of `window` with this object name; a missing control fails the test at once.
template <typename T>
T& FindControl(QWidget& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) {
        ADD_FAILURE() << "no control " << name;
        std::abort();
    }
    return *control;
}

}  // namespace tidemark::testing
