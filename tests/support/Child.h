#pragma once
// A control of a window found by its name, for the windows that keep their
// controls to themselves. Fails the test when there is none.

#include <QObject>
#include <gtest/gtest.h>

template <class Control>
Control *Child(const QObject &window, const char *name)
{
    auto *control = window.findChild<Control *>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}
