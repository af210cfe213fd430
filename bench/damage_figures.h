// Figures of the tool's unattended commands against a sensor that damages 2 % of its replies
// (wrong header or data CRC), beside the same command against an undamaged one: a damaged reply
// must cost a retry, not a reconnection.
#pragma once

// record --reconnect at 50 samples a second asked. False when it could not run.
bool RecordDamageFigure(int rounds);

// publish at 50 RUN cycles a second, as a subscriber receives the records. False likewise.
bool PublishDamageFigure(int rounds);
