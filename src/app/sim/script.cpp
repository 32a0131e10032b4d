#include "app/sim/script.h"

#include <array>
#include <charconv>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "app/application_module.h"
#include "gesture/app_delegate.h"
#include "platform/sim/sim_platform.h"

namespace snaplark::sim {
namespace {

using platform::sim::quoted;
using platform::sim::SimProcess;
using platform::sim::SimWorld;

// A tick count beyond this would only spin: it is about 190 years of minutes.
constexpr std::uint64_t maxTicksPerCommand = 100'000'000;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The arguments of one command, taken a word at a time or as the rest of the line.
class Words {
public:
    explicit Words(std::string_view text) : text_(trim(text)) {}
    std::optional<std::string_view> next()
    {
        if (text_.empty()) return std::nullopt;
        std::size_t end = 0;
        while (end < text_.size() && !isBlank(text_[end]))
            ++end;
        std::string_view word = text_.substr(0, end);
        text_ = trim(text_.substr(end));
        return word;
    }
    std::string_view rest()
    {
        std::string_view all = text_;
        text_ = {};
        return all;
    }
    bool empty() const { return text_.empty(); }

private:
    std::string_view text_;
};

struct ScriptError {
    std::string reason;
};

// Decimal or 0x hexadecimal, unsigned, at most 64 bits.
std::uint64_t parseNumber(std::string_view text)
{
    int base = 10;
    std::string_view digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    std::uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error == std::errc::result_out_of_range) {
        throw ScriptError{"number out of range (at most 64 bits): " + std::string(text)};
    }
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
        throw ScriptError{"not a number: " + std::string(text)};
    }
    return value;
}

std::string_view word(Words& words, std::string_view usage)
{
    if (auto w = words.next()) return *w;
    throw ScriptError{"expected: " + std::string(usage)};
}

void noMore(Words& words, std::string_view usage)
{
    if (!words.empty()) throw ScriptError{"expected: " + std::string(usage)};
}

std::string valueText(const platform::PropertyValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
    if (const auto* n = std::get_if<std::uint64_t>(&value)) return std::to_string(*n);
    return quoted(std::get<std::string>(value));
}

const char* onOff(bool on)
{
    return on ? "on" : "off";
}
const char* trueFalse(bool b)
{
    return b ? "true" : "false";
}

class Interpreter {
public:
    explicit Interpreter(std::ostream& out) : out_(out), world_(out) { start(); }

    // Runs one command line; true when the script should stop (the agent quit).
    bool execute(std::string_view line)
    {
        Words words(line);
        const std::string_view name = *words.next();
        for (const Command& command : commands()) {
            if (command.name == name) {
                (this->*command.run)(words, command.usage);
                return process_->terminated();
            }
        }
        throw ScriptError{"unknown command: " + std::string(name)};
    }

private:
    using Run = void (Interpreter::*)(Words&, std::string_view usage);
    struct Command {
        std::string_view name;
        std::string_view usage;
        Run run;
    };

    static const std::array<Command, 13>& commands()
    {
        static constexpr std::array<Command, 13> table{{
            {"down", "down FLAGS [app=ID]", &Interpreter::mouseDown},
            {"up", "up FLAGS [dragged] [clicks=N] [app=ID]", &Interpreter::mouseUp},
            {"defaults",
             "defaults set KEY true|false | set-string KEY TEXT | set-number KEY N | "
             "add-line KEY TEXT | remove KEY",
             &Interpreter::defaults},
            {"print", "print state|defaults|menu|marks|status|preferences", &Interpreter::print},
            {"open-menu", "open-menu", &Interpreter::openMenu},
            {"tick", "tick [N]", &Interpreter::tick},
            {"choose", "choose TITLE", &Interpreter::choose},
            {"click-status", "click-status", &Interpreter::clickStatus},
            {"prefs", "prefs copy|paste|copy-after-selection | prefs resume N",
             &Interpreter::prefs},
            {"bundle", "bundle set KEY TEXT | set-number KEY N | remove KEY | none",
             &Interpreter::bundle},
            {"restart", "restart", &Interpreter::restart},
            {"keyboard", "keyboard fail keydown|keyup|both|none", &Interpreter::keyboard},
            {"platform",
             "platform status-button present|absent | platform active-application ID [NAME]|none",
             &Interpreter::platformSetting},
        }};
        return table;
    }

    void start()
    {
        platform::ApplicationModule module = applicationModule();
        module.makeDelegate = [this](platform::Platform& platform) {
            return std::make_unique<AppDelegate>(platform, out_);
        };
        process_ = std::make_unique<SimProcess>(world_, module);
    }

    AppDelegate& agent() { return dynamic_cast<AppDelegate&>(process_->delegate()); }

