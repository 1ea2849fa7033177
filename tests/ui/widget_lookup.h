// widget_lookup.h - finds a dialog's child by object name and fails the test when it is missing.
#pragma once

#include <QObject>
#include <QString>
#include <gtest/gtest.h>

namespace zor::test {

template <typename T>
T* child(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no child named " << name;
    return found;
}

}  // namespace zor::test
