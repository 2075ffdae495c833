// Names and addresses of the desktop program that more than one window uses.
#pragma once

namespace mv::ui {

// The application title: the window caption begins with it, error boxes and
// the task bar show it.
inline constexpr const char* kAppTitle = "Mailvetter";

// The program's name on the command line and in the desktop's menus.
inline constexpr const char* kProgramName = "mailvetter";

// The build's version, compiled in from the project's version.
inline constexpr const char* kVersion = MV_VERSION;

// The maker's notice line of the splash window and the About box.
inline constexpr const char* kNoticeLine = "Copyright (c) 2026 Corvane Software";

// The maker's home page ("&Corvane Software Home Page..."). The one place
// that names it.
inline constexpr const char* kHomePageUrl = "https://www.corvane.example/mailvetter/";

// The help page, relative to the folder of the executable: the build folder
// copies it there and an installation puts it there (bin/ beside share/).
inline constexpr const char* kHelpPageRelativePath = "../share/doc/mailvetter/index.html";

}  // namespace mv::ui
