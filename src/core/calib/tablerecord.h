// The record of table writes that have begun and not ended, kept per user outside the program
// directory so that it outlives a killed program or a power cut and is seen by the next
// identification of the same pair, from either surface or the command-line tool. One small file
// per pair (the MASTER's serial number) and side in
// <GenericDataLocation>/K-TAV-PX-MS-Vista/.
#pragma once

// Records that a table write to `sensor` (1 MASTER, 2 SLAVE) of the pair `serial` begins; the
// file is on the disk when this returns. 1, or -1 when it cannot be recorded.
int NoteTableWriteBegun(int serial, int sensor);
// Clears the record once the table's last block is written.
void NoteTableWriteEnded(int serial, int sensor);
// 1 when a table write to `sensor` of the pair `serial` has begun and not ended, else 0.
int TableWriteUnfinished(int serial, int sensor);
