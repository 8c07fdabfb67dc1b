#include "gui/waitcursor.h"

#include <QApplication>

namespace tessaloom::gui {

WaitCursor::WaitCursor(bool startNow)
{
    if (startNow)
        start();
}

WaitCursor::~WaitCursor()
{
    stop();
}

void WaitCursor::start()
{
    if (!m_on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    m_on = true;
}

void WaitCursor::stop()
{
    if (m_on)
        QApplication::restoreOverrideCursor();
    m_on = false;
}

} // namespace tessaloom::gui
