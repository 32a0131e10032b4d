#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/input_desktop.h"

namespace snaplark::platform::qt {

class QtServices;

// Shows what stops the gestures where a user looks, since an agent started at login has no
// terminal: a desktop notification when a problem begins (with a button where one action mends
// it) and again when it ends, the icon's tool tip while it lasts, and a paragraph of the
// How-to-use dialog. Standard error keeps its own lines.
class ProblemNotices final : public QObject {
    Q_OBJECT

public:
    explicit ProblemNotices(QtServices& services);

    // The problems now, each time they may have changed.
    void update(std::vector<Problem> problems);
    // What mends the problem of that key, for its button.
    void setFix(const std::string& key, std::function<void()> fix) { fixes_[key] = std::move(fix); }

    std::vector<HelpNote> helpNotes() const;
    void applyFix(std::size_t note);

private Q_SLOTS:
    void actionInvoked(uint id, const QString& action);

private:
    // Shows a notification (freedesktop Desktop Notifications: Notify), in place of an earlier
    // one if `replaces` is its id; the id it gets is kept under `key`, whose name is also its
    // button's action.
    void notify(const std::string& key, uint replaces, const std::string& summary,
                const std::string& body, const std::string& actionTitle);

    QtServices& services_;
    std::vector<Problem> problems_;
    std::map<std::string, uint> shown_;  // problem key → its notification (0 until known)
    std::map<std::string, std::function<void()>> fixes_;
};

}  // namespace snaplark::platform::qt
