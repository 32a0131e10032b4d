#include "platform/qt/qt_user_defaults.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <iostream>
#include <map>
#include <string>

namespace snaplark::platform::qt {
namespace {

QString qtKey(std::string_view key)
{
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

PropertyValue fromVariant(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
        if (value.toLongLong() >= 0) return static_cast<std::uint64_t>(value.toLongLong());
        break;
    case QMetaType::UInt:
    case QMetaType::ULongLong: return static_cast<std::uint64_t>(value.toULongLong());
    default: break;
    }
    return value.toString().toStdString();
}

const char* problemOf(QSettings::Status status)
{
    return status == QSettings::FormatError ? "is not a settings file Snaplark can read"
                                            : "cannot be read";
}

// Says whether anything in the settings folder changed since the last look, without waiting: a
// gesture reads the settings, and reading the file anew each time costs more than the rest of
// the gesture. Without a watch (no folder yet), every look says "changed".
class FolderWatch {
public:
    ~FolderWatch()
    {
        if (fd_ >= 0) ::close(fd_);
    }

    bool changedSince(const QString& folder)
    {
        if (fd_ < 0) fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0) return true;
        if (wd_ < 0) {
            wd_ = ::inotify_add_watch(fd_, QFile::encodeName(folder).constData(),
                                      IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                          IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                          IN_MOVE_SELF);
            return true;  // what happened before the watch is unknown
        }
        bool changed = false;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const auto n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) break;
            changed = true;
            for (auto* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                // The folder itself went away: watch it again once it is back.
                if ((event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) wd_ = -1;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return changed || wd_ < 0;
    }

private:
    int fd_ = -1;
    int wd_ = -1;
};

struct SettingsSnapshot {
    bool valid = false;
    std::map<std::string, PropertyValue> values;  // empty while the file cannot be read
};

// The user's settings in the platform's native store: on Linux ~/.config/Snaplark/Snaplark.conf.
// What the file holds is kept between handles and read again only when its folder changed.
class QtUserDefaults final : public UserDefaults {
public:
    std::optional<PropertyValue> objectForKey(std::string_view key) override
    {
        // A choice that could not be saved still holds for the rest of the run.
        if (auto unsaved = unsavedChoices.find(std::string(key)); unsaved != unsavedChoices.end()) {
            return unsaved->second;
        }
        if (!snapshot.valid || watch.changedSince(folder())) readFile();
        if (auto value = snapshot.values.find(std::string(key)); value != snapshot.values.end()) {
            return value->second;
        }
        return std::nullopt;
    }

    bool boolForKey(std::string_view key) override
    {
        const auto value = objectForKey(key);
        return value && boolFromValue(*value);
    }

    void setBool(bool value, std::string_view key) override { set(value, key); }
    void setString(const std::string& value, std::string_view key) override { set(value, key); }

private:
    void set(const PropertyValue& value, std::string_view key)
    {
        snapshot.valid = false;
        if (!settings_) openStore();
        if (unreadable()) setAsideUnreadableFile();
        settings_->setValue(qtKey(key),
                            std::holds_alternative<bool>(value)
                                ? QVariant(std::get<bool>(value))
                                : QVariant(QString::fromStdString(std::get<std::string>(value))));
        settings_->sync();
        if (settings_->status() == QSettings::NoError) {
            unsavedChoices.erase(std::string(key));
        } else {
            unsavedChoices.insert_or_assign(std::string(key), value);
            reportOnce(writeProblemReported, "snaplark: cannot save the setting to " + path() +
                                                 "; it holds until Snaplark quits");
        }
    }

    struct FileSignature {
        bool exists;
        qint64 size;
        QDateTime modified;
        bool operator==(const FileSignature&) const = default;
    };
    static inline std::optional<std::pair<FileSignature, QSettings::Status>> lastVerdict;
    static inline SettingsSnapshot snapshot;
    static inline FolderWatch watch;

    static QString folder()
    {
        static const QString path =
            QFileInfo(QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                QStringLiteral("Snaplark"), QStringLiteral("Snaplark"))
                          .fileName())
                .absolutePath();
        return path;
    }

    void readFile()
    {
        openStore();
        snapshot = {true, {}};
        if (unreadable()) {
            reportOnce(readProblemReported, "snaplark: the settings file " + path() + ' ' +
                                                problemOf(status()) +
                                                "; each gesture keeps the switch it had (on at "
                                                "start) until the file can be read or "
                                                "a checkbox is clicked");
            return;
        }
        for (const QString& key : settings_->allKeys())
            snapshot.values[key.toStdString()] = fromVariant(settings_->value(key));
    }
    static inline std::map<std::string, PropertyValue> unsavedChoices;
    static inline bool readProblemReported = false;
    static inline bool writeProblemReported = false;

    static void reportOnce(bool& reported, const std::string& message)
    {
        if (reported) return;
        reported = true;
        std::cerr << message << '\n';
    }

    std::string path() const { return settings_->fileName().toStdString(); }

    // Qt parses a file once and hands later handles its cached reading with no error, so the
    // verdict on a file is kept for as long as the file stays as it was.
    QSettings::Status status() const
    {
        const QFileInfo file(settings_->fileName());
        const FileSignature signature{file.exists(), file.size(), file.lastModified()};
        if (lastVerdict && lastVerdict->first == signature) return lastVerdict->second;
        QSettings::Status status = settings_->status();
        if (status == QSettings::NoError && file.exists() && !file.isReadable()) {
            status = QSettings::AccessError;
        }
        lastVerdict = {signature, status};
        return status;
    }

    bool unreadable() const { return status() != QSettings::NoError; }

    // Writing would replace a file we could not read; keep it beside the new one instead.
    void setAsideUnreadableFile()
    {
        const QString file = settings_->fileName();
        const QString kept =
            file + QStringLiteral(".unreadable-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        if (QFile::exists(file) && QFile::rename(file, kept)) {
            std::cerr << "snaplark: kept the unreadable settings file as " << kept.toStdString()
                      << '\n';
            openStore();
        }
    }

    void openStore()
    {
        settings_.reset();
        settings_.emplace(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Snaplark"),
                          QStringLiteral("Snaplark"));
    }

    std::optional<QSettings> settings_;
};

}  // namespace

std::unique_ptr<UserDefaults> SettingsFileStore::open()
{
    return std::make_unique<QtUserDefaults>();
}

}  // namespace snaplark::platform::qt
