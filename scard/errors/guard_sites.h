// Failure sites the bridge adds of its own, for arguments it cannot use and
// lengths reported back that it will not trust. Kept in one table so that the
// numbers stay apart from every other site's.
#pragma once

namespace velk::guard_sites {

// GetStringUTFChars gave null with nothing pending.
constexpr int kStringCharsNull = 1001;

// SCardListReaders reported more than the buffer it was given.
constexpr int kReaderListOverrun = 1010;

// SCardConnect: activeProtocol is null, empty, unreadable, or its elements
// came back null with nothing pending.
constexpr int kConnectActiveProtocolNull = 1020;
constexpr int kConnectActiveProtocolEmpty = 1021;
constexpr int kConnectActiveProtocolLength = 1022;
constexpr int kConnectActiveProtocolElements = 1023;

// SCardReconnect: activeProtocol is null.
constexpr int kReconnectActiveProtocolNull = 1030;

// SCardGetStatusChange: either array is null; the result's elements came
// back null with nothing pending.
constexpr int kStatusChangeStatesNull = 1040;
constexpr int kStatusChangeNamesNull = 1041;
constexpr int kStatusChangeResultElements = 1042;

// SCardStatus: the state array is null; more ATR reported than the buffer.
constexpr int kStatusStateArrayNull = 1050;
constexpr int kStatusAtrOverrun = 1051;

// SCardTransmit: the request is null; more response reported than the buffer.
constexpr int kTransmitRequestNull = 1060;
constexpr int kTransmitResponseOverrun = 1061;

// SCardGetAttrib: more value reported than the buffer it was given.
constexpr int kGetAttrOverrun = 1070;

// SCardControl: the command is null; more answer reported than the buffer.
// Its other sites, 1082 to 1089, are kept beside it.
constexpr int kControlCommandNull = 1080;
constexpr int kControlAnswerOverrun = 1081;

}  // namespace velk::guard_sites
