#pragma once

// The version text shown in the title and the about dialog.
constexpr const char* kAppVersion = "1.1.8";
