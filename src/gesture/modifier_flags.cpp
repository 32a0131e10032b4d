#include "gesture/modifier_flags.h"

#include <array>

namespace snaplark {
namespace {

using namespace modifier;

constexpr std::array<ModifierRow, 15> rows{{
    {1, shift, "shift key is pressed"},
    {2, control, "control key is pressed"},
    {3, option, "option key is pressed"},
    {4, command, "Command key is pressed"},
    {5, control | shift, "control-shift keys are pressed"},
    {6, option | shift, "option-shift keys are pressed"},
    {7, command | shift, "command-shift keys are pressed"},
    {8, control | option, "control-option keys are pressed"},
    {9, control | command, "control-command keys are pressed"},
    {10, option | command, "option-command keys are pressed"},
    {11, shift | control | option, "shift-control-option keys are pressed"},
    {12, shift | control | command, "shift-control-command keys are pressed"},
    {13, control | option | command, "control-option-command keys are pressed"},
    {14, shift | option | command, "shift-command-option keys are pressed"},
    {15, shift | control | option | command, "shift-control-option-command keys are pressed"},
}};

constexpr ModifierRow defaultRow{defaultRowNumber, 0, "no modifier keys are pressed"};

}  // namespace

const ModifierRow& classifyModifiers(ModifierFlags flags)
{
    const ModifierFlags masked = flags & deviceIndependentMask;
    for (const ModifierRow& row : rows) {
        if (row.maskedValue == masked) return row;
    }
    return defaultRow;
}

}  // namespace snaplark
