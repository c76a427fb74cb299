#include "shell/FirstUse.h"

#include <QPointer>

namespace {

QPointer<QWidget> Owner;

} // namespace

void SetWindowOwner(QWidget *owner)
{
    Owner = owner;
}

QWidget *WindowOwner()
{
    return Owner;
}
