// Figures of k-tav-cli publish: its RUN rate beside run's over the paced serial line, and the
// delay from a record's reply to its delivery by the broker to a subscriber.
#pragma once
#include <QByteArray>
#include <QStringList>

// One round of publish at every record over `connection` (--tcp or --com and its value) with
// further `options`, as a subscriber of the broker on `brokerPort` receives them: records per
// second, negative when they did not arrive.
double PublishRound(const QStringList &connection, int brokerPort, const QStringList &options = {});

// publish at every record / run --json, over the simulator's pseudo-terminal paced at 115200
// baud, in alternating rounds of fresh tool processes. False when it could not run.
bool PublishWireFigure(int rounds);

// Delay from a reply's arrival to the subscriber's delivery, on loopback: median and 99th
// percentile, the records fetched on the open transport as fast as it allows.
bool PublishDelayFigure(int rounds);
