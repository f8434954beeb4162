#pragma once

// Process-wide settings the video library needs. main() makes them once, right after the application object
// (which sets the user's locale); a test or benchmark that plays videos without the program's main() makes
// them the same way.
void PrepareProcessForVideo();
