#include <iostream>
#include <string>
#include <vector>

#include "app/dialog_texts.h"
#include "gesture/app_delegate.h"

namespace snaplark {
namespace {

// "Snaplark beta " and the short version when both version keys hold strings; "Snaplark" otherwise.
std::string aboutTitle(const platform::InfoDictionary* info)
{
    auto stringAt = [info](const char* key) -> const std::string* {
        if (info == nullptr) return nullptr;
        auto found = info->find(key);
        return found == info->end() ? nullptr : std::get_if<std::string>(&found->second);
    };
    const std::string* shortVersion = stringAt(platform::shortVersionKey);
    const std::string* buildVersion = stringAt(platform::buildVersionKey);
    if (shortVersion == nullptr || buildVersion == nullptr) {
        return std::string(dialog_texts::aboutTitleWithoutVersion);
    }
    return std::string(dialog_texts::aboutTitlePrefix) + *shortVersion;
}

void runAlert(platform::AlertFactory& alerts, std::string_view message,
              std::string_view informative)
{
    auto alert = alerts.makeAlert();
    alert->setMessageText(message);
    alert->setInformativeText(informative);
    alert->addButtonWithTitle(dialog_texts::okButton);
    alert->runModal();
}

}  // namespace

void AppDelegate::preferenceFromTrayWithSender(platform::Object* /*sender*/)
{
    showPreferencesWindow();
}

void AppDelegate::aboutFromTrayWithSender(platform::Object* /*sender*/)
{
    showAboutAlert();
}

void AppDelegate::howToUseFromTrayWithSender(platform::Object* /*sender*/)
{
    platform_.application.setActivationPolicy(platform::ActivationPolicy::regular);
    showHowToUseAlert();
}

// Every use loads the scene anew; the window owns its controllers and nothing here keeps them.
void AppDelegate::showPreferencesWindow()
{
    platform_.application.setActivationPolicy(platform::ActivationPolicy::regular);
    auto storyboard = platform_.storyboards.storyboardWithName("Main");
    auto controller =
        storyboard ? storyboard->instantiateControllerWithIdentifier("mainWindow") : nullptr;
    if (!controller) {
        // Only a damaged installation gets here; say so rather than ignore the user's click.
        std::cerr << "snaplark: the preferences window could not be loaded\n";
        return;
    }
    controller->showWindow(this);
}

void AppDelegate::showAboutAlert()
{
    platform_.application.setActivationPolicy(platform::ActivationPolicy::regular);
    const std::string informative =
        std::string(dialog_texts::aboutPurpose) + '\n' + std::string(dialog_texts::aboutCredit);
    runAlert(platform_.alerts, aboutTitle(platform_.mainBundle.infoDictionary()), informative);
}

// What stops the gestures, if anything does, follows the gestures' description, with a button
// for each problem one action mends.
void AppDelegate::showHowToUseAlert()
{
    const bool controlKey =
        platform_.application.keyboardWords() == platform::KeyboardWords::control;
    std::string informative(controlKey ? dialog_texts::howToUseTextControlKey
                                       : dialog_texts::howToUseText);
    const auto notes = platform_.application.helpNotes();
    std::vector<std::size_t> fixes;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        informative += "\n\n" + notes[i].text;
        if (!notes[i].fixTitle.empty()) fixes.push_back(i);
    }
    auto alert = platform_.alerts.makeAlert();
    alert->setMessageText(dialog_texts::howToUseTitle);
    alert->setInformativeText(informative);
    alert->addButtonWithTitle(dialog_texts::okButton);
    for (const std::size_t i : fixes)
        alert->addButtonWithTitle(notes[i].fixTitle);
    // Buttons answer 1000, 1001… in the order they were added.
    const long response = alert->runModal() - 1001;
    if (response >= 0 && static_cast<std::size_t>(response) < fixes.size()) {
        platform_.application.applyFix(fixes[static_cast<std::size_t>(response)]);
    }
}

}  // namespace snaplark
