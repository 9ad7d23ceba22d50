#pragma once

namespace tavrel {

// The process entry: makes the application delegate, becomes an accessory (tray) agent and
// runs the platform's event loop until the user quits. Answers the process's exit status.
int runApplication();

}  // namespace tavrel
