#include "pause.h"

#include <QCoreApplication>
#include <QThread>

void Pause(int milliseconds)
{
    const int slices = milliseconds / 20;
    for (int i = 0; i < slices; ++i) {
        QThread::msleep(20);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}
