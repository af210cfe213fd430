// One exchange at a time: while an exchange made outside a loop waits for its reply, the
// controls of both surfaces that would start another exchange or close the link under it are
// dimmed, and afterwards each gets back the state it had. Presses during a loop's exchanges
// stay what they are: requests the loop serves.
#pragma once

// Called by the link layer when an exchange starts (true) and ends (false).
void GuardExchange(bool waiting);
