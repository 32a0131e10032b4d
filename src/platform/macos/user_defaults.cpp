#include "platform/macos/user_defaults.h"

#include <ApplicationServices/ApplicationServices.h>

#include <iostream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace snaplark::platform::macos {
namespace {

// Owns one Core Foundation object for a scope.
class Owned {
public:
    explicit Owned(CFTypeRef object) : object_(object) {}
    ~Owned()
    {
        if (object_ != nullptr) CFRelease(object_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    CFTypeRef get() const { return object_; }
    CFStringRef string() const { return static_cast<CFStringRef>(object_); }

private:
    CFTypeRef object_;
};

Owned makeString(std::string_view text)
{
    return Owned(
        CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
                                static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false));
}

std::optional<PropertyValue> fromPropertyList(CFTypeRef value)
{
    if (value == nullptr) return std::nullopt;
    const CFTypeID type = CFGetTypeID(value);
    if (type == CFBooleanGetTypeID())
        return CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0;
    if (type == CFNumberGetTypeID()) {
        SInt64 number = 0;
        if (CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number) &&
            number >= 0)
            return static_cast<std::uint64_t>(number);
        return std::nullopt;
    }
    if (type == CFStringGetTypeID()) {
        // As long as the string needs: the paused applications' list is a string too
        // (CFStringGetMaximumSizeForEncoding, plus the terminating zero).
        const auto string = static_cast<CFStringRef>(value);
        std::vector<char> text(static_cast<std::size_t>(CFStringGetMaximumSizeForEncoding(
                                   CFStringGetLength(string), kCFStringEncodingUTF8)) +
                               1);
        if (CFStringGetCString(string, text.data(), static_cast<CFIndex>(text.size()),
                               kCFStringEncodingUTF8))
            return std::string(text.data());
    }
    return std::nullopt;
}

// One domain of the current user, on any host: where CFPreferencesSetAppValue writes, and the
// only domain read. The low-level calls name the exact domain, so neither the global domain nor
// any other is searched ("Preference Domains", Preferences Programming Topics for Core
// Foundation). Values come from the process's copy, which the preferences daemon keeps current,
// so a gesture reads memory rather than the disk (UserDefaults.synchronize(): "unnecessary").
class Domain {
public:
    explicit Domain(const char* name) : name_(makeString(name)) {}

    std::optional<PropertyValue> value(std::string_view key) const
    {
        const Owned cfKey = makeString(key);
        const Owned value(CFPreferencesCopyValue(cfKey.string(), name_.string(),
                                                 kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
        return fromPropertyList(value.get());
    }

    bool setBool(bool value, std::string_view key) const
    {
        return set(key, value ? kCFBooleanTrue : kCFBooleanFalse);
    }

    bool setString(const std::string& value, std::string_view key) const
    {
        const Owned cfValue = makeString(value);
        return set(key, cfValue.get());
    }

private:
    bool set(std::string_view key, CFPropertyListRef value) const
    {
        const Owned cfKey = makeString(key);
        CFPreferencesSetValue(cfKey.string(), value, name_.string(), kCFPreferencesCurrentUser,
                              kCFPreferencesAnyHost);
        return CFPreferencesSynchronize(name_.string(), kCFPreferencesCurrentUser,
                                        kCFPreferencesAnyHost) != 0;
    }

    Owned name_;
};

}  // namespace

struct UserDefaultsStore::State {
    Domain current{defaultsDomain};
    Domain earlier{earlierDefaultsDomain};
    std::map<std::string, PropertyValue, std::less<>> unsavedChoices;
    std::set<std::string, std::less<>> lookedUpEarlier;
    bool writeProblemReported = false;
};

namespace {

class Defaults final : public UserDefaults {
public:
    explicit Defaults(UserDefaultsStore::State& state) : state_(state) {}

    std::optional<PropertyValue> objectForKey(std::string_view key) override
    {
        if (auto unsaved = state_.unsavedChoices.find(key); unsaved != state_.unsavedChoices.end())
            return unsaved->second;
        if (auto value = state_.current.value(key)) return value;
        return carriedOver(key);
    }

    bool boolForKey(std::string_view key) override
    {
        const auto value = objectForKey(key);
        return value && boolFromValue(*value);
    }

    void setBool(bool value, std::string_view key) override
    {
        held(state_.current.setBool(value, key), value, key);
    }

    void setString(const std::string& value, std::string_view key) override
    {
        held(state_.current.setString(value, key), value, key);
    }

private:
    // A choice that could not be saved still holds for the rest of the run: a switch, or an
    // application paused.
    void held(bool saved, PropertyValue value, std::string_view key)
    {
        if (saved) {
            if (auto unsaved = state_.unsavedChoices.find(key);
                unsaved != state_.unsavedChoices.end())
                state_.unsavedChoices.erase(unsaved);
            return;
        }
        state_.unsavedChoices.insert_or_assign(std::string(key), std::move(value));
        if (!std::exchange(state_.writeProblemReported, true)) {
            std::cerr << "snaplark: cannot save the setting to the user defaults of "
                      << defaultsDomain << "; it holds until Snaplark quits\n";
        }
    }

    // A switch from an earlier build is looked up once per key and run, and a Boolean found
    // there is written to the current domain, where it is read from then on.
    std::optional<PropertyValue> carriedOver(std::string_view key)
    {
        if (!state_.lookedUpEarlier.emplace(key).second) return std::nullopt;
        auto value = state_.earlier.value(key);
        if (value && std::holds_alternative<bool>(*value)) {
            state_.current.setBool(std::get<bool>(*value), key);
        }
        return value;
    }

    UserDefaultsStore::State& state_;
};

}  // namespace

UserDefaultsStore::UserDefaultsStore() : state_(std::make_unique<State>()) {}
UserDefaultsStore::~UserDefaultsStore() = default;

std::unique_ptr<UserDefaults> UserDefaultsStore::open()
{
    return std::make_unique<Defaults>(*state_);
}

std::string UserDefaultsStore::note(std::string_view key)
{
    const auto value = state_->current.value(key);
    return value && std::holds_alternative<std::string>(*value) ? std::get<std::string>(*value)
                                                                : std::string();
}

// A note that cannot be saved is written again at the next run; nothing more is lost.
void UserDefaultsStore::setNote(std::string_view key, const std::string& value)
{
    state_->current.setString(value, key);
}

}  // namespace snaplark::platform::macos
