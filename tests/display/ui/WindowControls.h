#pragma once

#include <QString>
#include <QWidget>
#include <QtGlobal>

namespace lm::test {

// A control of a window by its objectName; the test stops when it is missing.
template <typename T> T* control(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no control %s", name);
    }
    return found;
}

} // namespace lm::test
