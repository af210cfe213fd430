// Termination requests from outside (SIGINT, SIGTERM), delivered on the user-interface thread.
#pragma once

// Calls `handler` from the event loop when the process receives SIGINT or SIGTERM.
void OnTerminationSignal(void (*handler)());
