#include "toolkit/SliderSelect.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {
// The thumb's half width on either side that the track does not reach.
constexpr int kTrackInset = 14;
}  // namespace

CSliderSelect::CSliderSelect(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks);
    // A control of its own, not a part of whatever its owner paints behind it.
    setAutoFillBackground(true);
}

void CSliderSelect::SetRange(int first, int last) {
    const QSignalBlocker quiet(this);
    setRange(first, last);
}

void CSliderSelect::SetPos(int pos) {
    const QSignalBlocker quiet(this);
    setValue(pos);
}

void CSliderSelect::SetTicFreq(int freq) {
    setTickInterval(std::max(freq, 0));
    setTickPosition(freq > 0 ? QSlider::TicksBelow : QSlider::NoTicks);
}

void CSliderSelect::SetSelection(int start, int end) {
    if (start == m_selStart && end == m_selEnd) return;
    m_selStart = start;
    m_selEnd = end;
    update();
}

int CSliderSelect::PositionForPoint(int x) const {
    const int usable = width() - 2 * kTrackInset;
    if (usable <= 0) return value();
    // The range minimum is taken to be 0, as the frame slider's always is.
    const int offset = std::clamp(x - kTrackInset, 0, usable);
    return static_cast<int>(std::trunc(static_cast<double>(maximum()) * offset / usable));
}

int CSliderSelect::PointForPosition(int pos) const {
    const int usable = std::max(width() - 2 * kTrackInset, 0);
    if (maximum() <= 0) return kTrackInset;
    const double share = std::clamp(static_cast<double>(pos) / maximum(), 0.0, 1.0);
    return kTrackInset + static_cast<int>(std::lround(share * usable));
}

int CSliderSelect::SetPosFromPoint(int x) {
    SetPos(PositionForPoint(x));
    return value();
}

int CSliderSelect::SetPosFromCursor() { return SetPosFromPoint(mapFromGlobal(QCursor::pos()).x()); }

void CSliderSelect::Notify(Scroll what) {
    if (m_onScroll) m_onScroll(what);
}

void CSliderSelect::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    // Widen the style's track so that its thumb sits where the cursor mapping puts
    // the position: a click lands on the frame drawn under the mouse.
    const int thumb = style()->pixelMetric(QStyle::PM_SliderLength, &opt, this);
    opt.rect = QRect(kTrackInset - thumb / 2, 0, std::max(width() - 2 * kTrackInset, 0) + thumb, height());
    if (maximum() > 0) opt.sliderPosition = std::clamp(value(), 0, maximum());
    opt.minimum = 0;

    // Some styles fill the groove up to the thumb in the highlight colour; here the
    // highlight marks the selection alone.
    QStyleOptionSlider groove = opt;
    groove.palette.setColor(QPalette::Highlight, opt.palette.color(QPalette::Base));
    groove.subControls = QStyle::SC_SliderGroove;
    if (tickPosition() != QSlider::NoTicks) groove.subControls |= QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &groove, &p, this);

    if (m_selEnd > m_selStart) {
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const int left = PointForPosition(m_selStart), right = PointForPosition(m_selEnd);
        const QRect band(left, groove.top(), std::max(right - left, 1), std::max(groove.height(), 3));
        p.fillRect(band, palette().color(QPalette::Highlight));
    }

    opt.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
}

// The slider's own stepping and paging by mouse is replaced: the owner moves it to
// the position under the cursor for as long as the left button is held.
void CSliderSelect::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_leftDown = true;
    event->accept();
    Notify(Scroll::Press);
}

void CSliderSelect::mouseMoveEvent(QMouseEvent* event) {
    if (!m_leftDown) {
        event->ignore();
        return;
    }
    event->accept();
    Notify(Scroll::Track);
}

void CSliderSelect::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_leftDown) {
        event->ignore();
        return;
    }
    m_leftDown = false;
    event->accept();
    Notify(Scroll::Release);
}

void CSliderSelect::keyPressEvent(QKeyEvent* event) {
    const int before = value();
    QSlider::keyPressEvent(event);
    if (event->isAccepted() && value() != before) Notify(Scroll::Key);
}

void CSliderSelect::wheelEvent(QWheelEvent* event) {
    const int before = value();
    QSlider::wheelEvent(event);
    // Taken here whether or not it moved the thumb, so it never zooms the view behind.
    event->accept();
    if (value() != before) Notify(Scroll::Wheel);
}
