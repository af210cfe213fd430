// The data recorder's loop: samples taken by polling the sensor (order 8 every increment) or
// from the trigger records the sensor sends by itself (order 18), each appended to the recorder
// file. The desktop recorder pop-up, the touch recorder and the command line run it; what they
// show on the way goes through a RecorderView.
#pragma once

#include "core/link/status.h"
#include "wire/wire.h"

extern TriggerRecord rec;  // the last trigger record, as received
extern int tmr_flag;       // 1 while the touch recorder's timer records (polled mode)
extern int timeout_flag;   // 1 once a polled touch recording has stopped by itself

// How a recording ended.
enum class RecordEnd {
    Completed,  // the sample count (or the 32000 limit) was reached
    Stopped,    // stop_flag set to 1 (STOP, Ctrl-C, closing the program)
    Timeout,    // polled mode: the sensor did not answer (unattended: was lost)
    FileError,  // a sample line could not be written; the lines before it stay in the file
};

// How a recording ended, why, and what it left out.
struct RecordOutcome {
    RecordEnd end;
    unsigned dropped;         // trigger records dropped because their data was damaged
    char cause[STATUS_SIZE];  // Timeout: the link's cause; FileError: the file's (RecFileError)
};

// What to record.
struct Recording {
    const char *path;  // the recorder file; its header is written already
    double increment;  // polled mode: seconds between samples, 0 = as fast as the link allows
    unsigned samples;  // the sample count, at most REC_MAX_SAMPLES are taken
    bool trigger;      // take the sensor's trigger records instead of polling
    // Polled mode: a failed exchange is tried again and the sensor lost only after three in a
    // row (link/sensorwatch.h), as the tool's unattended loops want; else the first ends it.
    bool unattended = false;
};

// What a recording shows while it runs; a null member shows nothing.
struct RecorderView {
    void (*line)(const char *text);  // the recorder's status line
    void (*sampled)();               // a new record is in `raw`
    void (*counter)(unsigned n);     // samples written so far
    void (*elapsed)(int seconds);    // whole seconds since the start
};

// Runs the recording loop inside the caller until it ends; stop_flag is 0 while it runs and
// says how it ended afterwards (2 completed, 1 stopped, -1 time-out). The main status shows
// every sample; a time-out shows the transport's time-out text there and reports the sensor lost.
RecordOutcome RunRecording(const Recording &recording, const RecorderView &view);

// `text` into `out`, followed by the number of dropped trigger records when there were any.
void WithDroppedCount(char (&out)[STATUS_SIZE], const char *text, unsigned dropped);

// True while the desktop recorder's loop runs.
bool DesktopRecorderActive();

// True while the touch recorder records: its timer polls (not ended by a time-out, the sample
// limit or a file error) or it waits for trigger records. One recorder at a time: a second one
// would take the first one's trigger records and write into its file.
bool TouchRecorderActive();

// One order-8 exchange: 1 with the record copied into `raw`, or -1 with the transport's time-out
// text ("Timeout RS232-Line!" or "Timeout TCP-Server-error!") on the main status.
int GetRecorderData();

// Takes the next trigger record from the transport's received bytes: 1 when a record was copied
// into `rec` and `raw`, 0 when none waits, -1 when a record came whose data did not arrive whole
// and undamaged, or is shorter than a record (it is dropped; `rec` and `raw` stay as they were).
// Headers of other orders are dropped; bytes that do not make a header are dropped one at a time,
// so a stream entered in the middle of a frame finds the next header.
int TakeTriggerRecord();

// Drops every byte received and not yet taken, so that a trigger recording starts with the
// records that come after its start.
void DiscardTriggerInput();

// Creates rec_fname with the recorder file header for RS-232 data mode `mode` (1 = trigger
// mode: increment 0, no sample count) and the increment and sample count of the recorder that
// starts; on the touch surface (tsd_flag) the header has no sample count. 1, or -1 when the
// file exists already or cannot be written.
int writeFileHeader(int mode, double increment, int samples);
