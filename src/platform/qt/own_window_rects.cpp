#include "platform/qt/own_window_rects.h"

#include <QDateTime>
#include <QEvent>
#include <QGuiApplication>
#include <QWindow>
#include <algorithm>

namespace snaplark::platform::qt {
namespace {

constexpr qint64 closedGraceMs = 1000;

x11::RootRect rootRectOf(const QWindow& window)
{
    const qreal ratio = window.devicePixelRatio();
    const QMargins frame = window.frameMargins();
    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    const QRect r(origin.x() - frame.left(), origin.y() - frame.top(),
                  window.width() + frame.left() + frame.right(),
                  window.height() + frame.top() + frame.bottom());
    return {static_cast<int>(r.x() * ratio), static_cast<int>(r.y() * ratio),
            static_cast<int>(r.width() * ratio), static_cast<int>(r.height() * ratio)};
}

bool sameRect(const x11::RootRect& a, const x11::RootRect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace

OwnWindowRects::OwnWindowRects(Publish publish) : publish_(std::move(publish))
{
    refresh_.setSingleShot(true);
    refresh_.setInterval(0);
    connect(&refresh_, &QTimer::timeout, this, &OwnWindowRects::refresh);
    qApp->installEventFilter(this);
}

bool OwnWindowRects::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Expose:
        if (watched->isWindowType()) refresh_.start();
        break;
    default: break;
    }
    return false;
}

void OwnWindowRects::refresh()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::vector<x11::RootRect> shown;
    for (QWindow* window : QGuiApplication::allWindows()) {
        if (window->isVisible() && window->handle() != nullptr)
            shown.push_back(rootRectOf(*window));
    }
    for (const x11::RootRect& old : shown_) {
        const bool stillShown = std::any_of(
            shown.begin(), shown.end(), [&](const x11::RootRect& r) { return sameRect(r, old); });
        if (!stillShown) closed_.push_back({old, now + closedGraceMs});
    }
    std::erase_if(closed_, [now](const Closed& c) { return c.until <= now; });
    shown_ = shown;
    std::vector<x11::RootRect> all = shown;
    for (const Closed& c : closed_)
        all.push_back(c.rect);
    if (!closed_.empty()) QTimer::singleShot(closedGraceMs, this, &OwnWindowRects::refresh);
    publish_(std::move(all));
}

}  // namespace snaplark::platform::qt
