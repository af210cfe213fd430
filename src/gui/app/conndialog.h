// The connection dialog, on the desktop pop-up pConn and on the touch panel pTConn: transport
// choice, connect with identification, disconnect, baud-rate change, the recent-address list,
// ACCEPT (saves the settings) and DISCARD (disconnects). Both dialogs show the same settings.
#pragma once

constexpr int IP_ADDRESS_SIZE = 256;
constexpr int IP_PORTNUM_SIZE = 32;

extern char szIPaddress[IP_ADDRESS_SIZE];  // the address last entered in the address combo box
extern char szIPportnum[IP_PORTNUM_SIZE];  // the TCP port text read at ACCEPT

// Binds the callbacks below to the controls of pConn and pTConn.
void BindConnectionCallbacks();

// Opens the transport comtype selects with the current settings: true when open (the status
// says why not).
bool OpenLink();
// Closes both transports: the ring may have switched comtype since the last open.
void CloseLink();

// CONNECT, DISCONNECT, CHANGE BAUD RATE and DISCARD pressed while a loop runs first end the
// loop after its current cycle and then act.
// CONNECT: closes any open transport, opens the one chosen in the dialog and identifies the
// sensor pair. The touch twin reports on the touch surface.
int CC_CBTNTryToConnect(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);
int CC_TSD_CBTNTryToConnect(int panel, int control, int event, void *callbackData, int eventData1,
                            int eventData2);
// DISCONNECT: closes the transport and dims the sensor controls and ACCEPT.
int CC_CBTNDisconnect(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
// CHANGE BAUD RATE: order 190 at the old line speed, then the port follows at the new one.
int CC_CBTNChangeBaudRate(int panel, int control, int event, void *callbackData, int eventData1,
                          int eventData2);
// ACCEPT: takes the dialog's settings, writes the settings file and closes both dialogs.
int CC_CBTNAcceptComSetting(int panel, int control, int event, void *callbackData, int eventData1,
                            int eventData2);
// DISCARD: closes the transport and both dialogs; nothing is saved.
int CC_CBTNDiscardComSetting(int panel, int control, int event, void *callbackData, int eventData1,
                             int eventData2);
// Transport ring: switches the fields and comtype at once; no transport is opened or closed.
int CC_DROPComType(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_TSD_DROPComType(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
// Address combo box: dims ACCEPT and puts the address at the top of the recent-address list.
int CC_EDITIpAdress(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
// TCP port text: dims ACCEPT.
int CBF_StringPortNumber(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);
// Hardware-info file button: stops a running loop, nothing else.
int CC_CBTNGenerateHWInfoFile(int panel, int control, int event, void *callbackData, int eventData1,
                              int eventData2);
// Port number and baud-rate ring: no action; their values are read when they are used.
int CC_NUMrs232comport(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_DROPBaudRate(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
// The pop-up's help box: a click hides it.
int CC_HelpText3(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
