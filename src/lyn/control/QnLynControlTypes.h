#pragma once

/// The numbers of the control protocol: request types carried on the request channel and the
/// answer codes of refusals. Every sender and handler names them from here.
namespace QnLynControl {

enum RequestType : int {
    RequestConnect = 1,       ///< a peer connects (answer: its name, address, room, upload URL)
    RequestDisconnect = 2,    ///< a peer disconnects
    RequestPresence = 3,      ///< a peer is still there
    RequestStartLyn = 4,      ///< mirror to the receiving side
    RequestStopLyn = 5,       ///< stop mirroring
    RequestStartDesktop = 6,  ///< the sender starts sending its desktop
    RequestStopDesktop = 7,   ///< the sender stops its desktop
    RequestMouse = 8,         ///< ask for mouse control
    RequestStopMouse = 9,     ///< end mouse control
    RequestPictures = 10,     ///< pictures were uploaded ("pixs")
    RequestSharePath = 12,    ///< share a media path
    RequestShareVideo = 13,   ///< share a video path
    RequestRotation = 14,     ///< the peer's screen turned
    RequestDesktop = 15,      ///< ask for the other side's desktop
    RequestDocuments = 16,    ///< documents were uploaded ("docs")
    RequestOpenDocument = 17, ///< open an uploaded document
    RequestMediaStatus = 18,  ///< media status (not answered)
    RequestReconnect = 19,    ///< a dropped peer is back
    RequestFullScreen = 20,   ///< ask for full screen
};

enum AnswerCode : int {
    AnswerSuccess = 0,
    AnswerFailed = -1,             ///< malformed request, unknown type, time-out
    AnswerDesktopRefused = -1002,  ///< desktop not permitted or not available
    AnswerMouseRefused = -1003,    ///< mouse control not permitted
    AnswerConnectionLimit = -1004, ///< too many connected peers
    AnswerFullScreenBusy = -1005,  ///< another peer plays full screen
    AnswerScreenLimit = -1006,     ///< too many screens cast at once
};

} // namespace QnLynControl
