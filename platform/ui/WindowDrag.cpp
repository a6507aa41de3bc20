#include "platform/ui/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>

#include "platform/ui/UiServices.h"

bool CWindowDrag::OnMouseMove(const QMouseEvent* event, QWidget* target) {
    const bool leftOnly = event->buttons() == Qt::LeftButton &&
                          (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) == 0;
    if (!leftOnly) {
        m_bMoving = false;
        return false;
    }
    if (m_bMoving || !target) return false;
    m_bMoving = true;
    return GetUiServices().mover->BeginMove(target->window(), event->globalPosition().toPoint());
}
