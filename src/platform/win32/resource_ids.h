#pragma once

// Shared by the resource script and the code; plain macros, as the resource compiler needs.
#define SNAPLARK_ICON 1
#define SNAPLARK_PREFERENCES 100
#define SNAPLARK_COPY_CHECKBOX 101
#define SNAPLARK_PASTE_CHECKBOX 102
#define SNAPLARK_START_AT_LOGIN_CHECKBOX 103
#define SNAPLARK_COPY_AFTER_SELECTION_CHECKBOX 104
#define SNAPLARK_PAUSED_LIST 105
#define SNAPLARK_RESUME_BUTTON 106