    void mouseDown(Words& words, std::string_view usage) { mouse(words, usage, true); }
    void mouseUp(Words& words, std::string_view usage) { mouse(words, usage, false); }
    // FLAGS, then what the platform may tell besides: the button moved (a release's), how many
    // clicks the release ends, the active application.
    void mouse(Words& words, std::string_view usage, bool down)
    {
        platform::Event event{parseNumber(word(words, usage))};
        while (const auto field = words.next()) {
            if (!down && *field == "dragged") {
                event.dragged = true;
            } else if (!down && field->rfind("clicks=", 0) == 0) {
                const std::uint64_t n = parseNumber(field->substr(7));
                if (n < 1 || n > 3) throw ScriptError{"clicks= takes 1, 2 or 3"};
                event.clickCount = static_cast<int>(n);
            } else if (field->rfind("app=", 0) == 0 && field->size() > 4) {
                event.application = {std::string(field->substr(4)), std::string(field->substr(4))};
            } else {
                throw ScriptError{"expected: " + std::string(usage)};
            }
        }
        process_->leftMouse(down, event);
    }

    void openMenu(Words& words, std::string_view usage)
    {
        noMore(words, usage);
        process_->openMenu();
    }

    void defaults(Words& words, std::string_view usage)
    {
        const std::string_view action = word(words, usage);
        const std::string key(word(words, usage));
        auto& store = world_.defaults;
        if (action == "set") {
            const std::string_view value = word(words, usage);
            noMore(words, usage);
            if (value != "true" && value != "false")
                throw ScriptError{"expected: " + std::string(usage)};
            store.insert_or_assign(key, value == "true");
        } else if (action == "set-string") {
            store.insert_or_assign(key, std::string(words.rest()));
        } else if (action == "set-number") {
            const std::uint64_t n = parseNumber(word(words, usage));
            noMore(words, usage);
            store.insert_or_assign(key, n);
        } else if (action == "add-line") {
            // A line added to a string value; a backslash and a t in TEXT stand for a tab, as
            // the paused applications' lines hold one.
            // (Copied a character at a time: MinGW's GCC 12 takes std::string::replace here for
            // an overlapping copy, -Wrestrict, and stops the Windows build.)
            const std::string_view typed = words.rest();
            std::string line;
            for (std::size_t i = 0; i < typed.size(); ++i) {
                const bool tab = typed.compare(i, 2, "\\t") == 0;
                line += tab ? '\t' : typed[i];
                if (tab) ++i;
            }
            const auto found = store.find(key);
            const auto* text =
                found == store.end() ? nullptr : std::get_if<std::string>(&found->second);
            store.insert_or_assign(key, (text ? *text : std::string()) + line + '\n');
        } else if (action == "remove") {
            noMore(words, usage);
            store.erase(key);
        } else {
            throw ScriptError{"expected: " + std::string(usage)};
        }
    }

    void print(Words& words, std::string_view usage)
    {
        const std::string_view what = word(words, usage);
        noMore(words, usage);
        if (what == "state") {
            const AppDelegate& a = agent();
            out_ << "@state boolEnableCopy=" << trueFalse(a.boolEnableCopy)
                 << " boolEnablePaste=" << trueFalse(a.boolEnablePaste)
                 << " boolDisable=" << trueFalse(a.boolDisable)
                 << " boolInfinitely=" << trueFalse(a.boolInfinitely)
                 << " intMinFromStart=" << a.intMinFromStart
                 << " intMinForDisable=" << a.intMinForDisable << '\n';
        } else if (what == "defaults") {
            out_ << "@defaults";
            for (const auto& [key, value] : world_.defaults)
                out_ << ' ' << key << '=' << valueText(value);
            out_ << '\n';
        } else if (what == "menu") {
            int number = 0;
            for (const auto& row : process_->menuRows()) {
                out_ << "@menu " << ++number << ' ';
                if (row.separator)
                    out_ << "---\n";
                else
                    out_ << row.title << ' ' << onOff(row.on) << (row.enabled ? "" : " disabled")
                         << '\n';
            }
        } else if (what == "marks") {
            out_ << "@marks";
            for (const auto& row : process_->menuRows()) {
                if (row.on) out_ << " [" << row.title << ']';
            }
            out_ << '\n';
        } else if (what == "status") {
            printStatus();
        } else if (what == "preferences") {
            out_ << "@preferences";
            for (const std::string& control : process_->preferenceControls())
                out_ << ' ' << control;
            out_ << '\n';
        } else {
            throw ScriptError{"expected: " + std::string(usage)};
        }
        out_ << std::flush;
    }

    void printStatus()
    {
        const auto status = process_->status();
        out_ << "@status highlight=" << onOff(status.highlight)
             << " menu=" << (status.menuAttached ? "attached" : "none");
        if (!status.hasButton) {
            out_ << " button=none\n";
            return;
        }
        auto orNone = [](const std::string& s) { return s.empty() ? std::string("none") : s; };
        out_ << " button=present image=" << orNone(status.image)
             << " alternate=" << orNone(status.alternate)
             << " action=" << (status.action ? platform::selectorName(*status.action) : "none")
             << " target=" << (status.hasTarget ? "set" : "none") << '\n';
    }

