#include "platform/qt/problem_notices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <algorithm>

#include "platform/qt/qt_services.h"

namespace snaplark::platform::qt {
namespace {

const QString notifications = QStringLiteral("org.freedesktop.Notifications");
const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

}  // namespace

ProblemNotices::ProblemNotices(QtServices& services) : services_(services)
{
    QDBusConnection::sessionBus().connect(notifications, notificationsPath, notifications,
                                          QStringLiteral("ActionInvoked"), this,
                                          SLOT(actionInvoked(uint, QString)));
}

void ProblemNotices::update(std::vector<Problem> problems)
{
    const auto has = [](const std::vector<Problem>& list, const std::string& key) {
        return std::any_of(list.begin(), list.end(),
                           [&key](const Problem& p) { return p.key == key; });
    };
    for (const Problem& now : problems) {
        if (shown_.count(now.key) != 0) continue;
        const bool fixable = !now.fixTitle.empty() && fixes_.count(now.key) != 0;
        shown_[now.key] = 0;
        notify(now.key, 0, now.summary, now.remedy, fixable ? now.fixTitle : std::string());
    }
    // A problem that ended is said so in the same notification.
    for (const Problem& before : problems_) {
        if (has(problems, before.key)) continue;
        notify({}, shown_[before.key], "Snaplark works again",
               "This is over: " + before.summary + ".", {});
        shown_.erase(before.key);
    }
    problems_ = std::move(problems);
    QString tip;
    for (const Problem& problem : problems_)
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + text(problem.summary);
    if (tip != services_.notice()) services_.showNotice(tip);
}

std::vector<HelpNote> ProblemNotices::helpNotes() const
{
    std::vector<HelpNote> notes;
    for (const Problem& problem : problems_) {
        const bool fixable = !problem.fixTitle.empty() && fixes_.count(problem.key) != 0;
        notes.push_back({problem.remedy, fixable ? problem.fixTitle : std::string()});
    }
    return notes;
}

void ProblemNotices::applyFix(std::size_t note)
{
    if (note >= problems_.size()) return;
    const auto fix = fixes_.find(problems_[note].key);
    if (fix != fixes_.end()) fix->second();
}

void ProblemNotices::actionInvoked(uint id, const QString& action)
{
    const auto shown = shown_.find(action.toStdString());
    if (shown == shown_.end() || shown->second != id) return;
    const auto fix = fixes_.find(shown->first);
    if (fix != fixes_.end()) fix->second();
}

void ProblemNotices::notify(const std::string& key, uint replaces, const std::string& summary,
                            const std::string& body, const std::string& actionTitle)
{
    QStringList actions;
    if (!actionTitle.empty()) actions << text(key) << text(actionTitle);
    // The desktop entry lets the desktop show our name and icon, and group our notifications.
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("example.snaplark.Snaplark")}};
    QDBusMessage call = QDBusMessage::createMethodCall(notifications, notificationsPath,
                                                       notifications, QStringLiteral("Notify"));
    call << QStringLiteral("Snaplark") << replaces << QStringLiteral("example.snaplark.Snaplark")
         << text(summary) << text(body) << actions << hints << -1;
    // Not waited for: a notification server started on demand must not hold up the agent.
    auto* reply = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher* w) {
                const QDBusPendingReply<uint> id = *w;
                const auto shown = shown_.find(key);
                if (!key.empty() && id.isValid() && shown != shown_.end())
                    shown->second = id.value();
                w->deleteLater();
            });
}

}  // namespace snaplark::platform::qt
