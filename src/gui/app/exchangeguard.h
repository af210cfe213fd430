// One exchange at a time: while an exchange made outside a loop waits for its reply with events
// processed, the controls of both surfaces that would start another exchange or close the link
// under it (those marked sensorControl in the panel files) are dimmed, and afterwards each gets
// back the state it had. A reply taken at once processes no events, so no press can come in
// between, and nothing flickers. Presses during a loop's exchanges stay what they are: requests
// the loop serves.
#pragma once

// Called by the link layer when an exchange first lets events through (true) and when that
// exchange ends (false).
void GuardExchange(bool waiting);