    void tick(Words& words, std::string_view usage)
    {
        std::uint64_t count = 1;
        if (auto n = words.next()) count = parseNumber(*n);
        noMore(words, usage);
        if (count > maxTicksPerCommand) {
            throw ScriptError{"too many ticks at once (at most " +
                              std::to_string(maxTicksPerCommand) + ")"};
        }
        for (std::uint64_t i = 0; i < count; ++i)
            process_->tick();
    }

    void choose(Words& words, std::string_view usage)
    {
        const std::string_view title = words.rest();
        if (title.empty()) throw ScriptError{"expected: " + std::string(usage)};
        if (!process_->chooseMenuEntry(title)) {
            throw ScriptError{"no menu entry titled " + quoted(title)};
        }
    }

    void clickStatus(Words& words, std::string_view usage)
    {
        noMore(words, usage);
        if (!process_->clickStatusButton()) throw ScriptError{"the status item has no button"};
    }

    void prefs(Words& words, std::string_view usage)
    {
        const std::string_view which = word(words, usage);
        if (which == "resume") {
            const std::uint64_t index = parseNumber(word(words, usage));
            noMore(words, usage);
            if (index < 1 || !process_->resumeApplication(index - 1)) {
                throw ScriptError{"no preferences window has been shown, or no entry " +
                                  std::to_string(index)};
            }
            return;
        }
        noMore(words, usage);
        const std::string_view outlet = which == "copy"                   ? "btnCopy"
                                        : which == "paste"                ? "btnPaste"
                                        : which == "copy-after-selection" ? "btnCopyAfterSelection"
                                                                          : "";
        if (outlet.empty()) throw ScriptError{"expected: " + std::string(usage)};
        if (!process_->clickCheckbox(outlet)) {
            throw ScriptError{"no preferences window has been shown"};
        }
    }

    void bundle(Words& words, std::string_view usage)
    {
        const std::string_view action = word(words, usage);
        if (action == "none") {
            noMore(words, usage);
            world_.info.reset();
            return;
        }
        const std::string key(word(words, usage));
        auto& info = world_.info;
        if (action == "set") {
            if (!info) info.emplace();
            info->insert_or_assign(key, std::string(words.rest()));
        } else if (action == "set-number") {
            const std::uint64_t n = parseNumber(word(words, usage));
            noMore(words, usage);
            if (!info) info.emplace();
            info->insert_or_assign(key, n);
        } else if (action == "remove") {
            noMore(words, usage);
            if (info) info->erase(key);
        } else {
            throw ScriptError{"expected: " + std::string(usage)};
        }
    }

    void restart(Words& words, std::string_view usage)
    {
        noMore(words, usage);
        process_->terminate();
        process_.reset();
        start();
    }

    void keyboard(Words& words, std::string_view usage)
    {
        if (word(words, usage) != "fail") throw ScriptError{"expected: " + std::string(usage)};
        const std::string_view which = word(words, usage);
        noMore(words, usage);
        if (which != "keydown" && which != "keyup" && which != "both" && which != "none") {
            throw ScriptError{"expected: " + std::string(usage)};
        }
        world_.keyDownCannotBeMade = which == "keydown" || which == "both";
        world_.keyUpCannotBeMade = which == "keyup" || which == "both";
    }

    void platformSetting(Words& words, std::string_view usage)
    {
        const std::string_view setting = word(words, usage);
        if (setting == "active-application") {
            // Known from the next start on; "none" while no application is known.
            const std::string id(word(words, usage));
            const std::string_view name = words.rest();
            world_.knowsApplications = true;
            world_.activeApplication =
                id == "none"
                    ? platform::ActiveApplication{}
                    : platform::ActiveApplication{id, std::string(name.empty() ? id : name)};
            return;
        }
        if (setting != "status-button") throw ScriptError{"expected: " + std::string(usage)};
        const std::string_view presence = word(words, usage);
        noMore(words, usage);
        if (presence != "present" && presence != "absent") {
            throw ScriptError{"expected: " + std::string(usage)};
        }
        world_.statusItemHasButton = presence == "present";
    }

    std::ostream& out_;
    SimWorld world_;
    std::unique_ptr<SimProcess> process_;
};

}  // namespace

int runScript(std::istream& in, std::ostream& out, std::ostream& err)
{
    Interpreter interpreter(out);
    std::string line;
    long number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string_view command = trim(line);
        if (command.empty() || command.front() == '#') continue;
        try {
            if (interpreter.execute(command)) break;
        } catch (const ScriptError& error) {
            out << std::flush;
            err << "snaplark-sim: line " << number << ": " << error.reason << '\n' << std::flush;
            return exitScriptError;
        }
    }
    out << std::flush;
    return 0;
}

}  // namespace snaplark::sim
