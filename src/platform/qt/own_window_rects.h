#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

#include "platform/x11/own_windows.h"

namespace snaplark::platform::qt {

// Keeps the X11 backend told where the agent's windows lie on the screen, so that a press there
// waits for the server to say where it went. A window that closed stays in the list for a moment:
// the press that closed it may still be on its way.
class OwnWindowRects final : public QObject {
public:
    using Publish = std::function<void(std::vector<x11::RootRect>)>;
    explicit OwnWindowRects(Publish publish);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    Publish publish_;
    QTimer refresh_;
    struct Closed {
        x11::RootRect rect;
        qint64 until;
    };
    std::vector<x11::RootRect> shown_;
    std::vector<Closed> closed_;
};

}  // namespace snaplark::platform::qt
