// Request/reply exchange of CRC-8 protected frames with the sensor pair over the transport
// selected by `comtype`. One exchange at a time: the buffers and `head` are single instances.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wire/wire.h"

extern uint8_t szWriteBuf[FRAME_BUFFER_SIZE];  // request: header at 0..7, data from 8
extern uint8_t szReadBuf[FRAME_BUFFER_SIZE];   // reply: header at 0..7, data from 8
extern FrameHeader head;  // the request header, then the fields of the received reply header
extern int dataSizeRec;   // reply bytes received so far (RS-232: waiting in the input queue)

// Builds a request in szWriteBuf and copies its header into `head`; nothing is sent. For order
// 184 the data are the low byte of the word count, widened to two bytes.
void FillTxBuf(uint8_t order, uint16_t param, const void *data, uint16_t len);

// Sends the first `requestLength` bytes of szWriteBuf and receives the reply: 1 when a complete
// and correct reply arrived (header in `head`, data from szReadBuf[8]), else -1. The reply
// must answer the request: the same order and, for parameter pages, calibration sides and
// flash addresses, the same parameter; anything else ends the exchange as a wrong answer.
// Trigger records (order 18) that arrive meanwhile are skipped within the same time-out.
// Over TCP a server that closes the connection ends the wait at once.
int DataExchange(uint16_t requestLength);

// Copies the first `size` data bytes of the last reply to `dest` when it carried that many:
// true. A shorter reply copies nothing, sets a status text saying so and gives false.
bool TakeReplyData(void *dest, size_t size);

// True while an exchange waits for its reply. Callbacks run in that wait; one that wants the
// sensor must leave a request instead: a nested exchange is refused with -1 and would otherwise
// mix two frames in the single buffers.
bool ExchangeActive();

// Received bytes are held only while someone waits for them: an exchange, or a reader of the
// unsolicited trigger records (the recorders), which announces itself here for as long as it
// waits and then reads them with GetInQLen/ComRd (RS-232) or finds them in szReadBuf, counted
// by dataSizeRec (TCP). Bytes that arrive while nobody waits are discarded on both transports,
// so a peer that sends on its own cannot make the program hold more than its bounded queues.
void SetTriggerReader(bool waiting);
bool ReceiveWanted();  // an exchange or a trigger reader waits

// Waits for and checks a reply header; stores its fields through the pointers. 1 or -1.
int GetHeaderFrame(uint8_t *order, uint16_t *param, uint16_t *len, uint8_t *datacrc);

// Waits for `len` data bytes behind the header and checks them against head.datacrc. 1 or -1.
int GetDataFrame(uint16_t len);

// Checks the 8 header bytes in szReadBuf (CRC 0, start mark 0x55) and stores its fields. 1 or -1.
int CheckHeaderCRC(uint8_t *order, uint16_t *param, uint16_t *len, uint8_t *datacrc);

// Writes the text of a failed wait into szStatus: "TIMEOUT!" when timed out, then the texts
// of the line-error bits (input lost, parity, framing) appended in that order.
void ReportLineErrors(bool timedOut, int lineErrorBits);

// Observer of the frames on the wire, for diagnosis: every request as sent, every reply as
// received (its header, and its data when they arrived complete). nullptr: none.
using FrameTap = void (*)(bool request, const uint8_t *bytes, int count);
void SetFrameTap(FrameTap tap);

// Echo line test: 1 when the sensor answered, else 0. Shows the status on all status fields.
int CheckComLine();
