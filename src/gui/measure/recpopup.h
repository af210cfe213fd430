// The desktop recorder pop-up: file selection, increment and sample count with the recording
// time they give, START with the recording loop and STOP. The file selection serves the touch
// recorder's file button too.
#pragma once

// File button: the file dialog and the overwrite question.
int CC_PICBTNrecfile(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);

// Increment and sample-count fields (value changed): the recording time they give.
int CC_NEDITRecTime(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
int CC_NEDITRecSamples(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);

// START (commit): records until the count, STOP, a time-out or a file that cannot be written.
int CC_CBTNStartRecord(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);

// STOP: left click ends the loop; commit also re-enables the buttons the recording dimmed.
int CC_PICBTNStopRecord(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);

// Shows `seconds` as days, hours, minutes and seconds in the pop-up's recording-time displays.
void CalcRecTime(int seconds);

// The recording time [s] that `samples` samples at `increment` seconds take, whole seconds,
// held to what the displays can show.
int RecordingSeconds(int samples, double increment);

// The file dialog for the recorder file into rec_fname, shown on both recorder panels, with the
// overwrite question for an existing file (deleted on yes); the touch recorder (`touch`) writes a
// polled-mode header into a file it has just emptied. 1 when a file is ready, else 0.
int SelectRecorderFile(bool touch);

// Shows rec_fname, the file both recorders write, on the desktop recorder pop-up and, while its
// file output is on, on the touch recorder panel.
void ShowRecorderFile();

// The overwrite question `question` about rec_fname under `title`, naming the file: 1 for yes.
int ConfirmOverwrite(const char *title, const char *question);

// True when `path` names an existing file.
bool RecorderFileExists(const char *path);
