#pragma once
// The program's secondary windows are made when they are first needed, not
// at start-up. Each window's accessor makes it on its first call, owned by
// the main window; its global pointer is cleared when the window goes.
// Without an owner (before the main window is made, and in tests that make
// their windows themselves) an accessor makes nothing and returns the
// pointer as it is.

#include <QObject>
#include <QWidget>

void SetWindowOwner(QWidget *owner);
QWidget *WindowOwner();

template <class Window>
Window *MadeOnFirstUse(Window *&window)
{
    if (!window && WindowOwner()) {
        window = new Window(WindowOwner());
        QObject::connect(window, &QObject::destroyed, [&window, made = window] {
            if (window == made)
                window = nullptr;
        });
    }
    return window;
}
